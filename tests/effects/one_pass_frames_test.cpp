// Frames composed in one pass (the old contents copied only where a style's drawing leaves them
// showing, or mixed and turned together with the new picture) against frames that lay the old
// contents first and draw the style over them, pixel for pixel, for every style.
#include <gtest/gtest.h>

#include "effects/region_compose.h"
#include "picshow/frame_routine.h"
#include "platform/random.h"
#include "tests/effects/effect_model.h"

namespace qm::test {
namespace {

// A frame handler that looks at the old contents: the frame routine lays them first for it.
struct TWatchingOldContents : FrameEvents {};

TEST(OnePassFrames, EqualTheOldContentsWithTheStyleDrawnOver) {
  struct TCase {
    int w, h;
    PixelFormat old_format, picture_format;
  };
  constexpr auto k32 = PixelFormat::pf32bit;
  const TCase cases[] = {{1, 1, k32, k32},
                         {2, 2, k32, k32},
                         {13, 11, k32, k32},
                         {31, 7, k32, k32},
                         {7, 31, k32, k32},
                         {101, 50, k32, k32},
                         {50, 101, k32, k32},
                         {23, 17, k32, PixelFormat::pf24bit},
                         {17, 23, k32, PixelFormat::pf8bit},
                         {19, 13, PixelFormat::pf24bit, k32}};
  TWatchingOldContents watching;
  for (const TCase& c : cases) {
    TBitmap old_contents = NoisePicture(c.w, c.h, 1, c.old_format);
    TBitmap picture = NoisePicture(c.w, c.h, 2, c.picture_format);
    const TBitmap last_frame = NoisePicture(c.w, c.h, 3);
    for (uint32_t step : {1u, 4u, 33u})
      for (int32_t progress : {0, 1, 25, 50, 67, 99, 100})
        for (int style = 1; style <= kEffectCount; ++style) {
          // The display holds some other frame at first.
          TBitmap want = last_frame, got = last_frame;
          SetRandomSeed(static_cast<uint32_t>(style));
          ComposeFrame({&want, &picture, &old_contents, c.w, c.h}, style, static_cast<int>(step),
                       progress, &watching);
          SetRandomSeed(static_cast<uint32_t>(style));
          ComposeFrame({&got, &picture, &old_contents, c.w, c.h}, style, static_cast<int>(step),
                       progress, nullptr);
          ASSERT_TRUE(SameBitmaps(want, got))
              << "style " << style << ", " << c.w << "x" << c.h << " step " << step << " progress "
              << progress << ", old contents in " << old_contents.BitsPerPixel()
              << " bits, picture in " << picture.BitsPerPixel();
        }
  }
}

// A mask is kept for the next band with the same runs, also from an earlier frame: one laid for
// a narrower frame must not pick the rows of a wider one.
TEST(OnePassFrames, AMaskIsTakenOnlyForTheWidthItWasLaidFor) {
  TRegion region;
  region.UniteRect(0, 0, 1, 2);
  for (int w : {3, 90, 3}) {
    const TBitmap old_contents = NoisePicture(w, 2, 1), picture = NoisePicture(w, 2, 2);
    TBitmap want = old_contents, got = NoisePicture(w, 2, 3);
    for (int y = 0; y < 2; ++y)
      reinterpret_cast<uint32_t*>(want.ScanLine(y))[0] =
          reinterpret_cast<const uint32_t*>(picture.ScanLine(y))[0];
    ComposeThroughRegion(got, old_contents, picture, region);
    ASSERT_TRUE(SameBitmaps(want, got)) << "width " << w;
  }
}

}  // namespace
}  // namespace qm::test
