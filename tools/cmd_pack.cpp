#include <cstdio>

#include "tools/commands.h"

namespace qm::tool {

int RunPack(const Args&) {
  std::fprintf(stderr, "quenmora pack: not available in this build yet\n");
  return 1;
}

}  // namespace qm::tool
