#include "tests/photos/photo_files.h"

#include <gif_lib.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/encode.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "imaging/bmp_reader.h"
#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"
#include "imaging/slide_loader.h"
#include "tests/support/test_files.h"

// The HEVC encoder that makes the tests' HEIC pictures keeps a few small allocations for the
// life of the process; the leak checker is told so, and only that.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265.so\n";
}

namespace qm::test {

namespace {

void Put16(Bytes& b, unsigned v, bool big) {
  b.push_back(static_cast<uint8_t>(big ? v >> 8 : v));
  b.push_back(static_cast<uint8_t>(big ? v : v >> 8));
}
void Put32(Bytes& b, uint32_t v, bool big) {
  Put16(b, big ? v >> 16 : v & 0xFFFF, big);
  Put16(b, big ? v & 0xFFFF : v >> 16, big);
}

void Segment(Bytes& out, uint8_t marker, const Bytes& payload) {
  out.push_back(0xFF);
  out.push_back(marker);
  Put16(out, static_cast<unsigned>(payload.size() + 2), true);
  out.insert(out.end(), payload.begin(), payload.end());
}

}  // namespace

Bytes ExifBlock(int orientation, const std::string& description, bool big) {
  Bytes b = big ? Bytes{'M', 'M', 0, 42} : Bytes{'I', 'I', 42, 0};
  Put32(b, 8, big);
  const int count = (orientation >= 1 && orientation <= 8) + !description.empty();
  Put16(b, static_cast<unsigned>(count), big);
  const uint32_t text_at = 8 + 2 + 12 * count + 4;
  const bool in_entry = description.size() + 1 <= 4;  // short texts sit in the entry itself
  if (!description.empty()) {
    Put16(b, 0x010E, big), Put16(b, 2, big);
    Put32(b, static_cast<uint32_t>(description.size() + 1), big);
    if (in_entry) {
      Bytes text(description.begin(), description.end());
      text.resize(4, 0);
      b.insert(b.end(), text.begin(), text.end());
    } else {
      Put32(b, text_at, big);
    }
  }
  if (orientation >= 1 && orientation <= 8) {
    Put16(b, 0x0112, big), Put16(b, 3, big), Put32(b, 1, big);
    Put16(b, static_cast<unsigned>(orientation), big), Put16(b, 0, big);
  }
  Put32(b, 0, big);
  if (!description.empty() && !in_entry) {
    b.insert(b.end(), description.begin(), description.end());
    b.push_back(0);
  }
  return b;
}

Bytes Jpeg(const TBitmap& pixels, int quality, const Bytes& exif,
           const std::string& xmp_description) {
  tjhandle h = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(h, pixels.Bits(), pixels.Width(), static_cast<int>(pixels.RowBytes()),
                             pixels.Height(), TJPF_BGR, &out, &size, TJSAMP_444, quality, 0);
  tjDestroy(h);
  if (rc != 0) throw std::runtime_error("test JPEG not encoded");
  Bytes jpeg(out, out + size);
  tjFree(out);
  Bytes head(jpeg.begin(), jpeg.begin() + 2);
  if (!exif.empty()) {
    Bytes payload{'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), exif.begin(), exif.end());
    Segment(head, 0xE1, payload);
  }
  if (!xmp_description.empty()) {
    const std::string packet = std::string("http://ns.adobe.com/xap/1.0/") + '\0' +
                               "<x:xmpmeta><rdf:RDF><rdf:Description><dc:description><rdf:Alt>"
                               "<rdf:li xml:lang=\"x-default\">" +
                               xmp_description +
                               "</rdf:li></rdf:Alt></dc:description>"
                               "</rdf:Description></rdf:RDF></x:xmpmeta>";
    Segment(head, 0xE1, Bytes(packet.begin(), packet.end()));
  }
  head.insert(head.end(), jpeg.begin() + 2, jpeg.end());
  return head;
}

TBitmap Photo(int width, int height) {
  TBitmap b(width, height, PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = b.ScanLine(y) + x * 3;
      const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
      p[0] = static_cast<uint8_t>(128 + 100 * std::sin(6 * u + 2 * v));
      p[1] = static_cast<uint8_t>(40 + 180 * v);
      p[2] = static_cast<uint8_t>(30 + 200 * u * (1 - v));
    }
  return b;
}

TBitmap Drawing(int width, int height) {
  static constexpr uint8_t kColours[6][3] = {{255, 255, 255}, {0, 0, 0},     {40, 90, 200},
                                             {30, 200, 60},   {220, 40, 40}, {0, 200, 250}};
  TBitmap b(width, height, PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::memcpy(b.ScanLine(y) + x * 3, kColours[(x / 7 + 2 * (y / 5)) % 6], 3);
  return b;
}

namespace {

void CornerOrigin(int corner, int width, int height, int mark, int& x0, int& y0) {
  x0 = corner == 1 || corner == 2 ? width - mark : 0;
  y0 = corner >= 2 ? height - mark : 0;
}

}  // namespace

TBitmap MarkedCorners(int width, int height, int red, int green, int mark) {
  TBitmap b(width, height, PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    std::memset(b.ScanLine(y), 128, static_cast<std::size_t>(width) * 3);
  for (auto [corner, bgr] : {std::pair{red, 0x0000FFu}, std::pair{green, 0x00FF00u}}) {
    int x0, y0;
    CornerOrigin(corner, width, height, mark, x0, y0);
    for (int y = y0; y < y0 + mark; ++y)
      for (int x = x0; x < x0 + mark; ++x) {
        uint8_t* p = b.ScanLine(y) + x * 3;
        p[0] = static_cast<uint8_t>(bgr >> 16), p[1] = static_cast<uint8_t>(bgr >> 8);
        p[2] = static_cast<uint8_t>(bgr);
      }
  }
  return b;
}

int CornerOf(const TBitmap& picture, bool red, int mark) {
  for (int corner = 0; corner < 4; ++corner) {
    int x0, y0;
    CornerOrigin(corner, picture.Width(), picture.Height(), mark, x0, y0);
    const uint8_t* p = picture.ScanLine(y0 + mark / 2) + (x0 + mark / 2) * 3;
    const bool is_red = p[2] > 180 && p[1] < 80 && p[0] < 80;
    const bool is_green = p[1] > 180 && p[2] < 80 && p[0] < 80;
    if (red ? is_red : is_green) return corner;
  }
  return -1;
}

namespace {

Bytes EncodeTiff(const TBitmap& pixels) {
  const std::string path = TempPath("picture.tif");
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) throw std::runtime_error("test TIFF not created");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, pixels.Width());
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, pixels.Height());
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
  std::vector<uint8_t> row(static_cast<std::size_t>(pixels.Width()) * 3);
  for (int y = 0; y < pixels.Height(); ++y) {
    const uint8_t* s = pixels.ScanLine(y);
    for (int x = 0; x < pixels.Width(); ++x)
      row[x * 3] = s[x * 3 + 2], row[x * 3 + 1] = s[x * 3 + 1], row[x * 3 + 2] = s[x * 3];
    TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tif);
  Bytes b = ReadFile(path);
  std::remove(path.c_str());
  return b;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int count) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + count);
  return count;
}

Bytes EncodeGif(const TBitmap& pixels) {
  std::vector<GifColorType> colours;
  std::vector<GifPixelType> indices;
  for (int y = 0; y < pixels.Height(); ++y)
    for (int x = 0; x < pixels.Width(); ++x) {
      const uint8_t* p = pixels.ScanLine(y) + x * 3;
      const GifColorType c{p[2], p[1], p[0]};
      std::size_t k = 0;
      while (k < colours.size() && std::memcmp(&colours[k], &c, 3) != 0) ++k;
      if (k == colours.size()) colours.push_back(c);
      indices.push_back(static_cast<GifPixelType>(k));
    }
  if (colours.size() > 256) throw std::runtime_error("too many colours for a test GIF");
  colours.resize(256);
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, GifWrite, &error);
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  EGifPutScreenDesc(gif, pixels.Width(), pixels.Height(), 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, pixels.Width(), pixels.Height(), false, nullptr);
  for (int y = 0; y < pixels.Height(); ++y)
    EGifPutLine(gif, &indices[static_cast<std::size_t>(y) * pixels.Width()], pixels.Width());
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

Bytes EncodeWebp(const TBitmap& pixels, bool lossless, bool alpha) {
  const int w = pixels.Width(), h = pixels.Height();
  std::vector<uint8_t> bgra(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::memcpy(&bgra[(static_cast<std::size_t>(y) * w + x) * 4], pixels.ScanLine(y) + x * 3, 3);
      bgra[(static_cast<std::size_t>(y) * w + x) * 4 + 3] = alpha && x >= w / 2 ? 0 : 255;
    }
  uint8_t* out = nullptr;
  const std::size_t size = lossless ? WebPEncodeLosslessBGRA(bgra.data(), w, h, w * 4, &out)
                                    : WebPEncodeBGRA(bgra.data(), w, h, w * 4, 92, &out);
  if (size == 0) throw std::runtime_error("test WebP not encoded");
  Bytes b(out, out + size);
  WebPFree(out);
  return b;
}

heif_error WriteHeif(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<Bytes*>(userdata);
  out->insert(out->end(), static_cast<const uint8_t*>(data),
              static_cast<const uint8_t*>(data) + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

Bytes EncodeHeif(const TBitmap& pixels, heif_compression_format format) {
  heif_context* ctx = heif_context_alloc();
  heif_image* image = nullptr;
  heif_image_create(pixels.Width(), pixels.Height(), heif_colorspace_RGB,
                    heif_chroma_interleaved_RGB, &image);
  heif_image_add_plane(image, heif_channel_interleaved, pixels.Width(), pixels.Height(), 8);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < pixels.Height(); ++y)
    for (int x = 0; x < pixels.Width(); ++x) {
      const uint8_t* s = pixels.ScanLine(y) + x * 3;
      uint8_t* d = plane + static_cast<std::size_t>(y) * stride + x * 3;
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
  heif_encoder* encoder = nullptr;
  heif_error e = heif_context_get_encoder_for_format(ctx, format, &encoder);
  if (e.code != heif_error_Ok) throw std::runtime_error(std::string("no encoder: ") + e.message);
  heif_encoder_set_lossy_quality(encoder, 92);
  e = heif_context_encode_image(ctx, image, encoder, nullptr, nullptr);
  if (e.code != heif_error_Ok) throw std::runtime_error(std::string("not encoded: ") + e.message);
  heif_encoder_release(encoder);
  heif_image_release(image);
  Bytes out;
  heif_writer writer{1, WriteHeif};
  heif_context_write(ctx, &writer, &out);
  heif_context_free(ctx);
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An ISO-BMFF box: its length, its type, then `payload`.
Bytes Box(const char* type, const Bytes& payload) {
  Bytes b;
  Put32(b, static_cast<uint32_t>(payload.size() + 8), true);
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

// The payload of the first box of `type` in a HEIC written by libheif, searched for by its name.
Bytes Find(const Bytes& file, const char* type) {
  const auto at = std::search(file.begin(), file.end(), type, type + 4);
  if (at == file.end()) throw std::runtime_error(std::string("no box ") + type);
  const Bytes::const_iterator start = at - 4;
  const uint32_t size = start[0] << 24 | start[1] << 16 | start[2] << 8 | start[3];
  return Bytes(at + 4, start + size);
}

// A grid HEIC as phones write them: 2x2 tiles of 96x64 pixels, each coded on its own, laid out
// on a canvas cropped to the picture's size (at most 192x128). Beyond the picture the tiles
// repeat its edge.
Bytes EncodeHeicGrid(const TBitmap& pixels) {
  constexpr int kTileWidth = 96, kTileHeight = 64;
  Bytes iinf = {0, 0, 0, 0, 0, 5}, iloc = {1, 0, 0, 0, 0x44, 0, 0, 5};
  Bytes iref = Box("dimg", {0, 5, 0, 4, 0, 1, 0, 2, 0, 3, 0, 4}), ipco, ipma = {0, 0, 0, 0};
  Bytes mdat;
  Put32(ipma, 5, true);
  std::vector<std::pair<uint32_t, uint32_t>> tiles;  // where each tile's data is in mdat
  for (uint8_t item = 1; item <= 4; ++item) {
    TBitmap tile;
    tile.SetSize(kTileWidth, kTileHeight, PixelFormat::pf24bit);
    for (int y = 0; y < kTileHeight; ++y)
      for (int x = 0; x < kTileWidth; ++x)
        std::memcpy(
            tile.ScanLine(y) + x * 3,
            pixels.ScanLine(std::min(y + (item - 1) / 2 * kTileHeight, pixels.Height() - 1)) +
                std::min(x + (item - 1) % 2 * kTileWidth, pixels.Width() - 1) * 3,
            3);
    const Bytes coded = EncodeHeif(tile, heif_compression_HEVC);
    // Hidden items coded in HEVC, each with its own decoder configuration and the tile size.
    iinf = iinf + Box("infe", {2, 0, 0, 1, 0, item, 0, 0, 'h', 'v', 'c', '1', 0});
    ipco = ipco + Box("hvcC", Find(coded, "hvcC"));
    ipma = ipma + Bytes{0, item, 2, static_cast<uint8_t>(0x80 | item), 5};
    const Bytes data = Find(coded, "mdat");
    tiles.emplace_back(static_cast<uint32_t>(mdat.size()), static_cast<uint32_t>(data.size()));
    mdat = mdat + data;
  }
  iinf = iinf + Box("infe", {2, 0, 0, 0, 0, 5, 0, 0, 'g', 'r', 'i', 'd', 0});
  ipco = ipco + Box("ispe", {0, 0, 0, 0, 0, 0, 0, kTileWidth, 0, 0, 0, kTileHeight});
  Bytes grid = {0, 0, 1, 1}, ispe = {0, 0, 0, 0};
  for (int side : {pixels.Width(), pixels.Height()})
    Put16(grid, side, true), Put32(ispe, side, true);
  ipco = ipco + Box("ispe", ispe);
  ipma = ipma + Bytes{0, 5, 1, 6};
  const Bytes ftyp =
      Box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
  const auto meta = [&](uint32_t mdat_start) {
    Bytes locations = iloc;
    for (uint8_t item = 1; item <= 4; ++item) {
      locations = locations + Bytes{0, item, 0, 0, 0, 0, 0, 1};
      Put32(locations, mdat_start + tiles[item - 1].first, true);
      Put32(locations, tiles[item - 1].second, true);
    }
    // The grid's description is kept in the meta box's own data.
    locations = locations + Bytes{0, 5, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 8};
    return Box("meta", Bytes{0, 0, 0, 0} +
                           Box("hdlr", {0, 0, 0, 0, 0, 0, 0, 0, 'p', 'i', 'c', 't', 0,
                                        0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0}) +
                           Box("pitm", {0, 0, 0, 0, 0, 5}) + Box("iinf", iinf) +
                           Box("iref", Bytes{0, 0, 0, 0} + iref) +
                           Box("iprp", Box("ipco", ipco) + Box("ipma", ipma)) + Box("idat", grid) +
                           Box("iloc", locations));
  };
  const std::size_t mdat_start = ftyp.size() + meta(0).size() + 8;
  return ftyp + meta(static_cast<uint32_t>(mdat_start)) + Box("mdat", mdat);
}

}  // namespace

Bytes Encode(Encoding encoding, const TBitmap& pixels, bool alpha) {
  switch (encoding) {
    case Encoding::kTiff:
      return EncodeTiff(pixels);
    case Encoding::kGif:
      return EncodeGif(pixels);
    case Encoding::kWebpLossy:
      return EncodeWebp(pixels, false, alpha);
    case Encoding::kWebpLossless:
      return EncodeWebp(pixels, true, alpha);
    case Encoding::kHeic:
      return EncodeHeif(pixels, heif_compression_HEVC);
    case Encoding::kAvif:
      return EncodeHeif(pixels, heif_compression_AV1);
    case Encoding::kHeicGrid:
      return EncodeHeicGrid(pixels);
  }
  return {};
}

TBitmap DecodeSlide(const std::string& file_name, const Bytes& data) {
  TBitmap b;
  switch (SlideDecoderFor(file_name)) {
    case TSlideDecoder::sdJPEG: {
      TJPEGImage jpeg;
      jpeg.LoadFromBytes(data);
      b = jpeg.TakeBitmap();
      break;
    }
    case TSlideDecoder::sdPNG: {
      TPNGObject png;
      png.LoadFromBytes(data);
      b = png.TakeBitmap();
      break;
    }
    case TSlideDecoder::sdBMP:
      b = DecodeBitmap(data);
      break;
    case TSlideDecoder::sdNone:
      throw std::runtime_error("no decoder for " + file_name);
  }
  b.ConvertTo(PixelFormat::pf24bit);
  return b;
}

}  // namespace qm::test
