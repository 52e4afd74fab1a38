// Fuzzes the caption and message text: the Windows-1252 and UTF-8 conversions, the word wrap and
// the drawing of text into a bitmap at any position, clip, size and style. The wrap must lose no
// character but the spaces and line breaks it breaks at, and give only lines that fit the box
// (or hold a single character); drawing must stay inside the bitmap (the sanitizers check that).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

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
  uint8_t flags;  // bit 0: UTF-8 text; 1: bold; 2: italic; 3: underline and strike-out
  uint8_t size;   // picks the em height
  int8_t x, baseline, clip[4];
  uint8_t width;  // the box the text wraps in
};

// A few sizes, the smallest the odd cases; with the three style bits, 64 faces.
constexpr int kSizes[] = {1, 2, 3, 7, 11, 16, 24, 40};
constexpr int kStyles = 8;
// The characters drawn: each text character is folded into this many.
constexpr char32_t kDrawnCharacters = 512;

std::unique_ptr<qm::TextFont> g_fonts[std::size(kSizes)][kStyles];

// A face keeps every glyph it draws for the life of the process. All faces and all their
// glyphs are made before the first run, so that no run keeps memory it allocated: libFuzzer
// takes such a run for a leak and scans the whole heap after it.
void OpenFonts() {
  for (std::size_t size = 0; size < std::size(kSizes); ++size) {
    for (int style = 0; style < kStyles; ++style) {
      qm::FontRequest request;
      request.pixel_size = kSizes[size];
      request.bold = style & 1;
      request.italic = style & 2;
      request.underline = request.strike_out = style & 4;
      g_fonts[size][style] = qm::TextFont::Open(request);
      if (g_fonts[size][style])
        for (char32_t c = 0; c < kDrawnCharacters; ++c) g_fonts[size][style]->Advance(c);
    }
  }
}

// Any advance from 0 to 6 pixels, the same for the same character.
int Advance(char32_t c) {
  return static_cast<int>(c % 7);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OpenFonts();
  return 0;
}

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
    const bool line_break =
        text[i] == U'\n' || (text[i] == U'\r' && (i + 1 == text.size() || text[i + 1] == U'\n'));
    if (text[i] != U' ' && !line_break) kept += text[i];
  }
  for (const std::u32string& line : qm::WrapText(text, width, Advance)) {
    int w = 0;
    for (char32_t c : line) w += Advance(c);
    if (w > width && line.size() > 1) std::abort();
    for (char32_t c : line)
      if (c != U' ') got += c;
  }
  if (got != kept) std::abort();

  qm::TextFont* font = g_fonts[h.size % std::size(kSizes)][(h.flags >> 1) % kStyles].get();
  if (font == nullptr) return 0;
  std::u32string drawn = text;
  for (char32_t& c : drawn) c %= kDrawnCharacters;
  qm::TBitmap bitmap(48, 32, qm::PixelFormat::pf32bit);
  font->Draw(bitmap, h.x, h.baseline, drawn, 0x00336699,
             qm::Rect(h.clip[0], h.clip[1], h.clip[2], h.clip[3]));
  return 0;
}
