#include "cubic_weights.h"

#include <cstdlib>

namespace cubic_weights {

namespace {

// The kernel scaled by 1024 is a rational with denominator 2048 at every
// 1/128 step, so the value and its rounding are computed exactly in integers:
//   s < 1:      k(s) = 1 - 2 s^2 + s^3
//   1 <= s < 2: k(s) = 4 - 8 s + 5 s^2 - s^3
// with s = j / 128, times 1024, gives numerator / 2048.
int64_t numerator_over_2048(int64_t j)
{
    constexpr int64_t u = kPhases;
    if (j < u) return u * u * u - 2 * u * j * j + j * j * j;
    if (j < 2 * u) return 4 * u * u * u - 8 * u * u * j + 5 * u * j * j - j * j * j;
    return 0;
}

int32_t divide_rounding_away(int64_t numerator, int64_t denominator)
{
    int64_t magnitude = (std::llabs(numerator) * 2 + denominator) / (2 * denominator);
    return static_cast<int32_t>(numerator < 0 ? -magnitude : magnitude);
}

Table build()
{
    Table t{};
    for (int p = 0; p < kPhases; ++p) {
        t[p][0] = kernel_weight(kPhases + p);
        t[p][1] = kernel_weight(p);
        t[p][2] = kernel_weight(kPhases - p);
        t[p][3] = kernel_weight(2 * kPhases - p);
    }
    return t;
}

}  // namespace

int32_t kernel_weight(int j)
{
    if (j < 0) j = -j;
    return divide_rounding_away(numerator_over_2048(j), 2048);
}

const Table& table()
{
    static const Table built = build();  // thread-safe one-time initialisation
    return built;
}

}  // namespace cubic_weights
