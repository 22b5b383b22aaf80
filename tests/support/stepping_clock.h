// A clock for tests of paced loops: its time starts at a chosen value and
// moves only when a waiter waits on it, by the time it asked to wait. A loop
// that paces itself on it runs at full speed, and the test reads how long
// the loop meant to wait from the clock's time.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/clock.h"
#include "platform/event.h"

namespace testing_support {

class SteppingClock : public platform::Clock {
public:
    explicit SteppingClock(int64_t startMs = 1000000) : now_(startMs) {}

    int64_t MonotonicMs() const override { return now_.load(); }
    bool WaitFor(platform::Event& wake, int64_t ms) const override
    {
        if (wake.IsSet()) return true;
        if (ms > 0) now_ += ms;
        waited_ += ms > 0 ? ms : 0;
        ++waits_;
        // Lets the threads under test and the test itself take turns.
        std::this_thread::yield();
        return wake.IsSet();
    }

    void Advance(int64_t ms) { now_ += ms; }
    int64_t WaitedMs() const { return waited_.load(); }
    int64_t Waits() const { return waits_.load(); }

private:
    mutable std::atomic<int64_t> now_;
    mutable std::atomic<int64_t> waited_{0};
    mutable std::atomic<int64_t> waits_{0};
};

} // namespace testing_support
