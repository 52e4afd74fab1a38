#include "photos/prepare.h"

namespace qm::photos {

namespace {

bool ShownByThePlayer(Format f) {
  return f == Format::kJpeg || f == Format::kPng || f == Format::kBmp;
}

// The size as stored (before turning) without decoding, for the formats the player shows.
Size StoredSize(Format format, ByteSpan file, Metadata& metadata) {
  if (format == Format::kJpeg) {
    const JpegLayout layout = ReadJpegLayout(file);
    metadata = JpegMetadata(layout);
    return JpegSize(layout);
  }
  if (format == Format::kPng) ReadExif(PngExif(file), metadata);
  return PngOrBmpSize(format, file);
}

std::string Describe(bool turned, bool scaled, bool converted) {
  std::string s;
  for (auto [done, word] :
       {std::pair{converted, "converted"}, {turned, "turned"}, {scaled, "scaled"}})
    if (done) s += (s.empty() ? "" : ", ") + std::string(word);
  return s;
}

}  // namespace

std::optional<Prepared> KeptAsIs(ByteSpan head, const PrepareOptions& options) {
  const Format format = SniffFormat(head);
  if (!ShownByThePlayer(format)) return std::nullopt;
  Prepared result;
  result.format = format;
  try {
    const Size stored = StoredSize(format, head, result.metadata);
    const Size target = options.fit ? FitInside(stored, *options.fit) : stored;
    if (!(target == stored) || result.metadata.orientation != 1) return std::nullopt;
    result.size = stored;
  } catch (const PictureError&) {
    return std::nullopt;  // the whole file tells what is wrong
  }
  result.kept_as_is = true;
  return result;
}

Prepared PreparePicture(ByteSpan file, const PrepareOptions& options) {
  const Format format = SniffFormat(file);
  Prepared result;
  result.format = format;

  if (ShownByThePlayer(format)) {
    const Size stored = StoredSize(format, file, result.metadata);
    const int o = result.metadata.orientation;
    const Size upright = Oriented(stored, o);
    const Size target = options.fit ? FitInside(upright, *options.fit) : upright;
    result.size = target;
    if (target == upright && o == 1) {
      result.kept_as_is = true;
      return result;
    }
    if (target == upright && format == Format::kJpeg) {
      if (auto turned = TurnJpegLosslessly(file, o, options.memory_limit)) {
        result.data = std::move(*turned);
        result.extension = ".jpg";
        result.change = "turned";
        return result;
      }
    }
  }

  UprightPicture picture = DecodeUpright(file, options);
  result.metadata = picture.metadata;
  result.size = {picture.pixels.Width(), picture.pixels.Height()};
  // JPEG stays JPEG; what the player shows as PNG or BMP, drawings, pictures with few colours
  // and pictures with transparency become PNG; other photographs JPEG.
  const bool png = format == Format::kPng || format == Format::kBmp || format == Format::kGif ||
                   (format != Format::kJpeg && (picture.transparent || picture.few_colours));
  result.data = png ? EncodePng(picture.pixels) : EncodeJpeg(picture.pixels, options.quality);
  result.extension = png ? ".png" : ".jpg";
  result.change =
      Describe(picture.metadata.orientation != 1, picture.scaled, !ShownByThePlayer(format));
  return result;
}

UprightPicture DecodeUpright(ByteSpan file, const PrepareOptions& options) {
  const Format format = SniffFormat(file);
  if (file.empty()) throw PictureError("the file is empty");
  if (format == Format::kUnknown)
    throw PictureError(
        "not a picture (quenmora reads JPEG, PNG, BMP, GIF, WebP, TIFF, HEIF and AVIF)");
  // Decoded, scaled in the stored orientation (fewer pixels to turn afterwards), turned upright.
  DecodeRequest request;
  request.fit = options.fit;
  request.background = options.background;
  request.memory_limit = options.memory_limit;
  Decoded decoded = Decode(format, file, request);
  UprightPicture result;
  result.metadata = decoded.metadata;
  result.transparent = decoded.transparent;
  const int o = decoded.metadata.orientation;
  const Size upright = Oriented(decoded.full_size, o);
  const Size target = options.fit ? FitInside(upright, *options.fit) : upright;
  result.scaled = !(target == upright);
  result.few_colours = format != Format::kJpeg && HasFewColours(decoded.pixels);
  // A picture scaled while decoding still needs the last, exact step.
  result.pixels = result.scaled || decoded.pixels.Width() != decoded.full_size.width
                      ? Downscale(decoded.pixels, Oriented(target, o))
                      : std::move(decoded.pixels);
  if (o != 1) result.pixels = Orient(result.pixels, o);
  return result;
}

}  // namespace qm::photos
