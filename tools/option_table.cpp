#include "tools/option_table.h"

#include <sys/stat.h>

#include <algorithm>

namespace qm::tool {

namespace {

std::string WithValue(const std::string& error, const std::string& value) {
  std::string text = error;
  if (const auto at = text.find("{}"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

bool NamesAFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

Option Switch(std::vector<std::string> names, std::function<void()> set) {
  return {std::move(names), false,
          [set = std::move(set)](const std::string&) {
            set();
            return true;
          },
          ""};
}

Option Switch(std::vector<std::string> names, bool& flag) {
  return Switch(std::move(names), [&flag] { flag = true; });
}

Option Value(std::vector<std::string> names, std::function<bool(const std::string&)> take,
             std::string error) {
  return {std::move(names), true, std::move(take), std::move(error)};
}

Option StepOption(int& step) {
  return Number({"--step"}, 1, 100, step, "--step takes 1..100, not {}");
}

Option DelayOption(uint16_t& delay_ms) {
  return Number({"--delay"}, 0, 65535, delay_ms, "--delay takes 0..65535, not {}");
}

Option SeedOption(uint32_t& seed) {
  return Number({"--seed"}, 0, 4294967295, seed, "--seed takes 0..4294967295, not {}");
}

ParsedLine ParseCommandLine(const Args& args, const OptionTable& table) {
  ParsedLine line;
  const auto fail = [&](const std::string& error) {
    if (line.error.empty()) line.error = error;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      line.help = true;
      continue;
    }
    const auto row = std::find_if(table.begin(), table.end(), [&](const Option& o) {
      return std::find(o.names.begin(), o.names.end(), a) != o.names.end();
    });
    if (row == table.end()) {
      if (a.size() > 1 && a[0] == '-' && !NamesAFile(a))
        fail("unknown option " + a);
      else
        line.operands.push_back(a);
      continue;
    }
    if (!row->takes_value) {
      row->take("");
      continue;
    }
    if (i + 1 >= args.size()) {
      const bool quotes_value = row->error.find("{}") != std::string::npos;
      fail(quotes_value || row->error.empty() ? a + " needs a value" : row->error);
      continue;
    }
    const std::string& value = args[++i];
    if (!row->take(value)) fail(WithValue(row->error, value));
  }
  return line;
}

}  // namespace qm::tool
