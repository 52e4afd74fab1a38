// A picture object: holds at most one graphic (a bitmap of any format) and tells its owner when
// the graphic changes. The transition control keeps two: the picture the next transition goes
// to and the background picture.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "platform/bitmap.h"

namespace qm {

class TPicture {
 public:
  TPicture() = default;
  // Two picture objects never share a graphic (see ShareGraphic).
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  bool HasGraphic() const { return graphic_ != nullptr; }
  // The graphic, or nullptr. A graphic may be an empty bitmap.
  const TBitmap* Graphic() const { return graphic_.get(); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Takes a copy of `source`, or removes the graphic when source is nullptr; then notifies.
  void Assign(const TBitmap* source) {
    Replace(source ? std::make_shared<TBitmap>(*source) : nullptr);
  }
  // Takes the bitmap over; then notifies.
  void Assign(TBitmap&& source) { Replace(std::make_shared<TBitmap>(std::move(source))); }
  void Clear() { Assign(nullptr); }

  // The graphic for a reader that may outlive it here, such as a running transition: converted
  // in place to `format` (as TBitmap::ConvertTo, so no pixel changes its colour, and no
  // notification, since the picture stays the same) and shared, so that a later Assign leaves
  // the reader's bitmap alone. The reader must not draw on it. nullptr without a graphic; throws
  // like ConvertTo, leaving the graphic as it was.
  std::shared_ptr<TBitmap> ShareGraphic(PixelFormat format) {
    if (graphic_) graphic_->ConvertTo(format);
    return graphic_;
  }

  // Called after every change of the graphic.
  std::function<void()> OnChange;
  // Called after OnChange with the graphic that was replaced or removed, if there was one: its
  // owner may put the memory to other use when nothing else shares it.
  std::function<void(std::shared_ptr<TBitmap> previous)> OnRelease;

 private:
  void Replace(std::shared_ptr<TBitmap> graphic) {
    std::shared_ptr<TBitmap> previous = std::exchange(graphic_, std::move(graphic));
    Changed();
    if (previous && OnRelease) OnRelease(std::move(previous));
  }
  void Changed() {
    if (OnChange) OnChange();
  }
  std::shared_ptr<TBitmap> graphic_;
};

}  // namespace qm
