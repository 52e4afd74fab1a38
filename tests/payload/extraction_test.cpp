// Start-up extraction against presentations built byte by byte: intact galleries of every
// size, the header's edge values, and every kind of damage.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "payload/extraction.h"
#include "payload/payload_errors.h"
#include "payload/payload_writer.h"
#include "payload/run_files.h"
#include "payload/temp_files.h"
#include "platform/byte_order.h"
#include "tests/payload/show_builder.h"

namespace qm {
namespace {

using test::Bytes;
using test::TestSlide;

// Records every setting in the order start-up applies it.
class RecordingSink : public GallerySettingsSink {
 public:
  std::vector<std::string> calls;
  void SetTimerPeriod(uint32_t ms) override { calls.push_back("timer " + std::to_string(ms)); }
  void SetBackgroundColor(TColor c) override { calls.push_back("colour " + std::to_string(c)); }
  void LayoutCaptionStrip(int32_t p) override { calls.push_back("strip " + std::to_string(p)); }
  void LayoutPictureAreaFullScreen() override { calls.push_back("fullscreen"); }
  void SetCaptionFont(const std::string& n, TColor c, int32_t s, uint8_t st) override {
    calls.push_back("font " + n + " " + std::to_string(c) + " " + std::to_string(s) + " " +
                    std::to_string(st));
  }
  void LayoutPictureAreaAgainstStrip(int32_t p) override {
    calls.push_back("area " + std::to_string(p));
  }
  void SetTransitionStyle(uint8_t s) override { calls.push_back("style " + std::to_string(s)); }
};

class ExtractionTest : public ::testing::Test {
 protected:
  // Writes `show` as an executable outside the temporary directory and runs start-up on it.
  bool Run(const Bytes& show, std::string* error = nullptr) {
    test::WriteFile(exe_, show);
    state_ = PlayerState{};
    sink_ = RecordingSink{};
    return RunStartupExtraction(exe_, state_, sink_, error);
  }
  ~ExtractionTest() override {
    RemoveRunFiles();
    std::filesystem::remove(exe_);
  }

  // The executable and the place a hostile name would aim at lie outside the private
  // temporary directory, so they are named before it takes over TMPDIR.
  std::string outside_ = std::filesystem::temp_directory_path().string();
  std::string exe_ = outside_ + "/qm-show-" + std::to_string(getpid()) + ".bin";
  test::PrivateTempDir tmp_;
  PlayerState state_;
  RecordingSink sink_;
};

GalleryHeader SampleHeader() {
  GalleryHeader h;
  h.interval = 7;
  h.background_color = 0x00332211;
  h.loop = 1;
  h.caption_position = 3;
  h.font_name = "Arial";
  h.font_color = 0x00FFFFFF;
  h.font_size = 18;
  h.font_style = 0x15;
  h.style = 42;
  return h;
}

TEST_F(ExtractionTest, ManySlidesExtractInOrderWithExactBytes) {
  std::vector<TestSlide> slides;
  for (int k = 0; k < 25; ++k)
    slides.push_back({"pic" + std::to_string(k) + ".jpg", "Caption \xe4\xdf " + std::to_string(k),
                      test::Pattern(1000 + 7919 * k, k)});
  slides.push_back({"big.png", "", test::Pattern(300000, 99)});  // spans several copy buffers
  ASSERT_TRUE(Run(test::SimplePresentation(SampleHeader(), slides)));

  EXPECT_EQ(state_.payload_start, 1000u);
  EXPECT_EQ(state_.slide_count, 26);
  EXPECT_EQ(state_.loop_flag, 1);
  EXPECT_EQ(state_.style_value, 42);
  EXPECT_EQ(state_.slide_position, 0);
  ASSERT_EQ(state_.slides.size(), slides.size());
  for (std::size_t k = 0; k < slides.size(); ++k) {
    const std::string& path = state_.slides[k].path;
    EXPECT_EQ(path.rfind(tmp_.Path() + "/~tm", 0), 0u) << path;
    EXPECT_TRUE(path.ends_with(".tmp" + slides[k].file_name)) << path;
    EXPECT_EQ(state_.slides[k].caption, slides[k].caption);
    EXPECT_EQ(test::ReadFile(path), slides[k].data) << k;
  }
  // Two temporary copies, and per slide the empty name file and the picture: 2 + 2 x count.
  EXPECT_EQ(tmp_.Entries().size(), 2 + 2 * slides.size());
  struct stat st {};
  ASSERT_EQ(stat(state_.slides[0].path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "extracted files are owner-only";
}

TEST_F(ExtractionTest, HeaderIsAppliedInFieldOrder) {
  ASSERT_TRUE(Run(test::SimplePresentation(SampleHeader(), {{"a.bmp", "x", {1, 2, 3}}})));
  const std::vector<std::string> expected = {
      "timer 7000", "colour 3351057", "strip 3", "fullscreen", "font Arial 16777215 18 21",
      "area 3",     "style 42"};
  EXPECT_EQ(sink_.calls, expected);
}

TEST_F(ExtractionTest, StyleFieldAndIntervalEdgeValues) {
  struct Case {
    int32_t style;
    const char* last_call;
  } cases[] = {{999, "area 3"}, {266, "style 10"}, {200, "style 200"}, {0, "style 0"}};
  for (const Case& c : cases) {
    GalleryHeader h = SampleHeader();
    h.style = c.style;
    ASSERT_TRUE(Run(test::SimplePresentation(h, {})));
    EXPECT_EQ(sink_.calls.back(), c.last_call) << c.style;
    EXPECT_EQ(state_.style_value, c.style);
  }
  EXPECT_EQ(TimerPeriodForInterval(0), 0u);
  EXPECT_EQ(TimerPeriodForInterval(-5), 0u);
  EXPECT_EQ(TimerPeriodForInterval(2), 2000u);
  EXPECT_EQ(TimerPeriodForInterval(2147483), 2147483000u);
  EXPECT_EQ(TimerPeriodForInterval(INT32_MAX), 2147483000u);
}

TEST_F(ExtractionTest, CountZeroOrNegativeGivesEmptyListButAppliesHeader) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    GalleryHeader h = SampleHeader();
    h.count = count;
    const Bytes inflated = test::InflatedPayload(h, {});
    ASSERT_TRUE(Run(test::Presentation(Bytes(10, 1), test::Deflate(inflated),
                                       static_cast<uint32_t>(inflated.size()))));
    EXPECT_TRUE(state_.slides.empty());
    EXPECT_EQ(state_.slide_count, count);
    EXPECT_EQ(sink_.calls.size(), 7u);
  }
}

TEST_F(ExtractionTest, ZeroSizeRecordsDuplicateNamesAndReservedByte) {
  GalleryHeader h = SampleHeader();
  h.reserved = 0xAB;
  const Bytes data = test::Pattern(5000, 3);
  ASSERT_TRUE(Run(test::SimplePresentation(
      h, {{"same.jpg", "1", data}, {"empty.png", "2", {}}, {"same.jpg", "3", data}})));
  ASSERT_EQ(state_.slides.size(), 3u);
  EXPECT_TRUE(test::ReadFile(state_.slides[1].path).empty());
  EXPECT_NE(state_.slides[0].path, state_.slides[2].path);
  EXPECT_EQ(test::ReadFile(state_.slides[0].path), data);
  EXPECT_EQ(test::ReadFile(state_.slides[2].path), data);
}

TEST_F(ExtractionTest, Windows1252FileNamesBecomeUtf8Paths) {
  ASSERT_TRUE(Run(test::SimplePresentation({}, {{"M\xfc"
                                                 "nchen.jpg",
                                                 "",
                                                 {9}}})));
  EXPECT_TRUE(state_.slides[0].path.ends_with(".tmpM\xc3\xbcnchen.jpg"));
}

TEST_F(ExtractionTest, PlantedLinkAtTheNextPictureNameIsNeitherFollowedNorOverwritten) {
  // Names are drawn from 0x100 upwards: A, B, then T = 0x102 for the first slide.
  SetTempFileNameStartForTesting(0x100);
  const std::string victim = tmp_.Path() + "/victim";
  test::WriteFile(victim, {'k', 'e', 'e', 'p'});
  const std::string planted = tmp_.Path() + "/~tm102.tmpphoto.jpg";
  ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
  const bool ok = Run(test::SimplePresentation({}, {{"photo.jpg", "", test::Pattern(64, 1)}}));
  SetTempFileNameStartForTesting(-1);
  ASSERT_TRUE(ok);
  EXPECT_EQ(test::ReadFile(victim), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(std::filesystem::is_symlink(planted));
  EXPECT_NE(state_.slides[0].path, planted);
  EXPECT_EQ(test::ReadFile(state_.slides[0].path), test::Pattern(64, 1));
}

// Every damaged payload fails start-up, and nothing lands outside the temporary directory.
TEST_F(ExtractionTest, DamagedPayloadsFail) {
  const Bytes player(500, 0x90);
  GalleryHeader h = SampleHeader();
  h.count = 2;
  const std::vector<TestSlide> two = {{"a.jpg", "", test::Pattern(4000, 1)},
                                      {"b.jpg", "", test::Pattern(4000, 2)}};
  const Bytes inflated = test::InflatedPayload(h, two);
  const Bytes stream = test::Deflate(inflated);
  const auto n = static_cast<uint32_t>(inflated.size());
  const Bytes good = test::Presentation(player, stream, n);

  struct Case {
    const char* name;
    Bytes show;
    const char* reason;
  };
  std::vector<Case> cases;
  cases.push_back({"file shorter than the trailer", {1, 2, 3}, msg::kDamageNoTrailer});
  cases.push_back({"bare player", player, msg::kDamageTrailerOutside});
  Bytes past_end = good;
  StoreLittleEndian32(past_end.data() + past_end.size() - 4,
                      static_cast<uint32_t>(good.size() + 10));
  cases.push_back({"trailer past the end", past_end, msg::kDamageTrailerOutside});
  Bytes no_block = good;
  StoreLittleEndian32(no_block.data() + no_block.size() - 4,
                      static_cast<uint32_t>(good.size() - 8));
  cases.push_back({"trailer leaves no block", no_block, msg::kDamageTrailerOutside});
  Bytes corrupt = good;
  corrupt[player.size() + stream.size() / 2] ^= 0xFF;
  cases.push_back({"corrupt deflate data", corrupt, nullptr});
  Bytes adler = good;
  adler[player.size() + stream.size() - 1] ^= 0x01;
  cases.push_back({"Adler-32 mismatch", adler, msg::kDamageBadStream});
  Bytes bad_header = good;
  bad_header[player.size()] = 0x77;
  cases.push_back({"bad zlib header", bad_header, msg::kDamageBadStream});
  cases.push_back({"inflated size larger than the data", test::Presentation(player, stream, n + 1),
                   msg::kDamageInflatedShort});
  cases.push_back({"inflated size smaller than the data", test::Presentation(player, stream, n - 1),
                   msg::kDamageInflatedLong});
  cases.push_back(
      {"inflated size 0", test::Presentation(player, stream, 0), msg::kDamageInflatedZero});
  Bytes truncated_stream(stream.begin(), stream.end() - 10);
  cases.push_back({"stream cut short", test::Presentation(player, truncated_stream, n),
                   msg::kDamageStreamTruncated});
  const Bytes short_header(inflated.begin(), inflated.begin() + 100);
  cases.push_back({"header cut short", test::Presentation(player, test::Deflate(short_header), 100),
                   msg::kDamageShortHeader});
  GalleryHeader too_many = h;
  too_many.count = 3;
  const Bytes too_many_bytes = test::InflatedPayload(too_many, two);
  cases.push_back({"count larger than the records",
                   test::Presentation(player, test::Deflate(too_many_bytes),
                                      static_cast<uint32_t>(too_many_bytes.size())),
                   msg::kDamageRecordPastEnd});
  Bytes cut(inflated.begin(), inflated.end() - 1);
  cases.push_back(
      {"last record's data past the end",
       test::Presentation(player, test::Deflate(cut), static_cast<uint32_t>(cut.size())),
       msg::kDamageRecordPastEnd});
  for (const char* bad : {"../evil.jpg", "sub/x.jpg", "..", ".", "", "a\\b.jpg"}) {
    cases.push_back(
        {bad, test::SimplePresentation(h, {{bad, "", {1, 2}}}), msg::kDamageBadFileName});
  }
  cases.push_back({"NUL in a name",
                   test::SimplePresentation(h, {{std::string("x\0y.jpg", 7), "", {1}}}),
                   msg::kDamageBadFileName});

  const std::string outside = outside_ + "/evil.jpg";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(Run(c.show, &error));
    if (c.reason) {
      EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_FALSE(std::filesystem::exists(outside));
    for (const std::string& entry : tmp_.Entries()) EXPECT_EQ(entry.rfind("~tm", 0), 0u) << entry;
  }
}

// While the show runs the directory holds the two copies and two files per slide; removing
// the run's files leaves exactly what was there before, whether start-up succeeded or not.
TEST_F(ExtractionTest, TheRunsFilesAreExactlyTheseAndRemovingThemSparesOthers) {
  const std::vector<TestSlide> three = {{"a.jpg", "", {1}}, {"b.png", "", {2}}, {"a.jpg", "", {}}};
  // A payload whose header says `count` slides and that holds `slides`.
  const auto counted = [](int32_t count, const std::vector<TestSlide>& slides) {
    GalleryHeader h;
    h.count = count;
    const Bytes inflated = test::InflatedPayload(h, slides);
    return test::Presentation({0}, test::Deflate(inflated), static_cast<uint32_t>(inflated.size()));
  };
  struct Case {
    const char* name;
    Bytes show;
    bool ok;
    std::size_t files;  // while the show runs, besides the foreign ones
  } cases[] = {
      {"intact", test::SimplePresentation({}, three), true, 2 + 2 * 3},
      {"a name taken at the first picture", test::SimplePresentation({}, {three[0]}), true, 2 + 2},
      {"record past the end", counted(3, {three[0], three[1]}), false, 2 + 2 * 2},
      {"too many slides for the temporary names", counted(65534, {}), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Someone else's files, among them one with the player's own pattern and the name the
    // first picture would take: names are drawn from 0x100 upwards (A, B, then T = 0x102).
    test::WriteFile(tmp_.Path() + "/~tm1.tmp", {1});
    test::WriteFile(tmp_.Path() + "/~tm102.tmpa.jpg", {2});
    const std::vector<std::string> foreign = tmp_.Entries();
    SetTempFileNameStartForTesting(0x100);
    std::string error;
    EXPECT_EQ(Run(c.show, &error), c.ok) << error;
    SetTempFileNameStartForTesting(-1);
    EXPECT_EQ(tmp_.Entries().size(), foreign.size() + c.files);
    EXPECT_EQ(RunFileCount(), c.files);
    RemoveRunFiles();
    EXPECT_EQ(tmp_.Entries(), foreign);
    EXPECT_EQ(RunFileCount(), 0u);
  }
  // The most slides the names allow is no damage of its own: this one fails for its records.
  std::string error;
  EXPECT_FALSE(Run(counted(65533, {}), &error));
  EXPECT_NE(error.find(msg::kDamageRecordPastEnd), std::string::npos) << error;
  RemoveRunFiles();
}

TEST_F(ExtractionTest, AHugeSizeFieldLeavesNoDiskReservedBehind) {
  GalleryHeader h;
  h.count = 1;
  const Bytes inflated = test::InflatedPayload(h, {{"a.jpg", "", test::Pattern(200000, 7)}});
  ASSERT_FALSE(Run(test::Presentation({1}, test::Deflate(inflated), 0xFFFFFFF0u)));
  struct stat st {};
  ASSERT_EQ(stat(state_.inflated_copy_path.c_str(), &st), 0);
  EXPECT_LE(static_cast<std::size_t>(st.st_size), inflated.size());
  EXPECT_LE(st.st_blocks * 512, st.st_size + 128 * 1024)
      << "blocks reserved for the claimed size were kept";
}

TEST_F(ExtractionTest, FailureInAMiddleRecordKeepsTheSlidesBeforeIt) {
  GalleryHeader h;
  h.count = 3;
  const std::vector<TestSlide> slides = {{"a.jpg", "", {1}}, {"b.jpg", "", {2}}};
  const Bytes inflated = test::InflatedPayload(h, slides);
  EXPECT_FALSE(Run(
      test::Presentation({0}, test::Deflate(inflated), static_cast<uint32_t>(inflated.size()))));
  EXPECT_EQ(state_.slides.size(), 2u);
}

TEST_F(ExtractionTest, AnyCompressionLevelIsAccepted) {
  GalleryHeader h;
  h.count = 1;
  const Bytes inflated = test::InflatedPayload(h, {{"a.bmp", "c", test::Pattern(9000, 5)}});
  for (int level : {0, 1, 6}) {
    ASSERT_TRUE(Run(test::Presentation({7}, test::Deflate(inflated, level),
                                       static_cast<uint32_t>(inflated.size()))));
    EXPECT_EQ(test::ReadFile(state_.slides[0].path), test::Pattern(9000, 5));
  }
}

// The tool's writer changes the compression level around the pictures that are compressed
// already; whatever it switches between, the slides come out byte for byte.
TEST_F(ExtractionTest, PresentationsTheToolWritesExtractExactly) {
  const std::vector<TestSlide> slides = {{"a.JPG", "1", test::Pattern(700000, 1)},
                                         {"b.bmp", "2", Bytes(300000, 0x41)},
                                         {"c.png", "3", test::Pattern(200000, 3)},
                                         {"d.jpeg", "4", test::Pattern(90000, 4)},
                                         {"e", "5", Bytes(5, 0x42)}};
  const std::string in = exe_ + ".in-";
  std::vector<PackSlide> pack;
  for (const TestSlide& s : slides) {
    test::WriteFile(in + s.file_name, s.data);
    pack.push_back({in + s.file_name, s.file_name, s.caption});
  }
  test::WriteFile(in + "player", Bytes(1000, 0x90));
  {
    FileStream out(exe_, FileStream::Mode::kCreate);
    WritePresentation(in + "player", SampleHeader(), pack, out);
  }
  for (const TestSlide& s : slides) std::filesystem::remove(in + s.file_name);
  std::filesystem::remove(in + "player");
  state_ = PlayerState{};
  ASSERT_TRUE(RunStartupExtraction(exe_, state_, sink_));
  ASSERT_EQ(state_.slides.size(), slides.size());
  for (std::size_t k = 0; k < slides.size(); ++k)
    EXPECT_EQ(test::ReadFile(state_.slides[k].path), slides[k].data) << slides[k].file_name;
}

}  // namespace
}  // namespace qm
