#include "app/record_search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "Depend/qn_log.h"
#include "app/record_file.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr std::size_t kDayStartAt = 8;
constexpr std::size_t kLastIndexAt = 12;
constexpr std::size_t kIndexAt = 16;
constexpr std::size_t kLengthAt = 20;
constexpr std::size_t kDataAt = 24;
constexpr int64_t kPacketWindowSeconds = 20;
constexpr uintmax_t kSmallestMinuteFile = 100;

int32_t Word(const uint8_t* packet, std::size_t at)
{
    int32_t value;
    std::memcpy(&value, packet + at, sizeof value);
    return value;
}

std::tuple<int32_t, int32_t, int64_t> TimeKey(const QN_NET_TIME6& t)
{
    return {t.year, t.month, int64_t(t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second};
}

QN_NET_TIME6 ToTime6(const platform::CivilTime& c)
{
    return QN_NET_TIME6{c.year, c.month, c.day, c.hour, c.minute, c.second};
}

} // namespace

int KeepNonOverlapping(QN_NET_REMOTE_FILE* files, int count)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (kept > 0 && TimeKey(RecordStart(files[i])) < TimeKey(RecordEnd(files[kept - 1]))) continue;
        if (kept != i) files[kept] = files[i];
        ++kept;
    }
    return kept;
}

RecordSearch::RecordSearch(VLR_SYSTEM& hub, const platform::Clock& clock) : hub_(hub), clock_(clock) {}

int RecordSearch::SearchRemoteIndexFile(int32_t camera, const QN_NET_TIME6& day, QN_NET_REMOTE_FILE* files,
                                        int capacity, int* count, int waitMs)
{
    if (count != nullptr) *count = 0;
    if (files == nullptr || count == nullptr || capacity <= 0) return 0;
    platform::CivilTime midnight;
    midnight.year = day.year;
    midnight.month = day.month;
    midnight.day = day.day;
    midnight.isDst = -1;
    const auto dayStart = platform::FromLocalTime(midnight);
    if (!dayStart) return 0;
    const int64_t started = clock_.MonotonicMs();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        packets_.Begin(*dayStart);
        searchStart_ = clock_.WallNow().seconds;
        searching_ = true;
        lastArrived_.Reset();
    }
    auto finish = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        searching_ = false;
    };
    QN_NET_SEARCH_FILE search{};
    search.start = QN_NET_TIME6{day.year, day.month, day.day, 0, 0, 0};
    search.end = QN_NET_TIME6{day.year, day.month, day.day, 23, 59, 59};
    if (hub_.SearchRemoteIndexFile(camera, &search) != 1) {
        finish();
        return 0;
    }
    if (lastArrived_.Wait(waitMs) != platform::Event::kSignalled) {
        finish();
        QNLogPrint("%s(%d) index search of %d timed out\n", __FUNCTION__, __LINE__, camera);
        return 0;
    }
    std::vector<uint8_t> joined;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        searching_ = false;
        joined = packets_.Join();
    }
    std::vector<qn_cloud::MinuteIndexEntry> spans(kIndexJoinLimit);
    const int found = joined.empty() ? 0
                                     : hub_.ParseRemoteIndex(spans.data(), static_cast<int>(spans.size()), *dayStart,
                                                             joined.data(), static_cast<int32_t>(joined.size()));
    const int n = std::min(std::max(found, 0), capacity);
    for (int i = 0; i < n; ++i) {
        files[i] = MakeRecordFile(0, {}, 1, ToTime6(platform::ToLocalTime(spans[i].start)),
                                  ToTime6(platform::ToLocalTime(spans[i].end)));
    }
    *count = n;
    QNLogPrint("#######Search Result:%dms Files:%d\n", static_cast<int>(clock_.MonotonicMs() - started), n);
    return 1;
}

void IndexPackets::Begin(int64_t dayStart)
{
    dayStart_ = dayStart;
    lastIndex_ = -1;
    filled_.fill(false);
}

bool IndexPackets::Take(const uint8_t* packet, std::size_t length)
{
    if (packet == nullptr || length < kIndexPacketBytes) return false;
    const int64_t dayStart = static_cast<uint32_t>(Word(packet, kDayStartAt));
    const int32_t last = Word(packet, kLastIndexAt);
    const int32_t index = Word(packet, kIndexAt);
    if (dayStart != dayStart_) return false;
    // Only slots that exist are written.
    if (index < 0 || index >= kIndexSlots) return false;
    std::memcpy(slots_[index].data(), packet, kIndexPacketBytes);
    filled_[index] = true;
    if (index != last) return false;
    lastIndex_ = last;
    return true;
}

std::vector<uint8_t> IndexPackets::Join() const
{
    std::vector<uint8_t> joined;
    for (int slot = 0; slot <= lastIndex_ && slot < kIndexSlots && joined.size() < kIndexJoinLimit; ++slot) {
        if (!filled_[slot]) {
            // Zeros keep the later packets at their times of day.
            QNLogPrint("%s(%d) index packet %d of %d missing\n", __FUNCTION__, __LINE__, slot, lastIndex_);
            joined.insert(joined.end(), kIndexPacketData, 0);
            continue;
        }
        const int32_t length = std::clamp<int32_t>(Word(slots_[slot].data(), kLengthAt), 0, kIndexPacketData);
        joined.insert(joined.end(), slots_[slot].begin() + kDataAt, slots_[slot].begin() + kDataAt + length);
    }
    if (joined.size() > kIndexJoinLimit) joined.resize(kIndexJoinLimit);
    return joined;
}

void RecordSearch::AddFileList(const void* packet, std::size_t length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!searching_) return;
    if (clock_.WallNow().seconds - searchStart_ > kPacketWindowSeconds) return;
    if (packets_.Take(static_cast<const uint8_t*>(packet), length)) {
        QNLogPrint("%s(%d) tfFiles->totalPacketNum:%d\n\n", __FUNCTION__, __LINE__,
                   Word(static_cast<const uint8_t*>(packet), kLastIndexAt));
        lastArrived_.Set();
    }
}

int RecordSearch::SearchRemoteFile(int32_t camera, const QN_NET_TIME6& start, const QN_NET_TIME6& end,
                                   QN_NET_REMOTE_FILE* files, int capacity, int* count)
{
    if (count != nullptr) *count = 0;
    if (files == nullptr || count == nullptr || capacity <= 0) return 0;
    std::vector<QN_NET_REMOTE_FILE> found(kRemoteFileLimit);
    int got = 0;
    if (hub_.SearchRemoteFile(found.data(), &got, camera, kRemoteFileLimit, start, end) != 1) return 0;
    const int kept = KeepNonOverlapping(found.data(), std::clamp(got, 0, kRemoteFileLimit));
    *count = std::min(kept, capacity);
    std::copy(found.begin(), found.begin() + *count, files);
    return 1;
}

int RecordSearch::SearchLocalFile(const std::string& folder, const QN_NET_TIME6& day, QN_NET_REMOTE_FILE* files,
                                  int capacity, int* count)
{
    if (count != nullptr) *count = 0;
    if (files == nullptr || count == nullptr || capacity <= 0) return 1;
    std::vector<QN_NET_REMOTE_FILE> found;
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            char tail[64];
            std::snprintf(tail, sizeof tail, "%d-%02d-%02d/%02d/%02d.h264", day.year, day.month, day.day, hour, minute);
            const std::string path = folder + tail;
            std::error_code error;
            const uintmax_t size = std::filesystem::file_size(path, error);
            if (error || size < kSmallestMinuteFile) continue;
            if (path.size() >= kRecordNameCapacity) {
                QNLogPrint("%s(%d) path too long for a record: %s\n", __FUNCTION__, __LINE__, path.c_str());
                continue;
            }
            found.push_back(MakeRecordFile(static_cast<uint32_t>(size), path, 0,
                                           QN_NET_TIME6{day.year, day.month, day.day, hour, minute, 0},
                                           QN_NET_TIME6{day.year, day.month, day.day, hour, minute, 59}));
        }
    }
    const int kept = KeepNonOverlapping(found.data(), static_cast<int>(found.size()));
    *count = std::min(kept, capacity);
    std::copy(found.begin(), found.begin() + *count, files);
    return 1;
}
