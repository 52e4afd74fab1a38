// Transition styles as the tool's options and reports name them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm::tool {

// A style argument: a number 0..150, "random" (the random style marker 999) or a style name
// (letter case ignored). Nothing for anything else.
std::optional<int32_t> ParseStyleArgument(const std::string& text);

// How `quenmora info` shows a header's style field: "999 (random)", "12 (Expand from right)",
// "266 (10, Expand in from left)", "200 (no transition)".
std::string DescribeStyleField(int32_t style);

}  // namespace qm::tool
