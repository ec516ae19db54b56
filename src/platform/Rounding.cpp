#include "platform/Rounding.h"

#include <cmath>
#include <limits>

namespace movarel {

int32_t RoundHalfEven(double v) {
    if (std::isnan(v))
        return 0;
    // nearbyint rounds halves to even in the default rounding mode, which
    // nothing in the program changes.
    const double r = std::nearbyint(v);
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

}  // namespace movarel
