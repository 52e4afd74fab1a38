#include "platform/arith.h"

#include <atomic>
#include <cmath>
#include <limits>

namespace qm {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;  // |p| <= 2^62: exact
  const bool negative = (p < 0) != (c < 0);
  const uint64_t num = p < 0 ? 0 - static_cast<uint64_t>(p) : static_cast<uint64_t>(p);
  const uint64_t den =
      c < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(c)) : static_cast<uint64_t>(c);
  // floor(num / den + 1/2) = floor((2 num + den) / (2 den)); 2 num + den < 2^64.
  const uint64_t q = (2 * num + den) / (2 * den);
  if (negative) {
    if (q > uint64_t{1} << 31) return -1;
    return static_cast<int32_t>(-static_cast<int64_t>(q));
  }
  if (q > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return -1;
  return static_cast<int32_t>(q);
}

namespace {

std::atomic<uint32_t> g_seed{0};

// Converts a value that is already integral to int64, saturating at the ends.
int64_t Saturate(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775808.0L) return std::numeric_limits<int64_t>::max();
  if (v < -9223372036854775808.0L) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

}  // namespace

int32_t RandomBelow(int32_t n) {
  uint32_t seed = g_seed.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    next = seed * 134775813u + 1u;
  } while (!g_seed.compare_exchange_weak(seed, next, std::memory_order_relaxed));
  const uint64_t product = static_cast<uint64_t>(next) * static_cast<uint32_t>(n);
  return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
}

void SetRandomSeed(uint32_t seed) {
  g_seed.store(seed, std::memory_order_relaxed);
}
uint32_t RandomSeed() {
  return g_seed.load(std::memory_order_relaxed);
}

int64_t Round(long double x) {
  if (std::isnan(x)) return 0;
  long double f = std::floor(x);
  const long double diff = x - f;
  if (diff > 0.5L || (diff == 0.5L && std::fmod(f, 2.0L) != 0)) f += 1;
  return Saturate(f);
}

int64_t Trunc(long double x) {
  return Saturate(std::trunc(x));
}
int64_t Ceil(long double x) {
  return Saturate(std::ceil(x));
}

}  // namespace qm
