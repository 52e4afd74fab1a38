// `quenmora decode FILE OUT.png`: decodes a picture exactly as the player decodes a slide and
// writes the result as a 24-bit PNG.
#include <cstdio>
#include <exception>
#include <optional>

#include "imaging/png_writer.h"
#include "imaging/slide_loader.h"
#include "platform/exception.h"
#include "platform/messages.h"
#include "tools/commands.h"
#include "tools/option_table.h"
#include "tools/pending_output.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"

namespace qm::tool {

namespace {

constexpr const char kUsage[] =
    "usage: quenmora decode FILE OUT.png\n"
    "Decodes FILE (.jpg, .jpeg, .png or .bmp, chosen by its extension) as the player does, writes\n"
    "the picture to OUT.png as a 24-bit PNG and prints WIDTHxHEIGHT BITS-PER-PIXEL. When the\n"
    "picture cannot be decoded, prints the text of the player's error box and exits with 1.\n";

// What the player's error box would show.
void PrintError(const std::string& message) {
  std::fprintf(stderr, "%s\n", ErrorBoxText(message).c_str());
}

}  // namespace

int RunDecode(const Args& args) {
  const ParsedLine line = ParseCommandLine(args, {});
  if (line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!line.error.empty()) return UsageError(line.error);
  if (line.operands.size() != 2) return UsageError("expected FILE OUT.png");
  const std::string& input = line.operands[0];
  const std::string& output = line.operands[1];
  if (const auto why = NotARegularFile(input, "picture")) {
    PrintError(*why);
    return 1;
  }
  const TSlideDecoder decoder = SlideDecoderFor(input);
  if (decoder == TSlideDecoder::sdNone) {
    // The player would skip this file; here it is an error.
    PrintError("Unknown picture type \"" + SlideExtension(input) +
               "\": the player decodes .jpg, .jpeg, .png and .bmp files");
    return 1;
  }
  // The output is checked, and its file made, before the picture is decoded.
  std::optional<PendingOutput> out;
  try {
    out.emplace(output, PictureInputs({input}));
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  std::optional<TBitmap> picture;
  try {
    picture = LoadSlidePicture(input, decoder);
  } catch (const Exception& e) {
    PrintError(e.Message());
    return 1;
  } catch (const std::bad_alloc&) {
    PrintError(msg::kOutOfMemory);
    return 1;
  }
  try {
    // An empty picture (an empty bitmap file) has no PNG form.
    if (picture->Empty()) {
      std::fprintf(stderr, "The picture is empty; %s was not written.\n", output.c_str());
    } else {
      WritePng24(*picture, out->Sink());
      out->Commit();
    }
  } catch (const std::exception& e) {
    return Fail(out->WriteError(e));
  }
  std::printf("%dx%d %d\n", picture->Width(), picture->Height(), picture->BitsPerPixel());
  return 0;
}

}  // namespace qm::tool
