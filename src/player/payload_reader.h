// Reading a presentation's payload without extracting it: for `quenmora info` and checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/payload_format.h"

namespace qm {

struct PayloadSummary {
  uint64_t fileSize = 0;
  uint32_t payloadStart = 0;
  uint64_t compressedSize = 0;  // the zlib stream alone
  uint32_t inflatedSize = 0;
  GalleryHeader header;
  std::vector<SlideRecordHead> slides;  // in payload order
  uint64_t trailingBytes = 0;           // inflated bytes after the last record (none expected)
};

// Reads and checks the whole payload of `path`, streaming. Raises EPayloadDamaged naming the
// failed check; `noPayload` is set when the file does not look like a presentation at all (its
// trailer or the start of its block is not a payload's), as opposed to a damaged one.
PayloadSummary ReadPayloadSummary(const std::string& path, bool* noPayload = nullptr);

}  // namespace qm
