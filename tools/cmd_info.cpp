// `quenmora info`: shows a presentation's settings and slides, and says what is wrong with a
// file that carries no payload or a damaged one.
#include <cstdio>
#include <string>

#include "payload/cp1252.h"
#include "payload/payload_errors.h"
#include "payload/payload_reader.h"
#include "tools/commands.h"
#include "tools/option_table.h"
#include "tools/player_kind.h"
#include "tools/style_lookup.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"
#include "tools/tool_options.h"

namespace qm::tool {

namespace {

// A stored text (Windows-1252) for the terminal: control characters, which a presentation may
// hold to move the cursor, recolour or retitle the terminal, are shown as \xNN instead.
std::string Shown(const std::string& stored) {
  std::string out;
  for (const char c : Cp1252ToUtf8(stored)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    out += escaped;
  }
  return out;
}

}  // namespace

int RunInfo(const Args& args) {
  const ParsedLine line = ParseCommandLine(args, {});
  if (line.help) {
    std::fputs("usage: quenmora info SHOW\n\nShows the settings and slides of a presentation.\n",
               stdout);
    return 0;
  }
  if (!line.error.empty()) return UsageError(line.error);
  if (line.operands.size() != 1) return UsageError("expected one presentation, SHOW");
  const std::string& path = line.operands[0];
  if (const auto why = CannotRead(path, "presentation")) {
    std::fprintf(stderr, "%s\n", why->c_str());
    return 1;
  }
  PayloadSummary s;
  bool no_payload = false;
  try {
    s = ReadPayloadSummary(path, &no_payload);
  } catch (const EPayloadDamaged& e) {
    if (no_payload)
      std::fprintf(stderr, "%s: carries no gallery payload (%s)\n", path.c_str(), e.what());
    else
      std::fprintf(stderr, "%s: damaged gallery payload: %s\n", path.c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), Describe(e).c_str());
    return 1;
  }
  const GalleryHeader& h = s.header;
  std::printf("file:              %s (%llu bytes)\n", path.c_str(),
              static_cast<unsigned long long>(s.file_size));
  std::printf("player:            %u bytes, for %s\n", s.payload_start,
              PlayerKindName(ReadPlayerKind(path)));
  std::printf("payload:           %llu bytes compressed, %u bytes inflated\n",
              static_cast<unsigned long long>(s.compressed_size), s.inflated_size);
  std::printf("slides:            %d\n", h.count);
  std::printf("interval:          %d s%s\n", h.interval,
              h.interval <= 0 ? " (the first slide stays)" : "");
  std::printf("background colour: %s\n", FormatColor(h.background_color).c_str());
  std::printf("loop:              %d (%s)\n", h.loop,
              h.loop ? "starts again" : "ends after the last slide");
  std::printf("caption position:  %d (%s)\n", h.caption_position,
              CaptionPositionName(h.caption_position).c_str());
  std::printf("font:              \"%s\"%s\n", Shown(h.font_name).c_str(),
              h.font_name.empty() ? " (default face)" : "");
  std::printf("font colour:       %s%s\n", FormatColor(h.font_color).c_str(),
              h.font_color == 0x00FFFFFF ? " (white: black strip)" : "");
  std::printf("font size:         %d pt\n", h.font_size);
  std::printf("font style:        0x%02X%s%s%s%s\n", h.font_style,
              (h.font_style & 1) ? " bold" : "", (h.font_style & 2) ? " italic" : "",
              (h.font_style & 4) ? " underline" : "", (h.font_style & 8) ? " strikeout" : "");
  std::printf("style:             %s\n", DescribeStyleField(h.style).c_str());
  std::printf("reserved byte:     0x%02X\n", h.reserved);
  for (std::size_t k = 0; k < s.slides.size(); ++k) {
    const SlideRecordHead& r = s.slides[k];
    std::printf("slide %zu: %s, %u bytes, caption \"%s\"\n", k + 1, Shown(r.file_name).c_str(),
                r.data_size, Shown(r.caption).c_str());
  }
  if (s.trailing_bytes)
    std::printf("note: %llu bytes after the last slide record (ignored by the player)\n",
                static_cast<unsigned long long>(s.trailing_bytes));
  return 0;
}

}  // namespace qm::tool
