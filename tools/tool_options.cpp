#include "tools/tool_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qm::tool {

namespace {
const char* const kPositionNames[6] = {"top-left",      "bottom-left", "top-centre",
                                       "bottom-centre", "top-right",   "bottom-right"};
}

std::optional<int64_t> ParseNumber(const std::string& text, int64_t low, int64_t high) {
  const std::size_t digits = text.size() - (text.starts_with('-') ? 1 : 0);
  if (digits == 0 || digits > 10 ||
      text.find_first_not_of("0123456789", text.size() - digits) != std::string::npos)
    return std::nullopt;
  const int64_t v = std::stoll(text);
  if (v < low || v > high) return std::nullopt;
  return v;
}

std::optional<int32_t> ParseInt32(const std::string& text) {
  const auto v = ParseNumber(text, INT32_MIN, INT32_MAX);
  if (!v) return std::nullopt;
  return static_cast<int32_t>(*v);
}

std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos || x > 5 || text.size() - x - 1 > 5) return std::nullopt;
  const auto w = ParseNumber(text.substr(0, x), 1, 99999);
  const auto h = ParseNumber(text.substr(x + 1), 1, 99999);
  if (!w || !h) return std::nullopt;
  return std::pair{static_cast<int>(*w), static_cast<int>(*h)};
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
