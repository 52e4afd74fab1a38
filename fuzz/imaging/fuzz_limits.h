// Keeps the decoders' fuzz targets within the fuzzer's memory limit: each target lowers the
// decode budget, so a header asking for a larger picture fails the budget check before anything
// large is allocated, as it would on a machine with little memory. The check itself is fuzzed
// that way; an allocation the budget does not account for shows as a malloc past the fuzzer's
// limit.
#pragma once

#include <cstdint>

#include "imaging/decode_budget.h"

namespace qm::fuzz {

inline constexpr uint64_t kDecodeBudget = uint64_t{32} << 20;

// Call at the start of every run: the first call sets the budget.
inline void UseFuzzDecodeBudget() {
  static const bool set = (SetDecodeBudgetForTesting(kDecodeBudget), true);
  (void)set;
}

}  // namespace qm::fuzz
