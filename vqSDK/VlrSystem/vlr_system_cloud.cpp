// The hub's own cloud operations: a credentials cache per camera and today's
// day index.
#include <cstdio>
#include <cstring>

#include "Depend/qn_folders.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int kNoCredentials = -2;
constexpr int kBadIndex = -5;

} // namespace

int VLR_SYSTEM::CloudSign(int32_t camera, QN_NET_CLOUD_SIGN* sign)
{
    if (signCache_.Get(camera, platform::WallNow().seconds, false, sign) == 1) return 1;
    ReportError(VLR_REPORT_NET_SDK, "QN_NET_Clond_Storage_GetServerSign");
    return 0;
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
    std::string bucket;
    std::string rest;
    if (!SplitCloudStoragePath(sign, &bucket, &rest)) return kNoCredentials;

    // The date text and the local file name come from one reading of the
    // clock, so that both name the same day around midnight.
    char date[24] = {};
    const platform::CivilTime today = platform::LocalNow();
    std::snprintf(date, sizeof date, "%04d%02d%02d", today.year, today.month, today.day);
    char objectName[264] = {};
    std::snprintf(objectName, sizeof objectName, "%s/%s/corvul_day_%s.index", rest.c_str(), date, date);
    const std::string localPath = qn_cloud::DayIndexFileName(folder, today.year, today.month, today.day);

    QN_NET_CLOUD_DOWNLOAD request{};
    const bool fits = MakeCloudDownload(sign, bucket, localPath, objectName, &request);
    const int downloaded = fits ? QN_NET_Clond_Storage_DownloadFile(camera, request) : -1;
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

int VLR_SYSTEM::vqCloudOrder(int32_t camera, QN_NET_CLOUD_TIME* order)
{
    QN_NET_CLOUD_TIME reply{};
    if (QN_NET_Clond_Storage_GetServerTime(camera, 0, &reply) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_Clond_Storage_GetServerTime");
        return 0;
    }
    if (order != nullptr) *order = reply;
    return 1;
}

int VLR_SYSTEM::vqCloudTest(int32_t camera)
{
    vqCloudOrder(camera, nullptr);
    QN_NET_CLOUD_SIGN sign{};
    const int signed_ = CloudSign(camera, &sign);
    std::memset(&sign, 0, sizeof sign);
    char temp[1024] = {};
    if (QNGetTempPathA(temp, sizeof temp) != 1) {
        ReportError(VLR_REPORT_STATE, "vqCloudTest");
        return signed_;
    }
    const std::string folder = std::string(temp) + std::to_string(camera) + "/";
    if (!platform::MakeDirectories(folder)) {
        ReportError(VLR_REPORT_PARAM, "vqCloudTest");
        return signed_;
    }
    if (signed_ == 1) vqCloudDownIndexEx(camera, folder.c_str());
    return signed_;
}
