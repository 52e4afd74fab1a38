// Fuzzes the caption and message text: the Windows-1252 and UTF-8 conversions, the word wrap and
// the drawing of text into a bitmap at any position, clip, size and style. The wrap must lose no
// character but the spaces and line breaks it breaks at, and give only lines that fit the box
// (or hold a single character); drawing must stay inside the bitmap (the sanitizers check that).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/bitmap.h"
#include "platform/rect.h"
#include "player/text_renderer.h"

// fontconfig keeps its configuration and caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace {

// The input's header; the text follows it.
struct Header {
  uint8_t flags;  // bit 0: UTF-8 text; 1: bold; 2: italic; 3: underline; 4: strike-out
  uint8_t size;   // picks the em height
  int8_t x, baseline, clip[4];
  uint8_t width;  // the box the text wraps in
};

// Faces are opened once per size and style: fontconfig's search costs far more than a run.
qm::TextFont* Font(const qm::FontRequest& request) {
  static std::map<std::tuple<int, bool, bool, bool, bool>, std::unique_ptr<qm::TextFont>> fonts;
  auto& font = fonts[{request.pixelSize, request.bold, request.italic, request.underline,
                      request.strikeOut}];
  if (!font) font = qm::TextFont::Open(request);
  return font.get();
}

// Any advance from 0 to 6 pixels, the same for the same character.
int Advance(char32_t c) {
  return static_cast<int>(c % 7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // A caption is at most 255 characters; a little more tries the converters' ends.
  if (size < sizeof(Header) || size > sizeof(Header) + 512) return -1;
  Header h;
  std::memcpy(&h, data, sizeof h);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + sizeof h, size - sizeof h);
  const std::u32string text = h.flags & 1 ? qm::Utf8ToUtf32(bytes) : qm::Cp1252ToUtf32(bytes);
  if (text.size() > bytes.size() || (!(h.flags & 1) && text.size() != bytes.size())) std::abort();

  const int width = h.width;
  std::u32string kept, got;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lineBreak =
        text[i] == U'\n' || (text[i] == U'\r' && (i + 1 == text.size() || text[i + 1] == U'\n'));
    if (text[i] != U' ' && !lineBreak) kept += text[i];
  }
  for (const std::u32string& line : qm::WrapText(text, width, Advance)) {
    int w = 0;
    for (char32_t c : line) w += Advance(c);
    if (w > width && line.size() > 1) std::abort();
    for (char32_t c : line)
      if (c != U' ') got += c;
  }
  if (got != kept) std::abort();

  // A few sizes keep the number of faces held small; the smallest are the odd cases.
  static constexpr int kSizes[] = {1, 2, 3, 7, 11, 16, 24, 40};
  qm::FontRequest request;
  request.pixelSize = kSizes[h.size % std::size(kSizes)];
  request.bold = h.flags & 2;
  request.italic = h.flags & 4;
  request.underline = h.flags & 8;
  request.strikeOut = h.flags & 16;
  qm::TextFont* font = Font(request);
  if (font == nullptr) return 0;
  qm::TBitmap bitmap(48, 32, qm::PixelFormat::pf32bit);
  font->Draw(bitmap, h.x, h.baseline, text, 0x00336699,
             qm::Rect(h.clip[0], h.clip[1], h.clip[2], h.clip[3]));
  return 0;
}
