// A pass over the rows of a large picture, shared with one helper thread. The caller and the
// helper take chunks of rows from one counter until none is left, so the pass takes about half
// as long on a second processor. The caller never waits for the helper to begin: a helper that
// gets no processor (a busy machine) leaves the rows to the caller, which then waits at most for
// the one chunk the helper has begun.
#pragma once

#include <algorithm>

namespace qm {

// A pass of fewer pixels than this (a little more than 2560 x 1440) runs on the calling thread
// alone. Two threads on one memory-bound pass take more processor time together than one, so
// only passes long enough to matter within a frame are shared: a 4K frame's, several
// milliseconds each, not a full HD frame's, which ends within the millisecond or two.
inline constexpr long long kSharedPassPixels = 1LL << 22;

// Calls `work(first, last)` for chunks [first, last) of at most `chunk` rows (chunk >= 1) that
// together cover [0, rows) once each, in rising order on each thread; returns when every chunk
// is done. Chunks run on the calling thread or on the helper, two at a time on the two; all run
// on the calling thread on a machine with one processor, while another pass has the helper, or
// for a single chunk. `work` must not throw. What the helper writes is seen by the caller once
// this returns.
void ShareRowsRaw(int rows, int chunk, void (*work)(void* context, int first, int last),
                  void* context);

template <typename Work>
void ShareRows(int rows, int chunk, Work& work) {
  ShareRowsRaw(
      rows, chunk,
      [](void* context, int first, int last) { (*static_cast<Work*>(context))(first, last); },
      &work);
}

// Rows per chunk for a pass over rows of `width` pixels: about 128 K pixels a chunk, enough to
// make taking one cheap against its work, small enough that the two threads end together.
inline int RowsPerSharedChunk(int width) {
  return width > 0 ? std::max(1, (1 << 17) / width) : 1;
}

// Runs `work(first, last)` over the rows [0, height) of a pass `width` pixels wide: shared with
// the helper thread in chunks when the pass has kSharedPassPixels or more, else on this thread in
// one go.
template <typename Work>
void RunRowPass(int width, int height, Work& work) {
  if (static_cast<long long>(width) * height >= kSharedPassPixels)
    ShareRows(height, RowsPerSharedChunk(width), work);
  else if (height > 0)
    work(0, height);
}

}  // namespace qm
