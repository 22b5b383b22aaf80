// Waiting for an event in a test: poll a condition until it holds or a bound
// passes. The bound is measured on the clock, not counted in sleeps, so a
// loaded machine that oversleeps does not shorten it; it is generous because
// only a fault should ever reach it.
#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

// Long enough for a busy 2-core machine running sanitizers; a test that waits
// for an event the code promises uses this unless it checks a time itself.
constexpr int kEventBoundMs = 20000;

// True as soon as `condition()` holds; false when it still does not after `boundMs`.
template <typename Condition>
bool WaitUntil(Condition&& condition, int boundMs = kEventBoundMs, int stepMs = 5)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return true;
}

} // namespace testing_support
