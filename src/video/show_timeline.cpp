#include "video/show_timeline.h"

#include <utility>

#include "picshow/transition_math.h"

namespace qm::video {

std::vector<int> TransitionProgresses(int step) {
  std::vector<int> progresses;
  int progress = StartProgress(false);
  do {
    progress = NextProgress(progress, ClampStep(step), false);
    progresses.push_back(progress);
  } while (!ProgressAtEnd(progress, false));
  return progresses;
}

ShowTimeline::ShowTimeline(std::vector<int> transition_frames, int64_t interval_ms, int delay_ms)
    : frames_(std::move(transition_frames)), interval_ms_(interval_ms), delay_ms_(delay_ms) {
  starts_.reserve(frames_.size() + 1);
  int64_t at = 0;
  for (int k : frames_) {
    starts_.push_back(at);
    at += int64_t{k} * delay_ms_ + interval_ms_;
  }
  starts_.push_back(at);
}

int64_t ShowTimeline::FrameEndMs(int slide, int j) const {
  // The last frame of a transition shows the whole picture, which stays for the interval.
  return j + 1 == frames_[slide] ? starts_[slide + 1] : FrameStartMs(slide, j + 1);
}

}  // namespace qm::video
