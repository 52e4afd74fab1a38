#include "payload/zlib_streams.h"

#include <algorithm>
#include <climits>
#include <string>

#include "payload/payload_errors.h"
#include "platform/exception.h"
#include "platform/messages.h"

namespace qm {

namespace {
constexpr std::size_t kOutputChunkSize = 64 * 1024;
}

InflateStream::InflateStream(FileStream& source, uint64_t begin, uint64_t end)
    : source_(source),
      remaining_in_(end > begin ? end - begin : 0),
      input_(new uint8_t[kInputChunkSize]) {
  source_.Seek(begin);
  if (inflateInit(&z_) != Z_OK) throw EOutOfMemory("zlib: inflateInit failed");
}

InflateStream::~InflateStream() {
  inflateEnd(&z_);
}

std::size_t InflateStream::Inflate(uint8_t* out, std::size_t count) {
  std::size_t produced = 0;
  while (produced < count && !ended_) {
    if (z_.avail_in == 0 && remaining_in_ > 0) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<uint64_t>(remaining_in_, kInputChunkSize));
      source_.ReadBuffer(input_.get(), n);
      remaining_in_ -= n;
      z_.next_in = input_.get();
      z_.avail_in = static_cast<uInt>(n);
    }
    const std::size_t want = std::min<std::size_t>(count - produced, UINT_MAX);
    z_.next_out = out + produced;
    z_.avail_out = static_cast<uInt>(want);
    const int rc = inflate(&z_, Z_NO_FLUSH);
    const std::size_t got = want - z_.avail_out;
    produced += got;
    if (rc == Z_BUF_ERROR && got == 0 && z_.avail_in == 0 && remaining_in_ == 0)
      throw EPayloadDamaged(msg::kDamageStreamTruncated);
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
      throw EPayloadDamaged(std::string(msg::kDamageBadStream) + " (" +
                            (z_.msg ? z_.msg : "invalid data") + ")");
    } else if (rc == Z_MEM_ERROR) {
      throw EOutOfMemory("zlib: out of memory");
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw EPayloadDamaged(msg::kDamageBadStream);
    }
  }
  total_out_ += produced;
  return produced;
}

void InflateStream::ReadBuffer(void* buffer, std::size_t count) {
  if (Inflate(static_cast<uint8_t*>(buffer), count) != count)
    throw EPayloadDamaged(msg::kDamageInflatedShort);
}

void InflateStream::VerifyEnd() {
  uint8_t extra[256];
  while (!ended_) {
    if (Inflate(extra, sizeof extra) != 0) throw EPayloadDamaged(msg::kDamageInflatedLong);
  }
}

DeflateSink::DeflateSink(FileStream& sink)
    : sink_(sink), output_(new uint8_t[kOutputChunkSize]), level_(Z_BEST_COMPRESSION) {
  if (deflateInit2(&z_, level_, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw EOutOfMemory("zlib: deflateInit failed");
}

DeflateSink::~DeflateSink() {
  deflateEnd(&z_);
}

void DeflateSink::Drain(int flush) {
  for (;;) {
    z_.next_out = output_.get();
    z_.avail_out = static_cast<uInt>(kOutputChunkSize);
    const int rc = deflate(&z_, flush);
    if (rc == Z_STREAM_ERROR) throw Exception("zlib: deflate failed");
    sink_.WriteBuffer(output_.get(), kOutputChunkSize - z_.avail_out);
    if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) return;
  }
}

void DeflateSink::Write(const void* data, std::size_t count) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (count > 0) {
    const std::size_t n = std::min<std::size_t>(count, UINT_MAX);
    z_.next_in = const_cast<Bytef*>(p);
    z_.avail_in = static_cast<uInt>(n);
    Drain(Z_NO_FLUSH);
    p += n;
    count -= n;
    total_in_ += n;
  }
}

void DeflateSink::SetLevel(int level) {
  if (level == level_) return;
  z_.next_in = nullptr;
  z_.avail_in = 0;
  // The input so far is compressed at the old level first; with too little room for that, zlib
  // changes nothing and asks to be called again.
  for (;;) {
    z_.next_out = output_.get();
    z_.avail_out = static_cast<uInt>(kOutputChunkSize);
    const int rc = deflateParams(&z_, level, Z_DEFAULT_STRATEGY);
    sink_.WriteBuffer(output_.get(), kOutputChunkSize - z_.avail_out);
    if (rc == Z_OK) break;
    if (rc != Z_BUF_ERROR) throw Exception("zlib: deflateParams failed");
  }
  level_ = level;
}

void DeflateSink::CopyFrom(ByteSource& source, uint64_t count) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[FileStream::kCopyBufferSize]);
  while (count > 0) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<uint64_t>(count, FileStream::kCopyBufferSize));
    source.ReadBuffer(buffer.get(), n);
    Write(buffer.get(), n);
    count -= n;
  }
}

void DeflateSink::Finish() {
  if (finished_) return;
  z_.next_in = nullptr;
  z_.avail_in = 0;
  Drain(Z_FINISH);
  finished_ = true;
}

}  // namespace qm
