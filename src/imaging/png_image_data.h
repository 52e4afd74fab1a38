// Decoding of a PNG's image data into the header chunk's image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm {

class TPNGObject;
class TByteReader;

// Decodes the image data that starts with an IDAT chunk of `length` bytes, `stream` being
// positioned after the chunk's name. Reads on through the run of consecutive IDAT chunks as the
// compressed stream needs them, checking each chunk's checksum, and leaves `stream` after the
// checksum of the last chunk it read.
void DecodeImageData(TPNGObject& png, TByteReader& stream, uint32_t length);

// Reverses a row's filter in place. `previous` is the unfiltered row above (zeros for the first
// row of an image or pass), `distance` the bytes per complete pixel (at least 1). Filter type 0
// and types above 4 leave the row as it is.
void UnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* previous, std::size_t length,
                 std::size_t distance);

}  // namespace qm
