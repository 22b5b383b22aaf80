#include "vqSDK/VlrSystem/cloud_sign_cache.h"

#include <cstring>

namespace {

constexpr int32_t kDownloadTimeoutSeconds = 30;

bool StillValid(const QN_NET_CLOUD_SIGN& sign, int64_t now)
{
    return now > static_cast<int64_t>(sign.effective_start) && now < static_cast<int64_t>(sign.credential_lose_time);
}

template <std::size_t N>
bool PutText(char (&field)[N], const std::string& text)
{
    std::memset(field, 0, N);
    if (text.size() >= N || text.find('\0') != std::string::npos) return false;
    std::memcpy(field, text.data(), text.size());
    return true;
}

void Wipe(QN_NET_CLOUD_SIGN& sign)
{
    volatile auto* bytes = reinterpret_cast<volatile unsigned char*>(&sign);
    for (std::size_t i = 0; i < sizeof sign; ++i) bytes[i] = 0;
}

} // namespace

int CloudSignCache::Get(int32_t camera, int64_t now, bool refresh, QN_NET_CLOUD_SIGN* sign)
{
    if (sign == nullptr) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!refresh) {
        for (const QN_NET_CLOUD_SIGN& cached : entries_) {
            if (static_cast<int32_t>(cached.camera_id) == camera && StillValid(cached, now)) {
                *sign = cached;
                return 1;
            }
        }
    }
    QN_NET_CLOUD_SIGN fresh{};
    if (QN_NET_Clond_Storage_GetServerSign(camera, static_cast<int32_t>(now), &fresh) != 1) return 0;
    fresh.camera_id = static_cast<uint32_t>(camera);
    bool replaced = false;
    for (QN_NET_CLOUD_SIGN& cached : entries_) {
        if (static_cast<int32_t>(cached.camera_id) == camera) {
            cached = fresh;
            replaced = true;
        }
    }
    if (!replaced) entries_.push_back(fresh);
    *sign = fresh;
    Wipe(fresh);
    return 1;
}

void CloudSignCache::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (QN_NET_CLOUD_SIGN& cached : entries_) Wipe(cached);
    entries_.clear();
}

bool SplitCloudStoragePath(const QN_NET_CLOUD_SIGN& sign, std::string* bucket, std::string* prefix)
{
    const std::string path(sign.object_path, strnlen(sign.object_path, sizeof sign.object_path));
    const std::size_t slash = path.find('/');
    if (slash == std::string::npos) return false;
    if (bucket != nullptr) *bucket = path.substr(0, slash);
    if (prefix != nullptr) *prefix = path.substr(slash + 1);
    return true;
}

bool MakeCloudDownload(const QN_NET_CLOUD_SIGN& sign, const std::string& bucket, const std::string& localPath,
                       const std::string& objectName, QN_NET_CLOUD_DOWNLOAD* request)
{
    if (request == nullptr) return false;
    std::memset(request, 0, sizeof *request);
    std::memcpy(request->host, sign.host, sizeof request->host);
    std::memcpy(request->region, sign.region, sizeof request->region);
    std::memcpy(request->service, sign.service, sizeof request->service);
    std::memcpy(request->object_path, sign.object_path, sizeof request->object_path);
    std::memcpy(request->access_key_id, sign.access_key_id, sizeof request->access_key_id);
    std::memcpy(request->secret_key, sign.secret_key, sizeof request->secret_key);
    std::memcpy(request->session_token, sign.session_token, sizeof request->session_token);
    request->clock_offset = 0;
    request->timeout_seconds = kDownloadTimeoutSeconds;
    return PutText(request->bucket, bucket) && PutText(request->local_path, localPath) &&
           PutText(request->object_name, objectName);
}
