// Zero-filled pixel memory from calloc: large blocks come from the system as untouched zero
// pages, so a bitmap costs memory only where its pixels are written, and an allocation the
// system cannot back fails here instead of later in the middle of a decode.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qm {

class PixelStore {
 public:
  PixelStore() = default;
  // `size` zero bytes; throws std::bad_alloc when they cannot be had.
  explicit PixelStore(std::size_t size) : size_(size) {
    if (size == 0) return;
    data_ = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!data_) throw std::bad_alloc();
    AdviseLargePages(data_, size);
    Count(size);
  }
  // `size` bytes left as the memory held them, for a caller that writes every one: a decoded
  // photograph's tens of megabytes are not cleared just to be overwritten.
  struct Uncleared {};
  PixelStore(std::size_t size, Uncleared) : size_(size) {
    if (size == 0) return;
    data_ = static_cast<uint8_t*>(std::malloc(size));
    if (!data_) throw std::bad_alloc();
    AdviseLargePages(data_, size);
    Count(size);
  }
  PixelStore(const PixelStore& other) : PixelStore(other.size_, Uncleared{}) {
    if (size_) std::memcpy(data_, other.data_, size_);
  }
  PixelStore(PixelStore&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PixelStore& operator=(PixelStore other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~PixelStore() {
    if (data_) live_ -= size_;
    std::free(data_);
  }

  // Makes the block `size` bytes long (not shorter than it is), keeping its bytes; the new
  // bytes are zero. A large block grows where it lies or is moved by the system without being
  // copied, so a bitmap widened in place is never held twice. Throws std::bad_alloc, leaving
  // the block as it was, when the bytes cannot be had.
  void Grow(std::size_t size) {
    if (size <= size_) return;
    auto* grown = static_cast<uint8_t*>(std::realloc(data_, size));
    if (!grown) throw std::bad_alloc();
    AdviseLargePages(grown, size);
    std::memset(grown + size_, 0, size - size_);
    data_ = grown;
    Count(size - size_);
    size_ = size;
  }

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

  // Pixel memory held by all bitmaps together, and the most held at once since the last
  // ResetPeak: how many copies of a picture a piece of work keeps.
  static std::size_t LiveBytes() { return live_; }
  static std::size_t PeakBytes() { return peak_; }
  static void ResetPeak() { peak_ = live_.load(); }

 private:
  // Asks the system to back a large block with 2 MiB pages where it offers them on request.
  // The transitions read pictures across rows (a pivot walks a column of the old picture for
  // each row it draws); with 4 KiB pages each of those rows is a page of its own and the
  // address translations, not the pixels, set the pace. The 2 MiB-aligned inside of the block
  // is advised; its ends stay on small pages. Advice only: where it is refused nothing changes.
  static void AdviseLargePages([[maybe_unused]] uint8_t* data, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto start =
        (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kLargePage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
  }
  static void Count(std::size_t size) {
    const std::size_t now = live_ += size;
    for (std::size_t peak = peak_; now > peak && !peak_.compare_exchange_weak(peak, now);) {
    }
  }
  static inline std::atomic<std::size_t> live_{0}, peak_{0};

  uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace qm
