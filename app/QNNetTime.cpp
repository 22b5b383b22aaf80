#include "app/QNNetTime.h"

#include <cstring>

#include "Depend/qn_folders.h"
#include "Depend/qn_log.h"
#include "Depend/qn_system.h"
#include "app/ntp_query.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kRecordBytes = 20;

bool SameDate(const QnPlayRecord& record, const platform::CivilTime& time)
{
    return record.year == time.year && record.month == time.month && record.day == time.day;
}

void PutU16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t GetU16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

uint32_t GetU32(const uint8_t* at)
{
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) | (uint32_t(at[3]) << 24);
}

void SetRecordTime(QnPlayRecord* record, const platform::CivilTime& time)
{
    record->year = static_cast<uint16_t>(time.year);
    record->month = static_cast<uint16_t>(time.month);
    record->day = static_cast<uint16_t>(time.day);
    record->hour = static_cast<uint16_t>(time.hour);
    record->minute = static_cast<uint16_t>(time.minute);
    record->second = static_cast<uint16_t>(time.second);
}

std::string DefaultDataFolder()
{
    wchar_t folder[260] = {};
    QNGetAppDataPath(folder, 260);
    return platform::WideToUtf8(folder);
}

} // namespace

QNNetTime::QNNetTime(std::vector<std::string> servers, const platform::Clock& clock, std::string dataFolder)
    : clock_(clock), servers_(std::move(servers)), dataFolder_(dataFolder.empty() ? DefaultDataFolder() : dataFolder)
{
    if (servers_.size() > 3) servers_.resize(3);
    QNThreadInit(&timerThread_);
    QNThreadInit(&tickThread_);
    // Made here, so that calls before Start are kept for the worker.
    for (platform::Event& event : events_) event.Create(true, false);
    tickWake_.Create(true, false);
    lastActivity_ = clock_.MonotonicMs();
}

QNNetTime::~QNNetTime()
{
    Stop();
}

std::string QNNetTime::RecordPath(const std::string& name) const
{
    // Any byte may be in a user name; hexadecimal keeps it one plain file name.
    static const char digits[] = "0123456789abcdef";
    std::string file;
    for (unsigned char c : name) {
        file += digits[c >> 4];
        file += digits[c & 15];
    }
    return dataFolder_ + "/User/" + file;
}

void QNNetTime::Start()
{
    if (started_.exchange(true)) return;
    const int64_t wall = clock_.WallNow().seconds;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        startTime_ = platform::ToLocalTime(wall);
    }
    // The UTC time read as a local one lies the zone's offset away.
    platform::CivilTime utc = platform::ToUtcTime(wall);
    utc.isDst = -1;
    const auto shifted = platform::FromLocalTime(utc);
    QNLogPrint("TimeZone:%d\n", shifted ? static_cast<int>((wall - *shifted) / 3600) : 0);
    // A restart after Stop begins without the quit of the last run.
    events_[kQuit].Reset();
    tickWake_.Reset();
    QNThreadStart(&timerThread_, &QNNetTime::TimerThread, this);
    QNThreadStart(&tickThread_, &QNNetTime::TickThread, this);
}

void QNNetTime::Stop()
{
    if (!started_.load()) return;
    events_[kQuit].Set();
    tickWake_.Set();
    QNThreadStop(&timerThread_, 1000);
    QNThreadStop(&tickThread_, 1000);
    started_ = false;
}

void QNNetTime::SetCallback(NoticeCallback callback, void* user)
{
    std::lock_guard<std::mutex> lock(callbackMutex_);
    callback_ = callback;
    callbackUser_ = user;
}

void QNNetTime::SetUser(const std::string& name)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        user_ = name.substr(0, 127);
    }
    recordLoaded_ = false;
    signedIn_ = true;
    events_[kLoadUser].Set();
}

void QNNetTime::ClearUser()
{
    std::lock_guard<std::mutex> lock(mutex_);
    user_.clear();
    signedIn_ = false;
    recordLoaded_ = false;
    record_ = QnPlayRecord{};
    dayTotal_ = 0;
}

void QNNetTime::SetStart()
{
    if (started_.load() && !playing_.exchange(true)) events_[kPlayStart].Set();
}

void QNNetTime::SetStop()
{
    if (started_.load() && playing_.exchange(false)) events_[kPlayStop].Set();
}

void QNNetTime::SetActive()
{
    lastActivity_ = clock_.MonotonicMs();
}

void QNNetTime::SetNetType(bool local)
{
    local_ = local;
}

int64_t QNNetTime::GetPlayTime() const
{
    const int64_t start = playStart_.load();
    if (!playing_.load() || local_.load() || !started_.load() || start == 0) return 0;
    return clock_.MonotonicMs() - start;
}

int QNNetTime::GetPlayLimit() const
{
    return dayTotal_.load() <= kDailyLimitMs ? 1 : 0;
}

void QNNetTime::TimerThread(void* self)
{
    static_cast<QNNetTime*>(self)->OnTimerWork();
}

void QNNetTime::TickThread(void* self)
{
    static_cast<QNNetTime*>(self)->OnTickWork();
}

void QNNetTime::OnTickWork()
{
    ticks_ = 0;
    while (tickThread_.run.load() != 0) {
        clock_.WaitFor(tickWake_, kTickMs);
        if (tickThread_.run.load() == 0 || tickWake_.IsSet()) break;
        Tick();
    }
}

void QNNetTime::Tick()
{
    const int64_t now = clock_.MonotonicMs();
    const int64_t start = playStart_.load();
    if (!local_.load() && playing_.load() && start != 0) {
        NoticeCallback callback;
        void* user;
        {
            std::lock_guard<std::mutex> lock(callbackMutex_);
            callback = callback_;
            user = callbackUser_;
        }
        if (callback != nullptr) {
            if (now - lastActivity_.load() > kIdleLimitMs) callback(kNoticeIdle, user);
            if (dayTotal_.load() + (now - start) > kDailyLimitMs) callback(kNoticePlayLimit, user);
        }
    }
    if (!timeKnown_.load() && ++ticks_ % 5 == 0) {
        if (!hostsResolved_.load()) {
            events_[kResolve].Set();
        } else if (addressesReady_.load()) {
            events_[kAskNtp].Set();
        }
    }
    // A new day while the program runs starts a new total.
    if (signedIn_.load() && recordLoaded_.load()) {
        const platform::CivilTime today = LocalNowWithOffset();
        std::lock_guard<std::mutex> lock(mutex_);
        if (!user_.empty() && !SameDate(record_, today)) {
            QNLogPrint("%s(%d) new day %d-%02d-%02d\n", __FUNCTION__, __LINE__, today.year, today.month, today.day);
            ResetForDate(today);
            SaveTime();
        }
    }
}

platform::CivilTime QNNetTime::LocalNowWithOffset() const
{
    return platform::ToLocalTime(clock_.WallNow().seconds + ntpOffset_.load());
}

void QNNetTime::ResetForDate(const platform::CivilTime& now)
{
    dayTotal_ = 0;
    record_.watchedMs = 0;
    dayRecord_ = now;
    dayRecordSet_ = true;
    SetRecordTime(&record_, now);
}

void QNNetTime::OnTimerWork()
{
    platform::EventSet set;
    for (platform::Event& event : events_) set.Add(event);
    while (timerThread_.run.load() != 0) {
        const int index = set.WaitAny(platform::Event::kInfinite);
        if (index < 0 || index >= kEventCount) break;
        events_[index].Reset();
        switch (index) {
        case kResolve: ResolveHosts(); break;
        case kAskNtp: AskNtp(); break;
        case kLoadUser: LoadUserRecord(); break;
        case kPlayStart: PlayStarted(); break;
        case kPlayStop: PlayStopped(); break;
        default: return;
        }
    }
}

void QNNetTime::ResolveHosts()
{
    hostsResolved_ = true;
    std::vector<std::string> found;
    for (const std::string& server : servers_) {
        std::string host;
        uint16_t port = 0;
        if (!SplitTimeServer(server, &host, &port)) continue;
        char addresses[10][32] = {};
        int count = 0;
        if (QNGetHostIp(host.c_str(), addresses, &count) == 0) {
            QNLogPrint("QNGetHostIp Failed:%s\n", host.c_str());
            continue;
        }
        for (int i = 0; i < count && found.size() < 10; ++i) {
            found.push_back(std::string(addresses[i]) + ":" + std::to_string(port));
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        addresses_ = std::move(found);
    }
    addressesReady_ = true;
}

void QNNetTime::AskNtp()
{
    std::string address;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (addressIndex_ < static_cast<int>(addresses_.size())) address = addresses_[addressIndex_];
    }
    std::string host;
    uint16_t port = 0;
    if (address.size() <= 3 || !SplitTimeServer(address, &host, &port)) {
        std::lock_guard<std::mutex> lock(mutex_);
        addressIndex_ = (addressIndex_ + 1) % 10;
        return;
    }
    const auto seconds = AskNtpTime(host, port, kNtpWaitMs);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!seconds) {
        ++failures_;
        if (failures_ > kMaxNtpFailures) timeKnown_ = true;
        if (failures_ % 2 == 0) addressIndex_ = (addressIndex_ + 1) % 10;
        return;
    }
    ntpOffset_ = *seconds - clock_.WallNow().seconds;
    const platform::CivilTime answer = platform::ToLocalTime(*seconds);
    dayRecord_ = answer;
    dayRecordSet_ = true;
    if (signedIn_.load() && !user_.empty()) {
        // The whole date is compared: the same day of another month is another day.
        if (!SameDate(record_, answer)) {
            dayTotal_ = 0;
            record_.watchedMs = 0;
        }
        SetRecordTime(&record_, answer);
        SaveTime();
    }
    timeKnown_ = true;
}

void QNNetTime::LoadUserRecord()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (user_.empty()) return;
    const auto bytes = platform::ReadWholeFile(RecordPath(user_));
    if (bytes && bytes->size() >= kRecordBytes) {
        const auto* b = reinterpret_cast<const uint8_t*>(bytes->data());
        record_ = QnPlayRecord{GetU16(b), GetU16(b + 2), GetU16(b + 4), GetU16(b + 6), GetU16(b + 8), GetU16(b + 10),
                               GetU32(b + 12), GetU32(b + 16)};
        dayTotal_ = record_.watchedMs;
    }
    if (!timeKnown_.load() || !dayRecordSet_) {
        dayRecord_ = startTime_;
        dayRecordSet_ = true;
    }
    if (!SameDate(record_, dayRecord_)) {
        dayTotal_ = 0;
        record_.watchedMs = 0;
    }
    SetRecordTime(&record_, dayRecord_);
    SaveTime();
    recordLoaded_ = true;
}

void QNNetTime::PlayStarted()
{
    const int64_t now = clock_.MonotonicMs();
    playStart_ = now != 0 ? now : 1;
    lastActivity_ = now;
}

void QNNetTime::PlayStopped()
{
    const int64_t start = playStart_.exchange(0);
    const int64_t duration = start != 0 ? clock_.MonotonicMs() - start : 0;
    if (!local_.load() && duration >= kShortestCountedMs && duration <= kLongestCountedMs) {
        std::lock_guard<std::mutex> lock(mutex_);
        dayTotal_ += duration;
        record_.watchedMs = static_cast<uint32_t>(dayTotal_.load());
        SaveTime();
    }
    local_ = false;
    ++playsHandled_;
}

void QNNetTime::SaveTime()
{
    if (user_.empty()) return;
    uint8_t bytes[kRecordBytes];
    PutU16(bytes, record_.year);
    PutU16(bytes + 2, record_.month);
    PutU16(bytes + 4, record_.day);
    PutU16(bytes + 6, record_.hour);
    PutU16(bytes + 8, record_.minute);
    PutU16(bytes + 10, record_.second);
    PutU32(bytes + 12, record_.kept);
    PutU32(bytes + 16, record_.watchedMs);
    platform::MakeDirectories(dataFolder_ + "/User");
    platform::ReplaceFileAtomically(RecordPath(user_), std::string_view(reinterpret_cast<char*>(bytes), sizeof bytes),
                                    0600);
}
