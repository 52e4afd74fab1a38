#include "imaging/jpeg_image.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include "imaging/byte_stream.h"
#include "imaging/decode_budget.h"
#include "imaging/decode_stop.h"
#include "platform/messages.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace qm {

TJPEGDefaults JPEGDefaults;

void InitJPEGDefaults(int screen_bits_per_pixel, int screen_planes) {
  JPEGDefaults.PixelFormat = screen_bits_per_pixel * screen_planes <= 8 ? TJPEGPixelFormat::jf8Bit
                                                                        : TJPEGPixelFormat::jf24Bit;
}

namespace {

// Fatal library errors jump back to the guarded call below, which then releases the
// decompressor and raises EJPEG: no C++ exception ever passes through the library's frames.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

extern "C" void OnFatalError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
extern "C" void OnWarning(j_common_ptr, int) {}  // warnings are ignored
extern "C" void OnOutputMessage(j_common_ptr) {}

// The source: the file in memory, handed to the library in blocks of 4096 bytes. Past the end
// the end-of-image marker is supplied, so that a truncated file decodes; no data at all is the
// fatal "input empty" error.
constexpr std::size_t kBlockSize = 4096;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct SourceManager {
  jpeg_source_mgr pub;
  const uint8_t* data;
  std::size_t size, pos;
};

extern "C" void InitSource(j_decompress_ptr) {}
extern "C" void TermSource(j_decompress_ptr) {}

extern "C" boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (src->pos >= src->size) {
    if (src->pos == 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kEndOfImage;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
  }
  const std::size_t n = src->size - src->pos < kBlockSize ? src->size - src->pos : kBlockSize;
  src->pub.next_input_byte = src->data + src->pos;
  src->pub.bytes_in_buffer = n;
  src->pos += n;
  return TRUE;
}

extern "C" void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (count <= 0) return;
  while (static_cast<std::size_t>(count) > src->pub.bytes_in_buffer) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
    // At the end of the data only the end-of-image marker is left, and it is not skipped.
    if (src->pub.next_input_byte == kEndOfImage) return;
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

// A decompressor over bytes in memory, released by its destructor on every path.
struct Decompressor {
  explicit Decompressor(const std::vector<uint8_t>& bytes) {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnFatalError;
    err.pub.emit_message = OnWarning;
    err.pub.output_message = OnOutputMessage;
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInputBuffer;
    src.pub.skip_input_data = SkipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.next_input_byte = nullptr;
    src.pub.bytes_in_buffer = 0;
    src.data = bytes.data();
    src.size = bytes.size();
    src.pos = 0;
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  // Creates the library's decompressor and attaches the source (inside a guarded step).
  void Create() {
    jpeg_create_decompress(&cinfo);
    cinfo.src = &src.pub;
  }

  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  SourceManager src{};
  std::vector<uint8_t> cmyk_row;  // one row of four-component samples
};

using Step = void (*)(Decompressor&, void*);

// Runs `step`; returns -1 when it completes, or the message code of the library's fatal error.
// `step` keeps only trivially destructible locals while it calls the library, since a fatal
// error leaves its frame by a jump. C++ exceptions from our own code pass through normally.
int RunGuarded(Decompressor& d, Step step, void* context) {
  if (setjmp(d.err.jump) != 0) return d.err.pub.msg_code;
  step(d, context);
  return -1;
}

struct HeaderInfo {
  int width, height;
  bool grayscale;
};

void ReadHeaderStep(Decompressor& d, void* context) {
  auto* info = static_cast<HeaderInfo*>(context);
  d.Create();
  jpeg_read_header(&d.cinfo, TRUE);
  info->width = static_cast<int>(d.cinfo.image_width);
  info->height = static_cast<int>(d.cinfo.image_height);
  info->grayscale = d.cinfo.jpeg_color_space == JCS_GRAYSCALE;
}

struct DecodeContext {
  const TJPEGDefaults* settings;
  TBitmap* bitmap;
};

// Four-component samples to blue, green, red. Adobe files store the inks inverted (255 = no
// ink); YCCK files are always Adobe files.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, std::size_t pixels, bool inverted) {
  for (std::size_t i = 0; i < pixels; ++i, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

// The picture's memory against the budget, before the bitmap and the library's own buffers
// are allocated.
void CheckBudget(jpeg_decompress_struct& c, bool quantize) {
  JpegSampling sampling[MAX_COMPONENTS];
  const int components = c.num_components < MAX_COMPONENTS ? c.num_components : MAX_COMPONENTS;
  for (int i = 0; i < components; ++i)
    sampling[i] = {c.comp_info[i].h_samp_factor, c.comp_info[i].v_samp_factor};
  CheckDecodeBudget(JpegDecodeBytes(c.output_width, c.output_height, quantize,
                                    jpeg_has_multiple_scans(&c) != FALSE,
                                    std::span(sampling, static_cast<std::size_t>(components))));
}

void DecodeStep(Decompressor& d, void* context) {
  const auto* ctx = static_cast<DecodeContext*>(context);
  const TJPEGDefaults& settings = *ctx->settings;
  TBitmap& bitmap = *ctx->bitmap;
  j_decompress_ptr c = &d.cinfo;

  d.Create();
  jpeg_read_header(c, TRUE);
  c->scale_num = 1;
  c->scale_denom = 1u << static_cast<unsigned>(settings.Scale);
  c->do_block_smoothing = settings.Smoothing ? TRUE : FALSE;
  const bool four_components = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
  bool quantize = false;
  if (four_components) {
    // The library converts these only to CMYK; the conversion to RGB is done here.
    c->out_color_space = JCS_CMYK;
  } else {
    if (settings.Grayscale) c->out_color_space = JCS_GRAYSCALE;
    quantize =
        settings.PixelFormat == TJPEGPixelFormat::jf8Bit || c->out_color_space == JCS_GRAYSCALE;
    if (quantize) {
      c->quantize_colors = TRUE;
      c->desired_number_of_colors = 236;
      if (c->out_color_space != JCS_GRAYSCALE) c->out_color_space = JCS_RGB;
    } else {
      c->out_color_space = JCS_EXT_BGR;
    }
  }
  if (settings.Performance == TJPEGPerformance::jpBestSpeed) {
    c->dct_method = JDCT_IFAST;
    c->two_pass_quantize = FALSE;
    c->dither_mode = JDITHER_ORDERED;
  }
  jpeg_calc_output_dimensions(c);
  CheckBudget(*c, quantize);
  bitmap.SetSize(static_cast<int>(c->output_width), static_cast<int>(c->output_height),
                 quantize ? PixelFormat::pf8bit : PixelFormat::pf24bit);
  if (four_components) d.cmyk_row.resize(std::size_t{c->output_width} * 4);

  jpeg_start_decompress(c);
  if (quantize) {
    std::vector<TRGBQuad>& palette = bitmap.Palette();
    palette.resize(static_cast<std::size_t>(c->actual_number_of_colors));
    for (std::size_t i = 0; i < palette.size(); ++i) {
      if (c->out_color_components == 1) {
        const uint8_t g = c->colormap[0][i];
        palette[i] = TRGBQuad{g, g, g, 0};
      } else {
        palette[i] = TRGBQuad{c->colormap[2][i], c->colormap[1][i], c->colormap[0][i], 0};
      }
    }
  }
  const bool inverted = c->saw_Adobe_marker || c->jpeg_color_space == JCS_YCCK;
  while (c->output_scanline < c->output_height) {
    ThrowIfDecodeStopped();
    const int y = static_cast<int>(c->output_scanline);
    JSAMPROW row = four_components ? d.cmyk_row.data() : bitmap.ScanLine(y);
    if (jpeg_read_scanlines(c, &row, 1) != 1) break;
    if (four_components) CmykToBgr(row, bitmap.ScanLine(y), c->output_width, inverted);
  }
  jpeg_finish_decompress(c);
}

[[noreturn]] void ThrowJpegError(int code) {
  throw EJPEG(FormatMessage(msg::kJpegError, {code}));
}

}  // namespace

void TJPEGImage::LoadFromFile(const std::string& path) {
  LoadFromBytes(ReadFileBytes(path));
}

void TJPEGImage::LoadFromBytes(std::vector<uint8_t> bytes) {
  data_ = std::move(bytes);
  width_ = height_ = 0;
  grayscale_ = false;
  decoded_ = false;
  bitmap_ = TBitmap();
  if (!data_.empty()) ReadHeader();
}

void TJPEGImage::ReadHeader() {
  Decompressor d(data_);
  HeaderInfo info{0, 0, false};
  const int code = RunGuarded(d, ReadHeaderStep, &info);
  if (code >= 0) ThrowJpegError(code);
  width_ = info.width;
  height_ = info.height;
  grayscale_ = info.grayscale;
}

void TJPEGImage::Decode() {
  Decompressor d(data_);
  DecodeContext context{&Settings, &bitmap_};
  int code;
  try {
    code = RunGuarded(d, DecodeStep, &context);
  } catch (...) {
    bitmap_ = TBitmap();
    throw;
  }
  if (code >= 0) {
    bitmap_ = TBitmap();
    ThrowJpegError(code);
  }
  decoded_ = true;
}

const TBitmap& TJPEGImage::Bitmap() {
  if (!decoded_) Decode();
  return bitmap_;
}

TBitmap TJPEGImage::TakeBitmap() {
  Bitmap();
  decoded_ = false;
  return std::move(bitmap_);
}

}  // namespace qm
