#pragma once
// The one rounding of computed values to whole numbers: timer periods, control
// positions and read-outs all round to the nearest integer with halves to the
// even neighbour, so 2.5 and 1.5 both give 2.
#include <cstdint>

namespace movarel {

// Saturates at the int32 range and gives 0 for a value that is not a number,
// so no caller converts an out-of-range double (undefined behaviour).
int32_t RoundHalfEven(double v);

}  // namespace movarel
