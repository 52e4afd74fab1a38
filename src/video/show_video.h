// A show played once, without a display, as the screens a video of it shows: the player's own
// window (layout, caption strip, transition control) on a screen of memory, every slide's
// transition stepped frame by frame in the player's order, so the random generator draws
// exactly what the player draws, and each screen handed on with the number of output frames
// that sample it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/bitmap.h"
#include "video/show_reader.h"
#include "video/show_timeline.h"

namespace qm::video {

struct ShowVideoSettings {
  int width = 1920, height = 1080;
  int fps = 30;
  // The generator's seed when the show starts. With random styles the player reseeds it for
  // every slide from its clock; here the clock is the slide's start on the show's timeline.
  uint32_t seed = 0;
};

// Where the screens go.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // `screen` is the next `frames` output frames (0 when no output frame samples it).
  virtual void Frames(const TBitmap& screen, int64_t frames) = 0;
};

// A slide whose picture could not be decoded.
class SlideError : public std::runtime_error {
 public:
  SlideError(int slide, const std::string& name, const std::string& reason);
  int Slide() const { return slide_; }

 private:
  int slide_;
};

// The show's timeline: a slide has a transition once any picture has been decoded, since the
// player's transition control keeps its picture when a slide has none it can decode.
ShowTimeline TimelineOf(const Show& show);

// Plays `show` once into `sink`; its interval must be above 0 (at 0 the player never leaves the
// first slide). `pictures` yields the slides' pictures in order. Raises SlideError for a picture
// that cannot be decoded, and passes on what the sink raises.
void PlayShow(const Show& show, SlidePictures& pictures, const ShowVideoSettings& settings,
              FrameSink& sink);

}  // namespace qm::video
