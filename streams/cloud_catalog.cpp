// The cloud player's catalog: folders, credentials, the day index and the
// segment downloads, and the calls that set them up.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "Depend/qn_folders.h"
#include "Depend/qn_log.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "streams/cloud_player.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"

namespace streams {

namespace {

std::string DateText(int year, int month, int day)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
    return text;
}

// A segment name from the index becomes a local path: nothing that leaves
// the camera's folder or carries control characters.
bool SafeFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

// The folder is made on the first SetFolder or the first transfer, never at
// construction.
CloudPlayer::CloudPlayer() = default;

int CloudPlayer::SetFolder(const char* folder)
{
    std::string base;
    if (folder != nullptr && std::strlen(folder) > 2) {
        base = folder;
    } else {
        wchar_t data[1024] = {};
        if (QNGetAppDataPath(data, 1024) == 1) base = platform::WideToUtf8(data);
        // Before the program's start-up has named it, the same folder from the environment.
        if (base.empty() && !platform::UserDataHome().empty()) base = platform::UserDataHome() + "/OstrelS";
    }
    base = platform::NormalizePath(base);
    if (!base.empty() && base.back() != '/') base += '/';
    base += "Cloud/";
    platform::MakeDirectories(base);
    std::lock_guard<std::mutex> hold(lock_);
    cloudFolder_ = base;
    return 0;
}

std::string CloudPlayer::CloudFolder() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return cloudFolder_;
}

std::string CloudPlayer::CameraFolder(int32_t camera)
{
    if (CloudFolder().empty()) SetFolder(nullptr);
    const std::string folder = CloudFolder() + std::to_string(camera) + "/";
    platform::MakeDirectories(folder);
    return folder;
}

void CloudPlayer::SetAccount(const char* account, const char* text)
{
    std::lock_guard<std::mutex> hold(lock_);
    account_ = account != nullptr ? account : "";
    accountPrefix_ = Lower(std::string(text != nullptr ? text : "").substr(0, 6));
}

void CloudPlayer::SetDevice(const CloudDevice& device)
{
    std::lock_guard<std::mutex> hold(lock_);
    devices_.assign(1, device);
}

int CloudPlayer::SetCustomPassword(const char* password)
{
    std::lock_guard<std::mutex> hold(lock_);
    customPassword_ = password != nullptr ? password : "";
    return qnSetSecurityKey(keys_, customPassword_.c_str(), "custom");
}

void CloudPlayer::SetDefaultKeys(int32_t camera)
{
    std::lock_guard<std::mutex> hold(lock_);
    const auto found = std::find_if(devices_.begin(), devices_.end(),
                                    [camera](const CloudDevice& d) { return d.cameraId == camera; });
    CloudDevice device;
    if (found == devices_.end()) {
        QNLogPrint("Cloud: Device null\n");
    } else {
        device = *found;
    }
    std::string prefix = accountPrefix_;
    if (device.shared) {
        const std::size_t at = device.ownerAccount.find('@');
        if (at == std::string::npos || at + 1 >= device.ownerAccount.size()) return;
        prefix = Lower(device.ownerAccount.substr(at + 1, 6));
    }
    // Formed at run time only, never stored.
    const std::string key = (prefix + std::to_string(camera)).substr(0, 30);
    if (qnSetSecurityKey(keys_, key.c_str(), "default") == 1) return;
    const std::string old = (prefix + (device.shared ? device.deviceText : account_)).substr(0, 30);
    qnSetSecurityKey(keys_, old.c_str(), "default_old");
}

CloudDay CloudPlayer::TimeOf(const VQ_CLOUD_TIME* time) const
{
    const platform::WallTime now = Clock().WallNow();
    return ReadCloudTime(time, platform::ToLocalTime(now.seconds));
}

void CloudPlayer::MakeCurrent(int32_t camera)
{
    std::lock_guard<std::mutex> hold(lock_);
    camera_ = camera;
    haveCamera_ = true;
}

void CloudPlayer::ClearList()
{
    downloadIdle_ = true;
    playPaused_ = true;
    std::lock_guard<std::mutex> hold(lock_);
    files_.clear();
    segments_.clear();
    cursor_ = 0;
    downloaded_ = 0;
    played_ = 0;
    ++listGeneration_;
}

std::size_t CloudPlayer::SegmentCount() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return files_.size();
}

int CloudPlayer::Credentials(int32_t camera, bool refresh)
{
    QN_NET_CLOUD_SIGN sign{};
    const int got = signs_.Get(camera, Clock().WallNow().seconds, refresh, &sign);
    std::memset(&sign, 0, sizeof sign);
    return got == 1 ? kCloudOk : kCloudNoCredentials;
}

int CloudPlayer::Fetch(int32_t camera, const std::string& objectName, const std::string& localPath)
{
    QN_NET_CLOUD_SIGN sign{};
    if (signs_.Get(camera, Clock().WallNow().seconds, false, &sign) != 1) return kCloudNoCredentials;
    std::string bucket;
    if (!SplitCloudStoragePath(sign, &bucket, nullptr)) {
        std::memset(&sign, 0, sizeof sign);
        return kCloudNoCredentials;
    }
    QN_NET_CLOUD_DOWNLOAD request{};
    const bool fits = MakeCloudDownload(sign, bucket, localPath, objectName, &request);
    const int result = fits ? QN_NET_Clond_Storage_DownloadFile(camera, request) : -1;
    std::memset(&request, 0, sizeof request);
    std::memset(&sign, 0, sizeof sign);
    return result;
}

int CloudPlayer::DownloadIndex(int32_t camera, const CloudDay& day)
{
    QN_NET_CLOUD_SIGN sign{};
    if (signs_.Get(camera, Clock().WallNow().seconds, false, &sign) != 1) return kCloudNoCredentials;
    std::string prefix;
    const bool split = SplitCloudStoragePath(sign, nullptr, &prefix);
    std::memset(&sign, 0, sizeof sign);
    if (!split) return kCloudNoCredentials;
    const std::string date = DateText(day.year, day.month, day.day);
    const std::string objectName = prefix + "/" + date + "/corvul_day_" + date + ".index";
    const std::string localPath = qn_cloud::DayIndexFileName(CameraFolder(camera), day.year, day.month, day.day);
    const int result = Fetch(camera, objectName, localPath);
    if (result != 0) return result;
    // An index fetched after its day ended is complete; mark it so that it
    // answers later searches without the network.
    if (IsPastDay(day, platform::ToLocalTime(Clock().WallNow().seconds))) {
        qn_cloud::SetDayIndexCompletionMark(localPath);
    }
    return kCloudOk;
}

int CloudPlayer::ParseIndex(int32_t camera, const CloudDay& day)
{
    const auto span = LocalSpan(day);
    if (!span) return kCloudBadIndex;
    std::vector<qn_cloud::DayIndexEntry> entries;
    if (qn_cloud::parse_day_index_file(entries, span->start, span->end, CameraFolder(camera)) < 0) {
        return kCloudBadIndex;
    }
    std::lock_guard<std::mutex> hold(lock_);
    for (const qn_cloud::DayIndexEntry& entry : entries) {
        if (entry.path.empty()) continue;
        segments_.push_back({entry.path, entry.start, entry.end, entry.sum});
        VQ_CLOUD_FILE file{};
        platform::CopyBounded(file.name, sizeof file.name, entry.path.c_str());
        file.start = static_cast<int32_t>(entry.start);
        file.end = static_cast<int32_t>(entry.end);
        file.sum = entry.sum;
        files_.push_back(file);
    }
    span_ = *span;
    return kCloudOk;
}

int CloudPlayer::LocalIndexAnswers(int32_t camera, const CloudDay& day)
{
    const std::string path = qn_cloud::DayIndexFileName(CameraFolder(camera), day.year, day.month, day.day);
    // Only an index that was complete when it was stored; one fetched while
    // its day was still running misses what was recorded later.
    if (qn_cloud::ReadDayIndexCompletionMark(path) != 1) return kCloudBadIndex;
    return ParseIndex(camera, day);
}

int CloudPlayer::Prepare(int32_t camera, const CloudDay& day, bool allowLocal)
{
    const bool past = IsPastDay(day, platform::ToLocalTime(Clock().WallNow().seconds));
    if (allowLocal && past && LocalIndexAnswers(camera, day) == kCloudOk) return kCloudOk;
    MakeCurrent(camera);
    if (Credentials(camera, false) != kCloudOk) return kCloudNoCredentials;
    const int downloaded = DownloadIndex(camera, day);
    if (downloaded != kCloudOk) return downloaded;
    return ParseIndex(camera, day);
}

int CloudPlayer::Search(int32_t camera, const VQ_CLOUD_TIME* time)
{
    ClearList();
    const CloudDay day = TimeOf(time);
    bool sameCamera;
    {
        std::lock_guard<std::mutex> hold(lock_);
        sameCamera = haveCamera_ && camera_ == camera;
    }
    return Prepare(camera, day, sameCamera);
}

int CloudPlayer::DownloadOnly(int32_t camera, const VQ_CLOUD_TIME* time)
{
    ClearList();
    const CloudDay day = TimeOf(time);
    MakeCurrent(camera);
    const bool past = IsPastDay(day, platform::ToLocalTime(Clock().WallNow().seconds));
    if (past && LocalIndexAnswers(camera, day) == kCloudOk) return kCloudOk;
    const int prepared = Prepare(camera, day, false);
    if (prepared != kCloudOk) return prepared;
    downloadStop_ = false;
    downloadIdle_ = false;
    StartThread(download_, &CloudPlayer::DownloadThread);
    return kCloudOk;
}

int CloudPlayer::DownloadSegment(std::size_t index)
{
    CloudSegment segment;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (index >= segments_.size()) return kCloudNoSegment;
        segment = segments_[index];
    }
    const std::size_t slash = segment.path.find_last_of("/\\");
    if (slash == std::string::npos) return kCloudBadIndex;
    const std::string name = segment.path.substr(slash + 1);
    if (!SafeFileName(name)) return kCloudBadIndex;
    const platform::CivilTime start = platform::ToLocalTime(segment.start);
    char date[16];
    char dateHour[24];
    std::snprintf(date, sizeof date, "%04d%02d%02d", start.year, start.month, start.day);
    std::snprintf(dateHour, sizeof dateHour, "%04d%02d%02d_%02d", start.year, start.month, start.day, start.hour);
    const int32_t camera = camera_;
    QN_NET_CLOUD_SIGN sign{};
    if (signs_.Get(camera, Clock().WallNow().seconds, false, &sign) != 1) return kCloudNoCredentials;
    std::string prefix;
    const bool split = SplitCloudStoragePath(sign, nullptr, &prefix);
    std::memset(&sign, 0, sizeof sign);
    if (!split) return kCloudNoCredentials;
    const std::string localPath = CameraFolder(camera) + name;
    if (platform::PathExists(localPath)) {
        if (std::FILE* file = std::fopen(localPath.c_str(), "rb")) {
            std::fclose(file);
            return kCloudOk;
        }
    }
    return Fetch(camera, prefix + "/" + date + "/" + dateHour + "/" + name, localPath);
}

int CloudPlayer::FileList(bool restart, VQ_CLOUD_FILE** page, int* count)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (count != nullptr) *count = 0;
    if (page != nullptr) *page = nullptr;
    if (files_.empty()) return kCloudBadIndex;
    if (restart) cursor_ = 0;
    const std::size_t taken = cursor_ < files_.size() ? std::min<std::size_t>(kPageSize, files_.size() - cursor_) : 0;
    page_.assign(files_.begin() + static_cast<std::ptrdiff_t>(cursor_),
                 files_.begin() + static_cast<std::ptrdiff_t>(cursor_ + taken));
    cursor_ += taken;
    if (page != nullptr) *page = page_.data();
    if (count != nullptr) *count = static_cast<int>(taken);
    return kCloudOk;
}

int CloudPlayer::StartRecord(const char* fileName)
{
    if (fileName == nullptr || !QnMp4Coder::getInstance()->startWrite(fileName)) return 0;
    std::lock_guard<std::mutex> hold(lock_);
    recordFile_ = fileName;
    recording_ = true;
    return 1;
}

int CloudPlayer::StopRecord()
{
    recording_ = false;
    const int stopped = QnMp4Coder::getInstance()->stopWrite();
    return stopped <= 0 ? stopped : 0;
}

bool CloudPlayer::PanoParam(VQ_PANO_PARAM* param) const
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!panoSeen_ || param == nullptr) return false;
    *param = pano_;
    return true;
}

} // namespace streams
