#include <cstdio>

#include "tools/commands.h"

namespace qm::tool {

int RunDecode(const Args&) {
  std::fprintf(stderr, "quenmora decode: not available in this build yet\n");
  return 1;
}

}  // namespace qm::tool
