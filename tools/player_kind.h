// Which system a player (or a presentation, which starts with its player) runs on, told from
// the first bytes of the file: Linux programs are ELF files, Windows programs PE files.
#pragma once

#include <string>

namespace qm::tool {

enum class PlayerKind { kUnknown, kLinux, kWindows };

PlayerKind ReadPlayerKind(const std::string& path);
// "Linux", "Windows" or "unknown system".
const char* PlayerKindName(PlayerKind kind);
// The player's file name for a kind: quenmora-player, quenmora-player.exe.
const char* PlayerFileName(PlayerKind kind);

}  // namespace qm::tool
