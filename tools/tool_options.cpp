#include "tools/tool_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qm::tool {

namespace {
const char* const kPositionNames[6] = {"top-left",      "bottom-left", "top-centre",
                                       "bottom-centre", "top-right",   "bottom-right"};
}

std::optional<int32_t> ParseInt32(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(v);
}

std::optional<TColor> ParseColor(const std::string& text) {
  char* end = nullptr;
  if (text.size() == 7 && text[0] == '#') {
    const unsigned long rgb = std::strtoul(text.c_str() + 1, &end, 16);
    if (*end != '\0') return std::nullopt;
    return static_cast<TColor>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
  }
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (text.empty()) return std::nullopt;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-') return std::nullopt;
  return static_cast<TColor>(v);
}

std::string FormatColor(TColor c) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X (0x%08X)", c & 0xFF, (c >> 8) & 0xFF,
                (c >> 16) & 0xFF, c);
  return buffer;
}

std::optional<int32_t> ParseCaptionPosition(const std::string& text) {
  if (auto v = ParseInt32(text)) return v;
  std::string name = text;
  if (const auto at = name.find("center"); at != std::string::npos) name.replace(at, 6, "centre");
  for (int32_t k = 0; k < 6; ++k) {
    if (name == kPositionNames[k]) return k;
  }
  if (name == "none") return -1;
  return std::nullopt;
}

std::string CaptionPositionName(int32_t code) {
  if (code >= 0 && code <= 5) return kPositionNames[code];
  return "none (no caption strip)";
}

}  // namespace qm::tool
