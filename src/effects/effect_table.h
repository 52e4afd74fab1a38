// The effect table: the 150 transition styles, row i being style i + 1, each with its name and
// its effect procedure (null where a style draws nothing yet).
#pragma once

#include "effects/effect_contract.h"

namespace qm {

inline constexpr int kEffectCount = 150;

extern const TEffect kEffectTable[kEffectCount];

}  // namespace qm
