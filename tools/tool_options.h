// Parsing of the tool's option values: integers, colours, caption positions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/bitmap.h"

namespace qm::tool {

// A decimal whole number, "-" and up to ten digits, from `low` to `high`.
std::optional<int64_t> ParseNumber(const std::string& text, int64_t low, int64_t high);

// A decimal integer in the signed 32-bit range, the whole string.
std::optional<int32_t> ParseInt32(const std::string& text);

// "WxH" (or "WXH"): two whole numbers of at most five digits, each at least 1.
std::optional<std::pair<int, int>> ParseSize(const std::string& text);

// A colour: "#RRGGBB" (as on the web) or "0x00BBGGRR" / a decimal number (the stored value).
std::optional<TColor> ParseColor(const std::string& text);

// "#RRGGBB (0x00BBGGRR)" for a stored colour.
std::string FormatColor(TColor color);

// A caption position: 0..5, any other integer (no caption strip), or a name such as
// "bottom-centre" ("center" is accepted too) or "none".
std::optional<int32_t> ParseCaptionPosition(const std::string& text);

// The name of a caption position code, or "none (no caption strip)".
std::string CaptionPositionName(int32_t code);

}  // namespace qm::tool
