// Every user-visible message text of the slide decoders, byte for byte as the player shows
// them. The framework's texts are German, the PNG decoder's English (typos included: they are
// what users of the player have always seen). Stored as UTF-8.
#pragma once

#include "platform/exception.h"

namespace qm::msg {

// Framework: file opening and stream reading, the bitmap reader.
inline constexpr const char kFileOpenError[] = "Datei %s kann nicht geöffnet werden. %s";
inline constexpr const char kStreamReadError[] = "Stream-Lesefehler";
inline constexpr const char kInvalidBitmap[] = "Bitmap ist ungültig";
inline constexpr const char* kOutOfMemory = kMsgOutOfMemory;

// JPEG: the number is the JPEG library's message code.
inline constexpr const char kJpegError[] = "JPEG-Fehler #%d";

// PNG, one per exception class.
inline constexpr const char kPngInvalidFileHeader[] =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it "
    "contains an invalid header. This file may be corruped, try obtaining it again.";
inline constexpr const char kPngUnexpectedEnd[] =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected "
    "end of the file.";
inline constexpr const char kPngIHDRNotFirst[] =
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
    "(IHDR chunk is not the first)";
inline constexpr const char kPngUnknownCriticalChunk[] =
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not "
    "be decoded.";
inline constexpr const char kPngInvalidCRC[] =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of "
    "data (crc error)";
inline constexpr const char kPngInvalidIHDR[] =
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece "
    "of data (ihdr) might be corrupted";
inline constexpr const char kPngSizeExceeds[] =
    "This \"Portable Network Graphics\" image is not supported because either it's width or "
    "height exceeds the maximum size, which is 65535 pixels length.";
inline constexpr const char kPngUnknownCompression[] =
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme "
    "which could not be decoded.";
inline constexpr const char kPngUnknownInterlace[] =
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not "
    "be decoded.";
inline constexpr const char kPngInvalidPalette[] =
    "The \"Portable Network Graphics\" image contains an invalid palette.";
inline constexpr const char kPngMissingMultipleIDAT[] =
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
inline constexpr const char kPngZlibError[] =
    "Could not decompress the image because it contains invalid compressed data.\r\n"
    " Description: ";
inline constexpr const char kPngNoImageData[] =
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
inline constexpr const char kPngUnsupportedFormat[] =
    "This \"Portable Network Graphics\" image uses colour type %d with bit depth %d, which is "
    "not supported.";
inline constexpr const char kPngEmptyImage[] =
    "This \"Portable Network Graphics\" image is invalid because its width or height is 0.";
inline constexpr const char kPngTransparencyWithoutPalette[] =
    "This \"Portable Network Graphics\" image is invalid because it has transparency for a "
    "palette but no palette.";
inline constexpr const char kPngTooLarge[] =
    "This \"Portable Network Graphics\" image is too large: there is not enough memory for it.";

}  // namespace qm::msg
