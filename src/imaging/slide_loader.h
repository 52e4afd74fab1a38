// Slide decoding as the slide sequencer does it: the decoder is chosen by the lower-cased
// extension of the file name, and the picture comes back as the bitmap the transition control
// shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace qm {

enum class TSlideDecoder { sdNone, sdJPEG, sdPNG, sdBMP };

// The extension of the file name part (after the last "/"): from its last "." to the end, dot
// included, ASCII letters lower-cased; empty when the name has no dot.
std::string SlideExtension(const std::string& path);

// ".jpg" and ".jpeg": JPEG; ".png": PNG; ".bmp": BMP; anything else: none.
TSlideDecoder SlideDecoderFor(const std::string& path);

// Loads and decodes the file with `decoder`. The decoders' exceptions pass through unchanged
// (EFOpenError, EJPEG, the PNG errors, EInvalidGraphic, EReadError, EOutOfMemory). For
// sdNone nothing is read and the result is empty: the control keeps its previous picture.
std::optional<TBitmap> LoadSlidePicture(const std::string& path, TSlideDecoder decoder);
// The same with the decoder chosen by the file's extension.
std::optional<TBitmap> LoadSlidePicture(const std::string& path);
// The same for a picture file's bytes already in memory, the decoder chosen by the extension of
// `name`.
std::optional<TBitmap> DecodeSlidePicture(const std::string& name, std::vector<uint8_t> bytes);

}  // namespace qm
