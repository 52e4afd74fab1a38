#include "photos/decoders.h"

#include <gif_lib.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "imaging/bmp_reader.h"
#include "imaging/png_image.h"
#include "photos/heif_canvases.h"
#include "platform/byte_order.h"
#include "platform/exception.h"
#include "platform/native_files.h"

namespace qm::photos {

namespace {

constexpr uint64_t kMiB = 1 << 20;

bool Begins(ByteSpan b, std::size_t at, std::string_view s) {
  return b.size() >= at + s.size() && std::memcmp(b.data() + at, s.data(), s.size()) == 0;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Lays one pixel with straight or premultiplied alpha over the background (blue, green, red).
inline void Over(uint8_t* bgr, const uint8_t bgra[4], const uint8_t bg[3], bool premultiplied) {
  const unsigned a = bgra[3];
  for (int c = 0; c < 3; ++c) {
    const unsigned colour = premultiplied ? bgra[c] * 255u : bgra[c] * a;
    bgr[c] = static_cast<uint8_t>((colour + bg[c] * (255 - a) + 127) / 255);
  }
}

std::array<uint8_t, 3> BackgroundBgr(TColor colour) {
  return {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
          static_cast<uint8_t>(colour)};
}

// The least size (as stored) a decoder may scale a picture down to while decoding.
Size AtLeast(Size stored, int orientation, const std::optional<Size>& fit) {
  if (!fit) return stored;
  return Oriented(FitInside(Oriented(stored, orientation), *fit), orientation);
}

using TjHandle = std::unique_ptr<void, int (*)(tjhandle)>;

TjHandle Tj(tjhandle h) {
  if (!h) throw std::bad_alloc();
  return TjHandle(h, tjDestroy);
}

// A TurboJPEG call's result: warnings (a picture cut short, stray bytes) are accepted, as the
// player accepts them; errors raise with the library's text.
void TjCheck(int rc, tjhandle h, const char* what) {
  if (rc == 0 || tjGetErrorCode(h) == TJERR_WARNING) return;
  throw PictureError(std::string(what) + ": " + tjGetErrorStr2(h));
}

// ---- JPEG ----------------------------------------------------------------------------------

Decoded DecodeJpeg(ByteSpan bytes, const DecodeRequest& request) {
  const JpegLayout layout = ReadJpegLayout(bytes);
  const Size full = JpegSize(layout);
  Decoded result;
  result.metadata = JpegMetadata(layout);
  TjHandle h = Tj(tjInitDecompress());
  int w = 0, hgt = 0, subsamp = 0, colourspace = 0;
  TjCheck(
      tjDecompressHeader3(h.get(), bytes.data(), bytes.size(), &w, &hgt, &subsamp, &colourspace),
      h.get(), "not a JPEG picture TurboJPEG can read");
  const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
  const uint64_t bytes_per_pixel = cmyk ? 7 : 3;
  const Fraction f =
      JpegDecodeFraction(full, AtLeast(full, result.metadata.orientation, request.fit),
                         request.memory_limit / bytes_per_pixel);
  const tjscalingfactor scale{f.num, f.denom};
  result.full_size = full;
  const Size out{TJSCALED(full.width, scale), TJSCALED(full.height, scale)};
  if (layout.progressive && layout.coefficient_bytes > request.memory_limit)
    throw PictureError("a progressive JPEG of " + std::to_string(full.width) + "x" +
                       std::to_string(full.height) + " pixels takes " +
                       std::to_string(layout.coefficient_bytes / kMiB) +
                       " MiB to decode, more than the limit of " +
                       std::to_string(request.memory_limit / kMiB) + " MiB for one picture");
  RequireWithinLimit(out, bytes_per_pixel, request.memory_limit);
  result.pixels.SetSizeToOverwrite(out.width, out.height, PixelFormat::pf24bit);
  const int flags = TJFLAG_ACCURATEDCT | TJFLAG_LIMITSCANS;
  if (!cmyk) {
    TjCheck(tjDecompress2(h.get(), bytes.data(), bytes.size(), result.pixels.Bits(), out.width,
                          static_cast<int>(result.pixels.RowBytes()), out.height, TJPF_BGR, flags),
            h.get(), "cannot decode the JPEG");
    return result;
  }
  // Four-component pictures: CMYK (Adobe's files store it inverted) to RGB.
  std::vector<uint8_t> inks(static_cast<std::size_t>(out.width) * out.height * 4);
  TjCheck(tjDecompress2(h.get(), bytes.data(), bytes.size(), inks.data(), out.width, out.width * 4,
                        out.height, TJPF_CMYK, flags),
          h.get(), "cannot decode the JPEG");
  for (int y = 0; y < out.height; ++y) {
    const uint8_t* s = &inks[static_cast<std::size_t>(y) * out.width * 4];
    uint8_t* d = result.pixels.ScanLine(y);
    for (int x = 0; x < out.width; ++x, s += 4, d += 3) {
      const unsigned k = layout.adobe ? s[3] : 255u - s[3];
      for (int c = 0; c < 3; ++c) {
        const unsigned ink = layout.adobe ? s[2 - c] : 255u - s[2 - c];
        d[c] = static_cast<uint8_t>((ink * k + 127) / 255);
      }
    }
  }
  return result;
}

// ---- PNG and BMP: the player's decoders ------------------------------------------------------

Decoded DecodePngOrBmp(Format format, ByteSpan bytes, const DecodeRequest& request) {
  const Size size = PngOrBmpSize(format, bytes);
  RequireWithinLimit(size, 3, request.memory_limit);
  Decoded result;
  try {
    if (format == Format::kPng) {
      ReadExif(PngExif(bytes), result.metadata);
      TPNGObject png;
      png.LoadFromBytes(bytes);
      result.pixels = png.TakeBitmap();
    } else {
      result.pixels = DecodeBitmap(bytes);
    }
  } catch (const Exception& e) {
    throw PictureError(e.Message());
  }
  if (result.pixels.Empty()) throw PictureError("the picture is empty");
  result.pixels.ConvertTo(PixelFormat::pf24bit);
  return result;
}

// ---- GIF: the first frame --------------------------------------------------------------------

struct MemoryReader {
  ByteSpan bytes;
  std::size_t at = 0;
  std::size_t Read(void* into, std::size_t count) {
    count = std::min(count, bytes.size() - at);
    std::memcpy(into, bytes.data() + at, count);
    at += count;
    return count;
  }
};

int GifRead(GifFileType* gif, GifByteType* into, int count) {
  return static_cast<int>(
      static_cast<MemoryReader*>(gif->UserData)->Read(into, static_cast<std::size_t>(count)));
}

Decoded DecodeGif(ByteSpan bytes, const DecodeRequest& request) {
  MemoryReader reader{bytes};
  int error = 0;
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> gif(
      DGifOpen(&reader, GifRead, &error), [](GifFileType* g) { DGifCloseFile(g, nullptr); });
  const auto fail = [&](int code) {
    throw PictureError(std::string("cannot decode the GIF: ") +
                       (GifErrorString(code) ? GifErrorString(code) : "unknown error"));
  };
  if (!gif) fail(error);
  int transparent_index = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) fail(gif->Error);
    if (type == TERMINATE_RECORD_TYPE) throw PictureError("the GIF holds no picture");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) fail(gif->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 && (ext[1] & 1))
        transparent_index = ext[4];
      while (ext)
        if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) fail(gif->Error);
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) fail(gif->Error);
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours) throw PictureError("the GIF has no colour table");
    if (frame.Width <= 0 || frame.Height <= 0) throw PictureError("the GIF's picture is empty");
    // The canvas is the logical screen, widened where a frame reaches past it.
    const Size canvas{std::max(gif->SWidth, frame.Left + frame.Width),
                      std::max(gif->SHeight, frame.Top + frame.Height)};
    RequireWithinLimit(canvas, 3, request.memory_limit);
    Decoded result;
    result.pixels.SetSize(canvas.width, canvas.height, PixelFormat::pf24bit);
    const auto bg = BackgroundBgr(request.background);
    for (int y = 0; y < canvas.height; ++y)
      for (int x = 0; x < canvas.width; ++x)
        std::memcpy(result.pixels.ScanLine(y) + x * 3, bg.data(), 3);
    result.transparent = !(frame.Left == 0 && frame.Top == 0 && frame.Width == canvas.width &&
                           frame.Height == canvas.height);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      for (int y = frame.Interlace ? kStart[pass] : 0; y < frame.Height;
           y += frame.Interlace ? kStep[pass] : 1) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) fail(gif->Error);
        uint8_t* row = result.pixels.ScanLine(frame.Top + y) + frame.Left * 3;
        for (int x = 0; x < frame.Width; ++x, row += 3) {
          const int index = line[x];
          if (index == transparent_index) {
            result.transparent = true;
            continue;
          }
          if (index >= colours->ColorCount) continue;
          const GifColorType& c = colours->Colors[index];
          row[0] = c.Blue, row[1] = c.Green, row[2] = c.Red;
        }
      }
    }
    return result;
  }
}

// ---- WebP ------------------------------------------------------------------------------------

std::string WebpStatus(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
      return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "damaged data";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "a feature the library does not support";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "the file ends too early";
    default:
      return "error " + std::to_string(static_cast<int>(status));
  }
}

void WebpMetadata(ByteSpan bytes, Metadata& into) {
  WebPData data{bytes.data(), bytes.size()};
  std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&data), WebPDemuxDelete);
  if (!demux) return;
  WebPChunkIterator chunk;
  if (WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) {
    ReadExif(ByteSpan(chunk.chunk.bytes, chunk.chunk.size), into);
    WebPDemuxReleaseChunkIterator(&chunk);
  }
  if (WebPDemuxGetChunk(demux.get(), "XMP ", 1, &chunk)) {
    const std::string text = XmpDescription(
        std::string_view(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size));
    if (!text.empty()) into.description = CleanDescription(text);
    WebPDemuxReleaseChunkIterator(&chunk);
  }
}

// BGRA rows (straight alpha) laid over the background into a 24-bit bitmap.
bool Composite(const uint8_t* bgra, std::size_t stride, Size size, TColor background,
               TBitmap& into) {
  into.SetSize(size.width, size.height, PixelFormat::pf24bit);
  const auto bg = BackgroundBgr(background);
  bool see_through = false;
  for (int y = 0; y < size.height; ++y) {
    const uint8_t* s = bgra + y * stride;
    uint8_t* d = into.ScanLine(y);
    for (int x = 0; x < size.width; ++x, s += 4, d += 3) {
      see_through |= s[3] != 255;
      Over(d, s, bg.data(), false);
    }
  }
  return see_through;
}

Decoded DecodeWebp(ByteSpan bytes, const DecodeRequest& request) {
  WebPBitstreamFeatures features;
  if (const VP8StatusCode s = WebPGetFeatures(bytes.data(), bytes.size(), &features);
      s != VP8_STATUS_OK)
    throw PictureError("cannot decode the WebP: " + WebpStatus(s));
  Decoded result;
  WebpMetadata(bytes, result.metadata);
  const Size full{features.width, features.height};
  result.full_size = full;
  if (features.has_animation) {
    // The first frame of an animation, composed on its canvas.
    RequireWithinLimit(full, 8, request.memory_limit);
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> anim(
        WebPAnimDecoderNew(&data, &options), WebPAnimDecoderDelete);
    uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!anim || !WebPAnimDecoderGetNext(anim.get(), &frame, &timestamp))
      throw PictureError("cannot decode the WebP animation's first frame");
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(anim.get(), &info);
    const Size canvas{static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height)};
    result.transparent = Composite(frame, static_cast<std::size_t>(canvas.width) * 4, canvas,
                                   request.background, result.pixels);
    return result;
  }
  // Lossless pictures are decoded whole by the library; lossy ones row by row, so they may be
  // scaled while decoding (to at least twice the asked size, to leave the fine work to ours).
  Size out = full;
  const Size at_least = AtLeast(full, result.metadata.orientation, request.fit);
  if (!(at_least == full) && features.format != 2) {
    for (int d : {8, 4, 2}) {
      if (full.width / d >= 2 * at_least.width && full.height / d >= 2 * at_least.height) {
        out = {full.width / d, full.height / d};
        break;
      }
    }
  }
  RequireWithinLimit(features.format == 2 ? full : out, 4, request.memory_limit);
  WebPDecoderConfig config;
  WebPInitDecoderConfig(&config);
  if (!(out == full)) {
    config.options.use_scaling = 1;
    config.options.scaled_width = out.width;
    config.options.scaled_height = out.height;
  }
  config.output.colorspace = features.has_alpha ? MODE_BGRA : MODE_BGR;
  if (const VP8StatusCode s = WebPDecode(bytes.data(), bytes.size(), &config); s != VP8_STATUS_OK)
    throw PictureError("cannot decode the WebP: " + WebpStatus(s));
  std::unique_ptr<WebPDecBuffer, void (*)(WebPDecBuffer*)> output(&config.output,
                                                                  WebPFreeDecBuffer);
  const WebPRGBABuffer& rgba = config.output.u.RGBA;
  if (features.has_alpha) {
    result.transparent = Composite(rgba.rgba, static_cast<std::size_t>(rgba.stride), out,
                                   request.background, result.pixels);
  } else {
    result.pixels.SetSize(out.width, out.height, PixelFormat::pf24bit);
    for (int y = 0; y < out.height; ++y)
      std::memcpy(result.pixels.ScanLine(y), rgba.rgba + static_cast<std::size_t>(y) * rgba.stride,
                  static_cast<std::size_t>(out.width) * 3);
  }
  return result;
}

// ---- TIFF ------------------------------------------------------------------------------------

thread_local std::string g_tiff_error;

void TiffErrorHandler(const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  if (g_tiff_error.empty()) g_tiff_error = (module ? std::string(module) + ": " : "") + text;
}

struct TiffSource {
  ByteSpan bytes;
  uint64_t at = 0;
};

tsize_t TiffRead(thandle_t h, tdata_t into, tsize_t count) {
  auto* s = static_cast<TiffSource*>(h);
  const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count),
                                        s->at < s->bytes.size() ? s->bytes.size() - s->at : 0);
  std::memcpy(into, s->bytes.data() + s->at, n);
  s->at += n;
  return static_cast<tsize_t>(n);
}
tsize_t TiffWrite(thandle_t, tdata_t, tsize_t) {
  return 0;
}
toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<TiffSource*>(h);
  const uint64_t base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->bytes.size() : 0;
  s->at = base + offset;
  return s->at;
}
int TiffClose(thandle_t) {
  return 0;
}
toff_t TiffSize(thandle_t h) {
  return static_cast<TiffSource*>(h)->bytes.size();
}

Decoded DecodeTiff(ByteSpan bytes, const DecodeRequest& request) {
  static std::once_flag handlers;
  std::call_once(handlers, [] {
    TIFFSetErrorHandler(TiffErrorHandler);
    TIFFSetWarningHandler(nullptr);
  });
  g_tiff_error.clear();
  TiffSource source{bytes};
  std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
      TIFFClientOpen("picture", "rm", &source, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                     nullptr, nullptr),
      TIFFClose);
  const auto fail = [&](const std::string& what) {
    throw PictureError(what + (g_tiff_error.empty() ? "" : ": " + g_tiff_error));
  };
  if (!tif) fail("cannot read the TIFF");
  Decoded result;
  uint16_t orientation = 1;
  if (TIFFGetField(tif.get(), TIFFTAG_ORIENTATION, &orientation) && orientation >= 1 &&
      orientation <= 8)
    result.metadata.orientation = orientation;
  char* description = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &description) && description)
    result.metadata.description = CleanDescription(description);
  uint32_t xmp_size = 0;
  void* xmp = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_XMLPACKET, &xmp_size, &xmp) && xmp) {
    const std::string text =
        XmpDescription(std::string_view(static_cast<const char*>(xmp), xmp_size));
    if (!text.empty()) result.metadata.description = CleanDescription(text);
  }
  char message[1024] = "";
  if (!TIFFRGBAImageOK(tif.get(), message)) fail(std::string("cannot decode the TIFF: ") + message);
  TIFFRGBAImage image;
  if (!TIFFRGBAImageBegin(&image, tif.get(), 0, message))
    fail(std::string("cannot decode the TIFF: ") + message);
  std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage*)> end(&image, TIFFRGBAImageEnd);
  const Size size{static_cast<int>(image.width), static_cast<int>(image.height)};
  if (image.width > INT32_MAX || image.height > INT32_MAX || size.width == 0 || size.height == 0)
    fail("the TIFF's size is out of range");
  RequireWithinLimit(size, 7, request.memory_limit);
  // The rows as stored, top row first: the orientation is applied with the others' later.
  image.req_orientation = ORIENTATION_TOPLEFT;
  image.orientation = ORIENTATION_TOPLEFT;
  std::vector<uint32_t> raster(static_cast<std::size_t>(size.width) * size.height);
  if (!TIFFRGBAImageGet(&image, raster.data(), image.width, image.height))
    fail("cannot decode the TIFF");
  result.pixels.SetSize(size.width, size.height, PixelFormat::pf24bit);
  const auto bg = BackgroundBgr(request.background);
  for (int y = 0; y < size.height; ++y) {
    const uint32_t* s = &raster[static_cast<std::size_t>(y) * size.width];
    uint8_t* d = result.pixels.ScanLine(y);
    for (int x = 0; x < size.width; ++x, d += 3) {
      const uint32_t p = s[x];
      const uint8_t bgra[4] = {static_cast<uint8_t>(TIFFGetB(p)), static_cast<uint8_t>(TIFFGetG(p)),
                               static_cast<uint8_t>(TIFFGetR(p)),
                               static_cast<uint8_t>(TIFFGetA(p))};
      result.transparent |= bgra[3] != 255;
      // The library hands out colours premultiplied by their alpha.
      Over(d, bgra, bg.data(), true);
    }
  }
  return result;
}

// ---- HEIF and AVIF ---------------------------------------------------------------------------

void HeifCheck(heif_error e, const char* what) {
  if (e.code != heif_error_Ok)
    throw PictureError(std::string(what) + ": " + (e.message ? e.message : "unknown error"));
}

void HeifMetadata(heif_image_handle* handle, Metadata& into) {
  const int count = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
  std::vector<heif_item_id> ids(static_cast<std::size_t>(std::max(count, 0)));
  heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), count);
  for (heif_item_id id : ids) {
    const std::string type = heif_image_handle_get_metadata_type(handle, id);
    const char* content = heif_image_handle_get_metadata_content_type(handle, id);
    std::vector<uint8_t> data(heif_image_handle_get_metadata_size(handle, id));
    if (data.empty() ||
        heif_image_handle_get_metadata(handle, id, data.data()).code != heif_error_Ok)
      continue;
    if (type == "Exif" && data.size() > 4) {
      // A four-byte offset to the TIFF structure comes first. The container's own turning
      // (irot, imir), which the library applies, is what counts: the EXIF orientation repeats
      // it and is left alone.
      const uint32_t skip = LoadBigEndian32(&data[0]);
      if (skip <= data.size() - 4) {
        Metadata exif;
        ReadExif(ByteSpan(data).subspan(4 + skip), exif);
        if (into.description.empty()) into.description = exif.description;
      }
    } else if (type == "mime" && content && std::string_view(content) == "application/rdf+xml") {
      const std::string text =
          XmpDescription(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
      if (!text.empty()) into.description = CleanDescription(text);
    }
  }
}

// The tiles of a grid decoded at once, each on a thread of the library's own.
constexpr unsigned kHeifTilesAtOnce = 4;

Decoded DecodeHeif(ByteSpan bytes, const DecodeRequest& request) {
  static std::once_flag init;
  std::call_once(init, [] { heif_init(nullptr); });
  std::unique_ptr<heif_context, void (*)(heif_context*)> ctx(heif_context_alloc(),
                                                             heif_context_free);
  if (!ctx) throw std::bad_alloc();
  heif_context_set_maximum_image_size_limit(ctx.get(), 65535);
  HeifCheck(
      heif_context_read_from_memory_without_copy(ctx.get(), bytes.data(), bytes.size(), nullptr),
      "cannot read the HEIF");
  heif_image_handle* raw_handle = nullptr;
  HeifCheck(heif_context_get_primary_image_handle(ctx.get(), &raw_handle), "cannot read the HEIF");
  std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(
      raw_handle, heif_image_handle_release);
  const Size size{heif_image_handle_get_width(handle.get()),
                  heif_image_handle_get_height(handle.get())};
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
  // The library holds its decoded planes beside the interleaved pixels handed out. A grid or
  // overlay is laid out on a canvas of the size its own data gives, and a codec allocates its
  // frames at the size its own parameters give, neither of which the size reported above need
  // match: each is checked before the library allocates it.
  const uint64_t bytes_per_pixel = alpha ? 12 : 9;
  RequireWithinLimit(size, bytes_per_pixel, request.memory_limit);
  const HeifSizes sizes = ReadHeifSizes(bytes, kHeifTilesAtOnce);
  for (const CanvasSize canvas : sizes.canvases)
    RequireWithinLimit(canvas.width, canvas.height, bytes_per_pixel, request.memory_limit);
  for (const CanvasSize frame : sizes.frames)
    RequireWithinLimit(frame.width, frame.height, bytes_per_pixel, request.memory_limit);
  // A grid's tiles are decoded several at a time; tiles coded larger than they are laid out
  // (the sum of a real grid's tiles is about its canvas) are decoded one after the other, so
  // that only one of their frames is held at once.
  const bool tiles_together = sizes.tile_pixels_at_once <= request.memory_limit / bytes_per_pixel;
  heif_context_set_max_decoding_threads(ctx.get(),
                                        tiles_together ? static_cast<int>(kHeifTilesAtOnce) : 0);
  Decoded result;
  HeifMetadata(handle.get(), result.metadata);
  heif_image* raw_image = nullptr;
  HeifCheck(heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              nullptr),
            "cannot decode the HEIF");
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(raw_image, heif_image_release);
  int stride = 0;
  const uint8_t* rgb =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const Size got{heif_image_get_width(image.get(), heif_channel_interleaved),
                 heif_image_get_height(image.get(), heif_channel_interleaved)};
  if (!rgb || got.width <= 0 || got.height <= 0) throw PictureError("cannot decode the HEIF");
  result.pixels.SetSize(got.width, got.height, PixelFormat::pf24bit);
  const auto bg = BackgroundBgr(request.background);
  for (int y = 0; y < got.height; ++y) {
    const uint8_t* s = rgb + static_cast<std::size_t>(y) * stride;
    uint8_t* d = result.pixels.ScanLine(y);
    for (int x = 0; x < got.width; ++x, d += 3) {
      if (alpha) {
        const uint8_t bgra[4] = {s[2], s[1], s[0], s[3]};
        result.transparent |= s[3] != 255;
        Over(d, bgra, bg.data(), false);
        s += 4;
      } else {
        d[0] = s[2], d[1] = s[1], d[2] = s[0];
        s += 3;
      }
    }
  }
  return result;
}

}  // namespace

Format SniffFormat(ByteSpan b) {
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return Format::kJpeg;
  if (Begins(b, 0, "\x89PNG\r\n\x1A\n")) return Format::kPng;
  if (Begins(b, 0, "BM")) return Format::kBmp;
  if (Begins(b, 0, "GIF87a") || Begins(b, 0, "GIF89a")) return Format::kGif;
  if (Begins(b, 0, "RIFF") && Begins(b, 8, "WEBP")) return Format::kWebp;
  if (Begins(b, 0, std::string_view("II*\0", 4)) || Begins(b, 0, std::string_view("MM\0*", 4)))
    return Format::kTiff;
  if (Begins(b, 4, "ftyp")) {
    for (std::string_view brand :
         {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif", "avis", "mif2"})
      if (Begins(b, 8, brand)) return Format::kHeif;
  }
  return Format::kUnknown;
}

const char* FormatName(Format format) {
  switch (format) {
    case Format::kJpeg:
      return "JPEG";
    case Format::kPng:
      return "PNG";
    case Format::kBmp:
      return "BMP";
    case Format::kGif:
      return "GIF";
    case Format::kWebp:
      return "WebP";
    case Format::kTiff:
      return "TIFF";
    case Format::kHeif:
      return "HEIF";
    case Format::kUnknown:
      break;
  }
  return "unknown";
}

bool HasPictureExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
  const std::string ext = Lower(name.substr(dot + 1));
  for (const char* e : {"jpg", "jpeg", "jpe", "png", "bmp", "gif", "webp", "tif", "tiff", "heic",
                        "heif", "hif", "avif"})
    if (ext == e) return true;
  return false;
}

uint64_t DefaultMemoryLimit() {
  const uint64_t gib = uint64_t{1} << 30, memory = PhysicalMemoryBytes();
  return memory == 0 ? gib : std::min(gib, memory / 4);
}

void RequireWithinLimit(Size size, uint64_t bytes_per_pixel, uint64_t limit) {
  RequireWithinLimit(static_cast<uint32_t>(size.width), static_cast<uint32_t>(size.height),
                     bytes_per_pixel, limit);
}

void RequireWithinLimit(uint32_t width, uint32_t height, uint64_t bytes_per_pixel, uint64_t limit) {
  // The pixels fit in 64 bits; the bytes need not (a canvas's sides come from a file's 32-bit
  // fields), so they are counted in MiB, rounded up.
  const uint64_t pixels = uint64_t{width} * height;
  if (pixels <= limit / bytes_per_pixel) return;
  const uint64_t mib =
      pixels / kMiB * bytes_per_pixel + (pixels % kMiB * bytes_per_pixel + kMiB - 1) / kMiB;
  throw PictureError(std::to_string(width) + "x" + std::to_string(height) + " pixels take " +
                     std::to_string(mib) + " MiB to decode, more than the limit of " +
                     std::to_string(limit / kMiB) + " MiB for one picture");
}

Fraction JpegDecodeFraction(Size full, Size at_least, uint64_t max_pixels) {
  static constexpr Fraction kFractions[] = {{1, 8}, {1, 4}, {3, 8}, {1, 2}, {1, 1}};
  const auto scaled = [](int side, Fraction f) { return (side * f.num + f.denom - 1) / f.denom; };
  for (const int margin : {2, 1})
    for (const Fraction f : kFractions) {
      const Size s{scaled(full.width, f), scaled(full.height, f)};
      if (s.width >= margin * at_least.width && s.height >= margin * at_least.height &&
          (static_cast<uint64_t>(s.width) * static_cast<uint64_t>(s.height) <= max_pixels ||
           margin == 1))
        return f;
    }
  return {1, 1};
}

Size JpegSize(const JpegLayout& layout) {
  if (!layout.valid) throw PictureError("not a readable JPEG (no frame header before the data)");
  return {layout.width, layout.height};
}

Size PngOrBmpSize(Format format, ByteSpan b) {
  const auto be32 = [&](std::size_t at) { return LoadBigEndian32(&b[at]); };
  const auto le32 = [&](std::size_t at) { return LoadLittleEndian32(&b[at]); };
  if (format == Format::kPng) {
    if (b.size() < 24 || !Begins(b, 12, "IHDR"))
      throw PictureError("not a readable PNG (no header)");
    const uint32_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > 65535 || h > 65535)
      throw PictureError("the PNG's size " + std::to_string(w) + "x" + std::to_string(h) +
                         " is out of range (1 to 65535 pixels a side)");
    return {static_cast<int>(w), static_cast<int>(h)};
  }
  if (b.size() < 26) throw PictureError("not a readable BMP (its header is cut short)");
  if (le32(14) == 12) return {b[18] | b[19] << 8, b[20] | b[21] << 8};
  const int64_t w = static_cast<int32_t>(le32(18)), h = static_cast<int32_t>(le32(22));
  if (w <= 0 || h == 0 || h == INT32_MIN) throw PictureError("the BMP's size is out of range");
  return {static_cast<int>(w), static_cast<int>(h < 0 ? -h : h)};
}

Decoded Decode(Format format, ByteSpan bytes, const DecodeRequest& request) {
  switch (format) {
    case Format::kJpeg:
      return DecodeJpeg(bytes, request);
    case Format::kWebp:
      return DecodeWebp(bytes, request);
    case Format::kUnknown:
      throw PictureError("not a picture format quenmora reads");
    default:
      break;
  }
  Decoded d = format == Format::kGif    ? DecodeGif(bytes, request)
              : format == Format::kTiff ? DecodeTiff(bytes, request)
              : format == Format::kHeif ? DecodeHeif(bytes, request)
                                        : DecodePngOrBmp(format, bytes, request);
  d.full_size = {d.pixels.Width(), d.pixels.Height()};
  return d;
}

std::optional<std::vector<uint8_t>> TurnJpegLosslessly(ByteSpan jpeg, int orientation,
                                                       uint64_t memory_limit) {
  static constexpr int kOperation[9] = {TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                                        TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                                        TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
  if (orientation < 2 || orientation > 8) return std::nullopt;
  const JpegLayout layout = ReadJpegLayout(jpeg);
  const Size size = JpegSize(layout);
  if (layout.coefficient_bytes > memory_limit) return std::nullopt;
  TjHandle h = Tj(tjInitTransform());
  int w = 0, hgt = 0, subsamp = 0, colourspace = 0;
  TjCheck(tjDecompressHeader3(h.get(), jpeg.data(), jpeg.size(), &w, &hgt, &subsamp, &colourspace),
          h.get(), "not a JPEG picture TurboJPEG can read");
  if (subsamp < 0 || subsamp >= TJ_NUMSAMP) return std::nullopt;
  // Blocks that run past the right or bottom edge cannot move to the other side whole: a turn
  // that would put them there is not lossless.
  const int op = kOperation[orientation];
  const bool right_edge_moves =
      op == TJXOP_HFLIP || op == TJXOP_ROT180 || op == TJXOP_TRANSVERSE || op == TJXOP_ROT270;
  const bool bottom_edge_moves =
      op == TJXOP_VFLIP || op == TJXOP_ROT180 || op == TJXOP_TRANSVERSE || op == TJXOP_ROT90;
  if ((right_edge_moves && size.width % tjMCUWidth[subsamp] != 0) ||
      (bottom_edge_moves && size.height % tjMCUHeight[subsamp] != 0))
    return std::nullopt;
  tjtransform transform{};
  transform.op = op;
  transform.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  const int rc = tjTransform(h.get(), jpeg.data(), jpeg.size(), 1, &out, &out_size, &transform, 0);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(out, tjFree);
  TjCheck(rc, h.get(), "cannot turn the JPEG");
  return std::vector<uint8_t>(out, out + out_size);
}

std::vector<uint8_t> EncodeJpeg(const TBitmap& pixels, int quality) {
  TjHandle h = Tj(tjInitCompress());
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  // Colour is kept at full resolution for high qualities, where halving it would be the
  // largest loss left.
  const int subsampling = quality >= 90 ? TJSAMP_444 : TJSAMP_420;
  const int rc = tjCompress2(h.get(), pixels.Bits(), pixels.Width(),
                             static_cast<int>(pixels.RowBytes()), pixels.Height(), TJPF_BGR, &out,
                             &out_size, subsampling, quality, TJFLAG_ACCURATEDCT);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(out, tjFree);
  if (rc != 0)
    throw PictureError(std::string("cannot encode the JPEG: ") + tjGetErrorStr2(h.get()));
  return std::vector<uint8_t>(out, out + out_size);
}

std::vector<uint8_t> EncodePng(const TBitmap& pixels) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw std::bad_alloc();
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw PictureError("cannot encode the PNG");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t size) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + size);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.Width()),
               static_cast<png_uint_32>(pixels.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < pixels.Height(); ++y)
    png_write_row(png, const_cast<png_bytep>(pixels.ScanLine(y)));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool HasFewColours(const TBitmap& pixels) {
  std::unordered_set<uint32_t> seen;
  for (int y = 0; y < pixels.Height(); ++y) {
    const uint8_t* p = pixels.ScanLine(y);
    for (int x = 0; x < pixels.Width(); ++x, p += 3) {
      seen.insert(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16);
      if (seen.size() > 256) return false;
    }
  }
  return true;
}

}  // namespace qm::photos
