// Network time and the daily play limit: time from a Python NTP responder on
// loopback, plays measured on a clock the test moves by hand.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

#include "app/QNNetTime.h"
#include "app/ntp_query.h"
#include "platform/files.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"

namespace {

// Time moves only when the test moves it; waits still block for real, so the
// threads under test take their 200 ms steps while the test decides how much
// play time has passed.
class HandClock : public platform::Clock {
public:
    explicit HandClock(int64_t wallSeconds) : wall_(wallSeconds) {}
    int64_t MonotonicMs() const override { return now_.load(); }
    platform::WallTime WallNow() const override { return platform::WallTime{wall_.load(), 0}; }
    bool WaitFor(platform::Event& wake, int64_t ms) const override
    {
        return wake.Wait(ms) == platform::Event::kSignalled;
    }
    void Advance(int64_t ms)
    {
        now_ += ms;
        wall_ += ms / 1000;
    }
    void SetWall(int64_t seconds) { wall_ = seconds; }

private:
    std::atomic<int64_t> now_{5000000};
    std::atomic<int64_t> wall_;
};

int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second)
{
    platform::CivilTime civil;
    civil.year = year;
    civil.month = month;
    civil.day = day;
    civil.hour = hour;
    civil.minute = minute;
    civil.second = second;
    civil.isDst = -1;
    return *platform::FromLocalTime(civil);
}

struct Notices {
    std::mutex mutex;
    std::vector<std::pair<int, int64_t>> seen; // kind, play time when raised
    QNNetTime* timer = nullptr;
    static void On(int kind, void* user)
    {
        auto* self = static_cast<Notices*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->seen.emplace_back(kind, self->timer->GetPlayTime());
    }
    bool Has(int kind)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& s : seen) {
            if (s.first == kind) return true;
        }
        return false;
    }
    int64_t FirstPlayTime(int kind)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& s : seen) {
            if (s.first == kind) return s.second;
        }
        return -1;
    }
};

std::string RecordBytes(int year, int month, int day, uint32_t watchedMs)
{
    std::string bytes(20, '\0');
    const uint16_t date[6] = {uint16_t(year), uint16_t(month), uint16_t(day), 8, 30, 0};
    std::memcpy(bytes.data(), date, 12);
    std::memcpy(bytes.data() + 16, &watchedMs, 4);
    return bytes;
}

// The record file as Python's struct module reads it.
std::string PythonRecord(const std::string& path)
{
    return testing_support::Chomp(
        testing_support::RunCommand("/usr/bin/python3 -c \"import struct,sys;"
                                    "print(struct.unpack('<6HII',open(sys.argv[1],'rb').read()))\" '" +
                                    path + "'")
            .output);
}

class PlayLimit : public ::testing::Test {
protected:
    void StartTimer(std::vector<std::string> servers, int64_t wallSeconds)
    {
        clock_ = std::make_unique<HandClock>(wallSeconds);
        timer_ = std::make_unique<QNNetTime>(std::move(servers), *clock_, data_.Path());
        notices_.timer = timer_.get();
        timer_->SetCallback(&Notices::On, &notices_);
        timer_->Start();
    }
    void SignIn(const std::string& name)
    {
        timer_->SetUser(name);
        ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->RecordLoaded(); }));
    }
    void Play(int64_t ms, bool local = false)
    {
        const int handled = timer_->PlaysHandled();
        timer_->SetNetType(local);
        timer_->SetStart();
        ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->PlayStartTick() != 0; }));
        clock_->Advance(ms);
        timer_->SetStop();
        ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->PlaysHandled() == handled + 1; }));
    }
    void TearDown() override
    {
        if (timer_) timer_->Stop();
    }

    testing_support::TempFolder data_;
    std::unique_ptr<HandClock> clock_;
    std::unique_ptr<QNNetTime> timer_;
    Notices notices_;
};

TEST(NtpReply, TransmitSecondsAreReadInTheirEra)
{
    uint8_t reply[48] = {};
    auto put = [&](uint32_t s) {
        reply[40] = uint8_t(s >> 24);
        reply[41] = uint8_t(s >> 16);
        reply[42] = uint8_t(s >> 8);
        reply[43] = uint8_t(s);
    };
    put(3918153600u); // 2024-02-29 00:00:00 UTC
    EXPECT_EQ(NtpReplySeconds(reply, 48), 1709164800);
    put(0x10000000u); // after the 2036 wrap
    EXPECT_EQ(NtpReplySeconds(reply, 48), int64_t(0x10000000) + 4294967296LL - 2208988800LL);
    put(0);
    EXPECT_FALSE(NtpReplySeconds(reply, 48));
    put(3918153600u);
    EXPECT_FALSE(NtpReplySeconds(reply, 47));
    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(SplitTimeServer("127.0.0.1:12345", &host, &port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 12345);
    EXPECT_TRUE(SplitTimeServer("time.example", &host, &port));
    EXPECT_EQ(port, 123);
    EXPECT_FALSE(SplitTimeServer("host:70000", &host, &port));
    EXPECT_FALSE(SplitTimeServer(":5", &host, &port));
}

TEST_F(PlayLimit, PlaysCountOnlyWithinTheirBoundsAndNeverOnTheLocalRoute)
{
    const int threads = testing_support::SettledThreadCount();
    StartTimer({}, LocalSeconds(2026, 12, 11, 9, 0, 0));
    // A stop and a restart keep the two threads to one run.
    timer_->Stop();
    EXPECT_EQ(testing_support::SettledThreadCount(), threads);
    timer_->Start();
    SignIn("alice");
    struct Case {
        int64_t ms;
        bool local;
        int64_t added;
    } cases[] = {{10000, false, 0}, {10001, false, 10001}, {31 * 60000, false, 0},
                 {1809999, false, 1809999}, {20000, true, 0}, {20000, false, 20000}};
    int64_t total = 0;
    for (const Case& c : cases) {
        Play(c.ms, c.local);
        total += c.added;
        EXPECT_EQ(timer_->DayTotalMs(), total) << c.ms << (c.local ? " local" : "");
    }
    EXPECT_EQ(PythonRecord(timer_->RecordPath("alice")), "(2026, 12, 11, 9, 0, 0, 0, " + std::to_string(total) + ")");
    EXPECT_EQ(timer_->GetPlayLimit(), 1);
    timer_->Stop();
    EXPECT_EQ(testing_support::SettledThreadCount(), threads);
}

TEST_F(PlayLimit, TheLimitNoticeComesOnceTotalAndPlayExceedTheDailyLimit)
{
    const int64_t now = LocalSeconds(2026, 12, 11, 9, 0, 0);
    std::filesystem::create_directories(data_.Path() + "/User");
    StartTimer({}, now);
    platform::WriteWholeFile(timer_->RecordPath("bob"), RecordBytes(2026, 12, 11, 3599000));
    SignIn("bob");
    EXPECT_EQ(timer_->DayTotalMs(), 3599000);
    timer_->SetStart();
    ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->PlayStartTick() != 0; }));
    clock_->Advance(1000);
    clock_->Advance(1);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return notices_.Has(kNoticePlayLimit); }));
    EXPECT_GE(notices_.FirstPlayTime(kNoticePlayLimit), 1001);
    EXPECT_FALSE(notices_.Has(kNoticeIdle));
}

TEST_F(PlayLimit, AnIdleUserIsToldWhileTheLimitIsFarAway)
{
    StartTimer({}, LocalSeconds(2026, 12, 11, 9, 0, 0));
    SignIn("carol");
    timer_->SetStart();
    ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->PlayStartTick() != 0; }));
    clock_->Advance(300001);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return notices_.Has(kNoticeIdle); }));
    EXPECT_GE(notices_.FirstPlayTime(kNoticeIdle), 300001);
    EXPECT_FALSE(notices_.Has(kNoticePlayLimit));
}

TEST_F(PlayLimit, RecordsOfAnotherDateStartAtZeroAndMidnightStartsANewTotal)
{
    std::filesystem::create_directories(data_.Path() + "/User");
    StartTimer({}, LocalSeconds(2026, 12, 11, 23, 59, 0));
    struct Case {
        const char* user;
        int year, month, day;
        int64_t total;
    } cases[] = {{"same", 2026, 12, 11, 5000}, {"yesterday", 2026, 12, 10, 0}, {"month", 2026, 11, 11, 0},
                 {"year", 2025, 12, 11, 0}};
    for (const Case& c : cases) {
        platform::WriteWholeFile(timer_->RecordPath(c.user), RecordBytes(c.year, c.month, c.day, 5000));
        SignIn(c.user);
        EXPECT_EQ(timer_->DayTotalMs(), c.total) << c.user;
    }
    // The last user watches past midnight: the total of the new day starts at 0.
    Play(20000);
    EXPECT_EQ(timer_->DayTotalMs(), 20000);
    clock_->SetWall(LocalSeconds(2026, 12, 12, 0, 0, 30));
    ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->DayTotalMs() == 0; }));
    ASSERT_TRUE(testing_support::WaitUntil(
        [&] { return PythonRecord(timer_->RecordPath("year")).rfind("(2026, 12, 12,", 0) == 0; }));
    // A name with path characters stays one file in the user folder.
    EXPECT_EQ(std::filesystem::path(timer_->RecordPath("../x")).parent_path(),
              std::filesystem::path(data_.Path() + "/User"));
}

TEST_F(PlayLimit, TheTimeServersAnswerDecidesTheDay)
{
    testing_support::TempFolder state;
    // The server's day is 2024-03-05; the local clock says 2026-12-11.
    const int64_t served = LocalSeconds(2024, 3, 5, 10, 20, 30);
    const std::string command = "exec /usr/bin/python3 " OSTRELS_SOURCE_DIR "/tools/timesim/ntp_responder.py " +
                                state.Path() + " " + std::to_string(served);
    testing_support::PeerProcess responder(command, state.Path() + "/port.txt", 30);
    ASSERT_TRUE(responder.Ready()) << "the NTP responder did not start";
    const std::string port = *platform::ReadWholeFile(state.Path() + "/port.txt");
    std::filesystem::create_directories(data_.Path() + "/User");
    StartTimer({"", "127.0.0.1:" + port}, LocalSeconds(2026, 12, 11, 9, 0, 0));
    // The record from the server's day keeps its total once the server answered.
    platform::WriteWholeFile(timer_->RecordPath("dave"), RecordBytes(2024, 3, 5, 7000));
    SignIn("dave");
    ASSERT_TRUE(testing_support::WaitUntil([&] { return timer_->TimeKnown(); }));
    ASSERT_TRUE(testing_support::WaitUntil([&] {
        return PythonRecord(timer_->RecordPath("dave")) == "(2024, 3, 5, 10, 20, 30, 0, 0)" ||
               PythonRecord(timer_->RecordPath("dave")) == "(2024, 3, 5, 10, 20, 30, 0, 7000)";
    }));
    // Loaded before the answer, the record counted against the local day (total 0);
    // the answer then names its own day and the record's date follows it.
    EXPECT_GE(std::stoi(*platform::ReadWholeFile(state.Path() + "/requests.txt")), 1);
    // A user signing in after the answer is counted on the server's day.
    platform::WriteWholeFile(timer_->RecordPath("erin"), RecordBytes(2024, 3, 5, 7000));
    SignIn("erin");
    EXPECT_EQ(timer_->DayTotalMs(), 7000);
    EXPECT_EQ(PythonRecord(timer_->RecordPath("erin")), "(2024, 3, 5, 10, 20, 30, 0, 7000)");
}

} // namespace
