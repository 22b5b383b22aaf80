#include "cubic_weights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

// Independent model: the a = -1 kernel in long double, rounded half away
// from zero by std::lround.
long model_weight(long double s)
{
    s = std::fabs(s);
    long double k = 0;
    if (s < 1) k = 1 - 2 * s * s + s * s * s;
    else if (s < 2) k = 4 - 8 * s + 5 * s * s - s * s * s;
    return std::lround(k * 1024);
}

TEST(CubicWeights, KnownPhases)
{
    const auto& t = cubic_weights::table();
    EXPECT_EQ(t[0], (std::array<int32_t, 4>{0, 1024, 0, 0}));
    // Half a pixel: k(1.5) = -0.125, k(0.5) = 0.625.
    EXPECT_EQ(t[64], (std::array<int32_t, 4>{-128, 640, 640, -128}));
}

TEST(CubicWeights, EveryPhaseMatchesTheKernel)
{
    const auto& t = cubic_weights::table();
    for (int p = 0; p < cubic_weights::kPhases; ++p) {
        long double f = p / 128.0L;
        EXPECT_EQ(t[p][0], model_weight(1 + f)) << "phase " << p;
        EXPECT_EQ(t[p][1], model_weight(f)) << "phase " << p;
        EXPECT_EQ(t[p][2], model_weight(1 - f)) << "phase " << p;
        EXPECT_EQ(t[p][3], model_weight(2 - f)) << "phase " << p;
        // The kernel interpolates: the taps of a phase sum to one, give or
        // take the rounding of each tap.
        int sum = t[p][0] + t[p][1] + t[p][2] + t[p][3];
        EXPECT_LE(std::abs(sum - 1024), 2) << "phase " << p;
    }
    EXPECT_EQ(cubic_weights::kernel_weight(256), 0);
    EXPECT_EQ(cubic_weights::kernel_weight(-64), cubic_weights::kernel_weight(64));
}

TEST(CubicWeights, OneTableForAllThreads)
{
    std::vector<const cubic_weights::Table*> seen(4);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = &cubic_weights::table(); });
    for (auto& th : threads) th.join();
    for (auto* p : seen) EXPECT_EQ(p, &cubic_weights::table());
}

}  // namespace
