#include "imaging/png_image.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "imaging/byte_stream.h"
#include "imaging/decode_budget.h"
#include "imaging/png_image_data.h"
#include "platform/byte_order.h"
#include "platform/messages.h"

namespace qm {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

using ChunkFactory = std::unique_ptr<TChunk> (*)(TPNGObject&, const std::string&);

template <class T>
std::unique_ptr<TChunk> Make(TPNGObject& owner, const std::string& name) {
  return std::make_unique<T>(owner, name);
}

// The registered chunk classes, looked up by exact name.
struct RegisteredChunk {
  const char* name;
  ChunkFactory create;
};
constexpr RegisteredChunk kRegisteredChunks[] = {
    {"IEND", Make<TChunkIEND>}, {"IHDR", Make<TChunkIHDR>}, {"IDAT", Make<TChunkIDAT>},
    {"PLTE", Make<TChunkPLTE>}, {"gAMA", Make<TChunkgAMA>}, {"tRNS", Make<TChunktRNS>},
    {"tIME", Make<TChunktIME>}, {"tEXt", Make<TChunktEXt>}, {"zTXt", Make<TChunkzTXt>},
};

std::unique_ptr<TChunk> CreateChunk(TPNGObject& owner, const std::string& name) {
  for (const RegisteredChunk& r : kRegisteredChunks)
    if (name == r.name) return r.create(owner, name);
  // Bit 5 of the first letter clear (upper case): a critical chunk that must be understood.
  if ((static_cast<uint8_t>(name[0]) & 0x20) == 0)
    throw EPNGUnknownCriticalChunk(msg::kPngUnknownCriticalChunk);
  return std::make_unique<TChunk>(owner, name);
}

}  // namespace

int PngBufferBitsPerPixel(int color_type, int bit_depth) {
  switch (color_type) {
    case 0:
    case 3:
      switch (bit_depth) {
        case 1:
        case 4:
        case 8:
          return bit_depth;
        case 2:
          return 4;
        case 16:
          return 8;
      }
      return 0;
    case 4:
      return bit_depth == 8 || bit_depth == 16 ? 8 : 0;
    case 2:
    case 6:
      return bit_depth == 8 || bit_depth == 16 ? 24 : 0;
  }
  return 0;
}

// ---- chunks ----

void TChunk::LoadFromStream(TByteReader& stream, uint32_t length) {
  // A length beyond the end of the file cannot be read whole; take what is there, and the
  // checksum test reports the damage.
  const std::size_t available = length < stream.Remaining() ? length : stream.Remaining();
  data_.resize(available);
  stream.Read(data_.data(), available);
  uint8_t stored[4] = {0, 0, 0, 0};
  const std::size_t got = stream.Read(stored, 4);
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(name_.data()), 4);
  // (zlib takes a null buffer as a request for the initial value: skip empty data.)
  if (!data_.empty()) crc = crc32_z(crc, data_.data(), data_.size());
  if (available < length || got < 4 || LoadBigEndian32(stored) != crc)
    throw EPngInvalidCRC(msg::kPngInvalidCRC);
}

void TChunkIHDR::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  if (data_.size() < 13) throw EPngInvalidIHDR(msg::kPngInvalidIHDR);
  Width = LoadBigEndian32(&data_[0]);
  Height = LoadBigEndian32(&data_[4]);
  BitDepth = data_[8];
  ColorType = data_[9];
  CompressionMethod = data_[10];
  FilterMethod = data_[11];
  InterlaceMethod = data_[12];
  if (Width > 65535 || Height > 65535) throw EPNGSizeExceeds(msg::kPngSizeExceeds);
  if (CompressionMethod != 0) throw EPNGUnknownCompression(msg::kPngUnknownCompression);
  if (InterlaceMethod > 1) throw EPNGUnknownInterlace(msg::kPngUnknownInterlace);
  PrepareImage();
}

void TChunkIHDR::PrepareImage() {
  const int bpp = PngBufferBitsPerPixel(ColorType, BitDepth);
  if (bpp == 0) throw EPngError(FormatMessage(msg::kPngUnsupportedFormat, {ColorType, BitDepth}));
  if (Width == 0 || Height == 0) throw EPngError(msg::kPngEmptyImage);
  // Only the first header owns the image; a repeated header is checked and otherwise kept as
  // data, so that a file cannot make the decoder hold several images.
  if (owner_.Header() != this) return;
  owner_.InterlaceMethod = InterlaceMethod;
  try {
    CheckDecodeBudget(PngDecodeBytes(Width, Height, bpp, ColorType));
    Image.SetSize(static_cast<int>(Width), static_cast<int>(Height), static_cast<PixelFormat>(bpp));
    if (ColorType == 4 || ColorType == 6) Alpha.assign(static_cast<std::size_t>(Width) * Height, 0);
  } catch (const EOutOfMemory&) {
    throw EPngError(msg::kPngTooLarge);
  } catch (const std::bad_alloc&) {
    throw EPngError(msg::kPngTooLarge);
  }
}

void TChunkPLTE::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  if (data_.size() % 3 != 0 || data_.size() > 256 * 3)
    throw EPNGInvalidPalette(msg::kPngInvalidPalette);
  Count = static_cast<int>(data_.size() / 3);
  TChunkIHDR* header = owner_.Header();
  const auto& gamma = owner_.GammaTable;
  for (int i = 0; i < Count; ++i) {
    header->ColorTable[i] =
        TRGBQuad{gamma[data_[3 * i + 2]], gamma[data_[3 * i + 1]], gamma[data_[3 * i]], 0};
  }
}

void TChunkgAMA::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  Gamma = data_.size() == 4 ? LoadBigEndian32(data_.data()) : 1;
  if (Gamma != 0) owner_.SetGamma(Gamma);
}

void TChunktRNS::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  if (data_.size() > 256) throw EPNGInvalidPalette(msg::kPngInvalidPalette);
  AlphaValues.fill(255);
  std::memcpy(AlphaValues.data(), data_.data(), data_.size());
  switch (owner_.Header()->ColorType) {
    case 0:
    case 2:
      BitTransparency = true;
      break;
    case 3: {
      int partial = 0;
      for (uint8_t a : data_) partial += a != 255;
      BitTransparency = partial == 1;
      break;
    }
    default:
      BitTransparency = false;
  }
}

void TChunktIME::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  if (data_.size() != 7) return;
  Year = LoadBigEndian16(data_.data());
  Month = data_[2];
  Day = data_[3];
  Hour = data_[4];
  Minute = data_[5];
  Second = data_[6];
}

void TChunktEXt::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  const auto zero = std::find(data_.begin(), data_.end(), uint8_t{0});
  Keyword.assign(data_.begin(), zero);
  Text.assign(zero == data_.end() ? zero : zero + 1, data_.end());
}

void TChunkzTXt::LoadFromStream(TByteReader& stream, uint32_t length) {
  TChunk::LoadFromStream(stream, length);
  const auto zero = std::find(data_.begin(), data_.end(), uint8_t{0});
  Keyword.assign(data_.begin(), zero);
  Text.clear();
  // The compressed text follows the keyword's zero byte and the compression method byte.
  const std::size_t start = static_cast<std::size_t>(zero - data_.begin()) + 2;
  if (start > data_.size()) return;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return;
  z.next_in = data_.data() + start;
  z.avail_in = static_cast<uInt>(data_.size() - start);
  std::string text;
  unsigned char block[16384];
  bool failed = false;
  for (;;) {
    z.next_out = block;
    z.avail_out = sizeof block;
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result < 0 && result != Z_BUF_ERROR) {
      failed = true;
      break;
    }
    const std::size_t produced = sizeof block - z.avail_out;
    text.append(reinterpret_cast<const char*>(block), produced);
    if (result == Z_STREAM_END || result == Z_NEED_DICT) {
      failed = result == Z_NEED_DICT;
      break;
    }
    if (text.size() >= kMaxTextBytes) {
      text.resize(kMaxTextBytes);
      break;
    }
    // The compressed text ends before its stream does.
    if (result == Z_BUF_ERROR || (produced == 0 && z.avail_in == 0)) {
      failed = true;
      break;
    }
  }
  inflateEnd(&z);
  if (!failed) Text = std::move(text);
}

void TChunkIDAT::LoadFromStream(TByteReader& stream, uint32_t length) {
  DecodeImageData(owner_, stream, length);
}

// ---- the PNG object ----

TPNGObject::TPNGObject() {
  for (int i = 0; i < 256; ++i) GammaTable[i] = static_cast<uint8_t>(i);
}

TPNGObject::~TPNGObject() = default;

TChunkIHDR* TPNGObject::Header() const {
  return chunks_.empty() ? nullptr : dynamic_cast<TChunkIHDR*>(chunks_.front().get());
}

void TPNGObject::SetGamma(uint32_t gamma) {
  // Entry i = Round(255 * (i / 255) ^ (1 / (gamma / 100000 * 2.2))), rounding halves to even.
  const long double exponent = 1.0L / (static_cast<long double>(gamma) / 100000.0L * 2.2L);
  GammaTable[0] = 0;
  gamma_identity_ = true;
  for (int i = 1; i < 256; ++i) {
    const long double v = 255.0L * std::pow(static_cast<long double>(i) / 255.0L, exponent);
    GammaTable[i] = static_cast<uint8_t>(std::nearbyint(v));
    gamma_identity_ = gamma_identity_ && GammaTable[i] == i;
  }
}

void TPNGObject::Clear() {
  chunks_.clear();
  for (int i = 0; i < 256; ++i) GammaTable[i] = static_cast<uint8_t>(i);
  gamma_identity_ = true;
  InterlaceMethod = 0;
}

void TPNGObject::LoadFromFile(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  LoadFromBytes(bytes);
}

void TPNGObject::LoadFromBytes(std::span<const uint8_t> bytes) {
  Clear();
  TByteReader stream(bytes);
  uint8_t signature[8];
  if (stream.Read(signature, 8) != 8 || std::memcmp(signature, kSignature, 8) != 0)
    throw EPNGInvalidFileHeader(msg::kPngInvalidFileHeader);

  bool has_image_data = false;
  for (int count = 0;; ++count) {
    uint8_t head[8];
    // The file ends where a chunk should start, or inside the chunk's length and name.
    if (stream.Read(head, 8) != 8) throw EPngUnexpectedEnd(msg::kPngUnexpectedEnd);
    const uint32_t length = LoadBigEndian32(head);
    const std::string name(reinterpret_cast<const char*>(head + 4), 4);
    if (count == 0 && name != "IHDR") throw EPNGIHDRNotFirst(msg::kPngIHDRNotFirst);
    // cHRM is not used, and only the first run of IDAT chunks holds the image.
    if (name == "cHRM" || (name == "IDAT" && has_image_data)) {
      stream.Skip(uint64_t{length} + 4);
      continue;
    }
    chunks_.push_back(CreateChunk(*this, name));
    chunks_.back()->LoadFromStream(stream, length);
    if (name == "IDAT") has_image_data = true;
    if (name == "IEND") break;
  }
  if (!has_image_data) throw EPNGNoImageData(msg::kPngNoImageData);
  if (Header()->ColorType == 3 && Find<TChunktRNS>() && !Find<TChunkPLTE>())
    throw EPngError(msg::kPngTransparencyWithoutPalette);
}

void TPNGObject::ApplyTransparency(TBitmap& target) const {
  target.Transparent = false;
  target.TransparentColor = 0;
  const TChunkIHDR* header = Header();
  const TChunktRNS* trns = Find<TChunktRNS>();
  if (!header || !trns) return;
  const auto& a = trns->AlphaValues;
  switch (header->ColorType) {
    case 0:
      // The grey level is the first byte of the two-byte value.
      target.TransparentColor = a[0] | (TColor{a[0]} << 8) | (TColor{a[0]} << 16);
      break;
    case 2:
      // Red, green and blue are the second bytes of the three two-byte values.
      target.TransparentColor = a[1] | (TColor{a[3]} << 8) | (TColor{a[5]} << 16);
      break;
    case 3: {
      if (!trns->BitTransparency) return;
      for (int i = 0; i < 256; ++i) {
        if (a[i] == 0) {
          const TRGBQuad& c = header->ColorTable[i];
          target.TransparentColor =
              c.rgbRed | (TColor{c.rgbGreen} << 8) | (TColor{c.rgbBlue} << 16);
          break;
        }
      }
      break;
    }
    default:
      return;
  }
  target.Transparent = true;
}

namespace {
void SetPaletteFromColorTable(const TChunkIHDR& header, TBitmap& target) {
  if (target.BitsPerPixel() > 8) {
    target.Palette().clear();
    return;
  }
  const int entries = 1 << target.BitsPerPixel();
  target.Palette().assign(header.ColorTable.begin(), header.ColorTable.begin() + entries);
}
}  // namespace

void TPNGObject::AssignTo(TBitmap& target) const {
  const TChunkIHDR* header = Header();
  if (!header) {
    target = TBitmap();
    return;
  }
  target = header->Image;
  SetPaletteFromColorTable(*header, target);
  ApplyTransparency(target);
}

TBitmap TPNGObject::TakeBitmap() {
  TBitmap result;
  TChunkIHDR* header = Header();
  if (!header) return result;
  result = std::move(header->Image);
  header->Image = TBitmap();
  SetPaletteFromColorTable(*header, result);
  ApplyTransparency(result);
  return result;
}

}  // namespace qm
