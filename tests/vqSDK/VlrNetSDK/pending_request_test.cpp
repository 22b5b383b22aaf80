#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/pending_request.h"

namespace {

using qn_net::await_reply;
using qn_net::pending_list;
using qn_net::pending_request;
using qn_net::wait_outcome;

TEST(NetSdkCOSEvent, ResultsOfTheEventObject)
{
    qn_net::COSEvent never;
    EXPECT_EQ(never.Wait(1000), -1);
    EXPECT_EQ(never.Set(), 0);
    EXPECT_EQ(never.Close(), 0);

    qn_net::COSEvent manual;
    ASSERT_EQ(manual.Create(true, false, "a name longer than thirty-one characters"), 0);
    EXPECT_EQ(manual.Name().size(), 31u);
    EXPECT_EQ(manual.Wait(10), 258);
    manual.Set();
    EXPECT_EQ(manual.Wait(0), 0);
    EXPECT_EQ(manual.Wait(0), 0);
    manual.Reset();
    EXPECT_EQ(manual.Wait(0), 258);

    qn_net::COSEvent automatic;
    ASSERT_EQ(automatic.Create(false, true, "auto"), 0);
    EXPECT_EQ(automatic.Wait(0), 0);
    EXPECT_EQ(automatic.Wait(0), 258);
    automatic.Close();
    EXPECT_EQ(automatic.Wait(0), -1);
}

TEST(NetSdkPendingRequests, AReplyInTimeIsCopiedToTheWaiter)
{
    pending_list list;
    pending_request record("brightness");
    list.add(7, 2, &record);
    std::thread reply([&] {
        platform::SleepMs(20);
        const uint8_t data[] = {1, 2, 3, 4};
        EXPECT_TRUE(list.complete(7, 1, 2, data, sizeof data));
    });
    EXPECT_EQ(await_reply(list, record, testing_support::kEventBoundMs), wait_outcome::replied);
    reply.join();
    ASSERT_EQ(record.length, 4);
    EXPECT_EQ(record.data[3], 4);
    EXPECT_EQ(record.result, 1);
    EXPECT_EQ(list.size(), 0u);
}

TEST(NetSdkPendingRequests, ALateReplyFindsNoRecordAndChangesNothing)
{
    pending_list list;
    pending_request record("getvolume");
    list.add(3, 10, &record);
    int64_t start = platform::MonotonicMs();
    EXPECT_EQ(await_reply(list, record, 100), wait_outcome::timed_out);
    int64_t waited = platform::MonotonicMs() - start;
    EXPECT_GE(waited, 100);
    EXPECT_LT(waited, 5000) << "ended by its own time-out, late only as a busy machine is";
    const uint8_t data[] = {9};
    EXPECT_FALSE(list.complete(3, 1, 10, data, 1));
    EXPECT_EQ(record.data, nullptr);
}

TEST(NetSdkPendingRequests, TwoWaitersOfOneKeyGetOneReplyEach)
{
    pending_list list;
    pending_request first("tfinfo");
    pending_request second("tfinfo");
    list.add(5, 12, &first);
    list.add(5, 12, &second);
    std::vector<std::thread> waiters;
    std::atomic<int> replied{0};
    for (pending_request* record : {&first, &second}) {
        waiters.emplace_back([&, record] {
            if (await_reply(list, *record, 3000) == wait_outcome::replied) ++replied;
        });
    }
    const uint8_t one[] = {1};
    const uint8_t two[] = {2};
    EXPECT_TRUE(list.complete(5, 1, 12, one, 1));
    EXPECT_TRUE(list.complete(5, 1, 12, two, 1));
    // A third reply finds every waiter served and is dropped.
    EXPECT_FALSE(list.complete(5, 1, 12, two, 1));
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(replied.load(), 2);
    EXPECT_EQ(first.data[0], 1);
    EXPECT_EQ(second.data[0], 2);
}

TEST(NetSdkPendingRequests, RefusalsAndTeardownWakeWaitersAtOnce)
{
    pending_list list;
    pending_request refusedA("set guard");
    pending_request refusedB("set guard");
    pending_request other("getwifi");
    list.add(9, 22, &refusedA);
    list.add(9, 22, &refusedB);
    list.add(9, 11, &other);
    list.fail_all(9, 0, 22);
    EXPECT_EQ(await_reply(list, refusedA, 0), wait_outcome::refused);
    EXPECT_EQ(await_reply(list, refusedB, 0), wait_outcome::refused);
    EXPECT_EQ(refusedA.result, -1);

    std::thread waiter([&] {
        int64_t start = platform::MonotonicMs();
        EXPECT_EQ(await_reply(list, other, 2 * testing_support::kEventBoundMs), wait_outcome::refused);
        EXPECT_LT(platform::MonotonicMs() - start, testing_support::kEventBoundMs) << "well before the time-out";
    });
    platform::SleepMs(20);
    list.abandon_all();
    waiter.join();
    // After teardown late replies change nothing, and removing is harmless.
    EXPECT_FALSE(list.complete(9, 1, 11, "x", 1));
    list.remove(&other);
    list.remove(nullptr);
    EXPECT_EQ(list.size(), 0u);
}

TEST(NetSdkPendingRequests, AClosedConnectionEndsEveryWaitUntilItReopens)
{
    pending_list list;
    pending_request answered("brightness");
    pending_request waiting("getwifi");
    list.add(9, 2, &answered);
    list.add(9, 11, &waiting);
    EXPECT_TRUE(list.complete(9, 1, 2, "a", 1));
    list.connection_closed();
    // An answer that came before the close stays the waiter's.
    EXPECT_EQ(await_reply(list, answered, 0), wait_outcome::replied);
    EXPECT_EQ(await_reply(list, waiting, 0), wait_outcome::closed);
    EXPECT_EQ(waiting.result, -1);
    // A request registered on the closed connection does not wait either.
    pending_request late("getzone");
    list.add(9, 15, &late);
    EXPECT_EQ(await_reply(list, late, 0), wait_outcome::closed);

    list.reopen();
    pending_request fresh("getzone");
    list.add(9, 15, &fresh);
    EXPECT_EQ(await_reply(list, fresh, 0), wait_outcome::timed_out);
}

TEST(NetSdkPendingRequests, ASignalWithoutDataIsReportedAsNoData)
{
    pending_list list;
    pending_request record("brightness");
    list.add(1, 2, &record);
    EXPECT_TRUE(list.complete(1, 1, 2, nullptr, 0));
    EXPECT_EQ(await_reply(list, record, 100), wait_outcome::no_data);
}

} // namespace
