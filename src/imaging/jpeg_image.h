// TJPEGImage: a JPEG picture held as its file's bytes and decoded through libjpeg (API 62) into
// a bitmap on first demand.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/exception.h"

namespace qm {

// A fatal error of the JPEG library: "JPEG-Fehler #%d" with the library's message code.
QM_DECLARE_EXCEPTION(EJPEG, EInvalidGraphic);

enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum class TJPEGPixelFormat { jf24Bit, jf8Bit };
enum class TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

// The decode settings. Quality and progressive encoding apply to saving, which this system does
// not do; progressive display is a matter of the display, which here always gets the finished
// picture.
struct TJPEGDefaults {
  int CompressionQuality = 90;
  bool Grayscale = false;
  TJPEGPerformance Performance = TJPEGPerformance::jpBestQuality;
  TJPEGPixelFormat PixelFormat = TJPEGPixelFormat::jf24Bit;
  bool ProgressiveDisplay = false;
  bool ProgressiveEncoding = false;
  TJPEGScale Scale = TJPEGScale::jsFullSize;
  bool Smoothing = true;
};

// The process-wide defaults that every new JPEG object takes; written once at start-up.
extern TJPEGDefaults JPEGDefaults;
// Start-up: 8-bit output when the screen shows at most 256 colours (bits per pixel x planes <= 8).
void InitJPEGDefaults(int screen_bits_per_pixel, int screen_planes);

class TJPEGImage {
 public:
  TJPEGImage() : Settings(JPEGDefaults) {}

  // Keeps the file's bytes and reads the header (EJPEG on a file that is not a JPEG). An empty
  // file loads; decoding it fails.
  void LoadFromFile(const std::string& path);
  void LoadFromBytes(std::vector<uint8_t> bytes);

  // The header's size and colour model (0 before a load).
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Grayscale() const { return grayscale_; }

  // Decodes on the first call and keeps the result: 24-bit blue-green-red rows, or an 8-bit
  // bitmap of at most 236 colours for greyscale output and the 8-bit pixel format. CMYK and
  // YCCK files become 24-bit RGB. Throws EJPEG on a fatal library error.
  const TBitmap& Bitmap();
  void AssignTo(TBitmap& target) { target = Bitmap(); }
  // Decodes if needed and moves the bitmap out; a later call decodes again.
  TBitmap TakeBitmap();

  TJPEGDefaults Settings;

 private:
  void ReadHeader();
  void Decode();

  std::vector<uint8_t> data_;
  int width_ = 0, height_ = 0;
  bool grayscale_ = false;
  bool decoded_ = false;
  TBitmap bitmap_;
};

}  // namespace qm
