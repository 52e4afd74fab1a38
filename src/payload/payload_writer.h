// Writing a presentation: the player executable, the deflated gallery payload, its inflated
// size and the payload start. Pictures are streamed from their files, never held whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "payload/file_stream.h"
#include "payload/payload_format.h"

namespace qm {

struct PackSlide {
  std::string source_path;  // the picture file to copy
  std::string file_name;    // stored file name, Windows-1252
  std::string caption;      // Windows-1252
  // Instead of a file: `spoolSize` bytes at `spoolOffset` of an open file that holds pictures
  // prepared for the presentation.
  FileStream* spool = nullptr;
  uint64_t spool_offset = 0;
  uint64_t spool_size = 0;
};

// Called after each slide with the picture bytes copied so far and in all.
using PackProgress = std::function<void(uint64_t done, uint64_t total)>;

// Writes the presentation into `out` (positioned at 0). `header.count` is set from `slides`.
// Raises on any read or write error, when a picture changes size while it is read, or when the
// player or payload exceeds the 4 GiB that the u32 fields can address.
void WritePresentation(const std::string& player_path, GalleryHeader header,
                       const std::vector<PackSlide>& slides, FileStream& out,
                       const PackProgress& progress = {});

}  // namespace qm
