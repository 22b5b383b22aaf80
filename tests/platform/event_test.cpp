#include "platform/event.h"

#include "platform/clock.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using platform::Event;
using platform::EventSet;

TEST(Event, ResultsFollowTheSystemConventions)
{
    Event none;
    EXPECT_EQ(none.Wait(0), Event::kFailed);
    EXPECT_FALSE(none.Set());

    Event manual(true, false, "manual");
    EXPECT_EQ(manual.Name(), "manual");
    EXPECT_EQ(manual.Wait(0), Event::kTimedOut);
    manual.Set();
    EXPECT_EQ(manual.Wait(0), Event::kSignalled);
    EXPECT_EQ(manual.Wait(10), Event::kSignalled); // stays set
    manual.Reset();
    EXPECT_EQ(manual.Wait(10), Event::kTimedOut);

    Event automatic(false, true);
    EXPECT_EQ(automatic.Wait(0), Event::kSignalled);
    EXPECT_EQ(automatic.Wait(0), Event::kTimedOut); // the wait reset it
    automatic.Close();
    EXPECT_EQ(automatic.Wait(0), Event::kFailed);
}

TEST(Event, TimeOutIsHonoured)
{
    Event e(false, false);
    int64_t start = platform::MonotonicMs();
    EXPECT_EQ(e.Wait(50), Event::kTimedOut);
    EXPECT_GE(platform::MonotonicMs() - start, 50);
}

// Waits up to `ms` for an auto-reset event to be consumed by a waiter.
bool ConsumedWithin(const Event& e, int64_t ms)
{
    int64_t end = platform::MonotonicMs() + ms;
    while (e.IsSet()) {
        if (platform::MonotonicMs() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(Event, AutoResetWakesExactlyOneWaiterPerSet)
{
    Event e(false, false);
    std::atomic<int> woke{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 6; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(3000) == Event::kSignalled) ++woke;
        });
    for (int i = 0; i < 3; ++i) {
        e.Set();
        ASSERT_TRUE(ConsumedWithin(e, 5000));
    }
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woke.load(), 3);
}

TEST(Event, CloseWhileOthersWaitAndSet)
{
    for (int round = 0; round < 50; ++round) {
        Event e(true, false);
        std::thread waiter([&] { e.Wait(20); });
        std::thread setter([&] { e.Set(); });
        e.Close();
        waiter.join();
        setter.join();
        EXPECT_EQ(e.Wait(0), Event::kFailed);
    }
}

TEST(EventSet, WaitAnyGivesTheSignalledIndexAndResetsAutoEvents)
{
    Event stop(true, false), work(false, false);
    EventSet set;
    set.Add(stop);
    set.Add(work);
    EXPECT_EQ(set.WaitAny(0), Event::kTimedOut);

    std::thread setter([&] {
        platform::SleepMs(20);
        work.Set();
    });
    EXPECT_EQ(set.WaitAny(testing_support::kEventBoundMs), 1);
    setter.join();
    EXPECT_FALSE(work.IsSet());

    stop.Set();
    work.Set();
    EXPECT_EQ(set.WaitAny(0), 0); // the first signalled one wins
    EXPECT_TRUE(stop.IsSet());

    EventSet empty;
    EXPECT_EQ(empty.WaitAny(0), Event::kFailed);
    Event uncreated;
    EventSet broken;
    broken.Add(uncreated);
    EXPECT_EQ(broken.WaitAny(0), Event::kFailed);
}

TEST(EventSet, ManyWaitersAndSettersLoseNoWakeUp)
{
    constexpr int kRounds = 300;
    Event a(false, false), b(false, false), done(true, false);
    std::atomic<int> received{0};
    std::thread consumer([&] {
        EventSet set;
        set.Add(a);
        set.Add(b);
        set.Add(done);
        for (;;) {
            int r = set.WaitAny(5000);
            if (r == 0 || r == 1) ++received;
            if (r == 2 || r == Event::kTimedOut) return;
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        Event& e = (i % 2) ? a : b;
        e.Set();
        ASSERT_TRUE(ConsumedWithin(e, 5000)) << "round " << i;
    }
    done.Set();
    consumer.join();
    EXPECT_EQ(received.load(), kRounds);
}

} // namespace
