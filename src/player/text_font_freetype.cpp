// The caption face on Linux: fontconfig finds it by family name, FreeType renders its glyphs.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>

#include "player/text_renderer.h"

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
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, request.pixel_size);
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

int ScaledPixels(FT_Face face, FT_Short font_units) {
  return Pixels(FT_MulFix(font_units, face->size->metrics.y_scale));
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
                         static_cast<FT_UInt>(std::clamp(request.pixel_size, 1, 2000))) != 0)
    return nullptr;
  FT_Face face = lib.face;
  font->family_ = file.family;
  font->synthetic_bold_ = request.bold && file.weight < FC_WEIGHT_DEMIBOLD;
  font->synthetic_italic_ = request.italic && file.slant == FC_SLANT_ROMAN;
  font->underline_ = request.underline;
  font->strike_out_ = request.strike_out;
  font->ascent_ = Pixels(face->size->metrics.ascender);
  font->descent_ = std::max(0, Pixels(-face->size->metrics.descender));
  if (font->ascent_ + font->descent_ <= 0) font->ascent_ = std::max(1, request.pixel_size);
  const int thickness = std::max(1, ScaledPixels(face, face->underline_thickness));
  font->underline_thickness_ = thickness;
  font->underline_position_ = std::max(1, -ScaledPixels(face, face->underline_position));
  font->strike_thickness_ = thickness;
  font->strike_position_ = font->ascent_ * 3 / 10;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 != nullptr && os2->yStrikeoutPosition > 0) {
    font->strike_position_ = ScaledPixels(face, os2->yStrikeoutPosition);
    font->strike_thickness_ = std::max(1, ScaledPixels(face, os2->yStrikeoutSize));
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
  if (synthetic_italic_) FT_GlyphSlot_Oblique(slot);
  if (synthetic_bold_) FT_GlyphSlot_Embolden(slot);
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

}  // namespace qm
