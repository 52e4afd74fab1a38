#include "tools/player_kind.h"

#include <cstdio>
#include <cstring>

namespace qm::tool {

PlayerKind ReadPlayerKind(const std::string& path) {
  unsigned char magic[4] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return PlayerKind::kUnknown;
  const std::size_t got = std::fread(magic, 1, sizeof magic, file);
  std::fclose(file);
  if (got == 4 && std::memcmp(magic,
                              "\x7f"
                              "ELF",
                              4) == 0)
    return PlayerKind::kLinux;
  if (got >= 2 && magic[0] == 'M' && magic[1] == 'Z') return PlayerKind::kWindows;
  return PlayerKind::kUnknown;
}

const char* PlayerKindName(PlayerKind kind) {
  switch (kind) {
    case PlayerKind::kLinux:
      return "Linux";
    case PlayerKind::kWindows:
      return "Windows";
    case PlayerKind::kUnknown:
      break;
  }
  return "unknown system";
}

const char* PlayerFileName(PlayerKind kind) {
  return kind == PlayerKind::kWindows ? "quenmora-player.exe" : "quenmora-player";
}

}  // namespace qm::tool
