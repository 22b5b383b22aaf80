// The signer against botocore's S3 signer, and the details of its header
// block.
#include "vqSDK/VlrNetSDK/cloud/aws_v4_signer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/cloud_test_support.h"
#include "vqSDK/VlrNetSDK/cloud/digest.h"
#include "vqSDK/VlrNetSDK/cloud/s3_text.h"

namespace {

using cloud_test::FixedClock;
using cloud_test::Redacted;
using qn_cloud::aws_v4_signer;

constexpr int64_t kEpoch = 1700000000; // 2023-11-14 22:13:20 UTC
const std::string kAccessKey = "ASIAEXAMPLEKEYID0001";
const std::string kSecretKey = "wJalrXUtnFEMI/K7MDENG/bPxRfiCYEXAMPLEKEY";
const std::string kToken = "IQoJb3JpZ2luX2VjEXAMPLE//////////wEaCXVzLWVhc3QtMSJGMEQCIEXAMPLE+TOKEN=";

struct SignCase {
    const char* method;
    const char* path;  // bucket/prefix/object, raw
    const char* query; // sub-resource, "" for none
    bool token;
    bool contentMd5;
    int clockOffset;
    const char* payload;
};

const SignCase kCases[] = {
    {"GET", "camera-bucket/1001/20240101/corvul_day_20240101.index", "", true, false, 0, ""},
    {"GET", "camera-bucket/1001/20240101/corvul_day_20240101.index", "", false, false, 0, ""},
    {"PUT", "camera-bucket/1001/upload.264", "", true, false, 3600, ""},
    {"DELETE", "camera-bucket/1001/old.264", "", true, false, -7200, ""},
    {"POST", "camera-bucket/1001", "delete", true, true, 0,
     "<Delete><Object><Key>a.264</Key></Object><Object><Key>b.264</Key></Object></Delete>"},
    {"POST", "camera-bucket/1001", "delete", false, true, 3600, "<Delete></Delete>"},
    {"GET", "camera-bucket/1001/tagged.264", "tagging", true, false, 0, ""},
    {"GET", "camera-bucket/a folder/x+y=z&(1)~_-.264", "", true, false, 0, ""},
};

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

struct OracleResult {
    std::string canonicalRequest;
    std::string stringToSign;
    std::string signature;
};

std::vector<OracleResult> AskBotocore(const cloud_test::TempFolder& folder)
{
    std::ostringstream json;
    json << "[";
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const SignCase& c = kCases[i];
        json << (i ? "," : "") << "{\"method\":" << JsonString(c.method) << ",\"host\":\"127.0.0.1:5055\""
             << ",\"path\":" << JsonString(std::string("/") + c.path) << ",\"query\":" << JsonString(c.query)
             << ",\"region\":\"cn-north-1\",\"service\":\"s3\",\"access_key\":" << JsonString(kAccessKey)
             << ",\"secret_key\":" << JsonString(kSecretKey)
             << ",\"token\":" << JsonString(c.token ? kToken : "") << ",\"epoch\":" << kEpoch
             << ",\"clock_offset\":" << c.clockOffset << ",\"payload\":" << JsonString(c.payload)
             << ",\"content_md5\":" << (c.contentMd5 ? "true" : "false") << "}";
    }
    json << "]";
    const std::string in = folder.File("cases.json");
    const std::string out = folder.File("results.txt");
    cloud_test::WriteFile(in, json.str());
    const std::string command = cloud_test::DebianPython() + " " + cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/sigv4_oracle.py")) +
                                " " + cloud_test::Quote(in) + " " + cloud_test::Quote(out) + " 2>&1";
    std::string messages;
    const int status = cloud_test::Run(command, &messages);
    EXPECT_EQ(status, 0) << "botocore oracle failed: " << messages;
    std::vector<OracleResult> results;
    std::istringstream lines(cloud_test::ReadFile(out));
    std::string canonical, toSign, signature;
    while (lines >> canonical >> toSign >> signature) results.push_back({Unhex(canonical), Unhex(toSign), signature});
    return results;
}

TEST(AwsV4Signer, MatchesBotocoreForEveryRequestForm)
{
    cloud_test::TempFolder folder;
    const std::vector<OracleResult> expected = AskBotocore(folder);
    ASSERT_EQ(expected.size(), std::size(kCases));
    const FixedClock clock(kEpoch);
    const std::vector<std::string> secrets = {kSecretKey, kToken};
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const SignCase& c = kCases[i];
        SCOPED_TRACE(std::string(c.method) + " /" + c.path + "?" + c.query + (c.token ? " token" : "") +
                     (c.contentMd5 ? " md5" : "") + " offset " + std::to_string(c.clockOffset));
        aws_v4_signer signer("s3", "127.0.0.1:5055", "cn-north-1", kAccessKey, kSecretKey, false, c.contentMd5,
                             c.token ? kToken : "", clock);
        signer.SetClockOffset(c.clockOffset);
        const std::string query = c.query[0] ? std::string(c.query) + "=" : "";
        const std::string block =
            signer.Sign(c.method, "/" + qn_cloud::EncodeS3Path(c.path), query, c.payload);
        ASSERT_FALSE(block.empty());
        EXPECT_TRUE(signer.CanonicalRequest() == expected[i].canonicalRequest)
            << "ours:\n" << Redacted(signer.CanonicalRequest(), secrets) << "\nbotocore:\n"
            << Redacted(expected[i].canonicalRequest, secrets);
        EXPECT_EQ(signer.StringToSign(), expected[i].stringToSign);
        EXPECT_NE(block.find("Signature=" + expected[i].signature + "|"), std::string::npos)
            << Redacted(block, secrets);
    }
}

TEST(AwsV4Signer, DerivesThePublishedSigningKey)
{
    const std::string key = qn_cloud::DeriveSigningKey("wJalrXUtnFEMI/K7MDENG+bPxRfiCYEXAMPLEKEY", "20120215",
                                                       "us-east-1", "iam");
    EXPECT_EQ(qn_cloud::ToHex(reinterpret_cast<const uint8_t*>(key.data()), key.size()),
              "f4780e2d9f65fa895f9c67b32ce1baf0b0d8a43505a000a1a9e090d414db404d");
}

std::vector<std::string> Lines(const std::string& block)
{
    std::vector<std::string> lines;
    std::istringstream in(block);
    for (std::string line; std::getline(in, line, '|');) lines.push_back(line);
    return lines;
}

TEST(AwsV4Signer, HeaderBlockHoldsTheLinesInOrder)
{
    const FixedClock clock(kEpoch);
    // Without a token and without Content-MD5: date, authorization, hash.
    aws_v4_signer plain("s3", "store.example", "cn-north-1", kAccessKey, kSecretKey, false, false, "", clock);
    const std::vector<std::string> three = Lines(plain.Sign("GET", "/b/k", "", ""));
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0], "X-Amz-Date: 20231114T221320Z");
    const std::string authorization = "Authorization: AWS4-HMAC-SHA256 Credential=" + kAccessKey +
                                      "/20231114/cn-north-1/s3/aws4_request, SignedHeaders=host;"
                                      "x-amz-content-sha256;x-amz-date, Signature=";
    EXPECT_EQ(three[1].substr(0, authorization.size()), authorization);
    EXPECT_EQ(three[1].size(), authorization.size() + 64);
    EXPECT_EQ(three[2], "X-Amz-Content-SHA256: UNSIGNED-PAYLOAD");

    aws_v4_signer full("s3", "store.example", "cn-north-1", kAccessKey, kSecretKey, false, true, kToken, clock);
    full.SetClockOffset(3600);
    const std::vector<std::string> five = Lines(full.Sign("POST", "/b", "delete=", "<Delete></Delete>"));
    ASSERT_EQ(five.size(), 5u);
    EXPECT_EQ(five[0].rfind("Content-MD5: ", 0), 0u);
    EXPECT_EQ(five[1], "X-Amz-Date: 20231114T231320Z");
    EXPECT_TRUE(five[2] == "X-Amz-Security-Token: " + kToken);
    EXPECT_NE(five[3].find("/20231114/cn-north-1/s3/aws4_request, SignedHeaders=content-md5;host;"
                           "x-amz-content-sha256;x-amz-date;x-amz-security-token, Signature="),
              std::string::npos);
    EXPECT_EQ(full.SignedHeaders(), "content-md5;host;x-amz-content-sha256;x-amz-date;x-amz-security-token");
}

TEST(AwsV4Signer, ContentMd5MatchesOpenssl)
{
    cloud_test::TempFolder folder;
    const std::string payload = "<Delete><Object><Key>x &amp; y.264</Key></Object></Delete>";
    cloud_test::WriteFile(folder.File("payload.xml"), payload);
    std::string expected;
    ASSERT_EQ(cloud_test::Run("openssl dgst -md5 -binary " + cloud_test::Quote(folder.File("payload.xml")) +
                                  " | openssl base64 -A",
                              &expected),
              0);
    const FixedClock clock(kEpoch);
    aws_v4_signer signer("s3", "h", "r", kAccessKey, kSecretKey, false, true, "", clock);
    ASSERT_FALSE(signer.Sign("POST", "/b", "delete=", payload).empty());
    EXPECT_EQ(signer.ContentMd5(), expected);
}

TEST(AwsV4Signer, RefusesHeaderValuesThatWouldSplitTheBlock)
{
    const FixedClock clock(kEpoch);
    const struct {
        const char* host;
        const char* region;
        const char* token;
    } unsafe[] = {
        {"h\r\nX-Injected: 1", "r", "t"},
        {"h", "r|x", "t"},
        {"h", "r", "token|Authorization: forged"},
        {"h", "r", "token\n"},
    };
    for (const auto& values : unsafe) {
        aws_v4_signer signer("s3", values.host, values.region, kAccessKey, kSecretKey, false, false, values.token,
                             clock);
        EXPECT_TRUE(signer.Sign("GET", "/b/k", "", "").empty());
    }
}

} // namespace
