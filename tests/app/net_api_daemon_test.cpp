// The facade's daemon thread paces its retries on the facade's clock, and a
// clean-up ends it at once: a clock that never moves on must not hold the
// stop. Without a web server the start-up tables never load, so every try
// fails and the thread keeps waiting.
#include <gtest/gtest.h>

#include "app/qnNetAPI.h"
#include "support/manual_clock.h"
#include "support/this_process.h"

namespace {

TEST(NetApiDaemon, CleanUpEndsTheRetriesWithoutWaitingOutThePause)
{
    const int before = testing_support::SettledThreadCount();
    testing_support::ManualClock clock;
    {
        qnNetAPI api(clock);
        // The modules keep threads of their own while the facade lives.
        const int withModules = testing_support::SettledThreadCount();
        ASSERT_EQ(api.Init(""), 1);
        // The first try failed once the thread waits on the clock.
        ASSERT_TRUE(clock.Settle(1));
        EXPECT_EQ(api.IsInit(), 0);
        EXPECT_EQ(api.CleanUp(), 1);
        EXPECT_EQ(testing_support::ThreadCount(), withModules) << "the daemon thread outlived the clean-up";
        // A new start after a clean-up runs a new thread, which the facade ends as it goes.
        ASSERT_EQ(api.Init(""), 1);
    }
    EXPECT_EQ(testing_support::ThreadCount(), before);
}

} // namespace
