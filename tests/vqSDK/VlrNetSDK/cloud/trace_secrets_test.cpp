// With every trace switched on (the console trace and the SDK's debug
// callback), a run of signed requests shows its traces but never the secret
// key, the session token or the signing key.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "support/cloud_test_support.h"
#include "platform/clock.h"
#include "vqSDK/VlrNetSDK/cloud/aws_v4_signer.h"
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"
#include "vqSDK/VlrNetSDK/cloud/digest.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "support/descriptor_capture.h"
#include "support/scoped_env.h"

namespace {

std::mutex g_traceLock;
std::string g_sdkTrace;

void CollectTrace(const char* text)
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    g_sdkTrace += text;
}

TEST(CloudTraces, NeverShowSecrets)
{
    // Before the first trace of the process: the switch is read once.
    testing_support::ScopedEnv traceOn("OSTRELS_TRACE", "1");
    QN_NET_SetDebugCallBack(CollectTrace);

    cloud_test::TempFolder folder;
    cloud_test::PeerProcess server("/usr/bin/python3 " +
                                       cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/status_server.py")) +
                                       " " + cloud_test::Quote(folder.Folder()),
                                   folder.File("port.txt"), 30);
    ASSERT_TRUE(server.Ready());
    const std::string endpoint = "http://127.0.0.1:" + cloud_test::ReadFile(folder.File("port.txt"));
    const std::string secret = "SECRETsecretSECRETsecret0123456789abcdef";
    const std::string token = "TOKENtokenTOKENtoken/session+token==";

    {
        testing_support::DescriptorCapture capture(2, folder.File("stderr.txt"));
        EXPECT_EQ(QN_NET_Clond_Storage_Download_Aws(7, endpoint.c_str(), "cn-north-1", "s3",
                                                    folder.File("a").c_str(), "status/403", "object.264",
                                                    "ASIAFIXTURE", secret.c_str(), token.c_str(), 0, 10),
                  -3);
        const char* keys[] = {"1001/a.264", "1001/b.264"};
        EXPECT_EQ(QN_NET_Clond_Storage_DeleteMultipleFile_Aws(endpoint.c_str(), "cn-north-1", "s3", "md5check",
                                                              "ASIAFIXTURE", secret.c_str(), token.c_str(), keys, 2,
                                                              0, 10),
                  0);
        EXPECT_EQ(QN_NET_Clond_Storage_Upload_Aws(endpoint.c_str(), "cn-north-1", "s3", "/no/such/file",
                                                  "status/200", "up.264", "ASIAFIXTURE", secret.c_str(),
                                                  token.c_str(), 0, 10),
                  -2);
    }
    const std::string console = cloud_test::ReadFile(folder.File("stderr.txt"));
    std::string sdk;
    {
        std::lock_guard<std::mutex> hold(g_traceLock);
        sdk = g_sdkTrace;
    }
    EXPECT_NE(console.find("canonical_request:"), std::string::npos) << "the console trace was not on";
    EXPECT_NE(console.find("x-amz-security-token:<hidden>"), std::string::npos);
    EXPECT_NE(sdk.find("QN_NET_Clond_Storage_Download_Aws start"), std::string::npos);

    const platform::CivilTime today = platform::ToUtcTime(platform::WallNow().seconds);
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", today.year, today.month, today.day);
    const std::string signingKey = qn_cloud::DeriveSigningKey(secret, date, "cn-north-1", "s3");
    for (const std::string& hidden : {secret, token, std::string("Authorization"), qn_cloud::ToHex(
             reinterpret_cast<const uint8_t*>(signingKey.data()), signingKey.size())}) {
        EXPECT_EQ(console.find(hidden), std::string::npos) << "a secret reached the console trace";
        EXPECT_EQ(sdk.find(hidden), std::string::npos) << "a secret reached the SDK trace";
    }
}

} // namespace
