#include "player/text_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>

#include "player/cp1252.h"

namespace qm {

struct TextFont::Library {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Library() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

namespace {

struct FontFile {
  std::string path, family;
  int index = 0;
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
};

bool HasFamily(FcPattern* match, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0)
      return true;
  return false;
}

// fontconfig's best face for a family and style. When `exact` is set, a match of another
// family counts as none: fontconfig answers any name with some face, at worst an unreadable one.
bool FindFont(const std::string& family, const FontRequest& request, bool exact, FontFile* out) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, request.pixelSize);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* file = nullptr;
  FcChar8* name = nullptr;
  bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
            (!exact || HasFamily(match, family));
  if (ok) {
    out->path = reinterpret_cast<const char*>(file);
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
      out->family = reinterpret_cast<const char*>(name);
    FcPatternGetInteger(match, FC_INDEX, 0, &out->index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &out->weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &out->slant);
  }
  FcPatternDestroy(match);
  return ok;
}

int Pixels(FT_Pos value26_6) {
  return static_cast<int>((value26_6 + 32) >> 6);
}

int ScaledPixels(FT_Face face, FT_Short fontUnits) {
  return Pixels(FT_MulFix(fontUnits, face->size->metrics.y_scale));
}

uint8_t Blend(uint8_t over, uint8_t under, unsigned alpha) {
  return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

std::unique_ptr<TextFont> TextFont::Open(const FontRequest& request) {
  if (FcInit() != FcTrue) return nullptr;
  FontFile file;
  if ((request.family.empty() || !FindFont(request.family, request, true, &file)) &&
      !FindFont("sans-serif", request, false, &file))
    return nullptr;
  std::unique_ptr<TextFont> font(new TextFont);
  font->library_ = std::make_unique<Library>();
  Library& lib = *font->library_;
  if (FT_Init_FreeType(&lib.library) != 0 ||
      FT_New_Face(lib.library, file.path.c_str(), file.index, &lib.face) != 0 ||
      FT_Set_Pixel_Sizes(lib.face, 0,
                         static_cast<FT_UInt>(std::clamp(request.pixelSize, 1, 2000))) != 0)
    return nullptr;
  FT_Face face = lib.face;
  font->family_ = file.family;
  font->syntheticBold_ = request.bold && file.weight < FC_WEIGHT_DEMIBOLD;
  font->syntheticItalic_ = request.italic && file.slant == FC_SLANT_ROMAN;
  font->underline_ = request.underline;
  font->strikeOut_ = request.strikeOut;
  font->ascent_ = Pixels(face->size->metrics.ascender);
  font->descent_ = std::max(0, Pixels(-face->size->metrics.descender));
  if (font->ascent_ + font->descent_ <= 0) font->ascent_ = std::max(1, request.pixelSize);
  const int thickness = std::max(1, ScaledPixels(face, face->underline_thickness));
  font->underlineThickness_ = thickness;
  font->underlinePosition_ = std::max(1, -ScaledPixels(face, face->underline_position));
  font->strikeThickness_ = thickness;
  font->strikePosition_ = font->ascent_ * 3 / 10;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 != nullptr && os2->yStrikeoutPosition > 0) {
    font->strikePosition_ = ScaledPixels(face, os2->yStrikeoutPosition);
    font->strikeThickness_ = std::max(1, ScaledPixels(face, os2->yStrikeoutSize));
  }
  return font;
}

TextFont::~TextFont() = default;

const TextFont::Glyph& TextFont::GlyphFor(char32_t c) {
  if (auto it = glyphs_.find(c); it != glyphs_.end()) return it->second;
  Glyph& glyph = glyphs_[c];
  FT_Face face = library_->face;
  if (FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0)
    return glyph;
  FT_GlyphSlot slot = face->glyph;
  if (syntheticItalic_) FT_GlyphSlot_Oblique(slot);
  if (syntheticBold_) FT_GlyphSlot_Embolden(slot);
  glyph.advance = Pixels(slot->advance.x);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.rows = static_cast<int>(bitmap.rows);
  glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
  for (int y = 0; y < glyph.rows; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    std::copy(row, row + glyph.width,
              glyph.coverage.begin() + static_cast<std::ptrdiff_t>(y) * glyph.width);
  }
  return glyph;
}

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
    FillLine(target, x, pen, baseline + underlinePosition_ - underlineThickness_ / 2,
             underlineThickness_, color, clip);
  if (strikeOut_)
    FillLine(target, x, pen, baseline - strikePosition_ - strikeThickness_ / 2, strikeThickness_,
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
    bool lineStarted = false;
    std::size_t at = 0;
    for (;;) {
      const std::size_t space = paragraph.find(U' ', at);
      std::u32string word(paragraph.substr(
          at, space == std::u32string_view::npos ? std::u32string_view::npos : space - at));
      if (lineStarted && measure(line) + advance(U' ') + measure(word) <= width) {
        line += U' ';
        line += word;
      } else {
        if (lineStarted) lines.push_back(std::move(line));
        line = std::move(word);
        // A word wider than the box: as many characters per line as fit, at least one.
        while (line.size() > 1 && measure(line) > width) {
          std::size_t fit = 1;
          int w = advance(line[0]);
          while (fit < line.size() && w + advance(line[fit]) <= width) w += advance(line[fit++]);
          lines.push_back(line.substr(0, fit));
          line.erase(0, fit);
        }
        lineStarted = true;
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
    out += ok ? c : U'\uFFFD';
    i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  return out;
}

}  // namespace qm
