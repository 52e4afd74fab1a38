// The caption face on Windows: CreateFontW by family name, size, weight, slant, underline and
// strike-out; GDI renders each character (anti-aliased, any kind of font, the old bitmap faces
// such as "MS Sans Serif" included), and the shared code lays out and blends the lines.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/native_files.h"
#include "player/text_renderer.h"

// The system's header comes last: its macros would rename the drawing layer's constants.
#include <windows.h>

namespace qm {

struct TextFont::Library {
  HDC dc = nullptr;
  HFONT font = nullptr;
  HGDIOBJ previous = nullptr;
  TEXTMETRICW metrics{};
  ~Library() {
    if (previous != nullptr) SelectObject(dc, previous);
    if (font != nullptr) DeleteObject(font);
    if (dc != nullptr) DeleteDC(dc);
  }
};

namespace {

std::string Utf8FromWide(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 1 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// The system's own face for dialog text: the default when a family is missing.
std::wstring DefaultFace() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
      metrics.lfMessageFont.lfFaceName[0] != L'\0')
    return metrics.lfMessageFont.lfFaceName;
  return L"Tahoma";
}

}  // namespace

std::unique_ptr<TextFont> TextFont::Open(const FontRequest& request) {
  // GDI answers a name it does not know with another face without a word: when the face it
  // chose is not the family asked for, the system's dialog face takes over.
  // A memory device context with the font for `face` selected; its face name as GDI chose it.
  auto open_face = [&request](const std::wstring& face, std::wstring& chosen) {
    auto lib = std::make_unique<Library>();
    lib->dc = CreateCompatibleDC(nullptr);
    if (lib->dc == nullptr) return std::unique_ptr<Library>();
    LOGFONTW logfont{};
    logfont.lfHeight = -std::clamp(request.pixel_size, 1, 2000);  // the em height
    logfont.lfWeight = request.bold ? FW_BOLD : FW_NORMAL;
    logfont.lfItalic = request.italic;
    logfont.lfUnderline = request.underline;
    logfont.lfStrikeOut = request.strike_out;
    logfont.lfCharSet = DEFAULT_CHARSET;
    logfont.lfQuality = ANTIALIASED_QUALITY;
    wcsncpy(logfont.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    lib->font = CreateFontIndirectW(&logfont);
    if (lib->font == nullptr) return std::unique_ptr<Library>();
    lib->previous = SelectObject(lib->dc, lib->font);
    wchar_t name[LF_FACESIZE] = {};
    if (GetTextFaceW(lib->dc, LF_FACESIZE, name) == 0 || !GetTextMetricsW(lib->dc, &lib->metrics))
      return std::unique_ptr<Library>();
    chosen = name;
    return lib;
  };
  std::wstring chosen;
  std::unique_ptr<Library> lib;
  if (!request.family.empty()) {
    const std::wstring family = WideFromUtf8(request.family);
    lib = open_face(family, chosen);
    if (lib && CompareStringOrdinal(chosen.c_str(), -1, family.c_str(), -1, TRUE) != CSTR_EQUAL)
      lib.reset();
  }
  if (!lib) lib = open_face(DefaultFace(), chosen);
  if (!lib) return nullptr;
  std::unique_ptr<TextFont> font(new TextFont);
  font->family_ = Utf8FromWide(chosen.c_str());
  font->ascent_ = std::max<int>(1, lib->metrics.tmAscent);
  font->descent_ = std::max<int>(0, lib->metrics.tmDescent);
  // The font draws its own underline and strike-out with every character.
  font->library_ = std::move(lib);
  return font;
}

TextFont::~TextFont() = default;

const TextFont::Glyph& TextFont::GlyphFor(char32_t c) {
  if (auto it = glyphs_.find(c); it != glyphs_.end()) return it->second;
  Glyph& glyph = glyphs_[c];
  const Library& lib = *library_;
  wchar_t text[2];
  int length = 1;
  if (c >= 0x10000 && c <= 0x10FFFF) {
    text[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    text[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    length = 2;
  } else {
    text[0] = static_cast<wchar_t>(c <= 0xFFFF ? c : 0xFFFD);
  }
  SIZE size{};
  if (!GetTextExtentPoint32W(lib.dc, text, length, &size)) return glyph;
  glyph.advance = size.cx;
  // The character in white on black in a cell with room on both sides for slanted and
  // overhanging strokes; its brightness is its coverage.
  const int height = lib.metrics.tmHeight;
  const int margin = height / 2 + lib.metrics.tmOverhang + 1;
  const int width = size.cx + 2 * margin;
  if (height <= 0 || width <= 0) return glyph;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP cell = CreateDIBSection(lib.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (cell == nullptr) return glyph;
  const HGDIOBJ before = SelectObject(lib.dc, cell);
  std::memset(bits, 0, static_cast<std::size_t>(width) * height * 4);
  SetTextColor(lib.dc, RGB(255, 255, 255));
  SetBkMode(lib.dc, TRANSPARENT);
  SetTextAlign(lib.dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(lib.dc, margin, 0, text, length);
  GdiFlush();
  glyph.left = -margin;
  glyph.top = lib.metrics.tmAscent;
  glyph.width = width;
  glyph.rows = height;
  glyph.coverage.resize(static_cast<std::size_t>(width) * height);
  const auto* pixel = static_cast<const uint8_t*>(bits);
  for (std::size_t i = 0; i < glyph.coverage.size(); ++i, pixel += 4)
    glyph.coverage[i] = static_cast<uint8_t>((pixel[0] + pixel[1] + pixel[2] + 1) / 3);
  SelectObject(lib.dc, before);
  DeleteObject(cell);
  return glyph;
}

}  // namespace qm
