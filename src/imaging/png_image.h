// TPNGObject: the PNG picture object. Loading parses the chunk list, checks every checksum and
// decodes the image data into the header chunk's image; assigning it to a bitmap hands that image
// over with the PNG's own palette or grey ramp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/exception.h"

namespace qm {

// The PNG errors. Each derives directly from the base exception class.
QM_DECLARE_EXCEPTION(EPngError, Exception);
QM_DECLARE_EXCEPTION(EPNGInvalidFileHeader, Exception);
QM_DECLARE_EXCEPTION(EPngUnexpectedEnd, Exception);
QM_DECLARE_EXCEPTION(EPNGIHDRNotFirst, Exception);
QM_DECLARE_EXCEPTION(EPNGUnknownCriticalChunk, Exception);
QM_DECLARE_EXCEPTION(EPngInvalidCRC, Exception);
QM_DECLARE_EXCEPTION(EPngInvalidIHDR, Exception);
QM_DECLARE_EXCEPTION(EPNGSizeExceeds, Exception);
QM_DECLARE_EXCEPTION(EPNGUnknownCompression, Exception);
QM_DECLARE_EXCEPTION(EPNGUnknownInterlace, Exception);
QM_DECLARE_EXCEPTION(EPNGInvalidPalette, Exception);
QM_DECLARE_EXCEPTION(EPNGMissingMultipleIDAT, Exception);
QM_DECLARE_EXCEPTION(EPNGZLIBError, Exception);
QM_DECLARE_EXCEPTION(EPNGNoImageData, Exception);

class TPNGObject;
class TByteReader;

// Bits per pixel of the image buffer for a colour type and bit depth, or 0 when the combination
// is not decoded.
int PngBufferBitsPerPixel(int color_type, int bit_depth);

// A chunk: its four-character name and raw data. Unregistered chunk names get this class.
class TChunk {
 public:
  TChunk(TPNGObject& owner, const std::string& name) : owner_(owner), name_(name) {}
  virtual ~TChunk() = default;
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;

  const std::string& Name() const { return name_; }
  const std::vector<uint8_t>& Data() const { return data_; }
  TPNGObject& Owner() const { return owner_; }

  // Reads the chunk's data of `length` bytes and its checksum from `stream`, positioned after
  // the name; a checksum mismatch raises EPngInvalidCRC. Subclasses then interpret the data.
  virtual void LoadFromStream(TByteReader& stream, uint32_t length);

 protected:
  TPNGObject& owner_;
  std::string name_;
  std::vector<uint8_t> data_;
};

// The header: image size and format, and the decoded image.
class TChunkIHDR : public TChunk {
 public:
  using TChunk::TChunk;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;

  uint32_t Width = 0, Height = 0;
  uint8_t BitDepth = 0, ColorType = 0, CompressionMethod = 0, FilterMethod = 0, InterlaceMethod = 0;

  // The decoded image at 1, 4, 8 or 24 bits per pixel, rows top to bottom, pixels zero until
  // the image data is decoded; 24-bit pixels are blue, green, red.
  TBitmap Image;
  // Colour table of the paletted formats: the palette chunk's colours or the grey ramp.
  std::array<TRGBQuad, 256> ColorTable{};
  // Colour types 4 and 6: one alpha byte per pixel, rows in file order.
  std::vector<uint8_t> Alpha;

 private:
  void PrepareImage();
};

class TChunkPLTE : public TChunk {
 public:
  using TChunk::TChunk;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
  int Count = 0;
};

class TChunkgAMA : public TChunk {
 public:
  using TChunk::TChunk;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
  uint32_t Gamma = 1;
};

class TChunktRNS : public TChunk {
 public:
  TChunktRNS(TPNGObject& owner, const std::string& name) : TChunk(owner, name) {
    AlphaValues.fill(255);
  }
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
  std::array<uint8_t, 256> AlphaValues;
  bool BitTransparency = false;
};

class TChunktIME : public TChunk {
 public:
  using TChunk::TChunk;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
  uint16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class TChunktEXt : public TChunk {
 public:
  using TChunk::TChunk;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
  std::string Keyword, Text;
};

class TChunkzTXt : public TChunktEXt {
 public:
  using TChunktEXt::TChunktEXt;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
  // Inflated text beyond this is cut off, so that a small chunk cannot demand huge memory.
  static constexpr std::size_t kMaxTextBytes = 1 << 20;
};

class TChunkIEND : public TChunk {
 public:
  using TChunk::TChunk;
};

// The image data: reading it decodes the whole image into the header's image, inflating the
// compressed stream across the run of consecutive IDAT chunks.
class TChunkIDAT : public TChunk {
 public:
  using TChunk::TChunk;
  void LoadFromStream(TByteReader& stream, uint32_t length) override;
};

class TPNGObject {
 public:
  TPNGObject();
  ~TPNGObject();
  TPNGObject(const TPNGObject&) = delete;
  TPNGObject& operator=(const TPNGObject&) = delete;

  // Parses, checks and decodes a PNG file. Throws EFOpenError when it cannot be opened.
  void LoadFromFile(const std::string& path);
  void LoadFromBytes(std::span<const uint8_t> bytes);

  // Gives `target` the decoded image: 24-bit for RGB, else 1-, 4- or 8-bit with the PNG's own
  // palette or grey ramp; colour types 0 and 2 with a transparency chunk, and palette images
  // whose transparency names one colour, make the bitmap transparent. The alpha plane is unused.
  void AssignTo(TBitmap& target) const;
  // Like AssignTo, but moves the image out instead of copying it; the object keeps the rest.
  TBitmap TakeBitmap();

  const std::vector<std::unique_ptr<TChunk>>& Chunks() const { return chunks_; }
  // The header chunk (the first chunk), or null before a successful load.
  TChunkIHDR* Header() const;
  // The first chunk of a class, or null.
  template <class T>
  T* Find() const {
    for (const auto& c : chunks_)
      if (auto* t = dynamic_cast<T*>(c.get())) return t;
    return nullptr;
  }

  // Entry i is the gamma-corrected value of i (identity until a gamma chunk is read).
  std::array<uint8_t, 256> GammaTable;
  bool GammaIsIdentity() const { return gamma_identity_; }
  void SetGamma(uint32_t gamma);
  uint8_t InterlaceMethod = 0;

 private:
  void Clear();
  void ApplyTransparency(TBitmap& target) const;
  std::vector<std::unique_ptr<TChunk>> chunks_;
  bool gamma_identity_ = true;
};

}  // namespace qm
