// The show's own clock, and a video's frames sampled from it.
//
// Each slide starts with its transition: k frames (one per Step of progress), each on screen for
// Delay milliseconds, the last of them (the whole picture) then held for the interval. A slide
// without a picture has no transition and only its interval. A looping show is played once.
// Output frame n of a video at F frames per second shows the screen that is current at
// n * 1000 / F milliseconds: no frame is blended, so every duration is exact to one frame.
#pragma once

#include <cstdint>
#include <vector>

namespace qm::video {

// The player window's transition control steps 4 percent every 50 milliseconds.
inline constexpr int kPlayerStep = 4;
inline constexpr int kPlayerDelayMs = 50;

// The progress of every frame of a forward transition with `step` (1..100): 4, 8, ..., 100.
std::vector<int> TransitionProgresses(int step);

// Where each slide sits on the show's timeline.
class ShowTimeline {
 public:
  // transition_frames[k]: the frames of slide k's transition (0: the slide has no picture).
  // interval_ms: how long each slide stays after its transition (0 or more).
  ShowTimeline(std::vector<int> transition_frames, int64_t interval_ms, int delay_ms);

  int SlideCount() const { return static_cast<int>(frames_.size()); }
  int TransitionFrames(int slide) const { return frames_[slide]; }
  int64_t SlideStartMs(int slide) const { return starts_[slide]; }
  // When transition frame j (0-based) of `slide` appears, and when it is replaced.
  int64_t FrameStartMs(int slide, int j) const { return starts_[slide] + int64_t{j} * delay_ms_; }
  int64_t FrameEndMs(int slide, int j) const;
  // Every slide's transition and interval, end to end.
  int64_t DurationMs() const { return starts_.back(); }

 private:
  std::vector<int> frames_;
  std::vector<int64_t> starts_;  // one more than slides: the end of the show last
  int64_t interval_ms_;
  int delay_ms_;
};

// The first output frame at `fps` whose time is `ms` or later: ceil(ms * fps / 1000).
inline int64_t FirstFrameAt(int64_t ms, int fps) {
  return (ms * fps + 999) / 1000;
}
// How many output frames show a screen that is current from `start_ms` until `end_ms`.
inline int64_t FramesBetween(int64_t start_ms, int64_t end_ms, int fps) {
  return FirstFrameAt(end_ms, fps) - FirstFrameAt(start_ms, fps);
}

}  // namespace qm::video
