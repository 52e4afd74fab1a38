// Integer and rounding arithmetic of the effects and the layout. All effect arithmetic is
// signed 32-bit; scaling by a percentage goes through MulDiv.
#pragma once

#include <cstdint>

#include "platform/random.h"

namespace qm {

// a * b / c with the exact 64-bit product, rounded to nearest with halves away from zero.
// A divisor of 0, or a result outside the signed 32-bit range, yields -1.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// Rounding of extended-precision values to integers. Round takes halves to the even
// neighbour, Trunc cuts toward zero, Ceil rounds up. A NaN gives 0 and values beyond the 64-bit
// range give its nearest end, so no input is undefined.
int64_t Round(long double x);
int64_t Trunc(long double x);
int64_t Ceil(long double x);

}  // namespace qm
