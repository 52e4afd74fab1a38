// The presentation window under the offscreen platform: the layout that start-up computes for
// every caption position, the caption font and colours, the control's settings, and sequencer
// ticks driven directly.
#include <QApplication>
#include <QFontMetrics>
#include <filesystem>

#include <gtest/gtest.h>

#include "picshow/style_catalogue.h"
#include "platform/exception.h"
#include "platform/pixel_store.h"
#include "player/error_boxes.h"
#include "player/frm_main.h"
#include "show_builder.h"

namespace qm {
namespace {

using test::Bytes;

class WindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<TfrmMain> Open(const GalleryHeader& header,
                                 const std::vector<test::TestSlide>& slides = {}) {
    test::WriteFile(exe_, test::SimplePresentation(header, slides));
    return std::make_unique<TfrmMain>(exe_);
  }
  ~WindowTest() override { std::filesystem::remove(exe_); }

  std::string exe_ = std::filesystem::temp_directory_path().string() + "/qm-window-" +
                     std::to_string(getpid()) + ".bin";
  test::PrivateTempDir tmp_;
};

GalleryHeader BaseHeader(int32_t position) {
  GalleryHeader h;
  h.interval = 4;
  h.backgroundColor = 0x00112233;
  h.captionPosition = position;
  h.fontName = "DejaVu Sans";
  h.fontSize = 14;
  h.style = 266;
  return h;
}

TEST_F(WindowTest, GeometryForEveryCaptionPosition) {
  const QSize screen = TfrmMain::ScreenSize();
  const int SW = screen.width(), SH = screen.height();
  for (int32_t p : {0, 1, 2, 3, 4, 5, 6, -1}) {
    SCOPED_TRACE(p);
    auto w = Open(BaseHeader(p));
    ASSERT_FALSE(w->StartupFailed());
    const int h = QFontMetrics(w->lblDesc->font()).height();
    EXPECT_GT(h, 10);
    const QRect area = w->PicShow1->geometry();
    const QRect strip = w->lblDesc->geometry();
    const QPoint panel = w->panControl->pos();
    if (p >= 0 && p <= 5) {
      EXPECT_EQ(strip.height(), h);
      EXPECT_EQ(strip.width(), SW);
    }
    if (p == 0 || p == 2 || p == 4) {
      EXPECT_EQ(strip.top(), 0);
      EXPECT_EQ(area, QRect(0, h, SW, SH)) << "reaches h rows below the screen";
      EXPECT_EQ(panel.y(), 0);
    } else if (p == 1 || p == 3 || p == 5) {
      EXPECT_EQ(strip.top(), SH - h);
      EXPECT_EQ(area, QRect(0, 0, SW, SH - h));
      EXPECT_EQ(panel.y(), SH - 28);
    } else {
      EXPECT_EQ(area, QRect(0, 0, SW, SH));
      EXPECT_EQ(panel, QPoint(298, 118));
      EXPECT_EQ(strip.topLeft(), QPoint(0, 0));
      EXPECT_EQ(w->lblDesc->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }
    const Qt::Alignment align = w->lblDesc->alignment() & Qt::AlignHorizontal_Mask;
    if (p == 0 || p == 1 || p == 2 || p == 3) {
      EXPECT_EQ(align, p < 2 ? Qt::AlignLeft : Qt::AlignHCenter);
      EXPECT_EQ(panel.x(), SW - 28);
    }
    if (p == 4 || p == 5) {
      EXPECT_EQ(align, Qt::AlignRight);
      EXPECT_EQ(panel.x(), 0);
    }
    EXPECT_FALSE(w->panControl->isVisible());
  }
}

TEST_F(WindowTest, CaptionFontAndStripColours) {
  GalleryHeader h = BaseHeader(3);
  h.fontName = std::string(40, 'Q');
  h.fontColor = 0x00FFFFFF;
  h.fontStyle = 0xF0 | kFontBold | kFontStrikeOut;
  auto w = Open(h);
  const QFont font = w->lblDesc->font();
  EXPECT_EQ(font.family(), QString(31, 'Q')) << "names are cut to 31 characters";
  EXPECT_TRUE(font.bold());
  EXPECT_FALSE(font.italic());
  EXPECT_FALSE(font.underline());
  EXPECT_TRUE(font.strikeOut());
  EXPECT_EQ(w->lblDesc->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(w->lblDesc->palette().color(QPalette::WindowText), QColor(Qt::white));

  h.fontColor = 0x00FFFFFE;  // near-white keeps the white strip
  h.fontName.clear();
  h.fontStyle = kFontItalic | kFontUnderline;
  w = Open(h);
  EXPECT_EQ(w->lblDesc->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(w->lblDesc->palette().color(QPalette::WindowText), QColor(0xFE, 0xFF, 0xFF));
  EXPECT_EQ(w->lblDesc->font().family(), "MS Sans Serif") << "an empty name keeps the default";
  EXPECT_TRUE(w->lblDesc->font().italic());
  EXPECT_TRUE(w->lblDesc->font().underline());
}

TEST_F(WindowTest, HeaderSettingsReachTimerAndTransitionControl) {
  auto w = Open(BaseHeader(3));
  EXPECT_EQ(w->Timer1->interval(), 4000);
  EXPECT_FALSE(w->Timer1->isActive());
  EXPECT_TRUE(w->PicShow1->Center());
  EXPECT_EQ(w->PicShow1->Delay(), 50);
  EXPECT_FALSE(w->PicShow1->OverDraw());
  EXPECT_EQ(w->PicShow1->Step(), 4);
  EXPECT_TRUE(w->PicShow1->Threaded());
  EXPECT_FALSE(w->PicShow1->AutoSize());
  EXPECT_EQ(w->PicShow1->Color(), 0x00112233u);
  EXPECT_EQ(w->PicShow1->Style(), 10) << "style field 266";
  GalleryHeader h = BaseHeader(3);
  h.style = 200;
  EXPECT_EQ(Open(h)->PicShow1->Style(), 0) << "above 150 leaves style 0";
  h.style = 999;
  EXPECT_EQ(Open(h)->PicShow1->Style(), 0) << "the random marker sets nothing at start-up";
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
  w->show();
  std::vector<int> styles;
  w->Timer1Timer();
  EXPECT_FALSE(w->PicShow1->Busy()) << "the tick waits for the end of the transition";
  EXPECT_EQ(w->PicShow1->Picture().Width(), 30);
  EXPECT_EQ(w->lblDesc->text(), QString::fromUtf8("Grüße"));
  EXPECT_EQ(w->State().slidePosition, 1);
  styles.push_back(w->PicShow1->Style());
  w->Timer1Timer();
  EXPECT_EQ(w->PicShow1->Picture().Width(), 30) << "a .gif is not decoded";
  EXPECT_EQ(w->lblDesc->text(), "zwei");
  styles.push_back(w->PicShow1->Style());
  w->Timer1Timer();
  EXPECT_EQ(w->PicShow1->Picture().Width(), 16);
  styles.push_back(w->PicShow1->Style());
  for (int s : styles)
    EXPECT_NE(std::find(kRandomStylePool.begin(), kRandomStylePool.end(), s),
              kRandomStylePool.end())
        << s;
  EXPECT_TRUE(w->Timer1->isActive()) << "the interval starts after the transition";
  w->Timer1Timer();  // past the last slide with loop 0: the window closes
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->Timer1->isActive());
  EXPECT_TRUE(w->lblDesc->text().isEmpty());
}

TEST_F(WindowTest, DecodingErrorStopsTheTickBeforeAnyChange) {
  auto w = Open(BaseHeader(3), {{"ok.bmp", "eins", test::SolidBmp(10, 10)},
                                {"bad.bmp", "zwei", {'B', 'M', 0, 0}}});
  w->show();
  w->Timer1Timer();
  EXPECT_THROW(w->Timer1Timer(), Exception);
  EXPECT_EQ(w->lblDesc->text(), "eins");
  EXPECT_EQ(w->State().slidePosition, 1);
  EXPECT_FALSE(w->Timer1->isActive()) << "the show halts";
  EXPECT_EQ(w->PicShow1->Picture().Width(), 10);
}

// The decoded picture becomes the control's picture without a copy, and the transition adds its
// display, old-contents and new-picture bitmaps at 32 bits (the new picture converted straight
// from the control's): no other copy of the slide exists at any moment of the tick.
TEST_F(WindowTest, ATickHoldsThePictureAndTheTransitionsThreeBitmapsOnly) {
  GalleryHeader h = BaseHeader(3);
  h.style = 1;
  auto w = Open(
      h, {{"small.bmp", "", test::SolidBmp(8, 8)}, {"big.bmp", "", test::SolidBmp(1000, 500)}});
  w->show();
  w->Timer1Timer();  // the screen's own bitmaps now exist
  PixelStore::ResetPeak();
  const std::size_t before = PixelStore::LiveBytes();
  w->Timer1Timer();
  const std::size_t picture = 3000 * 500, frame = 4000 * 500;
  EXPECT_LE(PixelStore::PeakBytes() - before, picture + 3 * frame + 4096);
}

TEST_F(WindowTest, EmptyGalleryWithLoopEndsTheShow) {
  GalleryHeader h = BaseHeader(3);
  h.loop = 1;
  auto w = Open(h);
  w->show();
  w->Timer1Timer();
  EXPECT_FALSE(w->isVisible());
}

TEST(FatalError, TextNamesClassModuleAndAddress) {
  const EInvalidGraphic e("Bitmap ist ungültig");
  EXPECT_EQ(FatalErrorText(e, "show", reinterpret_cast<const void*>(0x401A2B)),
            "Exception EInvalidGraphic in Modul show bei 0000000000401A2B.\nBitmap ist ungültig");
}

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
