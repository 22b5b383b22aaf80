// A clock for tests of several paced threads at once: its time stands still until the test moves it, and a wait on
// it blocks until the time reaches the waiter's deadline or the wake event is set. The test steps the time from one
// deadline to the next once every thread under test waits, so each thread sees exactly the time it paced itself by,
// and times taken on different threads compare.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

#include "platform/clock.h"
#include "platform/event.h"
#include "support/wait_until.h"

namespace testing_support {

class ManualClock : public platform::Clock {
public:
    explicit ManualClock(int64_t startMs = 1000000) : now_(startMs) {}

    int64_t MonotonicMs() const override
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return now_;
    }

    bool WaitFor(platform::Event& wake, int64_t ms) const override
    {
        if (wake.IsSet()) return true;
        if (ms <= 0) return false;
        std::unique_lock<std::mutex> hold(mutex_);
        const int64_t deadline = now_ + ms;
        auto entry = deadlines_.insert(deadline);
        changed_.notify_all();
        // The event cannot wake this wait itself, so it is looked at every millisecond.
        while (now_ < deadline && !wake.IsSet()) changed_.wait_for(hold, std::chrono::milliseconds(1));
        deadlines_.erase(entry);
        changed_.notify_all();
        return now_ < deadline;
    }

    // Time that passes while a thread works, for instance inside a callback; waits that come due end.
    void Advance(int64_t ms)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        now_ += ms;
        changed_.notify_all();
    }

    // Waits that have not yet come due.
    std::size_t Pending() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return PendingLocked();
    }

    // Waits until `waiters` waits are pending, that is until every thread under test has done what the time
    // allows; false when they are not within the bound.
    bool Settle(std::size_t waiters, int boundMs = kEventBoundMs) const
    {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, std::chrono::milliseconds(boundMs), [&] { return PendingLocked() == waiters; });
    }

    // Once `waiters` waits are pending, moves the time on to the earliest of their deadlines.
    bool Step(std::size_t waiters, int boundMs = kEventBoundMs)
    {
        std::unique_lock<std::mutex> hold(mutex_);
        if (!changed_.wait_for(hold, std::chrono::milliseconds(boundMs), [&] { return PendingLocked() == waiters; }))
            return false;
        now_ = *deadlines_.upper_bound(now_);
        changed_.notify_all();
        return true;
    }

    // Steps until `done()` holds with every thread settled; false when a step fails or `maxSteps` pass first.
    template <typename Done>
    bool StepUntil(Done&& done, std::size_t waiters, int maxSteps = 100000)
    {
        for (int step = 0; step < maxSteps; ++step) {
            if (!Settle(waiters)) return false;
            if (done()) return true;
            if (!Step(waiters)) return false;
        }
        return false;
    }

private:
    std::size_t PendingLocked() const
    {
        return static_cast<std::size_t>(std::distance(deadlines_.upper_bound(now_), deadlines_.end()));
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable std::multiset<int64_t> deadlines_;
    int64_t now_;
};

} // namespace testing_support
