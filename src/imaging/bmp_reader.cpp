#include "imaging/bmp_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "imaging/byte_stream.h"
#include "imaging/decode_budget.h"
#include "imaging/packed_pixels.h"
#include "platform/byte_order.h"
#include "platform/exception.h"
#include "platform/messages.h"

namespace qm {

namespace {

constexpr uint32_t kCompressionNone = 0, kCompressionRle8 = 1, kCompressionRle4 = 2,
                   kCompressionBitFields = 3;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(msg::kInvalidBitmap);
}

// What the headers say, in the info header's terms.
struct BitmapInfo {
  uint32_t header_size = 0;
  int64_t width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
  uint32_t compression = 0, image_size = 0, colors_used = 0;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue
  bool core = false;
};

// One colour channel of a bit-field pixel: its position and width, expanded to 8 bits by
// repeating its bits (5 bits c: (c << 3) | (c >> 2)); wider channels keep their top 8 bits.
class Channel {
 public:
  explicit Channel(uint32_t mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    bits_ = 32 - std::countl_zero(mask >> shift_);
    mask_ = mask;
  }
  uint8_t Expand(uint32_t pixel) const {
    if (bits_ == 0) return 0;
    const uint32_t v = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return static_cast<uint8_t>(v >> (bits_ - 8));
    uint32_t r = 0;
    int filled = 0;
    while (filled < 8) {
      r = (r << bits_) | v;
      filled += bits_;
    }
    return static_cast<uint8_t>(r >> (filled - 8));
  }

 private:
  uint32_t mask_ = 0;
  int shift_ = 0, bits_ = 0;
};

BitmapInfo ReadHeaders(TByteReader& s) {
  BitmapInfo info;
  uint8_t size_bytes[4];
  s.ReadBuffer(size_bytes, 4);
  info.header_size = LoadLittleEndian32(size_bytes);
  if (info.header_size == 12) {
    uint8_t h[8];
    s.ReadBuffer(h, 8);
    info.core = true;
    info.width = LoadLittleEndian16(h);
    info.height = LoadLittleEndian16(h + 2);
    info.planes = LoadLittleEndian16(h + 4);
    info.bits = LoadLittleEndian16(h + 6);
    return info;
  }
  // Every other size is an info header, read whole; fields it is too short for count as 0, and
  // the fields of later versions beyond the colour masks are not needed.
  std::array<uint8_t, 56> h{};
  const uint64_t rest = info.header_size > 4 ? info.header_size - 4 : 0;
  if (rest > s.Remaining()) throw EReadError(msg::kStreamReadError);
  const std::size_t kept = rest < h.size() - 4 ? static_cast<std::size_t>(rest) : h.size() - 4;
  s.ReadBuffer(h.data() + 4, kept);
  s.Skip(rest - kept);
  info.width = static_cast<int32_t>(LoadLittleEndian32(&h[4]));
  info.height = static_cast<int32_t>(LoadLittleEndian32(&h[8]));
  info.planes = LoadLittleEndian16(&h[12]);
  info.bits = LoadLittleEndian16(&h[14]);
  info.compression = LoadLittleEndian32(&h[16]);
  info.image_size = LoadLittleEndian32(&h[20]);
  info.colors_used = LoadLittleEndian32(&h[32]);
  for (int i = 0; i < 3; ++i) info.masks[i] = LoadLittleEndian32(&h[40 + 4 * i]);
  return info;
}

std::vector<TRGBQuad> ReadColorTable(TByteReader& s, const BitmapInfo& info) {
  uint32_t entries = info.colors_used;
  if (entries == 0)
    entries = info.bits == 1 || info.bits == 4 || info.bits == 8 ? 1u << info.bits : 0;
  const std::size_t entry_size = info.core ? 3 : 4;
  std::vector<uint8_t> raw(entries * entry_size);
  s.ReadBuffer(raw.data(), raw.size());
  std::vector<TRGBQuad> table(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = &raw[i * entry_size];
    table[i] = TRGBQuad{e[0], e[1], e[2], 0};
  }
  return table;
}

void CheckFormat(const BitmapInfo& info) {
  switch (info.bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      Invalid();
  }
  if (info.width <= 0 || info.width > INT_MAX || info.height == 0 || info.height < -INT_MAX ||
      info.height > INT_MAX)
    Invalid();
  switch (info.compression) {
    case kCompressionRle8:
      if (info.bits != 8 || info.height < 0) Invalid();
      break;
    case kCompressionRle4:
      if (info.bits != 4 || info.height < 0) Invalid();
      break;
    case kCompressionBitFields:
      if (info.bits != 16 && info.bits != 32) Invalid();
      break;
  }
}

// Run-length data: pairs of a count and an index (RLE4: two indices taken in turn), or an
// escape: 0 end of line, 1 end of bitmap, 2 a move right and up, 3..255 that many literal
// indices padded to 16 bits. Rows run bottom-up; what the data never writes stays index 0.
void DecodeRunLength(std::span<const uint8_t> data, bool rle4, TBitmap& bitmap) {
  const int bits = rle4 ? 4 : 8;
  const int64_t width = bitmap.Width(), height = bitmap.Height();
  int64_t x = 0, y = 0;  // y counts rows from the bottom
  std::size_t pos = 0;
  const std::size_t end = data.size();
  auto put = [&](unsigned index) {
    if (x < width && y < height)
      PutPackedSample(bitmap.ScanLine(static_cast<int>(height - 1 - y)), static_cast<uint32_t>(x),
                      bits, index);
    ++x;
  };
  while (pos + 2 <= end && y < height) {
    const unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      const unsigned n = x < width ? static_cast<unsigned>(std::min<int64_t>(count, width - x)) : 0;
      for (unsigned k = 0; k < n; ++k) put(rle4 ? ((k & 1) ? value & 15 : value >> 4) : value);
      x += count - n;
      continue;
    }
    switch (value) {
      case 0:
        x = 0;
        ++y;
        break;
      case 1:
        return;
      case 2:
        if (pos + 2 > end) return;
        x += data[pos];
        y += data[pos + 1];
        pos += 2;
        break;
      default: {
        const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
        for (unsigned k = 0; k < value; ++k) {
          const std::size_t at = pos + (rle4 ? k / 2 : k);
          if (at >= end) return;
          put(rle4 ? ((k & 1) ? data[at] & 15 : data[at] >> 4) : data[at]);
        }
        pos += (bytes + 1) & ~std::size_t{1};
      }
    }
    if (x > width) x = width;
  }
}

// Uncompressed rows of the file's own depth; 16-bit pixels and bit fields are expanded to 24 and
// 32 bits. Bytes beyond `data` are zero.
void CopyRows(std::span<const uint8_t> data, const BitmapInfo& info, TBitmap& bitmap) {
  const int height = bitmap.Height(), width = bitmap.Width();
  const bool top_down = info.height < 0;
  const std::size_t stride = TBitmap::RowBytesFor(width, static_cast<PixelFormat>(info.bits));
  const bool fields =
      info.bits == 16 || (info.bits == 32 && info.compression == kCompressionBitFields);
  uint32_t masks[3] = {info.masks[0], info.masks[1], info.masks[2]};
  if (info.bits == 16 && info.compression != kCompressionBitFields) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
  const std::size_t pixel_bytes = info.bits / 8;
  for (int r = 0; r < height; ++r) {
    const uint64_t start = uint64_t{stride} * static_cast<uint64_t>(r);
    if (start >= data.size()) break;
    const std::size_t available =
        static_cast<std::size_t>(std::min<uint64_t>(stride, data.size() - start));
    const uint8_t* src = data.data() + start;
    uint8_t* dest = bitmap.ScanLine(top_down ? r : height - 1 - r);
    if (!fields) {
      std::memcpy(dest, src, std::min(available, bitmap.RowBytes()));
      continue;
    }
    const std::size_t out_bytes = bitmap.BitsPerPixel() / 8;
    const std::size_t pixels = std::min<std::size_t>(available / pixel_bytes, width);
    for (std::size_t i = 0; i < pixels; ++i) {
      const uint8_t* p = src + i * pixel_bytes;
      const uint32_t v = pixel_bytes == 2 ? LoadLittleEndian16(p) : LoadLittleEndian32(p);
      uint8_t* d = dest + i * out_bytes;
      d[0] = blue.Expand(v);
      d[1] = green.Expand(v);
      d[2] = red.Expand(v);
    }
  }
}

}  // namespace

TBitmap DecodeBitmap(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return TBitmap();
  TByteReader s(bytes);
  uint8_t file_header[14];
  s.ReadBuffer(file_header, sizeof file_header);
  if (LoadLittleEndian16(file_header) != 0x4D42) Invalid();  // "BM"
  const uint32_t bits_offset = LoadLittleEndian32(file_header + 10);

  BitmapInfo info = ReadHeaders(s);
  if (info.compression != kCompressionNone && info.compression != kCompressionRle8 &&
      info.compression != kCompressionRle4 && info.compression != kCompressionBitFields)
    Invalid();
  if (info.planes != 1) Invalid();
  if (info.header_size == 40 && info.compression == kCompressionBitFields &&
      (info.bits == 16 || info.bits == 32)) {
    uint8_t masks[12];
    s.ReadBuffer(masks, sizeof masks);
    for (int i = 0; i < 3; ++i) info.masks[i] = LoadLittleEndian32(masks + 4 * i);
  }
  if (info.colors_used > 256) Invalid();
  const std::vector<TRGBQuad> table = ReadColorTable(s, info);
  CheckFormat(info);

  // The pixel data starts where the file header says, when that is past the colour table and
  // inside the file; otherwise right after the colour table.
  if (bits_offset >= s.Position() && bits_offset <= s.Size()) s.Seek(bits_offset);
  const int width = static_cast<int>(info.width);
  const int height = static_cast<int>(info.height < 0 ? -info.height : info.height);
  const bool run_length =
      info.compression == kCompressionRle8 || info.compression == kCompressionRle4;
  // Without a stated size, uncompressed data fills whole rows; run-length data, which can be
  // longer than the rows it makes and has its own end code, takes the rest of the file.
  uint64_t image_size = info.image_size;
  if (image_size == 0)
    image_size = run_length
                     ? s.Remaining()
                     : uint64_t{TBitmap::RowBytesFor(width, static_cast<PixelFormat>(info.bits))} *
                           static_cast<uint64_t>(height);
  if (image_size > s.Remaining()) image_size = s.Remaining();
  const std::span<const uint8_t> data(s.Current(), static_cast<std::size_t>(image_size));

  PixelFormat format = static_cast<PixelFormat>(info.bits);
  if (info.bits == 16) format = PixelFormat::pf24bit;
  CheckDecodeBudget(
      BmpDecodeBytes(static_cast<uint64_t>(width), static_cast<uint64_t>(height), info.bits));
  TBitmap bitmap(width, height, format);
  if (info.bits <= 8) {
    std::vector<TRGBQuad>& palette = bitmap.Palette();
    palette.assign(std::size_t{1} << info.bits, TRGBQuad{});
    std::copy_n(table.begin(), std::min(table.size(), palette.size()), palette.begin());
  }
  if (run_length)
    DecodeRunLength(data, info.compression == kCompressionRle4, bitmap);
  else
    CopyRows(data, info, bitmap);
  return bitmap;
}

TBitmap LoadBitmapFile(const std::string& path) {
  return DecodeBitmap(ReadFileBytes(path));
}

}  // namespace qm
