#include <cstdio>

#include "tools/commands.h"

namespace qm::tool {

int RunRender(const Args&) {
  std::fprintf(stderr, "quenmora render: not available in this build yet\n");
  return 1;
}

}  // namespace qm::tool
