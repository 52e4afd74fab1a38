// The program's one pseudo-random generator. Its state is a single 32-bit seed for the whole
// program, 0 at start; the animation thread and the main thread may both draw from it, so every
// access is atomic. The sequence is fixed by the seed: a presentation with a fixed style draws
// the same numbers on every run.
#pragma once

#include <cstdint>

namespace qm {

// Advances the seed (seed := seed * 134775813 + 1, modulo 2^32) and returns the upper 32 bits
// of the 64-bit product of the new seed and n taken as unsigned: 0..n-1 for n > 0, 0 for n = 0.
// The seed advances on every call, also for n = 0 and 1.
int32_t RandomBelow(int32_t n);

void SetRandomSeed(uint32_t seed);
uint32_t RandomSeed();

}  // namespace qm
