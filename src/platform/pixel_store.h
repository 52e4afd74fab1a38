// Zero-filled pixel memory from calloc: large blocks come from the system as untouched zero
// pages, so a bitmap costs memory only where its pixels are written, and an allocation the
// system cannot back fails here instead of later in the middle of a decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace qm {

class PixelStore {
 public:
  PixelStore() = default;
  // `size` zero bytes; throws std::bad_alloc when they cannot be had.
  explicit PixelStore(std::size_t size) : size_(size) {
    if (size == 0) return;
    data_ = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!data_) throw std::bad_alloc();
  }
  PixelStore(const PixelStore& other) : PixelStore(other.size_) {
    if (size_) std::memcpy(data_, other.data_, size_);
  }
  PixelStore(PixelStore&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PixelStore& operator=(PixelStore other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~PixelStore() { std::free(data_); }

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace qm
