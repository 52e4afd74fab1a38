// The gallery's styles rendered in worker processes, not threads: some styles draw from the
// program's one random generator, whose sequence must run on undisturbed within each
// transition. The workers take styles one at a time from a counter they share, write each
// preview to the styles folder and its sheet tile to memory they share with the gallery.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "picshow/render.h"
#include "platform/bitmap.h"
#include "tools/gallery_sheet.h"
#include "tools/pending_output.h"

namespace qm::tool {

// Shared between the workers: the next style to take, and the sheet's tiles.
// kMaxStyle tiles of SheetLayout::TileBytes() follow it in the same mapping.
struct SharedWork {
  std::atomic<int> next_style{0};
  uint8_t* Tiles() { return reinterpret_cast<uint8_t*>(this + 1); }
};

// A SharedWork with room for the tiles of `layout`, in memory that worker processes share with
// the one that made it. Raises std::bad_alloc when it cannot be had.
class SharedWorkMemory {
 public:
  explicit SharedWorkMemory(const SheetLayout& layout);
  ~SharedWorkMemory();
  SharedWorkMemory(const SharedWorkMemory&) = delete;
  SharedWorkMemory& operator=(const SharedWorkMemory&) = delete;

  SharedWork* Get() const { return work_; }

 private:
  std::size_t size_;
  SharedWork* work_;
};

struct Work {
  const TBitmap* old_picture;
  const TBitmap* new_picture;
  RenderSettings settings;
  uint16_t delay_ms;
  std::string styles_dir;
  SheetLayout layout;
  SharedWork* shared;
  int report_fd;  // one byte per style done
};

// How many workers to run for previews of w x h: `requested`, or one per processor when that is
// 0, never more than there are styles, and fewer when the memory would not hold them (which it
// says on the standard error).
int WorkerCount(int requested, int w, int h);

// Runs `jobs` workers and shows their progress on a terminal; an interruption stops them.
// Raises ToolError when a style could not be rendered, Interrupted on an interruption.
void RenderInWorkers(Work work, int jobs, const InterruptWatch& watch);

}  // namespace qm::tool
