#include "picshow/style_catalogue.h"

#include <chrono>

#include "effects/effect_table.h"
#include "platform/random.h"

namespace qm {

const std::array<uint8_t, 36> kRandomStylePool = {
    48,  51, 74, 64,  71,  72,  137, 16,  84,  85,  91,  114, 18, 2,  52, 56, 57, 127,
    142, 23, 44, 149, 150, 125, 124, 116, 143, 117, 138, 78,  66, 14, 15, 32, 31, 22};

const char* StyleName(int style) {
  if (style == kCustomStyle) return kCustomStyleName;
  if (style < 1 || style > kMaxStyle) return nullptr;
  return kEffectTable[style - 1].Name.data();  // the names are NUL-terminated literals
}

namespace {

// Letter case is folded for the plain letters A..Z only: every name in the table is plain ASCII,
// so bytes outside it can only match themselves.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<int> StyleByName(std::string_view name) {
  if (SameNameIgnoringCase(name, kCustomStyleName)) return kCustomStyle;
  for (int style = 1; style <= kMaxStyle; ++style) {
    if (SameNameIgnoringCase(name, kEffectTable[style - 1].Name)) return style;
  }
  return std::nullopt;
}

int PickRandomStyleWithSeed(uint32_t seed) {
  SetRandomSeed(seed);
  return kRandomStylePool[RandomBelow(static_cast<uint32_t>(kRandomStylePool.size()))];
}

int PickRandomStyle() {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  return PickRandomStyleWithSeed(static_cast<uint32_t>(ns));
}

}  // namespace qm
