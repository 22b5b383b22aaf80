// Clients on several threads at once, as the cloud player's download thread
// and the hub use them: libcurl's process-wide set-up runs once and no client
// tears it down under another.
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/cloud_test_support.h"

namespace {

TEST(CloudClientThreads, ConcurrentClientsEachCompleteTheirTransfers)
{
    cloud_test::TempFolder folder;
    cloud_test::PeerProcess server("/usr/bin/python3 " +
                                       cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/status_server.py")) +
                                       " " + cloud_test::Quote(folder.Folder()),
                                   folder.File("port.txt"), 30);
    ASSERT_TRUE(server.Ready()) << "the status server did not start";
    const std::string endpoint = "http://127.0.0.1:" + cloud_test::ReadFile(folder.File("port.txt"));

    constexpr int kThreads = 4;
    constexpr int kTransfers = 6;
    std::atomic<int> succeeded{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTransfers; ++i) {
                qn_cloud::CloudOperation operation;
                operation.code = qn_cloud::kCloudDownloadFile;
                operation.objectPath = "body/1000";
                operation.objectName = "segment.264";
                operation.localPath = folder.File("t" + std::to_string(t) + "_" + std::to_string(i));
                operation.accessKeyId = "ASIAFIXTURE";
                operation.secretKey = "fixture-secret";
                operation.sessionToken = "fixture-token";
                qn_cloud::corvul_cs_server client;
                client.SetEndpoint(endpoint, "cn-north-1", "s3");
                client.SetTimeout(20);
                if (client.GET_CLOND_STORAGE_SIGN(&operation) == 0 &&
                    client.CORVUL_AWS_UDSever(&operation, nullptr, 0, true) == 0 &&
                    cloud_test::ReadFile(operation.localPath) == std::string(1000, 'b'))
                    ++succeeded;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(succeeded.load(), kThreads * kTransfers);
}

} // namespace
