#include "vqSDK/VlrNetSDK/cloud/aws_v4_signer.h"

#include <cstdio>
#include <optional>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/cloud/digest.h"

namespace qn_cloud {
namespace {

// A value that goes into a header line: no line break, no other control
// character, and no "|", which separates the lines of the header block.
bool SafeHeaderValue(std::string_view value)
{
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '|') return false;
    }
    return true;
}

std::string_view AsText(const Sha256Digest& digest)
{
    return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

} // namespace

std::string DeriveSigningKey(std::string_view secretKey, std::string_view date, std::string_view region,
                             std::string_view service)
{
    std::string key = "AWS4";
    key.append(secretKey);
    for (const std::string_view part : {date, region, service, std::string_view("aws4_request")}) {
        const std::optional<Sha256Digest> next = HmacSha256(key, part);
        if (!next) return {};
        key.assign(AsText(*next));
    }
    return key;
}

aws_v4_signer::aws_v4_signer(std::string service, std::string host, std::string region, std::string accessKeyId,
                             std::string secretKey, bool payloadHash, bool contentMd5, std::string sessionToken,
                             const platform::Clock& clock)
    : service_(std::move(service)),
      host_(std::move(host)),
      region_(std::move(region)),
      accessKeyId_(std::move(accessKeyId)),
      secretKey_(std::move(secretKey)),
      sessionToken_(std::move(sessionToken)),
      payloadHashFlag_(payloadHash),
      contentMd5Flag_(contentMd5),
      clock_(clock)
{
}

void aws_v4_signer::SetCredentials(std::string accessKeyId, std::string secretKey)
{
    accessKeyId_ = std::move(accessKeyId);
    secretKey_ = std::move(secretKey);
}

void aws_v4_signer::SetSessionToken(std::string sessionToken)
{
    sessionToken_ = std::move(sessionToken);
}

bool aws_v4_signer::HeaderValuesSafe() const
{
    for (const std::string* value : {&service_, &host_, &region_, &accessKeyId_, &sessionToken_}) {
        if (!SafeHeaderValue(*value)) return false;
    }
    return true;
}

std::string aws_v4_signer::Sign(std::string_view method, std::string_view canonicalUri,
                                std::string_view canonicalQuery, std::string_view payload)
{
    amzDate_.clear();
    canonicalRequest_.clear();
    stringToSign_.clear();
    if (!HeaderValuesSafe() || !SafeHeaderValue(method)) return {};

    const platform::CivilTime utc = platform::ToUtcTime(clock_.WallNow().seconds + clockOffset_);
    char amzDate[32];
    std::snprintf(amzDate, sizeof amzDate, "%04d%02d%02dT%02d%02d%02dZ", utc.year, utc.month, utc.day, utc.hour,
                  utc.minute, utc.second);
    amzDate_ = amzDate;
    date_ = amzDate_.substr(0, 8);

    if (payloadHashFlag_) {
        const std::optional<Sha256Digest> hash = Sha256(payload);
        if (!hash) return {};
        payloadHash_ = ToHex(*hash);
    } else {
        payloadHash_ = kUnsignedPayload;
    }
    contentMd5_.clear();
    if (contentMd5Flag_) {
        const std::optional<Md5Digest> md5 = Md5(payload);
        if (!md5) return {};
        contentMd5_ = Base64(md5->data(), md5->size());
    }
    const bool withToken = !sessionToken_.empty();

    std::string canonicalHeaders;
    if (contentMd5Flag_) canonicalHeaders += "content-md5:" + contentMd5_ + "\n";
    canonicalHeaders += "host:" + host_ + "\n";
    canonicalHeaders += "x-amz-content-sha256:" + payloadHash_ + "\n";
    canonicalHeaders += "x-amz-date:" + amzDate_ + "\n";
    if (withToken) canonicalHeaders += "x-amz-security-token:" + sessionToken_ + "\n";

    signedHeaders_.clear();
    if (contentMd5Flag_) signedHeaders_ += "content-md5;";
    signedHeaders_ += "host;x-amz-content-sha256;x-amz-date";
    if (withToken) signedHeaders_ += ";x-amz-security-token";

    canonicalRequest_.assign(method).append("\n");
    canonicalRequest_.append(canonicalUri).append("\n");
    canonicalRequest_.append(canonicalQuery).append("\n");
    canonicalRequest_.append(canonicalHeaders).append("\n");
    canonicalRequest_.append(signedHeaders_).append("\n");
    canonicalRequest_.append(payloadHash_);
    TraceCanonicalRequest();

    credentialScope_ = date_ + "/" + region_ + "/" + service_ + "/aws4_request";
    const std::optional<Sha256Digest> requestHash = Sha256(canonicalRequest_);
    if (!requestHash) return {};
    stringToSign_.assign(kAlgorithm).append("\n");
    stringToSign_.append(amzDate_).append("\n");
    stringToSign_.append(credentialScope_).append("\n");
    stringToSign_.append(ToHex(*requestHash));

    const std::string signingKey = DeriveSigningKey(secretKey_, date_, region_, service_);
    if (signingKey.empty()) return {};
    const std::optional<Sha256Digest> signature = HmacSha256(signingKey, stringToSign_);
    if (!signature) return {};

    std::string block;
    if (contentMd5Flag_) block += "Content-MD5: " + contentMd5_ + "|";
    block += "X-Amz-Date: " + amzDate_ + "|";
    if (withToken) block += "X-Amz-Security-Token: " + sessionToken_ + "|";
    block.append("Authorization: ").append(kAlgorithm);
    block += " Credential=" + accessKeyId_ + "/" + credentialScope_ + ", SignedHeaders=" + signedHeaders_ +
             ", Signature=" + ToHex(*signature) + "|";
    block += "X-Amz-Content-SHA256: " + payloadHash_;
    return block;
}

// The canonical request carries the session token; the trace shows it
// without.
void aws_v4_signer::TraceCanonicalRequest() const
{
    std::string shown = canonicalRequest_;
    if (!sessionToken_.empty()) {
        const std::string line = "x-amz-security-token:" + sessionToken_;
        const std::size_t at = shown.find(line);
        if (at != std::string::npos) shown.replace(at, line.size(), "x-amz-security-token:<hidden>");
    }
    QNConsoleTrace("canonical_request:%s\n", shown.c_str());
}

} // namespace qn_cloud
