// A clock for tests of paced loops: its time starts at a chosen value and
// moves only when a waiter waits on it, by the time it asked to wait. A loop
// that paces itself on it runs at full speed, and the test reads how long
// the loop meant to wait from the clock's time.
//
// With one timeline all threads share the time, so each one's waits move the
// others' clock too. With a timeline per thread every thread sees the start
// plus its own waits (and Advance), so the times a paced thread reads are
// exactly its own pacing, whatever other threads wait.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/event.h"

namespace testing_support {

class SteppingClock : public platform::Clock {
public:
    enum class Timeline { Shared, PerThread };

    explicit SteppingClock(int64_t startMs = 1000000, Timeline timeline = Timeline::Shared)
        : now_(startMs), timeline_(timeline)
    {
    }

    int64_t MonotonicMs() const override
    {
        if (timeline_ == Timeline::Shared) return now_.load();
        std::lock_guard<std::mutex> hold(ownLock_);
        const auto own = own_.find(std::this_thread::get_id());
        return now_.load() + (own != own_.end() ? own->second : 0);
    }
    bool WaitFor(platform::Event& wake, int64_t ms) const override
    {
        if (wake.IsSet()) return true;
        if (ms > 0 && timeline_ == Timeline::Shared) now_ += ms;
        if (ms > 0 && timeline_ == Timeline::PerThread) {
            std::lock_guard<std::mutex> hold(ownLock_);
            own_[std::this_thread::get_id()] += ms;
        }
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
    const Timeline timeline_;
    mutable std::mutex ownLock_;
    mutable std::map<std::thread::id, int64_t> own_; // each thread's waits
};

} // namespace testing_support
