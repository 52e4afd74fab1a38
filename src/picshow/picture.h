// A picture object: holds at most one graphic (a bitmap of any format) and tells its owner when
// the graphic changes. The transition control keeps two: the picture the next transition goes
// to and the background picture.
#pragma once

#include <functional>
#include <optional>
#include <utility>

#include "platform/bitmap.h"

namespace qm {

class TPicture {
 public:
  bool HasGraphic() const { return graphic_.has_value(); }
  // The graphic, or nullptr. A graphic may be an empty bitmap.
  const TBitmap* Graphic() const { return graphic_ ? &*graphic_ : nullptr; }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Takes a copy of `source`, or removes the graphic when source is nullptr; then notifies.
  void Assign(const TBitmap* source) {
    if (source) {
      graphic_.emplace(*source);
    } else {
      graphic_.reset();
    }
    Changed();
  }
  // Takes the bitmap over; then notifies.
  void Assign(TBitmap&& source) {
    graphic_.emplace(std::move(source));
    Changed();
  }
  void Clear() { Assign(nullptr); }

  // Called after every change of the graphic.
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::optional<TBitmap> graphic_;
};

}  // namespace qm
