// Preparing a collection of pictures on several threads, handed out in their order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "photos/prepare.h"

namespace qm::photos {

struct Outcome {
  bool ok = false;
  std::string error;  // why the picture could not be prepared, when not ok
  Prepared prepared;
};

// Prepares the pictures at `paths` on `jobs` threads and hands each outcome to `take`, on the
// calling thread, in the order of `paths`. At most 2 x `jobs` outcomes wait to be taken, so
// memory stays bounded however many pictures there are. `take` returns false to stop: pictures
// not yet begun are then left alone, and those under way are finished and dropped.
void PrepareInOrder(const std::vector<std::string>& paths, const PrepareOptions& options, int jobs,
                    const std::function<bool(std::size_t index, Outcome&&)>& take);

}  // namespace qm::photos
