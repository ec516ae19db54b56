// The one rounding of computed values: nearest, halves to even, saturating.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/Rounding.h"

namespace movarel {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(Rounding, RoundHalfEvenTable) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        int32_t out;
    } cases[] = {
        // Halves go to the even neighbour, on both sides of zero.
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {62.5, 62}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {-3.5, -4},
        // Anything off the half goes to the nearer integer.
        {2.4999999, 2}, {2.5000001, 3}, {-2.5000001, -3}, {13.888, 14}, {-7.2, -7}, {0.0, 0}, {-0.0, 0},
        // Large values: exact near the ends of the range, saturated beyond them.
        {2147483646.5, 2147483646}, {2147483646.6, kMax}, {2147483647.0, kMax}, {2147483647.5, kMax},
        {-2147483647.5, kMin}, {-2147483648.0, kMin}, {-2147483649.0, kMin},
        {1e12, kMax}, {-1e12, kMin}, {1e300, kMax}, {inf, kMax}, {-inf, kMin},
        // Not a number is no amount at all.
        {std::nan(""), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace movarel
