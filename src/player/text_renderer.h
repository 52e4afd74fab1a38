// Text for the caption strip and the message boxes: a face found by family name and rendered
// anti-aliased by the system's own means (fontconfig and FreeType on Linux, with bold and italic
// synthesised when the face has no such style, and underline and strike-out drawn; GDI on
// Windows), and the word wrap of a line of text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm {

struct FontRequest {
  std::string family;   // UTF-8; empty, or a family the system lacks: the default sans-serif face
  int pixel_size = 11;  // the em height in pixels
  bool bold = false, italic = false, underline = false, strike_out = false;
};

class TextFont {
 public:
  // The face for `request`; nothing when the system has no usable font at all.
  static std::unique_ptr<TextFont> Open(const FontRequest& request);
  ~TextFont();
  TextFont(const TextFont&) = delete;
  TextFont& operator=(const TextFont&) = delete;

  // The family of the face in use (after any fallback).
  const std::string& Family() const { return family_; }
  // Pixels above and below the baseline; a line is their sum.
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  int LineHeight() const { return ascent_ + descent_; }

  // The pen advance of one character, in whole pixels.
  int Advance(char32_t c);
  int TextWidth(std::u32string_view text);

  // Draws `text` in `color` (0x00BBGGRR) with its baseline at `baseline`, starting at `x`, onto
  // a 32-bit bitmap, blending the anti-aliased edges over what is there; nothing outside `clip`
  // or the bitmap changes. Underline and strike-out span the text's advance.
  void Draw(TBitmap& target, int x, int baseline, std::u32string_view text, TColor color,
            const TRect& clip);

 private:
  struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
  };
  struct Library;
  TextFont() = default;
  const Glyph& GlyphFor(char32_t c);
  void FillLine(TBitmap& target, int x0, int x1, int top, int thickness, TColor color,
                const TRect& clip);

  std::unique_ptr<Library> library_;
  std::string family_;
  bool synthetic_bold_ = false, synthetic_italic_ = false, underline_ = false, strike_out_ = false;
  int ascent_ = 0, descent_ = 0;
  int underline_position_ = 0, underline_thickness_ = 1, strike_position_ = 0,
      strike_thickness_ = 1;
  std::unordered_map<char32_t, Glyph> glyphs_;
};

// The lines `text` takes in a box `width` pixels wide: a new line at each line break ("\n",
// "\r\n"), then greedily as many words (separated by spaces) as fit; a word wider than the box
// is split between characters. `advance` gives each character's width. Empty text is no line.
std::vector<std::u32string> WrapText(std::u32string_view text, int width,
                                     const std::function<int(char32_t)>& advance);

// Windows-1252 bytes as Unicode characters.
std::u32string Cp1252ToUtf32(std::string_view bytes);
// UTF-8 as Unicode characters (an invalid byte becomes U+FFFD).
std::u32string Utf8ToUtf32(std::string_view text);

}  // namespace qm
