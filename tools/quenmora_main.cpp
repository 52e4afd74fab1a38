// `quenmora`: makes presentations and inspects them and their pictures.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/commands.h"
#include "tools/tool_messages.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const qm::tool::Args&);
  const char* usage;
};

const Command kCommands[] = {
    {"pack", qm::tool::RunPack, "pack -o SHOW [options] PICTURE[=CAPTION]...  make a presentation"},
    {"info", qm::tool::RunInfo,
     "info SHOW                                    show a presentation's settings and slides"},
    {"decode", qm::tool::RunDecode,
     "decode FILE OUT.png                          decode a picture as the player does"},
    {"render", qm::tool::RunRender,
     "render --style N [...] OLD NEW OUT.png       compose a transition frame"},
    {"styles", qm::tool::RunStyles,
     "styles                                       list the transition styles"},
    {"gallery", qm::tool::RunGallery,
     "gallery -o DIR [...] [OLD NEW]               a page showing every style as it plays"},
    {"video", qm::tool::RunVideo,
     "video -o OUT.mp4 [options] SHOW|PICTURE...   a show as a video file"},
    {"show", qm::tool::RunShow,
     "show [options] SHOW|FOLDER|PICTURE...        play pictures on the screen without packing"},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: quenmora COMMAND [ARGS]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  quenmora %s\n", c.usage);
  std::fprintf(out, "  quenmora --version\n");
  std::fprintf(out, "\n'quenmora COMMAND --help' describes a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
      !std::strcmp(argv[1], "help")) {
    PrintUsage(stdout);
    return 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("quenmora %s\n", QUENMORA_VERSION);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    qm::tool::SetCommandName(c.name);
    return c.run(qm::tool::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "quenmora: unknown command '%s'\nsee 'quenmora --help'\n", argv[1]);
  return 2;
}
