// Signs one request to the object store with AWS Signature Version 4
// ("AWS4-HMAC-SHA256"). The signed headers are, in this order:
//   content-md5 (only with the Content-MD5 flag), host, x-amz-content-sha256,
//   x-amz-date, x-amz-security-token (only with a session token)
// and the result is one header block, the lines joined by "|":
//   [Content-MD5: ...|]X-Amz-Date: ...|[X-Amz-Security-Token: ...|]
//   Authorization: AWS4-HMAC-SHA256 Credential=...|X-Amz-Content-SHA256: ...
// A new signer is made for every request.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace qn_cloud {

class aws_v4_signer {
public:
    static constexpr std::string_view kAlgorithm = "AWS4-HMAC-SHA256";
    static constexpr std::string_view kUnsignedPayload = "UNSIGNED-PAYLOAD";

    // `clock` gives the request time; it must outlive the signer.
    aws_v4_signer(std::string service, std::string host, std::string region, std::string accessKeyId,
                  std::string secretKey, bool payloadHash, bool contentMd5, std::string sessionToken,
                  const platform::Clock& clock = platform::Clock::System());
    // A temporary clock would be gone before the signer signs.
    aws_v4_signer(std::string, std::string, std::string, std::string, std::string, bool, bool, std::string,
                  const platform::Clock&&) = delete;

    void SetCredentials(std::string accessKeyId, std::string secretKey);
    void SetSessionToken(std::string sessionToken);
    // Seconds added to the clock before the time texts are made.
    void SetClockOffset(int seconds) { clockOffset_ = seconds; }

    // The header block for the request. The URI and query come in canonical
    // form (encoded by the caller). Empty when a header value holds a line
    // break, a control character or "|", or when the crypto library fails.
    std::string Sign(std::string_view method, std::string_view canonicalUri, std::string_view canonicalQuery,
                     std::string_view payload);

    // Results of the last signing.
    const std::string& AmzDate() const { return amzDate_; }
    const std::string& CredentialScope() const { return credentialScope_; }
    const std::string& SignedHeaders() const { return signedHeaders_; }
    const std::string& PayloadHash() const { return payloadHash_; }
    const std::string& ContentMd5() const { return contentMd5_; }
    // Hold the session token: never log them.
    const std::string& CanonicalRequest() const { return canonicalRequest_; }
    const std::string& StringToSign() const { return stringToSign_; }

private:
    bool HeaderValuesSafe() const;
    void TraceCanonicalRequest() const;

    std::string service_;
    std::string host_;
    std::string region_;
    std::string accessKeyId_;
    std::string secretKey_;
    std::string sessionToken_;
    bool payloadHashFlag_;
    bool contentMd5Flag_;
    int clockOffset_ = 0;
    const platform::Clock& clock_;

    std::string amzDate_;
    std::string date_;
    std::string credentialScope_;
    std::string signedHeaders_;
    std::string payloadHash_;
    std::string contentMd5_;
    std::string canonicalRequest_;
    std::string stringToSign_;
};

// The signing key: HMAC-SHA256 chained over date, region, service and
// "aws4_request", starting from "AWS4" + secret. Empty on failure.
std::string DeriveSigningKey(std::string_view secretKey, std::string_view date, std::string_view region,
                             std::string_view service);

} // namespace qn_cloud
