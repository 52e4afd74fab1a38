#include "imaging/png_image_data.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/byte_stream.h"
#include "imaging/decode_stop.h"
#include "imaging/packed_pixels.h"
#include "imaging/png_image.h"
#include "imaging/png_rows.h"
#include "platform/byte_order.h"
#include "platform/messages.h"

namespace qm {

namespace {

// ---- reading the compressed stream across IDAT chunks ----

// Feeds inflate from the run of IDAT chunks through an input buffer of 65535 bytes. Every byte
// read from a chunk, and the chunk's name, go into the running checksum.
//
// Given a faster Adler-32 sum, the reader switches inflate's own check of the stream's sum off
// and makes it here over every byte inflate gives: when the stream ends, the sum must match the
// 4 bytes that inflate read last, or the data is in error as inflate itself would report it.
class IdatReader {
 public:
  using TAdler32 = uint32_t (*)(uint32_t adler, const uint8_t* data, std::size_t length);

  IdatReader(TByteReader& stream, uint32_t length, TAdler32 adler32)
      : stream_(stream), remaining_(length), adler32_(adler32) {
    crc_ = crc32(0L, reinterpret_cast<const Bytef*>("IDAT"), 4);
    if (inflateInit(&z_) != Z_OK) throw EPNGZLIBError(ZlibMessage(Z_MEM_ERROR));
    if (adler32_ && inflateValidate(&z_, 0) != Z_OK)
      throw EPNGZLIBError(ZlibMessage(Z_STREAM_ERROR));
  }
  ~IdatReader() { inflateEnd(&z_); }
  IdatReader(const IdatReader&) = delete;
  IdatReader& operator=(const IdatReader&) = delete;

  // Fills `out` with the next `count` bytes of image data and returns `count`, or fewer when the
  // data ends before that: the compressed stream is complete, or the file ends.
  std::size_t Read(uint8_t* out, std::size_t count) {
    z_.next_out = out;
    z_.avail_out = static_cast<uInt>(count);
    while (z_.avail_out > 0 && !ended_) {
      if (z_.avail_in == 0 && !Refill()) break;
      const uInt in_before = z_.avail_in, out_before = z_.avail_out;
      const int result = inflate(&z_, Z_NO_FLUSH);
      if (result < 0) throw EPNGZLIBError(ZlibMessage(result));
      if (adler32_) {
        const uInt produced = out_before - z_.avail_out;
        adler_ = adler32_(adler_, z_.next_out - produced, produced);
        if (result == Z_STREAM_END && StoredSum() != adler_)
          throw EPNGZLIBError(ZlibMessage(Z_DATA_ERROR));
      }
      // The stream is complete (or asks for a preset dictionary, which no PNG has): no further
      // input can produce output.
      if (result == Z_STREAM_END || result == Z_NEED_DICT) ended_ = true;
      if (z_.avail_in == in_before && z_.avail_out == out_before) ended_ = true;
    }
    return count - z_.avail_out;
  }

  // Reads the rest of the chunk being read into the checksum, then its checksum, and compares.
  void Finish() {
    while (remaining_ > 0) {
      const std::size_t got = ReadChunkBytes();
      if (got == 0) break;
    }
    CheckCrc();
  }

  static std::string ZlibMessage(int result) {
    const int index = result + 6;
    const char* text = index >= 0 && index <= 8 ? msg::kZlibResultTexts[index] : "";
    return std::string(msg::kPngZlibError) + text;
  }

 private:
  static constexpr std::size_t kBufferSize = 65535;

  // Reads up to one buffer of the current chunk's data; returns the count read.
  std::size_t ReadChunkBytes() {
    const std::size_t want = remaining_ < kBufferSize ? remaining_ : kBufferSize;
    const std::size_t got = stream_.Read(buffer_.data(), want);
    remaining_ -= static_cast<uint32_t>(got);
    crc_ = crc32_z(crc_, buffer_.data(), got);
    return got;
  }

  void CheckCrc() {
    uint8_t stored[4];
    if (stream_.Read(stored, 4) != 4 || LoadBigEndian32(stored) != crc_)
      throw EPngInvalidCRC(msg::kPngInvalidCRC);
  }

  // Gives inflate more input. When the chunk is used up, checks its checksum and moves on to
  // the next chunk, which must be IDAT; empty IDAT chunks are checked and passed over. Returns
  // false when no byte could be read: the file has ended.
  bool Refill() {
    while (remaining_ == 0) {
      CheckCrc();
      uint8_t head[8];
      const std::size_t got = stream_.Read(head, 8);
      if (got < 8 || std::memcmp(head + 4, "IDAT", 4) != 0)
        throw EPNGMissingMultipleIDAT(msg::kPngMissingMultipleIDAT);
      remaining_ = LoadBigEndian32(head);
      crc_ = crc32(0L, head + 4, 4);
    }
    Remember(last_, buffer_.data(), in_buffer_);
    const std::size_t got = ReadChunkBytes();
    in_buffer_ = got;
    if (got == 0) {
      ended_ = true;
      return false;
    }
    z_.next_in = buffer_.data();
    z_.avail_in = static_cast<uInt>(got);
    return true;
  }

  // Moves the last (up to) 4 of `count` bytes into `last`, the 4 bytes read before them.
  static void Remember(uint8_t* last, const uint8_t* data, std::size_t count) {
    for (std::size_t i = count > 4 ? count - 4 : 0; i < count; ++i) {
      std::memmove(last, last + 1, 3);
      last[3] = data[i];
    }
  }

  // The stream's stored sum: the 4 bytes inflate has read last, big-endian.
  uint32_t StoredSum() const {
    uint8_t last[4];
    std::memcpy(last, last_, 4);
    Remember(last, buffer_.data(), static_cast<std::size_t>(z_.next_in - buffer_.data()));
    return LoadBigEndian32(last);
  }

  TByteReader& stream_;
  uint32_t remaining_;
  uLong crc_;
  z_stream z_{};
  bool ended_ = false;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kBufferSize);
  std::size_t in_buffer_ = 0;  // bytes the last refill put into the buffer
  uint8_t last_[4] = {};       // the last 4 bytes of the input before the buffer's
  TAdler32 adler32_;
  uint32_t adler_ = 1;
};

// Size of the buffer that rows are inflated into (more when two rows need more).
constexpr std::size_t kStageBytes = 512 * 1024;

// ---- row copies into the image ----

// Where a row's pixels go: column x0 + i * dx of image row `row` for pixel i of the row.
struct RowTarget {
  uint8_t* dest;   // the image row
  uint8_t* alpha;  // the alpha plane row, for colour types 4 and 6
  uint32_t x0, dx, count;
};

// The colour-to-image copy for one colour type and bit depth.
class RowCopier {
 public:
  RowCopier(const TChunkIHDR& header, const std::array<uint8_t, 256>& gamma, bool identity,
            const png::TRowKernels& kernels)
      : type_(header.ColorType),
        depth_(header.BitDepth),
        gamma_(gamma),
        identity_(identity),
        kernels_(kernels) {}

  void Copy(const uint8_t* src, const RowTarget& t) const {
    switch (type_) {
      case 0:
      case 3:
        CopyIndexed(src, t);
        break;
      case 2:
        if (depth_ == 8)
          CopyRgb<3>(src, t);
        else
          CopyRgb<6>(src, t);
        break;
      case 6:
        if (depth_ == 8 && identity_ && t.dx == 1 && t.alpha) {
          kernels_.RgbaToBgr(src, t.dest + std::size_t{t.x0} * 3, t.alpha + t.x0, t.count);
          return;
        }
        if (depth_ == 8)
          CopyRgb<4>(src, t);
        else
          CopyRgb<8>(src, t);
        CopyAlpha(src, t, depth_ == 8 ? 4 : 8, depth_ == 8 ? 3 : 6);
        break;
      case 4: {
        const uint32_t step = depth_ == 8 ? 2 : 4;
        for (uint32_t i = 0; i < t.count; ++i) t.dest[t.x0 + i * t.dx] = src[i * step];
        CopyAlpha(src, t, step, step / 2);
        break;
      }
    }
  }

 private:
  void CopyIndexed(const uint8_t* src, const RowTarget& t) const {
    if (depth_ == 16) {
      for (uint32_t i = 0; i < t.count; ++i) t.dest[t.x0 + i * t.dx] = src[2 * i];
    } else if (depth_ == 2) {
      // Two-bit samples become four-bit indices: palette index v, or grey ramp index v * 5.
      const unsigned factor = type_ == 0 ? 5 : 1;
      for (uint32_t i = 0; i < t.count; ++i)
        PutPackedSample(t.dest, t.x0 + i * t.dx, 4, GetPackedSample(src, i, 2) * factor);
    } else if (t.dx == 1 && t.x0 == 0) {
      std::memcpy(t.dest, src, (static_cast<std::size_t>(t.count) * depth_ + 7) / 8);
    } else {
      for (uint32_t i = 0; i < t.count; ++i)
        PutPackedSample(t.dest, t.x0 + i * t.dx, depth_, GetPackedSample(src, i, depth_));
    }
  }

  // Red, green, blue (high bytes at 16 bits) to blue, green, red through the gamma table.
  template <int kStep>
  void CopyRgb(const uint8_t* src, const RowTarget& t) const {
    constexpr int kChannel = kStep == 6 || kStep == 8 ? 2 : 1;
    uint8_t* d = t.dest + static_cast<std::size_t>(t.x0) * 3;
    const std::size_t dstep = static_cast<std::size_t>(t.dx) * 3;
    const uint32_t n = t.count;
    if (identity_ && kStep == 3 && t.dx == 1) {
      kernels_.RgbToBgr(src, d, n);
    } else if (identity_) {
      for (uint32_t i = 0; i < n; ++i, src += kStep, d += dstep) {
        d[0] = src[2 * kChannel];
        d[1] = src[kChannel];
        d[2] = src[0];
      }
    } else {
      const uint8_t* g = gamma_.data();
      for (uint32_t i = 0; i < n; ++i, src += kStep, d += dstep) {
        d[0] = g[src[2 * kChannel]];
        d[1] = g[src[kChannel]];
        d[2] = g[src[0]];
      }
    }
  }

  static void CopyAlpha(const uint8_t* src, const RowTarget& t, uint32_t step, uint32_t offset) {
    if (!t.alpha) return;
    for (uint32_t i = 0; i < t.count; ++i) t.alpha[t.x0 + i * t.dx] = src[i * step + offset];
  }

  int type_, depth_;
  const std::array<uint8_t, 256>& gamma_;
  bool identity_;
  const png::TRowKernels& kernels_;
};

// Raw row length in bytes of `width` pixels.
std::size_t RawRowBytes(int type, int depth, uint32_t width) {
  const uint64_t w = width;
  switch (type) {
    case 2:
      return static_cast<std::size_t>(w * depth * 3 / 8);
    case 4:
      return static_cast<std::size_t>(w * depth * 2 / 8);
    case 6:
      return static_cast<std::size_t>(w * depth * 4 / 8);
    default:
      return static_cast<std::size_t>((w * depth + 7) / 8);
  }
}

// Bytes per complete pixel, the distance of the Sub, Average and Paeth filters.
std::size_t FilterDistance(int type, int depth) {
  switch (type) {
    case 0:
      return depth == 16 ? 2 : 1;
    case 2:
      return static_cast<std::size_t>(depth * 3 / 8);
    case 4:
      return static_cast<std::size_t>(depth / 4);
    case 6:
      return static_cast<std::size_t>(depth / 2);
    default:
      return 1;
  }
}

// How the image data is inflated: many rows a call, or one row a call.
enum class Pace { kBlocks, kRows };

// Decodes the image data into the image; marks in `written` each image row it writes to.
void DecodeRows(TPNGObject& png, TByteReader& stream, uint32_t length, Pace pace,
                std::vector<bool>& written) {
  TChunkIHDR& header = *png.Header();
  const int type = header.ColorType, depth = header.BitDepth;
  const uint32_t width = header.Width, height = header.Height;
  TBitmap& image = header.Image;

  // Grey ramp: entry k of n is the grey level gamma[MulDiv(k, 255, n - 1)] (exact here).
  if (type == 0 || type == 4) {
    const int n = 1 << image.BitsPerPixel();
    for (int k = 0; k < n; ++k) {
      const uint8_t g = png.GammaTable[k * 255 / (n - 1)];
      header.ColorTable[k] = TRGBQuad{g, g, g, 0};
    }
  }

  const std::size_t distance = FilterDistance(type, depth);
  const png::TRowKernels& kernels = png::RowKernels();
  const png::TUnfilter* fixed = distance == 3   ? kernels.Unfilter3
                                : distance == 4 ? kernels.Unfilter4
                                                : nullptr;
  const RowCopier copier(header, png.GammaTable, png.GammaIsIdentity(), kernels);
  IdatReader reader(stream, length, pace == Pace::kBlocks ? kernels.Adler32 : nullptr);

  struct Pass {
    uint32_t x0, y0, dx, dy;
    uint32_t Width(uint32_t width) const { return (width - x0 + dx - 1) / dx; }
    uint32_t Height(uint32_t height) const { return (height - y0 + dy - 1) / dy; }
  };
  static constexpr Pass kWholeImage[] = {{0, 0, 1, 1}};
  static constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const std::span<const Pass> passes =
      png.InterlaceMethod == 1 ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWholeImage);

  // The image data holds exactly this many bytes: every row of every pass that has pixels, each
  // with its filter-type byte. Nothing past it is ever asked of inflate, so the input read (and
  // the checks made on the way) is the same however the requests are cut.
  uint64_t data_left = 0;
  for (const Pass& pass : passes)
    if (pass.x0 < width && pass.y0 < height)
      data_left +=
          uint64_t{pass.Height(height)} * (RawRowBytes(type, depth, pass.Width(width)) + 1);

  // Rows are inflated many at a time into a staging buffer and unfiltered where they land: one
  // inflate call per block of rows keeps zlib on its fast path, which a call per row leaves
  // near every row's end. The buffer holds at least the row above and the row being decoded,
  // and no more than the whole image data when that is smaller: a small picture does not pay
  // for clearing a buffer it never fills.
  const std::size_t max_row = RawRowBytes(type, depth, width) + 1;
  std::vector<uint8_t> stage(std::max<std::size_t>(
      static_cast<std::size_t>(std::min<uint64_t>(kStageBytes, data_left)), 2 * max_row));
  const std::vector<uint8_t> zeros(max_row);  // the row above the first row of a pass
  std::size_t pos = 0, filled = 0;            // next row's start, end of the inflated bytes
  bool ended = false, stopped = false;

  for (const Pass& pass : passes) {
    if (stopped) break;
    if (pass.x0 >= width || pass.y0 >= height) continue;  // the pass has no pixels
    const uint32_t pass_width = pass.Width(width), pass_height = pass.Height(height);
    const std::size_t row_bytes = RawRowBytes(type, depth, pass_width), need = row_bytes + 1;
    const uint8_t* previous = zeros.data();
    for (uint32_t r = 0; r < pass_height; ++r) {
      ThrowIfDecodeStopped();
      if (filled - pos < need && !ended) {
        if (stage.size() - pos < need) {
          // Keep the row above (when it is in the buffer) and the partial row: move them to
          // the front.
          const std::size_t keep = previous == zeros.data() ? pos : pos - need;
          std::memmove(stage.data(), stage.data() + keep, filled - keep);
          if (previous != zeros.data()) previous = stage.data();
          pos -= keep;
          filled -= keep;
        }
        const std::size_t want =
            pace == Pace::kRows
                ? need - (filled - pos)
                : static_cast<std::size_t>(std::min<uint64_t>(stage.size() - filled, data_left));
        const std::size_t got = reader.Read(stage.data() + filled, want);
        filled += got;
        data_left -= got;
        ended = got < want;
      }
      if (filled - pos < need) {
        // The data ended inside this row: it and every row after it stay zero.
        stopped = true;
        break;
      }
      uint8_t* row = stage.data() + pos;
      const uint8_t filter = row[0];
      if (fixed && filter >= 1 && filter <= 4)
        fixed[filter](row + 1, previous + 1, row_bytes);
      else
        UnfilterRow(filter, row + 1, previous + 1, row_bytes, distance);
      const uint32_t y = pass.y0 + r * pass.dy;
      RowTarget target{
          image.ScanLine(static_cast<int>(y)),
          header.Alpha.empty() ? nullptr : header.Alpha.data() + std::size_t{y} * width, pass.x0,
          pass.dx, pass_width};
      copier.Copy(row + 1, target);
      written[y] = true;
      previous = row;
      pos += need;
    }
  }
  reader.Finish();
}

}  // namespace

void DecodeImageData(TPNGObject& png, TByteReader& stream, uint32_t length) {
  const std::size_t start = stream.Position();
  TChunkIHDR& header = *png.Header();
  std::vector<bool> written(header.Height);
  try {
    DecodeRows(png, stream, length, Pace::kBlocks, written);
  } catch (const EPNGZLIBError&) {
    // Damaged compressed data. Inflating many rows a call can meet the damage before a check
    // that inflating row by row makes first (a chunk's checksum, the next chunk's name, the end
    // of the file), so the data is read again row by row from its start, and whichever failure
    // that meets first is the one reported. The rows written so far are cleared first (only
    // they: the rest of a large image may never have been touched).
    TBitmap& image = header.Image;
    const uint32_t width = header.Width;
    for (uint32_t y = 0; y < header.Height; ++y) {
      if (!written[y]) continue;
      std::fill_n(image.ScanLine(static_cast<int>(y)), image.RowBytes(), 0);
      if (!header.Alpha.empty())
        std::fill_n(header.Alpha.begin() + static_cast<std::ptrdiff_t>(std::size_t{y} * width),
                    width, 0);
    }
    stream.Seek(start);
    DecodeRows(png, stream, length, Pace::kRows, written);
  }
}

}  // namespace qm
