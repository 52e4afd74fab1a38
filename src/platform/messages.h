// Every text the player and its decoders show, byte for byte as users have always seen them
// (UTF-8), and the one formatter that fills their fields. The framework's and the player's texts
// are German, the PNG decoder's English (typos included).
#pragma once

#include <initializer_list>
#include <string>

namespace qm {
namespace msg {

// Framework: files and streams, bitmaps, memory.
inline constexpr char kFileOpenError[] = "Datei %s kann nicht geöffnet werden. %s";
inline constexpr char kFileCreateError[] = "Datei %s kann nicht erstellt werden. %s";
inline constexpr char kStreamReadError[] = "Stream-Lesefehler";
inline constexpr char kStreamWriteError[] = "Stream-Schreibfehler";
inline constexpr char kInvalidBitmap[] = "Bitmap ist ungültig";
inline constexpr char kOutOfMemory[] = "Zu wenig Arbeitsspeicher";

// JPEG: the number is the JPEG library's message code.
inline constexpr char kJpegError[] = "JPEG-Fehler #%d";

// PNG, one per exception class.
inline constexpr char kPngInvalidFileHeader[] =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it "
    "contains an invalid header. This file may be corruped, try obtaining it again.";
inline constexpr char kPngUnexpectedEnd[] =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected "
    "end of the file.";
inline constexpr char kPngIHDRNotFirst[] =
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
    "(IHDR chunk is not the first)";
inline constexpr char kPngUnknownCriticalChunk[] =
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not "
    "be decoded.";
inline constexpr char kPngInvalidCRC[] =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of "
    "data (crc error)";
inline constexpr char kPngInvalidIHDR[] =
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece "
    "of data (ihdr) might be corrupted";
inline constexpr char kPngSizeExceeds[] =
    "This \"Portable Network Graphics\" image is not supported because either it's width or "
    "height exceeds the maximum size, which is 65535 pixels length.";
inline constexpr char kPngUnknownCompression[] =
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme "
    "which could not be decoded.";
inline constexpr char kPngUnknownInterlace[] =
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not "
    "be decoded.";
inline constexpr char kPngInvalidPalette[] =
    "The \"Portable Network Graphics\" image contains an invalid palette.";
inline constexpr char kPngMissingMultipleIDAT[] =
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
inline constexpr char kPngZlibError[] =
    "Could not decompress the image because it contains invalid compressed data.\r\n"
    " Description: ";
inline constexpr char kPngNoImageData[] =
    "This \"Portable Network Graphics\" image contains no data.";

// Texts appended to kPngZlibError, indexed by inflate result + 6 (-6 .. 2).
inline constexpr const char* kZlibResultTexts[] = {"incompatible version (-6)",
                                                   "buffer error (-5)",
                                                   "insufficient memory (-4)",
                                                   "data error (-3)",
                                                   "stream error (-2)",
                                                   "file error (-1)",
                                                   "(0)",
                                                   "stream end (1)",
                                                   "need dictionary (2)"};

// EPngError: pictures this decoder does not take, and images too large to hold.
inline constexpr char kPngUnsupportedFormat[] =
    "This \"Portable Network Graphics\" image uses colour type %d with bit depth %d, which is "
    "not supported.";
inline constexpr char kPngEmptyImage[] =
    "This \"Portable Network Graphics\" image is invalid because its width or height is 0.";
inline constexpr char kPngTransparencyWithoutPalette[] =
    "This \"Portable Network Graphics\" image is invalid because it has transparency for a "
    "palette but no palette.";
inline constexpr char kPngTooLarge[] =
    "This \"Portable Network Graphics\" image is too large: there is not enough memory for it.";

// The player: its window, its start-up error and its fatal-error box.
inline constexpr char kApplicationTitle[] = "Quenmora Player";
inline constexpr char kMainWindowCaption[] = "Quenmora";
inline constexpr char kStartupErrorCaption[] = "Fehler";
inline constexpr char kStartupErrorText[] =
    "Dateiinhalt konnte nicht ausgelesen werden. Die Anwendung wird beendet.";
inline constexpr char kFatalErrorCaption[] = "Anwendungsfehler";
inline constexpr char kFatalErrorFormat[] = "Exception %s in Modul %s bei %p.";
inline constexpr char kOkButton[] = "OK";

// What is wrong with a damaged gallery payload. Start-up answers every such case with
// kStartupErrorText; these say which check failed, for `quenmora info` and for diagnostics.
inline constexpr char kDamageNoTrailer[] = "file too short for a payload trailer";
inline constexpr char kDamageTrailerOutside[] =
    "payload trailer points outside the file or leaves no compressed block";
inline constexpr char kDamageBadStream[] = "compressed block is not a valid zlib stream";
inline constexpr char kDamageStreamTruncated[] =
    "compressed block ends before its zlib stream does";
inline constexpr char kDamageInflatedShort[] = "inflated data shorter than its size field";
inline constexpr char kDamageInflatedLong[] = "inflated data longer than its size field";
inline constexpr char kDamageInflatedZero[] = "inflated size is 0";
inline constexpr char kDamageShortHeader[] = "inflated data shorter than the gallery header";
inline constexpr char kDamageRecordPastEnd[] =
    "a slide record runs past the end of the inflated data";
inline constexpr char kDamageTooManySlides[] =
    "the slide count needs more temporary names than there are";
inline constexpr char kDamageBadFileName[] =
    "a slide's file name is empty, \".\", \"..\" or holds a directory part";

}  // namespace msg

// A field of a message: a text, a whole number (shown in decimal) or an address (shown as 16
// upper-case hexadecimal digits).
class MessageField {
 public:
  MessageField(const std::string& text) : text_(text) {}
  MessageField(const char* text) : text_(text) {}
  MessageField(long long number) : text_(std::to_string(number)) {}
  MessageField(const void* address);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Fills the %s, %d and %p fields of a message format with `fields`, in order.
std::string FormatMessage(const char* format, std::initializer_list<MessageField> fields);

// A file error text: the file name and the C library's text for the error number.
std::string FormatFileError(const char* format, const std::string& path, int error);

// The text the player's boxes show for an exception's message: a period is appended when the
// last character comes after "." in character order.
std::string ErrorBoxText(const std::string& message);

}  // namespace qm
