#include "player/text_renderer.h"

#include <algorithm>

#include "payload/cp1252.h"

namespace qm {

namespace {

uint8_t Blend(uint8_t over, uint8_t under, unsigned alpha) {
  return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

int TextFont::Advance(char32_t c) {
  return GlyphFor(c).advance;
}

int TextFont::TextWidth(std::u32string_view text) {
  int width = 0;
  for (char32_t c : text) width += Advance(c);
  return width;
}

void TextFont::FillLine(TBitmap& target, int x0, int x1, int top, int thickness, TColor color,
                        const TRect& clip) {
  const int left = std::max({x0, clip.Left, 0}), right = std::min({x1, clip.Right, target.Width()});
  const int y0 = std::max({top, clip.Top, 0});
  const int y1 = std::min({top + thickness, clip.Bottom, target.Height()});
  for (int y = y0; y < y1; ++y) {
    uint8_t* p = target.ScanLine(y) + static_cast<std::ptrdiff_t>(left) * 4;
    for (int x = left; x < right; ++x, p += 4) {
      p[0] = static_cast<uint8_t>(color >> 16);
      p[1] = static_cast<uint8_t>(color >> 8);
      p[2] = static_cast<uint8_t>(color);
    }
  }
}

void TextFont::Draw(TBitmap& target, int x, int baseline, std::u32string_view text, TColor color,
                    const TRect& clip) {
  if (target.Format() != PixelFormat::pf32bit) return;
  const uint8_t red = static_cast<uint8_t>(color), green = static_cast<uint8_t>(color >> 8),
                blue = static_cast<uint8_t>(color >> 16);
  const int x1 = std::min(clip.Right, target.Width()), y1 = std::min(clip.Bottom, target.Height());
  const int x0 = std::max(clip.Left, 0), y0 = std::max(clip.Top, 0);
  int pen = x;
  for (char32_t c : text) {
    const Glyph& g = GlyphFor(c);
    const int gx = pen + g.left, gy = baseline - g.top;
    for (int row = std::max(0, y0 - gy); row < g.rows && gy + row < y1; ++row) {
      uint8_t* line = target.ScanLine(gy + row);
      const uint8_t* cover = g.coverage.data() + static_cast<std::ptrdiff_t>(row) * g.width;
      for (int col = std::max(0, x0 - gx); col < g.width && gx + col < x1; ++col) {
        const unsigned a = cover[col];
        if (a == 0) continue;
        uint8_t* p = line + static_cast<std::ptrdiff_t>(gx + col) * 4;
        p[0] = Blend(blue, p[0], a);
        p[1] = Blend(green, p[1], a);
        p[2] = Blend(red, p[2], a);
      }
    }
    pen += g.advance;
  }
  if (underline_)
    FillLine(target, x, pen, baseline + underline_position_ - underline_thickness_ / 2,
             underline_thickness_, color, clip);
  if (strike_out_)
    FillLine(target, x, pen, baseline - strike_position_ - strike_thickness_ / 2, strike_thickness_,
             color, clip);
}

std::vector<std::u32string> WrapText(std::u32string_view text, int width,
                                     const std::function<int(char32_t)>& advance) {
  std::vector<std::u32string> lines;
  if (text.empty()) return lines;
  auto measure = [&](std::u32string_view s) {
    int w = 0;
    for (char32_t c : s) w += advance(c);
    return w;
  };
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(U'\n', start);
    std::u32string_view paragraph = text.substr(
        start, end == std::u32string_view::npos ? std::u32string_view::npos : end - start);
    if (!paragraph.empty() && paragraph.back() == U'\r') paragraph.remove_suffix(1);
    std::u32string line;
    bool line_started = false;
    std::size_t at = 0;
    for (;;) {
      const std::size_t space = paragraph.find(U' ', at);
      std::u32string word(paragraph.substr(
          at, space == std::u32string_view::npos ? std::u32string_view::npos : space - at));
      if (line_started && measure(line) + advance(U' ') + measure(word) <= width) {
        line += U' ';
        line += word;
      } else {
        if (line_started) lines.push_back(std::move(line));
        line = std::move(word);
        // A word wider than the box: as many characters per line as fit, at least one.
        while (line.size() > 1 && measure(line) > width) {
          std::size_t fit = 1;
          int w = advance(line[0]);
          while (fit < line.size() && w + advance(line[fit]) <= width) w += advance(line[fit++]);
          lines.push_back(line.substr(0, fit));
          line.erase(0, fit);
        }
        line_started = true;
      }
      if (space == std::u32string_view::npos) break;
      at = space + 1;
    }
    lines.push_back(std::move(line));
    if (end == std::u32string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

std::u32string Cp1252ToUtf32(std::string_view bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out += Cp1252ToCodePoint(b);
  return out;
}

std::u32string Utf8ToUtf32(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int extra = b < 0x80         ? 0
                      : (b >> 5) == 6  ? 1
                      : (b >> 4) == 14 ? 2
                      : (b >> 3) == 30 ? 3
                                       : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    bool ok =
        extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0 ? 1 : 0);
    for (int k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text: one replacement
    // character for their lead byte, as for any other malformed sequence.
    static constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    ok = ok && c >= kShortest[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    out += ok ? c : U'\uFFFD';
    i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  return out;
}

}  // namespace qm
