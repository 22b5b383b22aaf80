#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"

#include <optional>
#include <string_view>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/cloud/aws_v4_signer.h"
#include "vqSDK/VlrNetSDK/cloud/curl_transfer.h"
#include "vqSDK/VlrNetSDK/cloud/s3_text.h"

namespace qn_cloud {
namespace {

struct RequestForm {
    const char* method;
    const char* query; // canonical form; the URL carries it without "="
    bool contentMd5;
    bool needsObjectName;
};

std::optional<RequestForm> FormOf(int32_t code)
{
    switch (code) {
    case kCloudUploadFile: return RequestForm{"PUT", "", false, true};
    case kCloudDownloadFile: return RequestForm{"GET", "", false, true};
    case kCloudDeleteObject: return RequestForm{"DELETE", "", false, true};
    case kCloudDeleteObjects: return RequestForm{"POST", "delete=", true, false};
    case kCloudGetObjectTagging: return RequestForm{"GET", "tagging=", false, true};
    default: return std::nullopt;
    }
}

struct MissingInputTexts {
    const char* object;
    const char* credentials;
};

MissingInputTexts MissingInputTextsOf(int32_t code)
{
    switch (code) {
    case kCloudDeleteObject:
        return {"Delete sign aws_path or filename parmeter is NULL!\n",
                "Delete sign access_key or securet_key or session_token parmeter is NULL!\n"};
    case kCloudGetObjectTagging:
        return {"Get object tagging sign aws_path or filename parmeter is NULL!\n",
                "Get object tagging sign access_key or securet_key or session_token parmeter is NULL!\n"};
    default:
        return {"Download sign aws_path or filename parmeter is NULL!\n",
                "Download sign access_key or securet_key or session_token parmeter is NULL!\n"};
    }
}

// "/<path>[/<name>]", each part percent-encoded the S3 way.
std::string ObjectUri(const CloudOperation& operation, bool withName)
{
    std::string uri = "/" + EncodeS3Path(operation.objectPath);
    if (withName) uri += "/" + EncodeS3Path(operation.objectName);
    return uri;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

corvul_cs_server::corvul_cs_server(const platform::Clock& clock) : clock_(clock) {}

void corvul_cs_server::SetEndpoint(std::string host, std::string region, std::string service)
{
    host_ = std::move(host);
    region_ = std::move(region);
    service_ = std::move(service);
}

bool corvul_cs_server::SetDeleteKeys(const std::vector<std::string>& keys)
{
    if (keys.size() > static_cast<std::size_t>(kMaxDeleteKeys)) return false;
    deletePayload_ = keys.empty() ? std::string() : MultiDeletePayload(keys);
    return true;
}

bool corvul_cs_server::InputsPresent(const CloudOperation& operation) const
{
    const MissingInputTexts texts = MissingInputTextsOf(operation.code);
    const bool needsName = FormOf(operation.code)->needsObjectName;
    if (operation.objectPath.empty() || (needsName && operation.objectName.empty())) {
        QNConsoleTrace("%s", texts.object);
        return false;
    }
    if (operation.accessKeyId.empty() || operation.secretKey.empty() || operation.sessionToken.empty()) {
        QNConsoleTrace("%s", texts.credentials);
        return false;
    }
    return true;
}

int corvul_cs_server::GET_CLOND_STORAGE_SIGN(const CloudOperation* operation)
{
    if (operation == nullptr) {
        QNConsoleTrace("Clond_Storage_Server: parameter error\n");
        return -1;
    }
    signed_ = false;
    signedCode_ = operation->code;
    const std::optional<RequestForm> form = FormOf(operation->code);
    if (!form) return -1;
    if (operation->code == kCloudDeleteObjects && deletePayload_.empty()) {
        QNConsoleTrace("m_delete_multiple_payload_ is NULL!\n");
        return -1;
    }
    if (!InputsPresent(*operation)) return -1;
    // Such a name is refused rather than sent: the request would leave the
    // object's path once the dot segments were removed on the way.
    if (HasDotSegment(operation->objectPath) || (form->needsObjectName && HasDotSegment(operation->objectName))) {
        QNConsoleTrace("Clond_Storage_Server: object path error\n");
        return -1;
    }
    const std::optional<Endpoint> endpoint = SplitEndpoint(host_);
    if (!endpoint || region_.empty() || service_.empty()) {
        QNConsoleTrace("Clond_Storage_Server: endpoint error\n");
        return -1;
    }

    aws_v4_signer signer(service_, endpoint->authority, region_, operation->accessKeyId, operation->secretKey,
                         false, form->contentMd5, operation->sessionToken, clock_);
    signer.SetClockOffset(operation->clockOffset);
    const std::string_view payload =
        operation->code == kCloudDeleteObjects ? std::string_view(deletePayload_) : std::string_view();
    const std::string block =
        signer.Sign(form->method, ObjectUri(*operation, form->needsObjectName), form->query, payload);
    if (block.empty()) {
        QNConsoleTrace("Clond_Storage_Server: sign error\n");
        return -1;
    }

    contentMd5Line_.clear();
    dateLine_.clear();
    tokenLine_.clear();
    authorizationLine_.clear();
    payloadHashLine_.clear();
    std::string* const slots[] = {&contentMd5Line_, &dateLine_, &tokenLine_, &authorizationLine_,
                                  &payloadHashLine_};
    static constexpr std::string_view kSlotNames[] = {"Content-MD5:", "X-Amz-Date:", "X-Amz-Security-Token:",
                                                      "Authorization:", "X-Amz-Content-SHA256:"};
    std::string_view rest = block;
    while (!rest.empty()) {
        const std::size_t bar = rest.find('|');
        const std::string_view line = rest.substr(0, bar);
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
        for (std::size_t i = 0; i < std::size(kSlotNames); ++i) {
            if (StartsWith(line, kSlotNames[i])) {
                slots[i]->assign(line);
                break;
            }
        }
    }
    scheme_ = endpoint->scheme;
    authority_ = endpoint->authority;
    signed_ = true;
    return 0;
}

std::vector<std::string> corvul_cs_server::RequestHeaders() const
{
    // The Host header is given so that it is exactly the signed host, port
    // included.
    std::vector<std::string> headers{"Host: " + authority_};
    for (const std::string* line : {&contentMd5Line_, &dateLine_, &tokenLine_, &authorizationLine_,
                                    &payloadHashLine_}) {
        if (!line->empty()) headers.push_back(*line);
    }
    if (signedCode_ == kCloudDeleteObjects) headers.push_back("Content-Type: text/xml");
    // No "Expect: 100-continue" round trip before uploads.
    headers.push_back("Expect:");
    return headers;
}

std::string corvul_cs_server::RequestUrl(const CloudOperation& operation) const
{
    const std::string base = scheme_ + "://" + authority_;
    switch (operation.code) {
    case kCloudDeleteObjects: return base + ObjectUri(operation, false) + "?delete";
    case kCloudGetObjectTagging: return base + ObjectUri(operation, true) + "?tagging";
    default: return base + ObjectUri(operation, true);
    }
}

int corvul_cs_server::CORVUL_AWS_UDSever(const CloudOperation* operation, uint8_t* buffer, std::size_t length,
                                         bool toFile)
{
    if (operation == nullptr || !signed_ || operation->code != signedCode_) {
        QNDebugPrint("%s(%d) Please Get sign first\n", "corvul_cs_server::CORVUL_AWS_UDSever", __LINE__);
        return -1;
    }
    return Perform(*operation, buffer, length, toFile);
}

int corvul_cs_server::Perform(const CloudOperation& operation, uint8_t* buffer, std::size_t length, bool toFile)
{
    std::unique_ptr<CurlTransfer> transfer =
        CurlTransfer::Create(RequestUrl(operation), RequestHeaders(), timeoutSeconds_);
    if (!transfer) return -1;
    switch (operation.code) {
    case kCloudUploadFile:
        return toFile ? aws_upload_server_file(*transfer, operation.localPath)
                      : aws_upload_server(*transfer, buffer, length);
    case kCloudDownloadFile:
        if (toFile) return aws_download_server_file(*transfer, operation.localPath);
        return aws_download_server(*transfer, buffer, length, receivedLength_);
    case kCloudDeleteObject: return aws_delete_server_file(*transfer);
    case kCloudDeleteObjects: return aws_delete_single_server_file(*transfer, deletePayload_);
    case kCloudGetObjectTagging: return aws_get_object_tagging_server_file(*transfer, taggingReply_);
    default: return -1;
    }
}

} // namespace qn_cloud
