#include "tools/style_lookup.h"

#include "payload/payload_format.h"
#include "picshow/style_catalogue.h"
#include "tools/tool_options.h"

namespace qm::tool {

std::optional<int32_t> ParseStyleArgument(const std::string& text) {
  if (text == "random") return kRandomStyleMarker;
  if (auto n = ParseInt32(text)) {
    if ((*n >= 0 && *n <= kMaxStyle) || *n == kRandomStyleMarker) return *n;
    return std::nullopt;
  }
  if (auto s = StyleByName(text)) return *s;
  return std::nullopt;
}

std::string DescribeStyleField(int32_t style) {
  const std::string number = std::to_string(style);
  if (IsRandomStyle(style)) return number + " (random style for every slide)";
  const int low = StyleLowByte(style);
  const char* name = StyleName(low);
  if (low > kMaxStyle || name == nullptr) return number + " (above 150: no transition effect)";
  if (low == kCustomStyle) return number + " (0: no transition effect)";
  if (low != style) return number + " (" + std::to_string(low) + ", " + name + ")";
  return number + " (" + name + ")";
}

}  // namespace qm::tool
