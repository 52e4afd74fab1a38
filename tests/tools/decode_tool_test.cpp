// The `quenmora decode` command from end to end, called in process: the picture it writes, the
// error box texts it prints, and the outputs it refuses.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "imaging/png_image.h"
#include "tests/imaging/test_pictures.h"
#include "tools/commands.h"
#include "tools/tool_messages.h"

namespace qm {
namespace {

using test::Bytes;

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
