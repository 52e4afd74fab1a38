#include <cstdio>

#include "tools/commands.h"

namespace qm::tool {

int RunInfo(const Args&) {
  std::fprintf(stderr, "quenmora info: not available in this build yet\n");
  return 1;
}

}  // namespace qm::tool
