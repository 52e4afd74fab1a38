// `quenmora styles`: the transition styles, one "number name" line each, 0..150.
#include <cstdio>

#include "picshow/style_catalogue.h"
#include "tools/commands.h"
#include "tools/option_table.h"

namespace qm::tool {

int RunStyles(const Args& args) {
  const ParsedLine line = ParseCommandLine(args, {});
  if (line.help) {
    std::fputs(
        "usage: quenmora styles\n"
        "Lists the transition styles as \"number name\", 0 (Custom) to 150. Wherever the tool\n"
        "takes a style, the name works as well as the number (letter case ignored; of two equal\n"
        "names the lower number).\n",
        stdout);
    return 0;
  }
  if (!line.error.empty() || !line.operands.empty()) {
    std::fputs("usage: quenmora styles\n", stderr);
    return 2;
  }
  for (int style = kCustomStyle; style <= kMaxStyle; ++style)
    std::printf("%d %s\n", style, StyleName(style));
  return 0;
}

}  // namespace qm::tool
