// A slide picture's size and the memory the player needs to decode it, read from the file's
// header alone: for checks made before a picture is packed, without decoding it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

struct PictureSize {
  uint64_t width = 0, height = 0;
  uint64_t decode_bytes = 0;  // as the decoders count it against their budget
};

// Reads the header of the JPEG, PNG or BMP file at `path` (the decoder chosen by extension) as
// the player's decoders read it on a screen of more than 256 colours. Nothing when the file
// cannot be read or its header is not one the decoder takes.
std::optional<PictureSize> ReadPictureSize(const std::string& path);

}  // namespace qm
