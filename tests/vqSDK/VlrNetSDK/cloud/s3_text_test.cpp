// Object paths, endpoints and the multi-delete XML.
#include "vqSDK/VlrNetSDK/cloud/s3_text.h"

#include <gtest/gtest.h>

namespace {

TEST(S3Text, EncodesPathsTheS3Way)
{
    EXPECT_EQ(qn_cloud::EncodeS3Path("bucket/1001/corvul_20240715_12_00_00.264"),
              "bucket/1001/corvul_20240715_12_00_00.264");
    EXPECT_EQ(qn_cloud::EncodeS3Path("a b/x+y=z&(1)~_-.264"), "a%20b/x%2By%3Dz%26%281%29~_-.264");
    EXPECT_EQ(qn_cloud::EncodeS3Path("\xC3\xA9t\xC3\xA9"), "%C3%A9t%C3%A9");
}

TEST(S3Text, FindsDotSegmentsOnly)
{
    for (const char* dotted : {".", "..", "../x", "x/..", "ok/../../etc/passwd", "a/./b", "a//../b"})
        EXPECT_TRUE(qn_cloud::HasDotSegment(dotted)) << dotted;
    for (const char* plain : {"", "/", "a.264", ".hidden", "..a", "a..", "...", "a/.b/c..", "%2E%2E/x", "a//b/"})
        EXPECT_FALSE(qn_cloud::HasDotSegment(plain)) << plain;
}

TEST(S3Text, SplitsEndpointsIntoSchemeAndSignedAuthority)
{
    const struct {
        const char* text;
        const char* scheme;
        const char* authority;
    } accepted[] = {
        {"s3.cn-north-1.example.com", "https", "s3.cn-north-1.example.com"},
        {"https://store.example:8443", "https", "store.example:8443"},
        {"http://127.0.0.1:5055/", "http", "127.0.0.1:5055"},
        {"http://[::1]:9000", "http", "[::1]:9000"},
    };
    for (const auto& row : accepted) {
        const std::optional<qn_cloud::Endpoint> endpoint = qn_cloud::SplitEndpoint(row.text);
        ASSERT_TRUE(endpoint.has_value()) << row.text;
        EXPECT_EQ(endpoint->scheme, row.scheme);
        EXPECT_EQ(endpoint->authority, row.authority);
    }
    for (const char* refused : {"", "https://", "ftp://store", "https://store/bucket", "https://user@store",
                                "store example", "store\r\nHost: other"})
        EXPECT_FALSE(qn_cloud::SplitEndpoint(refused).has_value()) << refused;
}

TEST(S3Text, MultiDeleteXmlEscapesItsKeys)
{
    EXPECT_EQ(qn_cloud::MultiDeletePayload({"1001/a.264", "1001/b & <c> \"d\" 'e'.264"}),
              "<Delete><Object><Key>1001/a.264</Key></Object><Object><Key>1001/b &amp; &lt;c&gt; &quot;d&quot; "
              "&apos;e&apos;.264</Key></Object></Delete>");
    EXPECT_TRUE(qn_cloud::ReplyReportsError("<DeleteResult><Error><Key>a</Key></Error></DeleteResult>"));
    EXPECT_FALSE(qn_cloud::ReplyReportsError("<DeleteResult><Deleted><Key>a</Key></Deleted></DeleteResult>"));
}

} // namespace
