// Start-up extraction: the gallery payload at the end of the player's own executable becomes
// the player state (slide list, loop flag, style value) and the settings of the window, all
// streamed through two temporary files and one file per picture. No Qt: the window receives
// the settings through GallerySettingsSink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/file_stream.h"
#include "payload/payload_format.h"
#include "payload/temp_files.h"
#include "platform/bitmap.h"
#include "platform/native_files.h"

namespace qm {

// One slide of the slide list: the extracted picture file and its caption (Windows-1252).
struct recImgItems {
  std::string path;
  std::string caption;
};

// The player's state for the whole run.
struct PlayerState {
  std::string compressed_copy_path;  // temporary file A
  std::string inflated_copy_path;    // temporary file B
  uint32_t payload_start = 0;
  int32_t slide_count = 0;
  int32_t loop_flag = 0;
  int32_t style_value = 0;
  std::vector<recImgItems> slides;
  int32_t slide_position = 0;
};

// Where the gallery header's settings go, called in the order the header applies them.
class GallerySettingsSink {
 public:
  virtual ~GallerySettingsSink() = default;
  // The slide timer's period in milliseconds; 0 means the timer never fires.
  virtual void SetTimerPeriod(uint32_t milliseconds) = 0;
  // The window's colour, then the picture area's.
  virtual void SetBackgroundColor(TColor color) = 0;
  // Strip edge and text alignment for caption position `p` (nothing for codes outside 0..5).
  virtual void LayoutCaptionStrip(int32_t p) = 0;
  // The picture area covers the whole screen.
  virtual void LayoutPictureAreaFullScreen() = 0;
  // Caption font: name (Windows-1252), colour (exact white also blackens the strip), size in
  // points, style bits.
  virtual void SetCaptionFont(const std::string& name, TColor color, int32_t size,
                              uint8_t style) = 0;
  // The picture area against the strip of one caption line.
  virtual void LayoutPictureAreaAgainstStrip(int32_t p) = 0;
  // The transition style for every slide (the header's low-order byte; not called for 999).
  virtual void SetTransitionStyle(uint8_t style) = 0;
};

// A sink that drops every setting: for reading a payload without a window.
class DiscardingSettingsSink : public GallerySettingsSink {
 public:
  void SetTimerPeriod(uint32_t) override {}
  void SetBackgroundColor(TColor) override {}
  void LayoutCaptionStrip(int32_t) override {}
  void LayoutPictureAreaFullScreen() override {}
  void SetCaptionFont(const std::string&, TColor, int32_t, uint8_t) override {}
  void LayoutPictureAreaAgainstStrip(int32_t) override {}
  void SetTransitionStyle(uint8_t) override {}
};

// The longest stored file name, in the UTF-8 bytes it becomes on disk, that extraction can put
// after a temporary name within the file system's limit of 255 bytes for a name. A longer
// one fails start-up.
inline constexpr std::size_t kMaxExtractedNameBytes = 255 - kTempFileNameMaxLength;

// The slide timer's period for a header interval in seconds: 0 (never fires) for 0 or less,
// at most 2,147,483 seconds.
uint32_t TimerPeriodForInterval(int32_t interval);

// Copies the compressed block with its inflated-size field out of `executable` into
// `compressedCopy` (temporary file A, empty and open), recording the payload start. Raises
// EPayloadDamaged or a stream error.
void CopyCompressedBlock(const std::string& executable, FileStream& compressed_copy,
                         PlayerState& state);

// Applies the gallery header's settings to `sink` in the order start-up applies them.
void ApplyGalleryHeader(const GalleryHeader& header, GallerySettingsSink& sink);

// Inflates `compressedCopy` into `inflatedCopy` (temporary file B, empty and open), applies the
// gallery header to `sink` and the state, and extracts every slide. Both copies are read and
// written only through the streams given, never reopened by name. Raises on any damage.
void Extract(FileStream& compressed_copy, FileStream& inflated_copy, PlayerState& state,
             GallerySettingsSink& sink);

// The whole of start-up's extraction: creates the two temporary files and runs the two steps
// above. Returns false when anything failed (the state then holds what was reached); `error`
// receives the reason, which the player does not show but the tools and tests do. Every file
// it creates is recorded for removal at the end of the show (run_files.h), and a slide count
// beyond kMaxSlidesForTempNames fails before anything is written. Lets the calling thread take
// the show-end signals.
bool RunStartupExtraction(const std::string& executable, PlayerState& state,
                          GallerySettingsSink& sink, std::string* error = nullptr);

}  // namespace qm
