// Test helpers: presentations built byte by byte, so that tests can damage any part of them,
// and private temporary directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "payload/payload_format.h"
#include "tests/support/bmp_files.h"
#include "tests/support/test_files.h"

namespace qm::test {

struct TestSlide {
  std::string file_name;  // Windows-1252
  std::string caption;    // Windows-1252
  Bytes data;
};

// The inflated payload: header (with `count` as given) and the records.
Bytes InflatedPayload(const GalleryHeader& header, const std::vector<TestSlide>& slides);

// zlib stream of `data` at `level`.
Bytes Deflate(const Bytes& data, int level = 9);

// player + stream + N (u32) + P (u32).
Bytes Presentation(const Bytes& player, const Bytes& stream, uint32_t inflated_size);

// A presentation with a plain payload of `slides` (header.count from the list).
Bytes SimplePresentation(GalleryHeader header, const std::vector<TestSlide>& slides,
                         const Bytes& player = Bytes(1000, 0x90));

Bytes Pattern(std::size_t size, uint32_t seed);  // pseudo-random bytes

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes; while it lives, TMPDIR points to it.
class PrivateTempDir {
 public:
  PrivateTempDir();
  ~PrivateTempDir();
  const std::string& Path() const { return path_; }  // ends without "/"
  std::vector<std::string> Entries() const;          // names, sorted

 private:
  std::string path_;
  std::string old_tmpdir_;
  bool had_tmpdir_ = false;
};

}  // namespace qm::test
