// Windows-1252, the code page of every text in a gallery payload (captions, file names, font
// names). The player shows captions through Unicode; the authoring tool stores UTF-8 input.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Each byte to its character, as UTF-8. 0x80..0x9F follow the Windows-1252 table; the five
// bytes that table leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
std::string Cp1252ToUtf8(std::string_view bytes);

// Each character to its Windows-1252 byte. Returns nothing when the input is not valid UTF-8
// or holds a character that Windows-1252 cannot represent; `bad` then receives that character
// (or the offending bytes) for the error message.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8, std::string* bad = nullptr);

// The Unicode code point of one Windows-1252 byte (U+FFFD for the undefined ones).
char32_t Cp1252ToCodePoint(unsigned char byte);

}  // namespace qm
