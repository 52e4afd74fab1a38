#include "payload/cp1252.h"

namespace qm {
namespace {

// Code points of 0x80..0x9F; 0xFFFD marks the bytes that Windows-1252 leaves undefined.
constexpr char32_t kHigh[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,  // 88..8F
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,  // 98..9F
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at `i`; advances `i`. Returns false on malformed input.
bool NextUtf8(std::string_view s, std::size_t& i, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  int extra = 0;
  if (b0 < 0x80) {
    c = b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    c = b0 & 0x1F, extra = 1;
  } else if ((b0 & 0xF0) == 0xE0) {
    c = b0 & 0x0F, extra = 2;
  } else if ((b0 & 0xF8) == 0xF0) {
    c = b0 & 0x07, extra = 3;
  } else {
    return false;
  }
  if (i + extra >= s.size() && extra > 0) return false;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  // Reject overlong forms and surrogates.
  static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  i += extra + 1;
  return true;
}

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (char ch : bytes) AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(ch)));
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8, std::string* bad) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    char32_t c = 0;
    if (!NextUtf8(utf8, i, c)) {
      if (bad)
        *bad = "byte 0x" + std::string(1, "0123456789ABCDEF"[(utf8[start] >> 4) & 0xF]) +
               std::string(1, "0123456789ABCDEF"[utf8[start] & 0xF]) + " (not UTF-8)";
      return std::nullopt;
    }
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    int found = -1;
    for (int k = 0; k < 32; ++k) {
      if (kHigh[k] == c && c != 0xFFFD) found = 0x80 + k;
    }
    if (found < 0) {
      if (bad) *bad = std::string(utf8.substr(start, i - start));
      return std::nullopt;
    }
    out += static_cast<char>(found);
  }
  return out;
}

}  // namespace qm
