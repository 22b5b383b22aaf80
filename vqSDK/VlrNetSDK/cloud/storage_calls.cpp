// The QN_NET_Clond_Storage_* transfers: each call makes one object-store
// client, signs one request with the camera's temporary credentials, performs
// it and returns a small result code. They leave the SDK error variable alone.
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/cloud/cloud_endpoint.h"
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"

namespace qn_cloud {
namespace {

std::mutex& EndpointLock()
{
    static std::mutex lock;
    return lock;
}

DefaultEndpoint& StoredEndpoint()
{
    static DefaultEndpoint endpoint;
    return endpoint;
}

constexpr int kDownloadTimeoutSeconds = 5;

// Field sizes of the shared records: a longer text would not fit the record
// the caller keeps, so it is refused rather than cut.
constexpr std::size_t kObjectPathSize = 64;
constexpr std::size_t kObjectNameSize = 264;
constexpr std::size_t kLocalPathSize = 256;
constexpr std::size_t kAccessKeySize = 32;
constexpr std::size_t kSecretKeySize = 64;
constexpr std::size_t kTokenSize = 2048;

// A text argument that must fit a record field of `size` bytes with its
// terminator; null reads as empty.
std::optional<std::string> Text(const char* text, std::size_t size)
{
    if (text == nullptr) return std::string();
    const std::size_t length = strnlen(text, size);
    if (length >= size) return std::nullopt;
    return std::string(text, length);
}

// A text field of a record passed by value, which must be terminated.
template <std::size_t N>
std::optional<std::string> Field(const char (&field)[N])
{
    return Text(field, N);
}

struct Credentials {
    const char* accessKeyId;
    const char* secretKey;
    const char* sessionToken;
};

struct Endpoint {
    const char* host;
    const char* region;
    const char* service;
};

// Fills the operation's texts; false when one is too long for its field.
bool FillOperation(CloudOperation& operation, const char* objectPath, const char* objectName, const char* localPath,
                   const Credentials& credentials)
{
    const std::optional<std::string> texts[] = {
        Text(objectPath, kObjectPathSize),          Text(objectName, kObjectNameSize),
        Text(localPath, kLocalPathSize),            Text(credentials.accessKeyId, kAccessKeySize),
        Text(credentials.secretKey, kSecretKeySize), Text(credentials.sessionToken, kTokenSize)};
    for (const std::optional<std::string>& text : texts) {
        if (!text) return false;
    }
    operation.objectPath = *texts[0];
    operation.objectName = *texts[1];
    operation.localPath = *texts[2];
    operation.accessKeyId = *texts[3];
    operation.secretKey = *texts[4];
    operation.sessionToken = *texts[5];
    return true;
}

enum class Stage { Signed, SignFailed };

struct Outcome {
    Stage stage;
    int result; // the transfer's result once signed
};

Outcome Perform(const Endpoint& endpoint, int timeoutSeconds, const CloudOperation& operation,
                const std::vector<std::string>* deleteKeys = nullptr)
{
    corvul_cs_server client;
    client.SetEndpoint(endpoint.host ? endpoint.host : "", endpoint.region ? endpoint.region : "",
                       endpoint.service ? endpoint.service : "");
    // A time-out of 0 would let a transfer hang for ever.
    client.SetTimeout(timeoutSeconds > 0 ? timeoutSeconds : corvul_cs_server::kDefaultTimeoutSeconds);
    if (deleteKeys != nullptr && !client.SetDeleteKeys(*deleteKeys)) return {Stage::SignFailed, -1};
    if (client.GET_CLOND_STORAGE_SIGN(&operation) != 0) return {Stage::SignFailed, -1};
    return {Stage::Signed, client.CORVUL_AWS_UDSever(&operation, nullptr, 0, true)};
}

int DownloadResult(int transfer)
{
    switch (transfer) {
    case 0: return 0;
    case -403:
    case -404: return -3;
    case -400: return -2;
    default: return -1;
    }
}

// 0, -1 when the request could not be signed, -2 when the transfer failed.
int SignedTransferResult(const Outcome& outcome, const char* resultFormat)
{
    if (outcome.stage == Stage::SignFailed) return -1;
    if (outcome.result == 0) return 0;
    QNConsoleTrace(resultFormat, outcome.result);
    return -2;
}

} // namespace

void SetDefaultEndpoint(DefaultEndpoint endpoint)
{
    std::lock_guard<std::mutex> hold(EndpointLock());
    StoredEndpoint() = std::move(endpoint);
}

DefaultEndpoint GetDefaultEndpoint()
{
    std::lock_guard<std::mutex> hold(EndpointLock());
    return StoredEndpoint();
}

} // namespace qn_cloud

using namespace qn_cloud;

extern "C" int QN_NET_Clond_Storage_Download_Aws(int32_t camera, const char* host, const char* region,
                                                 const char* service, const char* local_path,
                                                 const char* object_path, const char* object_name,
                                                 const char* access_key_id, const char* secret_key,
                                                 const char* session_token, int32_t clock_offset,
                                                 int32_t timeout_seconds)
{
    qn_net::CallReport report("QN_NET_Clond_Storage_Download_Aws", "cameraid = %d", camera);
    CloudOperation operation;
    operation.code = kCloudDownloadFile;
    operation.clockOffset = clock_offset;
    if (!FillOperation(operation, object_path, object_name, local_path,
                       {access_key_id, secret_key, session_token})) {
        report.Fail(0, "illegal param");
        return -1;
    }
    const Outcome outcome = Perform({host, region, service}, timeout_seconds, operation);
    if (outcome.stage == Stage::SignFailed) {
        report.Fail(0, "sign failed");
        return -1;
    }
    const int result = DownloadResult(outcome.result);
    if (result != 0) {
        report.Fail(0, "download failed");
        return result;
    }
    report.Succeed();
    return 0;
}

extern "C" int QN_NET_Clond_Storage_DownloadFile(int32_t camera, QN_NET_CLOUD_DOWNLOAD request)
{
    const std::optional<std::string> texts[] = {
        Field(request.host),          Field(request.region),    Field(request.service),
        Field(request.bucket),        Field(request.object_name), Field(request.local_path),
        Field(request.access_key_id), Field(request.secret_key), Field(request.session_token)};
    for (const std::optional<std::string>& text : texts) {
        if (!text) return -1;
    }
    return QN_NET_Clond_Storage_Download_Aws(camera, texts[0]->c_str(), texts[1]->c_str(), texts[2]->c_str(),
                                             texts[5]->c_str(), texts[3]->c_str(), texts[4]->c_str(),
                                             texts[6]->c_str(), texts[7]->c_str(), texts[8]->c_str(),
                                             request.clock_offset, request.timeout_seconds);
}

extern "C" int QN_NET_Clond_Storage_Download(const char* object_path, const char* object_name,
                                             const char* local_path, const char* access_key_id,
                                             const char* secret_key, const char* session_token)
{
    const DefaultEndpoint endpoint = GetDefaultEndpoint();
    qn_net::CallReport report("QN_NET_Clond_Storage_Download");
    CloudOperation operation;
    operation.code = kCloudDownloadFile;
    if (!FillOperation(operation, object_path, object_name, local_path,
                       {access_key_id, secret_key, session_token}))
        return report.Fail(0, "illegal param");
    const Outcome outcome = Perform({endpoint.host.c_str(), endpoint.region.c_str(), endpoint.service.c_str()},
                                    kDownloadTimeoutSeconds, operation);
    if (outcome.stage == Stage::SignFailed) return report.Fail(0, "sign failed");
    if (outcome.result != 0) return report.Fail(0, "download failed");
    return report.Succeed();
}

extern "C" int QN_NET_Clond_Storage_Upload_Aws(const char* host, const char* region, const char* service,
                                               const char* local_path, const char* object_path,
                                               const char* object_name, const char* access_key_id,
                                               const char* secret_key, const char* session_token,
                                               int32_t clock_offset, int32_t timeout_seconds)
{
    CloudOperation operation;
    operation.code = kCloudUploadFile;
    operation.clockOffset = clock_offset;
    if (!FillOperation(operation, object_path, object_name, local_path,
                       {access_key_id, secret_key, session_token}))
        return -1;
    return SignedTransferResult(Perform({host, region, service}, timeout_seconds, operation),
                                "Upload result_code:%d\n");
}

extern "C" int QN_NET_Clond_Storage_DeleteFile_Aws(const char* host, const char* region, const char* service,
                                                   const char* object_path, const char* object_name,
                                                   const char* access_key_id, const char* secret_key,
                                                   const char* session_token, int32_t clock_offset,
                                                   int32_t timeout_seconds)
{
    CloudOperation operation;
    operation.code = kCloudDeleteObject;
    operation.clockOffset = clock_offset;
    if (!FillOperation(operation, object_path, object_name, nullptr, {access_key_id, secret_key, session_token}))
        return -1;
    return SignedTransferResult(Perform({host, region, service}, timeout_seconds, operation),
                                "delete result_code:%d\n");
}

extern "C" int QN_NET_Clond_Storage_DeleteMultipleFile_Aws(const char* host, const char* region,
                                                           const char* service, const char* object_path,
                                                           const char* access_key_id, const char* secret_key,
                                                           const char* session_token, const char* const* keys,
                                                           int32_t count, int32_t clock_offset,
                                                           int32_t timeout_seconds)
{
    QNConsoleTrace("QN_NET_Clond_Storage_DeleteMultipleFile_Aws start \n");
    if (count > kMaxDeleteKeys) {
        QNConsoleTrace("array len max 1000!\n");
        return -1;
    }
    if (count < 0 || (count > 0 && keys == nullptr)) return -1;
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        if (keys[i] == nullptr) return -1;
        names.emplace_back(keys[i]);
    }
    CloudOperation operation;
    operation.code = kCloudDeleteObjects;
    operation.clockOffset = clock_offset;
    if (!FillOperation(operation, object_path, nullptr, nullptr, {access_key_id, secret_key, session_token}))
        return -1;
    return SignedTransferResult(Perform({host, region, service}, timeout_seconds, operation, &names),
                                "Delete result_code:%d\n");
}
