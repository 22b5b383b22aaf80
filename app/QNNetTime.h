// The network time and the daily play limit: measures how long the signed-in
// user watches video each day, keeps the day's total in a small file per user
// and tells the controller when the user was idle too long or the day's
// viewing time is used up. The day is taken from time servers over NTP when
// one answers, else from the local clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_thread.h"
#include "platform/clock.h"
#include "platform/event.h"

// The per-user play record, 20 bytes little-endian in the file.
struct QnPlayRecord {
    uint16_t year, month, day, hour, minute, second;
    uint32_t kept;
    uint32_t watchedMs;
};

enum QnNetTimeNotice { kNoticeIdle = 0, kNoticePlayLimit = 1 };

class QNNetTime {
public:
    using NoticeCallback = void (*)(int kind, void* user);

    static constexpr int64_t kIdleLimitMs = 300000;
    static constexpr int64_t kDailyLimitMs = 3600000;
    static constexpr int64_t kShortestCountedMs = 10001;
    static constexpr int64_t kLongestCountedMs = 1809999;
    static constexpr int64_t kTickMs = 200;
    static constexpr int kMaxNtpFailures = 20;
    static constexpr int64_t kNtpWaitMs = 500;

    // Up to three servers as "host[:port]"; no server is built in. The play
    // records lie in "<dataFolder>/User/" (the program's data folder when
    // empty).
    QNNetTime(std::vector<std::string> servers, const platform::Clock& clock = platform::Clock::System(),
              std::string dataFolder = {});
    ~QNNetTime();
    QNNetTime(const QNNetTime&) = delete;
    QNNetTime& operator=(const QNNetTime&) = delete;

    void Start();
    void Stop();
    void SetCallback(NoticeCallback callback, void* user);
    void SetUser(const std::string& name);
    void ClearUser();
    void SetStart();
    void SetStop();
    void SetActive();
    void SetNetType(bool local);
    // Milliseconds of the current play (0 when not playing, on the local
    // network or not started).
    int64_t GetPlayTime() const;
    // 1 while the day's total is at most the daily limit.
    int GetPlayLimit() const;

    // For the controller's status and for tests.
    bool TimeKnown() const { return timeKnown_.load(); }
    int64_t DayTotalMs() const { return dayTotal_.load(); }
    bool RecordLoaded() const { return recordLoaded_.load(); }
    int PlaysHandled() const { return playsHandled_.load(); }
    // The tick at which the current play started; 0 until the worker took it.
    int64_t PlayStartTick() const { return playStart_.load(); }
    // The play record file of a user name.
    std::string RecordPath(const std::string& name) const;

private:
    enum EventIndex { kResolve, kAskNtp, kLoadUser, kPlayStart, kPlayStop, kQuit, kEventCount };

    static void TimerThread(void* self);
    static void TickThread(void* self);
    void OnTimerWork();
    void OnTickWork();
    void Tick();
    void ResolveHosts();
    void AskNtp();
    void LoadUserRecord();
    void PlayStarted();
    void PlayStopped();
    void SaveTime();
    void ResetForDate(const platform::CivilTime& now);
    platform::CivilTime LocalNowWithOffset() const;

    const platform::Clock& clock_;
    std::vector<std::string> servers_;
    std::string dataFolder_;

    std::atomic<bool> started_{false};
    std::atomic<bool> hostsResolved_{false};
    std::atomic<bool> addressesReady_{false};
    std::atomic<bool> timeKnown_{false};
    std::atomic<bool> signedIn_{false};
    std::atomic<bool> playing_{false};
    std::atomic<bool> local_{false};
    std::atomic<bool> recordLoaded_{false};
    std::atomic<int64_t> playStart_{0};
    std::atomic<int64_t> lastActivity_{0};
    std::atomic<int64_t> dayTotal_{0};
    std::atomic<int> playsHandled_{0};
    std::atomic<int64_t> ntpOffset_{0}; // NTP seconds minus wall-clock seconds
    int ticks_ = 0;                     // the tick thread's own

    // Owned by the event worker once started; the mutex covers the user name
    // and the record, which the controller's calls also touch.
    mutable std::mutex mutex_;
    std::string user_;
    QnPlayRecord record_{};
    platform::CivilTime dayRecord_{};
    bool dayRecordSet_ = false;
    platform::CivilTime startTime_{};
    std::vector<std::string> addresses_; // "a.b.c.d:port"
    int addressIndex_ = 0;
    int failures_ = 0;

    std::mutex callbackMutex_;
    NoticeCallback callback_ = nullptr;
    void* callbackUser_ = nullptr;

    platform::Event events_[kEventCount];
    platform::Event tickWake_;
    QNThread timerThread_;
    QNThread tickThread_;
};
