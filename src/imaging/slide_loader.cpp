#include "imaging/slide_loader.h"

#include "imaging/bmp_reader.h"
#include "imaging/byte_stream.h"
#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"

namespace qm {

std::string SlideExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return std::string();
  std::string extension = path.substr(dot);
  for (char& ch : extension)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return extension;
}

TSlideDecoder SlideDecoderFor(const std::string& path) {
  const std::string extension = SlideExtension(path);
  if (extension == ".jpg" || extension == ".jpeg") return TSlideDecoder::sdJPEG;
  if (extension == ".png") return TSlideDecoder::sdPNG;
  if (extension == ".bmp") return TSlideDecoder::sdBMP;
  return TSlideDecoder::sdNone;
}

namespace {

std::optional<TBitmap> Decode(TSlideDecoder decoder, std::vector<uint8_t> bytes) {
  switch (decoder) {
    case TSlideDecoder::sdJPEG: {
      TJPEGImage jpeg;
      jpeg.LoadFromBytes(std::move(bytes));
      return jpeg.TakeBitmap();
    }
    case TSlideDecoder::sdPNG: {
      TPNGObject png;
      png.LoadFromBytes(bytes);
      return png.TakeBitmap();
    }
    case TSlideDecoder::sdBMP:
      return DecodeBitmap(bytes);
    case TSlideDecoder::sdNone:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TBitmap> LoadSlidePicture(const std::string& path, TSlideDecoder decoder) {
  if (decoder == TSlideDecoder::sdNone) return std::nullopt;
  return Decode(decoder, ReadFileBytes(path));
}

std::optional<TBitmap> LoadSlidePicture(const std::string& path) {
  return LoadSlidePicture(path, SlideDecoderFor(path));
}

std::optional<TBitmap> DecodeSlidePicture(const std::string& name, std::vector<uint8_t> bytes) {
  return Decode(SlideDecoderFor(name), std::move(bytes));
}

}  // namespace qm
