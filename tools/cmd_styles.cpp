#include <cstdio>

#include "tools/commands.h"

namespace qm::tool {

int RunStyles(const Args&) {
  std::fprintf(stderr, "quenmora styles: not available in this build yet\n");
  return 1;
}

}  // namespace qm::tool
