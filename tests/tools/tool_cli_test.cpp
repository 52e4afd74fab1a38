// The `quenmora` tool as a user runs it: pack, info and their refusals.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "payload/extraction.h"
#include "payload/payload_reader.h"
#include "platform/byte_order.h"
#include "tests/payload/show_builder.h"
#include "tests/support/bmp_files.h"
#include "tests/support/shell.h"

namespace qm {
namespace {

using test::kSanitized;

using test::RunResult;
using test::Shell;

// A command that could run away: bounded in time and, where the sanitizers allow, in memory.
std::string Bounded(const std::string& command) {
  return std::string("timeout 20 sh -c '") + (kSanitized ? "" : "ulimit -v 2000000; ") + "exec " +
         command + "'";
}

// `size` bytes that pack takes for a picture of `format` ("jpg" or "png"), 16 x 16 pixels as
// its header says, followed by pseudo-random bytes: pack stores such a picture as it is.
test::Bytes PictureBytes(const std::string& format, std::size_t size, uint32_t seed) {
  test::Bytes head =
      format == "jpg"
          ? test::Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0,    17, 8, 0,    16, 0,    16,  3,
                        1,    0x11, 0,    2,    0x11, 1,  3, 0x11, 1,  0xFF, 0xDA}
          : test::Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,  0, 0, 13, 'I', 'H', 'D',
                        'R',  0,   0,   0,   16,   0,    0,    0,    16, 8, 2, 0,  0,   0};
  const test::Bytes rest = test::Pattern(size - head.size(), seed);
  head.insert(head.end(), rest.begin(), rest.end());
  return head;
}

// Starts `quenmora` with `args`, without a shell; returns its process id.
pid_t StartTool(std::vector<std::string> args) {
  std::string tool = std::string(QM_BIN_DIR) + "/quenmora";
  std::vector<char*> argv = {tool.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  return posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

class ToolTest : public ::testing::Test {
 protected:
  ToolTest() {
    dir_ = tmp_.Path();
    test::WriteFile(dir_ + "/player", test::Pattern(3000, 1));
    test::WriteFile(dir_ + "/a.jpg", PictureBytes("jpg", 2000, 2));
    test::WriteFile(dir_ + "/B.PNG", PictureBytes("png", 3000, 3));
    test::WriteFile(dir_ + "/c.bmp", {});
  }
  RunResult Quenmora(const std::string& args) {
    return Shell(std::string(QM_BIN_DIR) + "/quenmora " + args);
  }
  std::string Pack(const std::string& args) {
    return "pack --player " + dir_ + "/player -o " + dir_ + "/show " + args;
  }

  test::PrivateTempDir tmp_;
  std::string dir_;
};

TEST_F(ToolTest, PackWritesTheExactLayoutAndInfoReadsItBack) {
  const RunResult r =
      Quenmora(Pack("--interval 3 --background '#102030' --loop --caption-position "
                    "top-right --font 'Liberation Sans' --font-colour '#FFFFFF' "
                    "--font-size 20 --bold --underline --style 42 " +
                    dir_ + "/a.jpg='Grüße aus Köln' " + dir_ + "/B.PNG " + dir_ + "/c.bmp=Leer"));
  ASSERT_EQ(r.status, 0) << r.out;
  const test::Bytes show = test::ReadFile(dir_ + "/show");
  const test::Bytes player = test::ReadFile(dir_ + "/player");
  ASSERT_TRUE(std::equal(player.begin(), player.end(), show.begin()));
  EXPECT_EQ(show[player.size()], 0x78);
  EXPECT_EQ(show[player.size() + 1], 0xDA);
  EXPECT_EQ(LoadLittleEndian32(show.data() + show.size() - 4), player.size());
  struct stat st {};
  ASSERT_EQ(stat((dir_ + "/show").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);

  const PayloadSummary s = ReadPayloadSummary(dir_ + "/show");
  EXPECT_EQ(s.header.count, 3);
  EXPECT_EQ(s.header.interval, 3);
  EXPECT_EQ(s.header.background_color, 0x00302010u);
  EXPECT_EQ(s.header.loop, 1);
  EXPECT_EQ(s.header.caption_position, 4);
  EXPECT_EQ(s.header.font_name, "Liberation Sans");
  EXPECT_EQ(s.header.font_color, 0x00FFFFFFu);
  EXPECT_EQ(s.header.font_size, 20);
  EXPECT_EQ(s.header.font_style, 5);
  EXPECT_EQ(s.header.style, 42);
  ASSERT_EQ(s.slides.size(), 3u);
  EXPECT_EQ(s.slides[0].caption,
            "Gr\xfc\xdf"
            "e aus K\xf6ln");
  EXPECT_EQ(s.slides[1].file_name, "B.PNG");
  EXPECT_EQ(s.slides[1].data_size, 3000u);
  EXPECT_EQ(s.slides[2].data_size, 0u);
  EXPECT_EQ(s.inflated_size, 290u + 3 * 516 + 5000);

  const RunResult info = Quenmora("info " + dir_ + "/show");
  ASSERT_EQ(info.status, 0) << info.out;
  for (const char* want :
       {"slides:            3", "#102030 (0x00302010)", "top-right", "\"Liberation Sans\"",
        "white: black strip", "0x05 bold underline", "style:             42 (",
        "slide 1: a.jpg, 2000 bytes, caption \"Grüße aus Köln\"",
        "slide 3: c.bmp, 0 bytes, caption \"Leer\""})
    EXPECT_NE(info.out.find(want), std::string::npos) << want << "\n" << info.out;
}

TEST_F(ToolTest, CaptionsFileAndStyleChoices) {
  test::WriteFile(dir_ + "/captions.txt", {'e', 'i', 'n', 's', '\r', '\n', 'z', 'w', 'e', 'i'});
  ASSERT_EQ(Quenmora(Pack("--captions " + dir_ + "/captions.txt --style random " + dir_ +
                          "/a.jpg " + dir_ + "/a.jpg=eigene"))
                .status,
            0);
  PayloadSummary s = ReadPayloadSummary(dir_ + "/show");
  EXPECT_EQ(s.header.style, 999);
  EXPECT_EQ(s.slides[0].caption, "eins");
  EXPECT_EQ(s.slides[1].caption, "eigene");

  ASSERT_EQ(Quenmora(Pack("--style 'fade' " + dir_ + "/a.jpg")).status, 0);
  s = ReadPayloadSummary(dir_ + "/show");
  EXPECT_GE(s.header.style, 1);
  EXPECT_LE(s.header.style, 150);
  EXPECT_EQ(Quenmora(Pack("--style 151 " + dir_ + "/a.jpg")).status, 2);
  EXPECT_EQ(Quenmora(Pack("--style 'no such style' " + dir_ + "/a.jpg")).status, 2);
}

TEST_F(ToolTest, RefusalsLeaveNoPresentationBehind) {
  test::WriteFile(dir_ + "/notes.gif", {1});
  struct Case {
    std::string args;
    std::string message;
  } cases[] = {
      {dir_ + "/notes.gif", "notes.gif: not a picture"},
      // A captions file that cannot be read to its end.
      {"--captions /proc/self/mem " + dir_ + "/a.jpg",
       std::string("cannot read the captions file /proc/self/mem: ") + std::strerror(EIO)},
      {"--captions " + dir_ + "/none.txt " + dir_ + "/a.jpg",
       "cannot read the captions file " + dir_ + "/none.txt: " + std::strerror(ENOENT)},
      {dir_ + "/missing.jpg", "no such picture"},
      {dir_ + "/a.jpg='Pfeil →'", "Windows-1252 cannot represent"},
      {dir_ + "/a.jpg=" + std::string(256, 'x'), "at most 255 fit"},
      {"--font '" + std::string(300, 'F') + "' " + dir_ + "/a.jpg", "at most 255 fit"},
      {"--interval soon " + dir_ + "/a.jpg", "--interval"},
      {"--caption-position middle " + dir_ + "/a.jpg", "--caption-position"},
      {"--target macos " + dir_ + "/a.jpg", "--target needs linux or windows"},
      {"--target windows " + dir_ + "/a.jpg", "is a program for unknown system, not for Windows"},
  };
  for (const Case& c : cases) {
    const RunResult r = Quenmora(Pack(c.args));
    EXPECT_NE(r.status, 0) << c.args;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/show")) << c.args;
  }
  EXPECT_NE(Quenmora("pack " + dir_ + "/a.jpg").status, 0) << "no -o";
  EXPECT_NE(
      Quenmora("pack -o " + dir_ + "/show --player " + dir_ + "/nothing " + dir_ + "/a.jpg").status,
      0);
  // Only the inputs are left: no temporary file beside the output either.
  EXPECT_EQ(tmp_.Entries(),
            (std::vector<std::string>{"B.PNG", "a.jpg", "c.bmp", "notes.gif", "player"}));
}

TEST_F(ToolTest, InfoNamesStyleFieldsTheWayThePlayerReadsThem) {
  const std::pair<int32_t, const char*> cases[] = {{999, "999 (random style for every slide)"},
                                                   {266, "266 (10, "},
                                                   {200, "200 (above 150: no transition effect)"},
                                                   {0, "0 (0: no transition effect)"}};
  for (const auto& [style, text] : cases) {
    GalleryHeader h;
    h.style = style;
    test::WriteFile(dir_ + "/raw", test::SimplePresentation(h, {}));
    const RunResult r = Quenmora("info " + dir_ + "/raw");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(text), std::string::npos) << r.out;
  }
}

TEST_F(ToolTest, InfoTellsNoPayloadFromDamage) {
  RunResult r = Quenmora("info " + dir_ + "/player");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("carries no gallery payload"), std::string::npos) << r.out;

  ASSERT_EQ(Quenmora(Pack(dir_ + "/a.jpg")).status, 0);
  test::Bytes show = test::ReadFile(dir_ + "/show");
  show[show.size() - 9] ^= 0x40;  // last byte of the Adler-32 checksum
  test::WriteFile(dir_ + "/damaged", show);
  r = Quenmora("info " + dir_ + "/damaged");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("damaged gallery payload: compressed block is not a valid zlib stream"),
            std::string::npos)
      << r.out;
}

// Devices, pipes and directories never end, block, or read as nothing: every command refuses
// them before reading.
TEST_F(ToolTest, AnythingButARegularFileIsRefusedBeforeItIsRead) {
  ASSERT_EQ(mkfifo((dir_ + "/pipe.png").c_str(), 0600), 0);
  for (const char* name : {"/z.bmp", "/z.png", "/z.jpg"})
    ASSERT_EQ(symlink("/dev/zero", (dir_ + name).c_str()), 0);
  const std::string pipe = dir_ + "/pipe.png", out = dir_ + "/out.png";
  const std::pair<std::string, std::string> cases[] = {
      {"decode /dev/zero " + out, "/dev/zero is a character device"},
      {"decode " + dir_ + "/z.bmp " + out, "z.bmp is a character device"},
      {"decode " + dir_ + "/z.png " + out, "z.png is a character device"},
      {"decode " + dir_ + "/z.jpg " + out, "z.jpg is a character device"},
      {"decode " + pipe + " " + out, "picture " + pipe + " is a named pipe"},
      {"info " + pipe, "presentation " + pipe + " is a named pipe"},
      {"info /dev/zero", "/dev/zero is a character device"},
      {Pack("--captions /dev/zero " + dir_ + "/a.jpg"), "captions file /dev/zero is a character"},
      {Pack("--captions " + pipe + " " + dir_ + "/a.jpg"), "captions file " + pipe + " is a named"},
      {Pack("--captions " + dir_ + " " + dir_ + "/a.jpg"), "captions file " + dir_ + " is a dir"},
      {Pack(dir_ + "/z.jpg"), "picture " + dir_ + "/z.jpg is a character device"},
      {"pack --player " + pipe + " -o " + dir_ + "/show " + dir_ + "/a.jpg",
       "player " + pipe + " is a named pipe"},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = Shell(Bounded(std::string(QM_BIN_DIR) + "/quenmora " + args));
    EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
    EXPECT_NE(r.out.find(message), std::string::npos) << args << "\n" << r.out;
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << args << "\n" << r.out;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/show"));
}

// The output is replaced, so it may never be a file the pack reads, by any name or link.
TEST_F(ToolTest, OutputIsNeverThePlayerTheCaptionsFileOrAnInput) {
  test::WriteFile(dir_ + "/captions.txt", {'x'});
  ASSERT_EQ(symlink((dir_ + "/player").c_str(), (dir_ + "/player-link").c_str()), 0);
  ASSERT_EQ(link((dir_ + "/a.jpg").c_str(), (dir_ + "/a-again.jpg").c_str()), 0);
  const std::pair<std::string, std::string> cases[] = {
      {"player", "is the player"},
      {"player-link", "is the player"},
      {"captions.txt", "is the captions file"},
      {"a.jpg", "is also an input"},
      {"a-again.jpg", "is also an input"},
  };
  const std::vector<std::string> inputs = {"player", "captions.txt", "a.jpg"};
  std::vector<test::Bytes> before;
  for (const std::string& name : inputs) before.push_back(test::ReadFile(dir_ + "/" + name));
  for (const auto& [output, message] : cases) {
    const RunResult r = Quenmora("pack --player " + dir_ + "/player --captions " + dir_ +
                                 "/captions.txt -o " + dir_ + "/" + output + " " + dir_ + "/a.jpg");
    EXPECT_EQ(r.status, 1) << output << "\n" << r.out;
    EXPECT_NE(r.out.find(message), std::string::npos) << output << "\n" << r.out;
    for (std::size_t k = 0; k < inputs.size(); ++k)
      EXPECT_EQ(test::ReadFile(dir_ + "/" + inputs[k]), before[k]) << output << ": " << inputs[k];
  }
}

// Each slide takes one of the player's temporary names, which run out past 65533 slides: pack
// refuses more at once, before it reads a picture or writes anything.
TEST_F(ToolTest, PackRefusesMoreSlidesThanThePlayerShows) {
  const RunResult r = Shell("cd " + dir_ + " && timeout 20 " + QM_BIN_DIR +
                            "/quenmora pack --player player -o show $(yes a.jpg | head -n 65534)");
  EXPECT_EQ(r.status, 1) << r.out.substr(0, 500);
  EXPECT_NE(r.out.find("65534 pictures given; a presentation holds at most 65533 slides"),
            std::string::npos)
      << r.out.substr(0, 500);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/show"));
}

// Pictures are judged by their headers: larger than 8192x8192 is packed with a warning, and a
// picture whose decoding would take more than 1 GiB, which no player allows, is refused.
TEST_F(ToolTest, PackWarnsAboutHugePicturesAndRefusesThoseNoPlayerDecodes) {
  const auto png = [](uint32_t w, uint32_t h) {
    test::Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
      for (int shift : {24, 16, 8, 0}) b.push_back(static_cast<uint8_t>(v >> shift));
    b.insert(b.end(), {8, 2, 0, 0, 0, 0, 0, 0, 0});  // RGB, 8 bits; checksum not read
    return b;
  };
  // A progressive frame of 20000 x 20000, three components sampled 2x2, 1x1, 1x1.
  const test::Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4,    0, 0, 0xFF, 0xC2, 0, 17,   8, 0x4E,
                            0x20, 0x4E, 0x20, 3,    1, 0x22, 0, 2, 0x11, 1,    3, 0x11, 1};
  const struct {
    const char* name;
    test::Bytes file;
    int status;
    const char* says;  // nullptr: nothing
  } cases[] = {
      {"wide.png", png(9000, 100), 0, "wide.png is 9000x100 pixels, larger than 8192x8192"},
      {"square.bmp", test::AssembleBmp(test::BmpInfoHeader(40, 8192, 8192, 8), {}, {}), 0, nullptr},
      {"bomb.bmp", test::AssembleBmp(test::BmpInfoHeader(40, 23170, 23170, 32), {}, {}), 1,
       "bomb.bmp is 23170x23170 pixels: the player would need 2048 MB"},
      {"bomb.png", png(20000, 20000), 1, "bomb.png is 20000x20000 pixels"},
      {"bomb.jpg", jpeg, 1, "bomb.jpg is 20000x20000 pixels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir_ + "/show");
    test::WriteFile(dir_ + "/" + c.name, c.file);
    const RunResult r = Quenmora(Pack("--fit none " + dir_ + "/" + c.name));
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_EQ(std::filesystem::exists(dir_ + "/show"), c.status == 0);
    EXPECT_EQ(r.out.find(c.says ? c.says : "8192") != std::string::npos, c.says != nullptr)
        << r.out;
  }
}

// The player puts each stored name after a temporary name of up to 11 bytes; a name that
// makes that longer than 255 bytes on disk can never be extracted, so pack refuses it.
TEST_F(ToolTest, FileNamesThePlayerCannotExtractAreRefused) {
  std::string umlauts;
  for (int k = 0; k < 122; ++k) umlauts += "\u00e4";  // 2 bytes each in UTF-8, 1 in Windows-1252
  const std::pair<std::string, int> cases[] = {
      {std::string(240, 'x') + ".jpg", 0},  // 244 bytes
      {std::string(241, 'x') + ".jpg", 245},
      {umlauts + ".jpg", 248},
  };
  for (const auto& [name, refusedBytes] : cases) {
    test::WriteFile(dir_ + "/" + name, PictureBytes("jpg", 100, 4));
    const RunResult r = Quenmora(Pack("'" + dir_ + "/" + name + "'"));
    if (refusedBytes) {
      EXPECT_EQ(r.status, 1) << r.out;
      EXPECT_NE(r.out.find(std::to_string(refusedBytes) + " bytes long; the player can extract "
                                                          "names of at most 244 bytes"),
                std::string::npos)
          << r.out;
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.out;
    PlayerState state;
    DiscardingSettingsSink sink;
    std::string error;
    EXPECT_TRUE(RunStartupExtraction(dir_ + "/show", state, sink, &error)) << error;
    ASSERT_EQ(state.slides.size(), 1u);
    EXPECT_EQ(test::ReadFile(state.slides[0].path), PictureBytes("jpg", 100, 4));
  }
}

// Interrupted while it writes, a command removes its unfinished file and ends by the signal.
TEST_F(ToolTest, InterruptedCommandsLeaveNothingBehind) {
  // A sparse picture of 3 GiB, zeros after its header: seconds of deflating, yet no disk; a bitmap
  // whose header declares 2000x2000 pixels: seconds of composing and compressing frames.
  test::WriteFile(dir_ + "/big.jpg", PictureBytes("jpg", 100, 5));
  std::filesystem::resize_file(dir_ + "/big.jpg", 3ull << 30);
  test::WriteFile(dir_ + "/big.bmp",
                  test::AssembleBmp(test::BmpInfoHeader(40, 2000, 2000, 24), {}, {}));
  const std::pair<std::string, std::vector<std::string>> commands[] = {
      {"show", {"pack", "--player", dir_ + "/player", "-o", dir_ + "/show", dir_ + "/big.jpg"}},
      {"anim.png",
       {"render", "--style", "118", "--step", "1", "--animate", dir_ + "/big.bmp",
        dir_ + "/big.bmp", dir_ + "/anim.png"}},
  };
  for (const auto& [output, args] : commands) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(output + " " + std::to_string(signal));
      const int watch = inotify_init1(IN_CLOEXEC);
      ASSERT_GE(inotify_add_watch(watch, dir_.c_str(), IN_CREATE), 0);
      const pid_t pid = StartTool(args);
      ASSERT_GT(pid, 0);
      // Waits until the unfinished file exists beside the output.
      bool created = false;
      alignas(inotify_event) char buffer[4096];
      for (pollfd p{watch, POLLIN, 0}; !created && poll(&p, 1, 60000) == 1;) {
        const ssize_t n = read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
          const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
          created |= event->len && std::string(event->name).rfind(output + ".", 0) == 0;
        }
      }
      close(watch);
      EXPECT_TRUE(created);
      kill(pid, signal);
      const std::optional<int> status = test::WaitForExit(pid, 10);
      ASSERT_TRUE(status.has_value());
      EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal) << *status;
      EXPECT_EQ(tmp_.Entries(), (std::vector<std::string>{"B.PNG", "a.jpg", "big.bmp", "big.jpg",
                                                          "c.bmp", "player"}));
    }
  }
}

// A presentation that cannot be written says why, in the system's words: here a folder that
// does not exist, and a file size limit standing in for a full disk.
TEST_F(ToolTest, WriteFailuresNameTheirCause) {
  test::WriteFile(dir_ + "/noise.jpg", PictureBytes("jpg", 200000, 9));
  const std::string tool = std::string(QM_BIN_DIR) + "/quenmora ";
  const std::pair<std::string, std::string> cases[] = {
      {tool + "pack --player " + dir_ + "/player -o /nonexistent/show " + dir_ + "/a.jpg",
       std::string("cannot create a file beside /nonexistent/show: ") + std::strerror(ENOENT)},
      {"trap '' XFSZ; ulimit -f 16; exec " + tool + Pack(dir_ + "/noise.jpg"),
       "cannot write " + dir_ + "/show: " + std::strerror(EFBIG)},
  };
  for (const auto& [command, message] : cases) {
    const RunResult r = Shell(command);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    EXPECT_EQ(tmp_.Entries(),
              (std::vector<std::string>{"B.PNG", "a.jpg", "c.bmp", "noise.jpg", "player"}));
  }
}

// The PNG is encoded row by row as it is written: decoding needs little memory beyond the
// decoded bitmap (0.7 MB here), never the picture's RGB rows (17 MB) or their compressed copy.
TEST_F(ToolTest, DecodeNeedsLittleMemoryBeyondTheBitmap) {
  auto peak_kilobytes = [&](int32_t size) {
    const std::string in = dir_ + "/tiny.bmp", out = dir_ + "/out.png";
    // A 1-bit BMP of 70 bytes that declares size x size pixels: the rows its data does not
    // reach stay black.
    test::WriteFile(in, test::AssembleBmp(test::BmpInfoHeader(40, size, size, 1),
                                          {0, 0, 0, 0, 255, 255, 255, 0}, test::Bytes(8, 0x55)));
    const pid_t pid = StartTool({"decode", in, out});
    rusage usage{};
    const std::optional<int> status = test::WaitForExit(pid, 60, &usage);
    EXPECT_EQ(status, std::optional<int>(0)) << size;
    return usage.ru_maxrss;
  };
  const long baseline = peak_kilobytes(1);
  const long large = peak_kilobytes(2400);
  EXPECT_LT(large - baseline, 12 * 1024) << "kilobytes beyond decoding one pixel";
  const test::Bytes png = test::ReadFile(dir_ + "/out.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(test::Bytes(png.begin() + 12, png.begin() + 24),
            (test::Bytes{'I', 'H', 'D', 'R', 0, 0, 0x09, 0x60, 0, 0, 0x09, 0x60}));
}

// Every file in the test's folder: its kind and, for a regular file or a link, its contents.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const auto kind = e.symlink_status().type();
    std::string what = std::to_string(static_cast<int>(kind)) + ":";
    if (kind == std::filesystem::file_type::symlink) {
      what += std::filesystem::read_symlink(e.path()).string();
    } else if (kind == std::filesystem::file_type::regular) {
      const test::Bytes bytes = test::ReadFile(e.path().string());
      what.append(bytes.begin(), bytes.end());
    }
    files[e.path().filename().string()] = what;
  }
  return files;
}

// Every command that writes a file checks its output before any work: never a device or a
// pipe (links followed), never one of its inputs by any name, and for pack never a file that is
// not a presentation unless --force is given. Every file stays as it was.
TEST_F(ToolTest, OutputsThatWouldDestroyAFileAreRefusedBeforeAnyWork) {
  test::WriteFile(dir_ + "/old.bmp", test::SolidBmp(8, 6, 10, 20, 30));
  test::WriteFile(dir_ + "/new.bmp", test::SolidBmp(8, 6, 200, 100, 0));
  test::WriteFile(dir_ + "/photo.jpg", test::Pattern(500, 7));
  ASSERT_EQ(mkfifo((dir_ + "/pipe.png").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/null", (dir_ + "/null.png").c_str()), 0);
  ASSERT_EQ(link((dir_ + "/old.bmp").c_str(), (dir_ + "/old-again.bmp").c_str()), 0);
  const std::string d = dir_ + "/", render = "render --style 5 --progress 50 ";
  const std::string pack = "pack --player " + d + "player -o ";
  const std::pair<std::string, std::string> cases[] = {
      {pack + d + "pipe.png " + d + "a.jpg", "the output " + d + "pipe.png is a named pipe"},
      {pack + d + "null.png " + d + "a.jpg", "the output " + d + "null.png is a character device"},
      {pack + d + "photo.jpg " + d + "a.jpg",
       d + "photo.jpg exists and is not a presentation; it is kept (--force replaces it)"},
      {render + d + "old.bmp " + d + "new.bmp " + d + "old.bmp", "is also an input"},
      {render + d + "old.bmp " + d + "new.bmp " + d + "old-again.bmp", "is also an input"},
      {"render --style 5 --animate " + d + "old.bmp " + d + "new.bmp " + d + "pipe.png",
       "is a named pipe"},
      {"decode " + d + "old.bmp " + d + "null.png", "is a character device"},
      {"decode " + d + "old.bmp " + d + "old-again.bmp", "is also an input (" + d + "old.bmp)"},
  };
  const auto before = Snapshot(dir_);
  for (const auto& [args, message] : cases) {
    const RunResult r = Shell(Bounded(std::string(QM_BIN_DIR) + "/quenmora " + args));
    EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
    EXPECT_NE(r.out.find(message), std::string::npos) << args << "\n" << r.out;
    EXPECT_EQ(Snapshot(dir_), before) << args;
  }
  // Told to, pack replaces the file; a presentation it replaces without being told.
  for (const char* force : {"--force ", ""}) {
    const RunResult r = Quenmora(std::string("pack ") + force + "--player " + d + "player -o " + d +
                                 "photo.jpg " + d + "a.jpg");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadPayloadSummary(d + "photo.jpg").slides.size(), 1u);
  }
}

// Written beside its place and moved there when complete: a write that fails (a file size
// limit standing in for a full disk) keeps the earlier output whole and leaves nothing else.
TEST_F(ToolTest, AFailedWriteKeepsTheEarlierOutput) {
  test::Bytes noise = test::Pattern(3 * 200 * 200, 5);
  test::WriteFile(dir_ + "/noise.bmp",
                  test::AssembleBmp(test::BmpInfoHeader(40, 200, 200, 24), {}, noise));
  test::WriteFile(dir_ + "/out.png", test::Pattern(100, 6));
  const std::string in = dir_ + "/noise.bmp ";
  for (const std::string& args :
       {"render --style 118 --progress 100 " + in + in,
        "render --style 118 --step 50 --animate " + in + in, "decode " + in}) {
    const RunResult r = Shell("trap '' XFSZ; ulimit -f 16; exec " + std::string(QM_BIN_DIR) +
                              "/quenmora " + args + dir_ + "/out.png");
    EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
    EXPECT_NE(r.out.find("cannot write " + dir_ + "/out.png: " + std::strerror(EFBIG)),
              std::string::npos)
        << args << "\n"
        << r.out;
    EXPECT_EQ(test::ReadFile(dir_ + "/out.png"), test::Pattern(100, 6)) << args;
    EXPECT_EQ(tmp_.Entries(), (std::vector<std::string>{"B.PNG", "a.jpg", "c.bmp", "noise.bmp",
                                                        "out.png", "player"}));
  }
}

// The tool speaks English, naming the file and the system's reason; a command line it cannot
// run gets one line and where the options are described, not the whole usage.
TEST_F(ToolTest, MessagesAreEnglishAndBadOptionsGetOneLine) {
  const std::string d = dir_ + "/";
  test::WriteFile(d + "old.bmp", test::SolidBmp(8, 6));
  // Declares 20000x20000 pixels of 24 bits: 1.2 GB, which the memory limit below does not hold.
  test::WriteFile(d + "huge.bmp",
                  test::AssembleBmp(test::BmpInfoHeader(40, 20000, 20000, 24), {}, {}));
  struct Case {
    std::string args;
    int status;
    std::string message;
    bool memory_limit = false;  // 400 MB of address space
  } cases[] = {
      {Pack("--interval soon " + d + "a.jpg"), 2,
       "--interval needs a whole number of seconds\n"
       "see 'quenmora pack --help'\n"},
      {"render --style 5 --step x " + d + "old.bmp " + d + "old.bmp " + d + "o.png", 2,
       "--step takes 1..100, not x\nsee 'quenmora render --help'\n"},
      {"render --style 5 --step 0 " + d + "old.bmp " + d + "old.bmp " + d + "o.png", 2,
       "--step takes 1..100, not 0\nsee 'quenmora render --help'\n"},
      {"render --style 5 --progress", 2, "--progress needs a value\n"},
      {"gallery -o " + d + "g --jobs 0", 2, "not 0\nsee 'quenmora gallery --help'\n"},
      {"decode " + d + "old.bmp", 2, "see 'quenmora decode --help'\n"},
      {"info", 2, "see 'quenmora info --help'\n"},
      {"render --style 5 --progress 9 " + d + "old.bmp " + d + "old.bmp /nonexistent/o.png", 1,
       std::string("cannot create a file beside /nonexistent/o.png: ") + std::strerror(ENOENT)},
      {"render --style 5 --progress 9 " + d + "huge.bmp " + d + "huge.bmp " + d + "o.png", 1,
       "quenmora render: not enough memory", true},
  };
  for (const Case& c : cases) {
    if (kSanitized && c.memory_limit) continue;  // the sanitizers reserve more address space
    const std::string command = std::string(QM_BIN_DIR) + "/quenmora " + c.args;
    const RunResult r =
        Shell(c.memory_limit ? "ulimit -v 400000; exec " + command : Bounded(command));
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
    for (const char* other : {"usage:", "Datei", "Arbeitsspeicher", "Fehler"})
      EXPECT_EQ(r.out.find(other), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_FALSE(std::filesystem::exists(d + "o.png"));
}

// Captions and names are the presentation's, not the user's: their control characters, which
// would recolour, retitle or clear the terminal, are shown escaped.
TEST_F(ToolTest, InfoShowsControlCharactersEscaped) {
  const std::string name = "b\x1b[1m.jpg";
  test::WriteFile(dir_ + "/" + name, PictureBytes("jpg", 40, 1));
  ASSERT_EQ(
      Quenmora(Pack("'" + dir_ + "/a.jpg=\x1b]0;owned\x07\x1b[2J' '" + dir_ + "/" + name + "'"))
          .status,
      0);
  const RunResult r = Quenmora("info " + dir_ + "/show");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("caption \"\\x1b]0;owned\\x07\\x1b[2J\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("slide 2: b\\x1b[1m.jpg,"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find_first_of("\x1b\x07"), std::string::npos);
}

}  // namespace
}  // namespace qm
