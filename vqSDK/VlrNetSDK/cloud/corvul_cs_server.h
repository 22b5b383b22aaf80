// Client of the S3 object store that holds the cameras' cloud recordings.
// One client serves one call: set the endpoint and time-out, run the sign
// step for an operation, then the dispatch, which performs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace qn_cloud {

enum CloudOperationCode : int32_t {
    kCloudUploadFile = 10001,
    kCloudDownloadFile = 10002,
    kCloudDeleteObject = 11005,
    kCloudDeleteObjects = 11006,
    kCloudGetObjectTagging = 12001,
};

// One request: the object is "<objectPath>/<objectName>" (objectPath being
// the bucket and a key prefix), signed with one camera's temporary
// credentials.
struct CloudOperation {
    int32_t code = 0;
    std::string objectPath;
    std::string objectName;
    std::string localPath;
    std::string accessKeyId;
    std::string secretKey;
    std::string sessionToken;
    int32_t clockOffset = 0; // seconds added to the signing clock
};

inline constexpr int kMaxDeleteKeys = 1000;

class corvul_cs_server {
public:
    static constexpr int kDefaultTimeoutSeconds = 30;
    static constexpr const char* kDefaultRegion = "cn-north-1";
    static constexpr const char* kDefaultService = "s3";

    // The default host is empty: a client must be given its endpoint.
    // `clock` gives the signing time; it must outlive the client.
    explicit corvul_cs_server(const platform::Clock& clock = platform::Clock::System());
    explicit corvul_cs_server(const platform::Clock&&) = delete;

    // `host` is "https://name[:port]", "http://name[:port]" or a bare
    // "name[:port]", which means https.
    void SetEndpoint(std::string host, std::string region, std::string service);
    void SetTimeout(int seconds) { timeoutSeconds_ = seconds; }
    // The keys of the next multi-object delete, at most kMaxDeleteKeys.
    bool SetDeleteKeys(const std::vector<std::string>& keys);

    // The sign step: 0, or -1 when an input is missing or unusable.
    int GET_CLOND_STORAGE_SIGN(const CloudOperation* operation);
    // Performs the operation signed last (the same code only). `buffer` and
    // `length` serve the in-memory upload and download when `toFile` is off.
    // See curl_transfer.h for the result codes.
    int CORVUL_AWS_UDSever(const CloudOperation* operation, uint8_t* buffer, std::size_t length, bool toFile);

    // The reply body of the last tagging request.
    const std::string& TaggingReply() const { return taggingReply_; }
    // Bytes stored by the last in-memory download.
    std::size_t ReceivedLength() const { return receivedLength_; }

private:
    bool InputsPresent(const CloudOperation& operation) const;
    std::vector<std::string> RequestHeaders() const;
    std::string RequestUrl(const CloudOperation& operation) const;
    int Perform(const CloudOperation& operation, uint8_t* buffer, std::size_t length, bool toFile);

    const platform::Clock& clock_;
    int timeoutSeconds_ = kDefaultTimeoutSeconds;
    std::string host_;
    std::string region_ = kDefaultRegion;
    std::string service_ = kDefaultService;
    std::string deletePayload_;

    bool signed_ = false;
    int32_t signedCode_ = 0;
    std::string scheme_;
    std::string authority_;
    std::string contentMd5Line_;
    std::string dateLine_;
    std::string tokenLine_;
    std::string authorizationLine_;
    std::string payloadHashLine_;

    std::string taggingReply_;
    std::size_t receivedLength_ = 0;
};

} // namespace qn_cloud
