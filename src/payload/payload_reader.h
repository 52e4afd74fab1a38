// Reading a presentation's payload without extracting it: for `quenmora info` and checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "payload/file_stream.h"
#include "payload/payload_format.h"

namespace qm {

// Reads the payload trailer of `file` (`length` bytes long): the payload start, checked to
// leave room for a compressed block and its inflated-size field. Raises EPayloadDamaged.
uint32_t ReadPayloadStart(FileStream& file, uint64_t length);

// Reads the next slide record's head from the inflated payload, of which `remaining` bytes are
// left (reduced by the head's size), and checks its file name. Raises EPayloadDamaged. The
// caller checks the data size against what remains.
SlideRecordHead ReadSlideRecordHead(ByteSource& source, uint64_t& remaining);

struct PayloadSummary {
  uint64_t file_size = 0;
  uint32_t payload_start = 0;
  uint64_t compressed_size = 0;  // the zlib stream alone
  uint32_t inflated_size = 0;
  GalleryHeader header;
  std::vector<SlideRecordHead> slides;  // in payload order
  uint64_t trailing_bytes = 0;          // inflated bytes after the last record (none expected)
};

// Reads and checks the whole payload of `path`, streaming. Raises EPayloadDamaged naming the
// failed check; `noPayload` is set when the file does not look like a presentation at all (its
// trailer or the start of its block is not a payload's), as opposed to a damaged one.
PayloadSummary ReadPayloadSummary(const std::string& path, bool* no_payload = nullptr);

}  // namespace qm
