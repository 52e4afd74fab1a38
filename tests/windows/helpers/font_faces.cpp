// Writes, for each family named on its command line, the face the caption font takes for it
// ("FAMILY -> FACE" per line) into the file named first: the test checks what GDI chose
// (GetTextFaceW), not what was asked for.
#include <cstdio>

#include "player/text_renderer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: font_faces OUTPUT FAMILY...\n");
    return 2;
  }
  // Binary mode: the lines end in "\n" on Windows too.
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 1;
  for (int k = 2; k < argc; ++k) {
    const auto font = qm::TextFont::Open({argv[k], 19});
    std::fprintf(out, "%s -> %s\n", argv[k], font ? font->Family().c_str() : "(none)");
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
