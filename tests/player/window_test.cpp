// The presentation window on a window of memory: the layout that start-up computes for every
// caption position, the caption font and colours, what the screen shows of strip and picture
// area, the control's settings, and sequencer ticks driven directly.
#include <filesystem>

#include <gtest/gtest.h>

#include "memory_window.h"
#include "picshow/style_catalogue.h"
#include "platform/exception.h"
#include "platform/pixel_store.h"
#include "platform/stretch.h"
#include "player/error_boxes.h"
#include "player/frm_main.h"
#include "tests/payload/show_builder.h"

namespace qm {
namespace {

class WindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<TfrmMain> Open(const GalleryHeader& header,
                                 const std::vector<test::TestSlide>& slides = {}) {
    test::WriteFile(exe_, test::SimplePresentation(header, slides));
    auto w = std::make_unique<TfrmMain>(window_);
    w->FormCreate(exe_);
    return w;
  }
  ~WindowTest() override { std::filesystem::remove(exe_); }

  test::MemoryWindow window_;
  std::string exe_ = std::filesystem::temp_directory_path().string() + "/qm-window-" +
                     std::to_string(getpid()) + ".bin";
  test::PrivateTempDir tmp_;
};

GalleryHeader BaseHeader(int32_t position) {
  GalleryHeader h;
  h.interval = 4;
  h.background_color = 0x00112233;
  h.caption_position = position;
  h.font_name = "DejaVu Sans";
  h.font_size = 14;
  h.style = 266;
  return h;
}

TEST_F(WindowTest, GeometryForEveryCaptionPosition) {
  const int SW = 640, SH = 480;
  for (int32_t p : {0, 1, 2, 3, 4, 5, 6, -1}) {
    SCOPED_TRACE(p);
    auto w = Open(BaseHeader(p));
    ASSERT_FALSE(w->StartupFailed());
    const int h = w->lblDesc.LineHeight();
    EXPECT_GT(h, 10);
    const TRect area = w->pic_show_bounds, strip = w->lblDesc.bounds;
    const TRect panel = w->panControl;
    if (p >= 0 && p <= 5) {
      EXPECT_EQ(strip.Bottom - strip.Top, h);
    }
    if (p == 0 || p == 2 || p == 4) {
      EXPECT_EQ(strip, Rect(0, 0, SW, h));
      EXPECT_EQ(area, Rect(0, h, SW, SH + h)) << "reaches h rows below the screen";
      EXPECT_EQ(panel.Top, 0);
    } else if (p == 1 || p == 3 || p == 5) {
      EXPECT_EQ(strip, Rect(0, SH - h, SW, SH));
      EXPECT_EQ(area, Rect(0, 0, SW, SH - h));
      EXPECT_EQ(panel.Top, SH - 28);
    } else {
      EXPECT_EQ(area, Rect(0, 0, SW, SH));
      EXPECT_EQ(panel, Rect(298, 118, 326, 146));
      EXPECT_EQ(strip.Left, 0);
      EXPECT_EQ(strip.Top, 0);
      EXPECT_EQ(w->lblDesc.alignment, TAlignment::taCenter);
    }
    if (p >= 0 && p <= 5) {
      const TAlignment expected[3] = {TAlignment::taLeftJustify, TAlignment::taCenter,
                                      TAlignment::taRightJustify};
      EXPECT_EQ(w->lblDesc.alignment, expected[p / 2]);
      EXPECT_EQ(panel.Left, p < 4 ? SW - 28 : 0);
    }
  }
}

TEST_F(WindowTest, CaptionFontAndStripColours) {
  GalleryHeader h = BaseHeader(3);
  h.font_name = std::string(40, 'Q');
  h.font_color = 0x00FFFFFF;
  h.font_style = 0xF0 | kFontBold | kFontStrikeOut;
  auto w = Open(h);
  const FontRequest& font = w->lblDesc.font;
  EXPECT_EQ(font.family, std::string(31, 'Q')) << "names are cut to 31 characters";
  EXPECT_TRUE(font.bold && font.strike_out && !font.italic && !font.underline);
  EXPECT_EQ(font.pixel_size, 19) << "14 points at 96 dots per inch";
  ASSERT_TRUE(w->lblDesc.face);
  EXPECT_NE(w->lblDesc.face->Family(), font.family) << "an unknown family: the default face";
  EXPECT_EQ(w->lblDesc.color, 0u);
  EXPECT_EQ(w->lblDesc.font_color, 0x00FFFFFFu);

  h.font_color = 0x00FFFFFE;  // near-white keeps the white strip
  h.font_name.clear();
  h.font_size = -30;  // a height in pixels
  h.font_style = kFontItalic | kFontUnderline;
  w = Open(h);
  EXPECT_EQ(w->lblDesc.color, 0x00FFFFFFu);
  EXPECT_EQ(w->lblDesc.font_color, 0x00FFFFFEu);
  EXPECT_EQ(w->lblDesc.font.family, "MS Sans Serif") << "an empty name keeps the default";
  EXPECT_EQ(w->lblDesc.font.pixel_size, 30);
  EXPECT_TRUE(w->lblDesc.font.italic && w->lblDesc.font.underline);
}

TEST_F(WindowTest, HeaderSettingsReachTimerAndTransitionControl) {
  auto w = Open(BaseHeader(3));
  EXPECT_EQ(w->Timer1.interval, 4000u);
  EXPECT_FALSE(w->Timer1.enabled);
  EXPECT_TRUE(w->PicShow1.Center());
  EXPECT_EQ(w->PicShow1.Delay(), 50);
  EXPECT_FALSE(w->PicShow1.OverDraw());
  EXPECT_EQ(w->PicShow1.Step(), 4);
  EXPECT_TRUE(w->PicShow1.Threaded());
  EXPECT_FALSE(w->PicShow1.AutoSize());
  EXPECT_EQ(w->PicShow1.Color(), 0x00112233u);
  EXPECT_EQ(w->PicShow1.Style(), 10) << "style field 266";
  GalleryHeader h = BaseHeader(3);
  h.style = 200;
  EXPECT_EQ(Open(h)->PicShow1.Style(), 0) << "above 150 leaves style 0";
  h.style = 999;
  EXPECT_EQ(Open(h)->PicShow1.Style(), 0) << "the random marker sets nothing at start-up";
}

// What the screen shows: a two-line caption at the bottom shows its last line only, over the
// strip's colour; the picture centred in the area above; the window's colour nowhere.
TEST_F(WindowTest, ScreenShowsOneCaptionLineAndThePictureAbove) {
  GalleryHeader h = BaseHeader(3);
  h.font_color = 0x000000FF;  // red text on white
  const std::string long_caption = std::string(40, 'M') + " " + std::string(40, 'M');
  auto w = Open(h, {{"a.bmp", long_caption, test::SolidBmp(30, 20, 0, 0, 255)}});
  w->Show();
  w->Timer1Timer();
  const int line = w->lblDesc.LineHeight();
  EXPECT_EQ(w->lblDesc.lines.size(), 2u);
  EXPECT_EQ(w->lblDesc.bounds, Rect(0, 480 - 2 * line, 640, 480)) << "the strip grew upwards";
  const TRect area = w->pic_show_bounds;
  EXPECT_EQ(area, Rect(0, 0, 640, 480 - line)) << "the picture area never moves";
  const int top = (area.Bottom - 20) / 2, left = (640 - 30) / 2;
  EXPECT_EQ(window_.Pixel(left, top), 0x0000FFu);
  EXPECT_EQ(window_.Pixel(left - 1, top), 0x332211u) << "the background colour 0x00BBGGRR";
  bool text = false;
  for (int y = 480 - line; y < 480; ++y)
    for (int x = 0; x < 640; ++x) text |= (window_.Pixel(x, y) & 0xFF00) == 0;  // red ink
  EXPECT_TRUE(text) << "the caption's last line shows";
  EXPECT_EQ(window_.Pixel(639, 479), 0xFFFFFFu) << "the strip is white";
}

TEST_F(WindowTest, TicksShowSlidesInOrderKeepPicturesForUnknownExtensionsAndEnd) {
  GalleryHeader h = BaseHeader(1);
  h.style = 999;
  auto w = Open(h, {{"a.BMP",
                     "Gr\xfc\xdf"
                     "e",
                     test::SolidBmp(30, 20)},
                    {"notes.gif", "zwei", {1, 2, 3}},
                    {"b.bmp", "drei", test::SolidBmp(16, 8)}});
  ASSERT_FALSE(w->StartupFailed());
  w->Show();
  std::vector<int> styles;
  w->Timer1Timer();
  EXPECT_FALSE(w->PicShow1.Busy()) << "the tick waits for the end of the transition";
  EXPECT_EQ(w->PicShow1.Picture().Width(), 30);
  EXPECT_EQ(w->lblDesc.lines, std::vector<std::u32string>{U"Grüße"});
  EXPECT_EQ(w->State().slide_position, 1);
  styles.push_back(w->PicShow1.Style());
  w->Timer1Timer();
  EXPECT_EQ(w->PicShow1.Picture().Width(), 30) << "a .gif is not decoded";
  EXPECT_EQ(w->lblDesc.caption, "zwei");
  styles.push_back(w->PicShow1.Style());
  w->Timer1Timer();
  EXPECT_EQ(w->PicShow1.Picture().Width(), 16);
  styles.push_back(w->PicShow1.Style());
  for (int s : styles)
    EXPECT_NE(std::find(kRandomStylePool.begin(), kRandomStylePool.end(), s),
              kRandomStylePool.end())
        << s;
  EXPECT_TRUE(w->Timer1.enabled) << "the interval starts after the transition";
  w->Timer1Timer();  // past the last slide with loop 0: the window closes
  EXPECT_TRUE(w->QuitRequested());
  EXPECT_FALSE(w->Timer1.enabled);
  EXPECT_TRUE(w->lblDesc.caption.empty());
}

TEST_F(WindowTest, DecodingErrorStopsTheTickBeforeAnyChange) {
  auto w = Open(BaseHeader(3), {{"ok.bmp", "eins", test::SolidBmp(10, 10)},
                                {"bad.bmp", "zwei", {'B', 'M', 0, 0}}});
  w->Show();
  w->Timer1Timer();
  EXPECT_TRUE(window_.boxes.empty()) << "the damaged slide, decoded ahead, waits for its tick";
  EXPECT_THROW(w->Timer1Timer(), Exception);
  EXPECT_EQ(w->lblDesc.caption, "eins");
  EXPECT_EQ(w->State().slide_position, 1);
  EXPECT_FALSE(w->Timer1.enabled) << "the show halts";
  EXPECT_EQ(w->PicShow1.Picture().Width(), 10);
  // From the timer, the default handler's box says it.
  w->Timer1TimerFromTimer();
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].rfind("Quenmora Player: ", 0), 0u) << window_.boxes[0];
}

// The decoded picture becomes the control's picture without a copy, and the transition draws
// from it (converted to 32 bits in place) into its display over the old contents: the slide is
// held twice, and no other copy exists at any moment of the tick. (No caption strip here: its
// own small bitmap is no copy of the slide.)
TEST_F(WindowTest, ATickHoldsTheSlideTwiceBesideTheOldContents) {
  GalleryHeader h = BaseHeader(7);
  h.style = 1;
  auto w = Open(
      h, {{"small.bmp", "", test::SolidBmp(8, 8)}, {"big.bmp", "", test::SolidBmp(1000, 500)}});
  w->Show();
  w->Timer1Timer();  // the screen's own bitmaps now exist
  PixelStore::ResetPeak();
  const std::size_t before = PixelStore::LiveBytes();
  w->Timer1Timer();
  const std::size_t frame = 4000 * 500;
  EXPECT_LE(PixelStore::PeakBytes() - before, 3 * frame + 4096);
}

// The bare picture area reaches the screen with the transition's first frame, not before it:
// around a smaller slide nothing of the larger one before it stays.
TEST_F(WindowTest, ASmallerSlideLeavesNothingOfTheLargerOneAroundIt) {
  GalleryHeader h = BaseHeader(3);
  h.style = 1;
  auto w = Open(h, {{"big.bmp", "", test::SolidBmp(640, 480, 255, 0, 0)},
                    {"small.bmp", "", test::SolidBmp(30, 20, 0, 0, 255)}});
  w->Show();
  w->Timer1Timer();
  ASSERT_EQ(window_.Pixel(5, 5), 0xFF0000u);
  w->Timer1Timer();
  EXPECT_EQ(window_.Pixel(5, 5), 0x332211u);
  const TRect area = w->pic_show_bounds;
  EXPECT_EQ(window_.Pixel(area.Right / 2, area.Bottom / 2), 0x0000FFu);
}

TEST_F(WindowTest, EmptyGalleryWithLoopEndsTheShowAndDamagedPayloadSaysSo) {
  GalleryHeader h = BaseHeader(3);
  h.loop = 1;
  auto w = Open(h);
  w->Show();
  w->Timer1Timer();
  EXPECT_TRUE(w->QuitRequested());
  test::WriteFile(exe_, test::Bytes(2000, 0x90));
  TfrmMain bare(window_);
  EXPECT_FALSE(bare.FormCreate(exe_));
  EXPECT_TRUE(bare.QuitRequested());
  EXPECT_EQ(window_.boxes, std::vector<std::string>{
                               "Fehler: Dateiinhalt konnte nicht ausgelesen werden. Die Anwendung "
                               "wird beendet."});
}

TEST(FatalError, TextNamesClassModuleAndAddress) {
  const EInvalidGraphic e("Bitmap ist ungültig");
  EXPECT_EQ(FatalErrorText(e, "show", reinterpret_cast<const void*>(0x401A2B)),
            "Exception EInvalidGraphic in Modul show bei 0000000000401A2B.\nBitmap ist ungültig");
}

}  // namespace
}  // namespace qm
