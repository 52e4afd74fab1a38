// Choosing the decoder by extension, the file-open error and the error box's period rule.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "imaging/decode_stop.h"
#include "imaging/png_image.h"
#include "imaging/slide_loader.h"
#include "platform/exception.h"
#include "platform/messages.h"
#include "tests/imaging/test_pictures.h"

namespace qm {
namespace {

using test::Bytes;

TEST(SlideDispatch, ExtensionOfTheFileNamePartLowerCased) {
  const struct {
    const char* path;
    const char* extension;
    TSlideDecoder decoder;
  } cases[] = {
      {"/tmp/a.jpg", ".jpg", TSlideDecoder::sdJPEG},
      {"/tmp/A.JPG", ".jpg", TSlideDecoder::sdJPEG},
      {"/tmp/b.JpEg", ".jpeg", TSlideDecoder::sdJPEG},
      {"/tmp/c.PNG", ".png", TSlideDecoder::sdPNG},
      {"/tmp/photo.jpeg.bmp", ".bmp", TSlideDecoder::sdBMP},
      {"/tmp/d.gif", ".gif", TSlideDecoder::sdNone},
      {"/tmp/noextension", "", TSlideDecoder::sdNone},
      {"/tmp/dir.png/name", "", TSlideDecoder::sdNone},  // the dot is in a directory name
      {"/tmp/e.png.", ".", TSlideDecoder::sdNone},
      {"/tmp/f.pngx", ".pngx", TSlideDecoder::sdNone},
      {"/tmp/.png", ".png", TSlideDecoder::sdPNG},
      {"g.BMP", ".bmp", TSlideDecoder::sdBMP},
      {"/tmp/h.\xC3\x84PG", ".\xC3\x84pg", TSlideDecoder::sdNone},  // only A-Z are lowered
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SlideExtension(c.path), c.extension) << c.path;
    EXPECT_EQ(SlideDecoderFor(c.path), c.decoder) << c.path;
  }
}

TEST(SlideDispatch, UnknownExtensionReadsNothing) {
  EXPECT_FALSE(LoadSlidePicture("/nonexistent/picture.gif").has_value());
}

TEST(SlideDispatch, FileOpenErrorOnEveryPath) {
  for (const char* name : {"/nonexistent/x.jpg", "/nonexistent/x.png", "/nonexistent/x.bmp"}) {
    try {
      LoadSlidePicture(name);
      ADD_FAILURE() << name;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.ClassName(), "EFOpenError");
      EXPECT_EQ(e.Message(), std::string("Datei ") + name + " kann nicht geöffnet werden. " +
                                 std::strerror(ENOENT));
    }
  }
  // A directory cannot be opened as a picture; a relative name is shown in full.
  const std::string dir = test::TempPath("dir.png");
  std::filesystem::create_directories(dir);
  EXPECT_THROW(LoadSlidePicture(dir), EFOpenError);
  std::filesystem::remove(dir);
  try {
    LoadSlidePicture("missing-picture.png");
  } catch (const EFOpenError& e) {
    const std::string full = (std::filesystem::current_path() / "missing-picture.png").string();
    EXPECT_NE(e.Message().find("Datei " + full + " kann"), std::string::npos) << e.Message();
  }
}

TEST(SlideDispatch, EachDecoderByExtension) {
  const test::PngImage img = test::RandomPngImage(3, 2, 3, 4, 1);
  const std::string png = test::TempPath("slide.PNG");
  test::WriteFile(png, test::MakePng(img, Bytes(48, 7)));
  const auto p = LoadSlidePicture(png);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->BitsPerPixel(), 4);

  const std::string bmp = test::TempPath("slide.bmp");
  test::WriteFile(bmp, test::AssembleBmp(test::BmpInfoHeader(40, 2, 2, 24), {}, Bytes(16, 9)));
  EXPECT_EQ(LoadSlidePicture(bmp)->BitsPerPixel(), 24);

  const std::string jpg = test::TempPath("slide.jpeg");
  test::WriteFile(jpg,
                  test::EncodeJpeg(test::PhotoLikeRgb(9, 9, 1), 9, 9, test::JpegKind::kBaseline));
  EXPECT_EQ(LoadSlidePicture(jpg)->Width(), 9);
  // The same file under a PNG name goes to the PNG decoder.
  const std::string wrong = test::TempPath("jpeg-data.png");
  std::filesystem::copy_file(jpg, wrong, std::filesystem::copy_options::overwrite_existing);
  EXPECT_THROW(LoadSlidePicture(wrong), EPNGInvalidFileHeader);
  for (const auto& f : {png, bmp, jpg, wrong}) std::filesystem::remove(f);
}

// A decode whose thread's stop flag is set leaves with EDecodeStopped; the flag counts only
// within its scope.
TEST(SlideDispatch, JpegAndPngDecodesStopOnTheirThreadsFlag) {
  const test::PngImage img = test::RandomPngImage(40, 30, 2, 8, 2);
  for (const auto& [name, bytes] :
       {std::pair<std::string, Bytes>{"a.png", test::MakePng(img)},
        {"a.jpg",
         test::EncodeJpeg(test::PhotoLikeRgb(40, 30, 2), 40, 30, test::JpegKind::kProgressive)}}) {
    SCOPED_TRACE(name);
    std::atomic<bool> stop{true};
    {
      const DecodeStopScope scope(stop);
      EXPECT_THROW(DecodeSlidePicture(name, bytes), EDecodeStopped);
      stop = false;
      EXPECT_EQ(DecodeSlidePicture(name, bytes)->Width(), 40);
      stop = true;
    }
    EXPECT_EQ(DecodeSlidePicture(name, bytes)->Height(), 30) << "outside the scope";
  }
}

TEST(ErrorBox, PeriodAppendedAfterCharactersAboveTheDot) {
  EXPECT_EQ(ErrorBoxText("Bitmap ist ungültig"), "Bitmap ist ungültig.");
  EXPECT_EQ(ErrorBoxText("JPEG-Fehler #53"), "JPEG-Fehler #53.");
  EXPECT_EQ(ErrorBoxText("pieces of data (crc error)"), "pieces of data (crc error)");  // ')'
  EXPECT_EQ(ErrorBoxText("obtaining it again."), "obtaining it again.");
  EXPECT_EQ(ErrorBoxText("a-"), "a-");   // '-' comes before '.'
  EXPECT_EQ(ErrorBoxText("a/"), "a/.");  // '/' comes after '.'
  EXPECT_EQ(ErrorBoxText("Größe"), "Größe.");
  EXPECT_EQ(ErrorBoxText(""), "");
}

}  // namespace
}  // namespace qm
