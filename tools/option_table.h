// A command's options as a table, one row per option: its names, whether it takes a value, what
// it does with it and what it says about a bad one. One parser walks every command's line
// through its table, so all commands take, check and report their options alike.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/tool_options.h"

namespace qm::tool {

struct Option {
  std::vector<std::string> names;  // such as {"-o", "--output"}
  bool takes_value = false;
  // Takes the value (a switch gets ""); false when the value is bad.
  std::function<bool(const std::string& value)> take;
  // What a bad value gets, "{}" standing for the value. A text that does not quote the value
  // also serves for a missing one; otherwise a missing value gets "NAME needs a value".
  std::string error;
};

using OptionTable = std::vector<Option>;

// A switch without a value.
Option Switch(std::vector<std::string> names, std::function<void()> set);
Option Switch(std::vector<std::string> names, bool& flag);
// An option whose value `take` checks and keeps.
Option Value(std::vector<std::string> names, std::function<bool(const std::string&)> take,
             std::string error);
// An option whose value is any text (for a std::string or a std::optional<std::string>);
// `missing` is what a missing value gets.
template <typename T>
Option Text(std::vector<std::string> names, T& out, std::string missing) {
  return Value(
      std::move(names),
      [&out](const std::string& value) {
        out = value;
        return true;
      },
      std::move(missing));
}

// A whole number from `low` to `high`, stored in `out`.
template <typename T>
Option Number(std::vector<std::string> names, int64_t low, int64_t high, T& out,
              std::string error) {
  return Value(
      std::move(names),
      [&out, low, high](const std::string& text) {
        const auto n = ParseNumber(text, low, high);
        if (n) out = *n;
        return n.has_value();
      },
      std::move(error));
}

// The options of the commands that compose transitions.
Option StepOption(int& step);            // --step, 1..100
Option DelayOption(uint16_t& delay_ms);  // --delay, 0..65535 ms
Option SeedOption(uint32_t& seed);       // --seed, 0..4294967295

struct ParsedLine {
  bool help = false;                  // --help or -h stood among the options
  std::string error;                  // the first bad option, or ""
  std::vector<std::string> operands;  // the arguments that are not options, in order
};

// Walks `args` through `table`. An argument that begins with "-" and is neither in the table
// nor the name of an existing file is an unknown option.
ParsedLine ParseCommandLine(const Args& args, const OptionTable& table);

}  // namespace qm::tool
