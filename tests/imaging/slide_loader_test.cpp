// Choosing the decoder by extension, the file-open error, the error box's period rule, and the
// `quenmora decode` command from end to end.
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
#include "tools/commands.h"
#include "tools/tool_messages.h"

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

// ---- quenmora decode ----

struct ToolRun {
  int code;
  std::string out, err;
};

ToolRun RunDecodeTool(const tool::Args& args) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int code = tool::RunDecode(args);
  const std::string out = testing::internal::GetCapturedStdout();
  return {code, out, testing::internal::GetCapturedStderr()};
}

TEST(DecodeTool, WritesA24BitPngAndPrintsTheSize) {
  const test::PngImage img = test::RandomPngImage(7, 5, 3, 2, 4);
  const Bytes palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  const std::string in = test::TempPath("tool-in.png"), out = test::TempPath("tool-out.png");
  test::WriteFile(in, test::MakePng(img, palette));
  const ToolRun run = RunDecodeTool({in, out});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "7x5 4\n");
  TPNGObject source, written;
  source.LoadFromFile(in);
  written.LoadFromFile(out);
  TBitmap a, b;
  source.AssignTo(a);
  written.AssignTo(b);
  EXPECT_EQ(written.Header()->ColorType, 2);
  EXPECT_EQ(written.Header()->BitDepth, 8);
  EXPECT_EQ(test::BitmapRgb(a), test::BitmapRgb(b));
  std::filesystem::remove(in);
  std::filesystem::remove(out);
}

TEST(DecodeTool, FailuresPrintTheErrorBoxText) {
  const std::string out = test::TempPath("never-written.png");
  const ToolRun missing = RunDecodeTool({"/nonexistent/a.bmp", out});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err, std::string("Datei /nonexistent/a.bmp kann nicht geöffnet werden. ") +
                             std::strerror(ENOENT) + ".\n");

  const std::string bad = test::TempPath("bad.bmp");
  test::WriteFile(bad, {'B', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(RunDecodeTool({bad, out}).err, "Bitmap ist ungültig.\n");

  const std::string crc = test::TempPath("crc.png");
  test::WriteFile(crc, test::AssemblePng({test::IhdrChunk(1, 1, 8, 0), {"IDAT", {1}, true}}));
  const ToolRun crc_run = RunDecodeTool({crc, out});
  EXPECT_EQ(crc_run.code, 1);
  EXPECT_EQ(crc_run.err,
            "This \"Portable Network Graphics\" image is not valid because it contains invalid "
            "pieces of data (crc error)\n");  // ends with ')': no period

  // The output cannot be created, or is a device: the tool says so in English, with the
  // system's reason, before decoding; nothing is printed on standard output.
  const std::string good = test::TempPath("good.bmp");
  test::WriteFile(good, test::AssembleBmp(test::BmpInfoHeader(40, 1, 1, 24), {}, Bytes(4, 1)));
  const std::pair<const char*, std::string> refusals[] = {
      {"/nonexistent/out.png", std::string("quenmora decode: cannot create a file beside "
                                           "/nonexistent/out.png: ") +
                                   std::strerror(ENOENT) + "\n"},
      {"/dev/full",
       "quenmora decode: the output /dev/full is a character device, not a regular "
       "file\n"},
  };
  tool::SetCommandName("decode");
  for (const auto& [output, message] : refusals) {
    const ToolRun run = RunDecodeTool({good, output});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, message);
  }
  std::filesystem::remove(good);

  const ToolRun gif = RunDecodeTool({test::TempPath("x.gif"), out});
  EXPECT_EQ(gif.code, 1);
  EXPECT_NE(gif.err.find("\".gif\""), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(RunDecodeTool({"only-one"}).code, 2);
  std::filesystem::remove(bad);
  std::filesystem::remove(crc);
}

TEST(DecodeTool, EmptyBitmapFileWritesNothing) {
  const std::string in = test::TempPath("empty.bmp"), out = test::TempPath("empty-out.png");
  test::WriteFile(in, {});
  const ToolRun run = RunDecodeTool({in, out});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "0x0 0\n");
  EXPECT_FALSE(std::filesystem::exists(out));
  std::filesystem::remove(in);
}

}  // namespace
}  // namespace qm
