#include "Depend/qn_lock.h"
#include "Depend/qn_thread.h"

#include "platform/clock.h"
#include "support/this_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

struct Worker {
    QNThread* record = nullptr;
    std::atomic<int> loops{0};
    std::atomic<bool> ignoreStop{false};
};

void Loop(void* parameter)
{
    auto* w = static_cast<Worker*>(parameter);
    while (w->record->run == 1 || w->ignoreStop) {
        ++w->loops;
        platform::SleepMs(2);
    }
}

TEST(QNThreadRecord, InitAndStopFollowTheRecordStates)
{
    QNThread record;
    QNThreadInit(&record);
    EXPECT_EQ(record.run, 0);
    EXPECT_EQ(record.exited, 1);
    QNThreadStop(&record, 100); // nothing runs: nothing to do
    QNThreadStop(nullptr, 100);

    Worker w;
    w.record = &record;
    int before = testing_support::SettledThreadCount();
    ASSERT_EQ(QNThreadStart(&record, Loop, &w), 1);
    EXPECT_EQ(record.run, 1);
    EXPECT_EQ(QNThreadStart(&record, Loop, &w), 0); // still owns a thread
    while (w.loops < 3) platform::SleepMs(1);
    EXPECT_EQ(testing_support::ThreadCount(), before + 1);
    QNThreadStop(&record, 1000);
    EXPECT_EQ(record.exited, 1);
    EXPECT_EQ(record.run, 0);
    EXPECT_FALSE(record.handle.joinable());
    EXPECT_EQ(testing_support::ThreadCount(), before); // the thread really ended
}

TEST(QNThreadRecord, ZeroMillisecondsStillClearsRunAndJoins)
{
    QNThread record;
    QNThreadInit(&record);
    Worker w;
    w.record = &record;
    ASSERT_EQ(QNThreadStart(&record, Loop, &w), 1);
    QNThreadStop(&record, 0);
    EXPECT_EQ(record.exited, 1);
    EXPECT_FALSE(record.handle.joinable());
}

TEST(QNThreadRecord, AThreadThatAlreadyEndedIsOnlyJoined)
{
    QNThread record;
    QNThreadInit(&record);
    ASSERT_EQ(QNThreadStart(&record, [](void*) {}, nullptr), 1);
    while (record.exited == 0) platform::SleepMs(1);
    int64_t start = platform::MonotonicMs();
    QNThreadStop(&record, 5000);
    EXPECT_LT(platform::MonotonicMs() - start, 2500) << "well before the 5000 ms bound";
    EXPECT_FALSE(record.handle.joinable());
}

TEST(QNThreadRecord, ASlowThreadIsWaitedForNotKilled)
{
    QNThread record;
    QNThreadInit(&record);
    Worker w;
    w.record = &record;
    w.ignoreStop = true;
    ASSERT_EQ(QNThreadStart(&record, Loop, &w), 1);
    int64_t start = platform::MonotonicMs();
    std::thread release([&] {
        platform::SleepMs(150);
        w.ignoreStop = false;
    });
    QNThreadStop(&record, 30);
    // The stop returned only after the thread finished its own way.
    bool stillIgnoring = w.ignoreStop;
    int64_t waited = platform::MonotonicMs() - start;
    release.join();
    EXPECT_FALSE(stillIgnoring);
    EXPECT_GE(waited, 140);
    EXPECT_FALSE(record.handle.joinable());
}

TEST(QNThreadRecord, AThreadCannotStopItself)
{
    QNThread record;
    QNThreadInit(&record);
    ASSERT_EQ(QNThreadStart(&record, [](void* p) { QNThreadStop(static_cast<QNThread*>(p), 100); },
                            &record),
              1);
    while (record.exited == 0) platform::SleepMs(1);
    EXPECT_EQ(record.run, 0);
    QNThreadStop(&record, 100); // the owner joins it
    EXPECT_FALSE(record.handle.joinable());
}

TEST(QNLockTest, IsRecursiveAndExcludesOtherThreads)
{
    QNLock lock;
    EXPECT_EQ(lock.Lock(), 0);
    EXPECT_EQ(lock.Lock(), 0); // the owner may take it again
    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock.Lock();
        entered = true;
        lock.Unlock();
    });
    platform::SleepMs(30);
    EXPECT_FALSE(entered);
    EXPECT_EQ(lock.Unlock(), 0);
    platform::SleepMs(10);
    EXPECT_FALSE(entered); // still held once
    EXPECT_EQ(lock.Unlock(), 0);
    other.join();
    EXPECT_TRUE(entered);

    int counter = 0;
    std::thread a([&] {
        for (int i = 0; i < 10000; ++i) {
            lock.Lock();
            ++counter;
            lock.Unlock();
        }
    });
    for (int i = 0; i < 10000; ++i) {
        lock.Lock();
        ++counter;
        lock.Unlock();
    }
    a.join();
    EXPECT_EQ(counter, 20000);
    lock.Delete();
}

} // namespace
