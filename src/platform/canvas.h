// The drawing surface of a bitmap: its clip region and its drawing lock. Every drawing call
// that targets a bitmap draws only inside the clip region of the bitmap's canvas; with no clip
// region it draws anywhere on the bitmap. The lock is what the transition control and its
// animation thread use to keep a paint from copying half a frame; drawing calls never take it
// themselves, the caller does (Lock/Unlock, or std::lock_guard/std::scoped_lock on the canvas).
#pragma once

#include <array>
#include <mutex>
#include <optional>

#include "platform/rect.h"
#include "platform/region.h"

namespace qm {

class TBitmap;

class TCanvas {
 public:
  TCanvas() = default;
  // A copied bitmap gets a canvas of its own: a fresh lock and no clip region. Assigning one
  // bitmap to another leaves the target's canvas as it was.
  TCanvas(const TCanvas&) noexcept {}
  TCanvas& operator=(const TCanvas&) noexcept { return *this; }

  void Lock() const { lock_.lock(); }
  void Unlock() const { lock_.unlock(); }
  bool TryLock() const { return lock_.try_lock(); }
  // BasicLockable / Lockable, for std::lock_guard and std::scoped_lock.
  void lock() const { lock_.lock(); }
  void unlock() const { lock_.unlock(); }
  bool try_lock() const { return lock_.try_lock(); }

  // The clip region, or nullptr when drawing is not clipped.
  const TRegion* ClipRegion() const { return clip_ ? &*clip_ : nullptr; }

  // A background whose copy onto the bitmap is put off (see DeferBackground in
  // platform/stretch.h): the bitmap's pixels stand for the background's wherever no drawing
  // call has drawn since; the drawing calls note the rectangles they cover, or leave their copy
  // to be drawn with the background in one pass.
  struct TPendingBackground {
    static constexpr int kCapacity = 8;
    const TBitmap* Background = nullptr;
    std::array<TRect, kCapacity> Drawn{};
    int DrawnCount = 0;
    // Stretch copies put off with the background, drawn in order when it is settled: their
    // origins and extents as StretchBlt took them, and the pixels each one covers.
    struct TCopy {
      const TBitmap* Source = nullptr;
      int32_t DestX = 0, DestY = 0, DestWidth = 0, DestHeight = 0;
      int32_t SourceX = 0, SourceY = 0, SourceWidth = 0, SourceHeight = 0;
      TRect Covers{};
    };
    std::array<TCopy, kCapacity> Copies{};
    int CopyCount = 0;
  };
  TPendingBackground& Pending() { return pending_; }

 private:
  friend int SelectClipRgn(TCanvas& canvas, const TRegion* region);
  friend int SelectClipRgn(TCanvas& canvas, TRegion&& region);

  mutable std::mutex lock_;
  std::optional<TRegion> clip_;
  TPendingBackground pending_;
};

// Makes a copy of `region` the canvas's clip region, or removes clipping when region is nullptr.
// The caller keeps (and may delete) its own region. Returns the kind of the new clip region
// (SIMPLEREGION for no clipping, as the whole surface).
int SelectClipRgn(TCanvas& canvas, const TRegion* region);
// The same, taking over the region instead of copying it.
int SelectClipRgn(TCanvas& canvas, TRegion&& region);

}  // namespace qm
