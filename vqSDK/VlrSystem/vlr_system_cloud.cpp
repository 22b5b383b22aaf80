// The hub's own cloud operations: a credentials cache per camera and today's
// day index.
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/text.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int kNoCredentials = -2;
constexpr int kBadIndex = -5;
constexpr int32_t kDownloadTimeoutSeconds = 30;

bool StillValid(const QN_NET_CLOUD_SIGN& sign, int64_t now)
{
    return now > static_cast<int64_t>(sign.effective_start) && now < static_cast<int64_t>(sign.credential_lose_time);
}

template <std::size_t N>
void PutText(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    platform::CopyBounded(field, N, text);
}

} // namespace

int VLR_SYSTEM::CloudSign(int32_t camera, QN_NET_CLOUD_SIGN* sign)
{
    const int64_t now = platform::WallNow().seconds;
    std::lock_guard<std::mutex> lock(cloudMutex_);
    for (const QN_NET_CLOUD_SIGN& cached : signCache_) {
        if (static_cast<int32_t>(cached.camera_id) == camera && StillValid(cached, now)) {
            *sign = cached;
            return 1;
        }
    }
    QN_NET_CLOUD_SIGN fresh{};
    if (QN_NET_Clond_Storage_GetServerSign(camera, static_cast<int32_t>(now), &fresh) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_Clond_Storage_GetServerSign");
        return 0;
    }
    fresh.camera_id = static_cast<uint32_t>(camera);
    bool replaced = false;
    for (QN_NET_CLOUD_SIGN& cached : signCache_) {
        if (static_cast<int32_t>(cached.camera_id) == camera) {
            cached = fresh;
            replaced = true;
        }
    }
    if (!replaced) signCache_.push_back(fresh);
    *sign = fresh;
    return 1;
}

int VLR_SYSTEM::vqCloudDownIndexEx(int32_t camera, const char* folder)
{
    {
        std::lock_guard<std::mutex> lock(cloudMutex_);
        dayIndex_.clear();
    }
    if (folder == nullptr) {
        ReportError(VLR_REPORT_PARAM, "vqCloudDownIndexEx");
        return kNoCredentials;
    }
    QN_NET_CLOUD_SIGN sign{};
    if (CloudSign(camera, &sign) != 1) return kNoCredentials;
    const std::string storagePath(sign.object_path, strnlen(sign.object_path, sizeof sign.object_path));
    const std::size_t slash = storagePath.find('/');
    if (slash == std::string::npos) return kNoCredentials;
    const std::string bucket = storagePath.substr(0, slash);
    const std::string rest = storagePath.substr(slash + 1);

    // The date text and the local file name come from one reading of the
    // clock, so that both name the same day around midnight.
    char date[24] = {};
    const platform::CivilTime today = platform::LocalNow();
    std::snprintf(date, sizeof date, "%04d%02d%02d", today.year, today.month, today.day);
    char objectName[264] = {};
    std::snprintf(objectName, sizeof objectName, "%s/%s/corvul_day_%s.index", rest.c_str(), date, date);
    const std::string localPath = qn_cloud::DayIndexFileName(folder, today.year, today.month, today.day);

    QN_NET_CLOUD_DOWNLOAD request{};
    std::memcpy(request.host, sign.host, sizeof request.host);
    std::memcpy(request.region, sign.region, sizeof request.region);
    std::memcpy(request.service, sign.service, sizeof request.service);
    std::memcpy(request.object_path, sign.object_path, sizeof request.object_path);
    std::memcpy(request.access_key_id, sign.access_key_id, sizeof request.access_key_id);
    std::memcpy(request.secret_key, sign.secret_key, sizeof request.secret_key);
    std::memcpy(request.session_token, sign.session_token, sizeof request.session_token);
    request.clock_offset = 0;
    request.timeout_seconds = kDownloadTimeoutSeconds;
    PutText(request.bucket, bucket.c_str());
    PutText(request.local_path, localPath.c_str());
    PutText(request.object_name, objectName);
    const int downloaded = QN_NET_Clond_Storage_DownloadFile(camera, request);
    std::memset(&request, 0, sizeof request);
    std::memset(&sign, 0, sizeof sign);
    if (downloaded != 0) return downloaded;

    // The whole local day.
    platform::CivilTime midnight = today;
    midnight.hour = midnight.minute = midnight.second = midnight.millisecond = 0;
    midnight.isDst = -1;
    platform::CivilTime lastSecond = midnight;
    lastSecond.hour = 23;
    lastSecond.minute = lastSecond.second = 59;
    const auto dayStart = platform::FromLocalTime(midnight);
    const auto dayEnd = platform::FromLocalTime(lastSecond);
    if (!dayStart || !dayEnd) return kBadIndex;
    std::vector<qn_cloud::DayIndexEntry> slots;
    if (qn_cloud::parse_day_index_file(slots, *dayStart, *dayEnd, folder) < 0) return kBadIndex;
    std::vector<VLR_CLOUD_INDEX_ENTRY> kept(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        platform::CopyBounded(kept[i].name, sizeof kept[i].name, slots[i].path.c_str());
        kept[i].start = static_cast<int32_t>(slots[i].start);
        kept[i].end = static_cast<int32_t>(slots[i].end);
        kept[i].sum = slots[i].sum;
    }
    std::lock_guard<std::mutex> lock(cloudMutex_);
    dayIndex_ = std::move(kept);
    return 0;
}

std::vector<VLR_CLOUD_INDEX_ENTRY> VLR_SYSTEM::CloudDayIndex()
{
    std::lock_guard<std::mutex> lock(cloudMutex_);
    return dayIndex_;
}
