// zlib streams over files: the inflating stream that start-up and `quenmora info` read a
// payload through, and the deflating sink the authoring tool writes one with.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "payload/file_stream.h"

namespace qm {

// Inflates the zlib stream stored in bytes [begin, end) of `source`, reading it in chunks of
// kInputChunkSize bytes. ReadBuffer raises EPayloadDamaged on invalid data and EReadError when
// the stream ends before the requested bytes.
class InflateStream final : public ByteSource {
 public:
  InflateStream(FileStream& source, uint64_t begin, uint64_t end);
  ~InflateStream() override;
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  void ReadBuffer(void* buffer, std::size_t count) override;
  // Inflates whatever is left and checks that the stream ends cleanly (its Adler-32 matches)
  // with no output beyond what was read. Raises EPayloadDamaged otherwise.
  void VerifyEnd();
  uint64_t TotalOut() const { return total_out_; }

  static constexpr std::size_t kInputChunkSize = 64 * 1024;

 private:
  // Inflates into [out, out + count); returns the bytes produced (less only at stream end).
  std::size_t Inflate(uint8_t* out, std::size_t count);

  FileStream& source_;
  uint64_t remaining_in_;
  z_stream z_{};
  std::unique_ptr<uint8_t[]> input_;
  bool ended_ = false;
  uint64_t total_out_ = 0;
};

// Deflates everything written to it at level 9 into `sink` as one zlib stream (header bytes
// 0x78 0xDA). Counts the bytes written, which the payload's inflated-size field records.
class DeflateSink {
 public:
  explicit DeflateSink(FileStream& sink);
  ~DeflateSink();
  DeflateSink(const DeflateSink&) = delete;
  DeflateSink& operator=(const DeflateSink&) = delete;

  void Write(const void* data, std::size_t count);
  // The compression level for what is written from now on (zlib's 1..9, 0 stores); what came
  // before is compressed at the level it was written with.
  void SetLevel(int level);
  // Copies exactly `count` bytes of `source` into the stream.
  void CopyFrom(ByteSource& source, uint64_t count);
  void Finish();
  uint64_t TotalIn() const { return total_in_; }

 private:
  void Drain(int flush);

  FileStream& sink_;
  z_stream z_{};
  std::unique_ptr<uint8_t[]> output_;
  uint64_t total_in_ = 0;
  int level_;
  bool finished_ = false;
};

}  // namespace qm
