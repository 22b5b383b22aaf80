// Temporary cloud-storage credentials, kept per camera while their validity
// window holds, and the download request made from them. The hub and the
// cloud player each keep one cache of their own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

class CloudSignCache {
public:
    CloudSignCache() = default;
    CloudSignCache(const CloudSignCache&) = delete;
    CloudSignCache& operator=(const CloudSignCache&) = delete;
    ~CloudSignCache() { Clear(); }

    // 1 with `sign` filled: the camera's cached record while `now` lies inside
    // its window, else (and always with `refresh`, for credentials the store
    // refused) a fresh one over the management connection, which replaces the
    // camera's entry. 0 when the service gave none.
    int Get(int32_t camera, int64_t now, bool refresh, QN_NET_CLOUD_SIGN* sign);
    // Forgets and wipes every record.
    void Clear();

private:
    std::mutex mutex_;
    std::vector<QN_NET_CLOUD_SIGN> entries_;
};

// The storage path "<bucket>/<key prefix>" split at its first "/"; false
// without one.
bool SplitCloudStoragePath(const QN_NET_CLOUD_SIGN& sign, std::string* bucket, std::string* prefix);

// A download request for `objectName` into `localPath` with the record's
// credentials (clock offset 0, 30 s). False, with nothing cut, when a text
// does not fit its field.
bool MakeCloudDownload(const QN_NET_CLOUD_SIGN& sign, const std::string& bucket, const std::string& localPath,
                       const std::string& objectName, QN_NET_CLOUD_DOWNLOAD* request);
