// Decoding of a PNG's image data into the header chunk's image.
#pragma once

#include <cstdint>

namespace qm {

class TPNGObject;
class TByteReader;

// Decodes the image data that starts with an IDAT chunk of `length` bytes, `stream` being
// positioned after the chunk's name. Reads on through the run of consecutive IDAT chunks as the
// compressed stream needs them, checking each chunk's checksum, and leaves `stream` after the
// checksum of the last chunk it read.
void DecodeImageData(TPNGObject& png, TByteReader& stream, uint32_t length);

}  // namespace qm
