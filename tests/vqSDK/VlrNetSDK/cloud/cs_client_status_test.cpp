// The client's result codes against a loopback HTTP server that answers with
// chosen statuses, bodies, non-HTTP bytes or silence.
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"

#include <gtest/gtest.h>

#include "support/cloud_test_support.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace {

using qn_cloud::CloudOperation;
using qn_cloud::corvul_cs_server;

class StatusServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new cloud_test::TempFolder;
        const std::string command = "/usr/bin/python3 " +
                                    cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/status_server.py")) + " " +
                                    cloud_test::Quote(folder_->Folder());
        peer_ = new cloud_test::PeerProcess(command, folder_->File("port.txt"), 30);
    }
    static void TearDownTestSuite()
    {
        delete peer_;
        delete folder_;
        peer_ = nullptr;
        folder_ = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(peer_->Ready()) << "the status server did not start"; }

    static std::string Endpoint() { return "http://127.0.0.1:" + cloud_test::ReadFile(folder_->File("port.txt")); }

    static CloudOperation Operation(int32_t code, const std::string& path, const std::string& localPath = {})
    {
        CloudOperation operation;
        operation.code = code;
        operation.objectPath = path;
        operation.objectName = "object.264";
        operation.localPath = localPath;
        operation.accessKeyId = "ASIAFIXTURE";
        operation.secretKey = "fixture-secret";
        operation.sessionToken = "fixture-token";
        return operation;
    }

    static int Run(corvul_cs_server& client, const CloudOperation& operation, uint8_t* buffer = nullptr,
                   std::size_t length = 0, bool toFile = true)
    {
        client.SetEndpoint(Endpoint(), "cn-north-1", "s3");
        if (client.GET_CLOND_STORAGE_SIGN(&operation) != 0) return 1000;
        return client.CORVUL_AWS_UDSever(&operation, buffer, length, toFile);
    }

    static int Run(const CloudOperation& operation)
    {
        corvul_cs_server client;
        return Run(client, operation);
    }

    cloud_test::TempFolder local_;

private:
    static cloud_test::TempFolder* folder_;
    static cloud_test::PeerProcess* peer_;
};

cloud_test::TempFolder* StatusServerTest::folder_ = nullptr;
cloud_test::PeerProcess* StatusServerTest::peer_ = nullptr;

TEST_F(StatusServerTest, MapsStatusesToResultCodes)
{
    const std::string target = local_.File("target.264");
    const struct {
        int32_t code;
        const char* path;
        int result;
    } table[] = {
        {qn_cloud::kCloudDownloadFile, "status/200", 0},
        {qn_cloud::kCloudDownloadFile, "status/400", -400},
        {qn_cloud::kCloudDownloadFile, "status/403", -403},
        {qn_cloud::kCloudDownloadFile, "status/404", -404},
        {qn_cloud::kCloudDownloadFile, "status/500", -500},
        {qn_cloud::kCloudDownloadFile, "status/204", -204},
        {qn_cloud::kCloudDownloadFile, "status/601", -2},
        {qn_cloud::kCloudDeleteObject, "status/204", 0},
        {qn_cloud::kCloudDeleteObject, "status/200", -200},
        {qn_cloud::kCloudGetObjectTagging, "status/200", 0},
        {qn_cloud::kCloudGetObjectTagging, "status/404", -404},
        {qn_cloud::kCloudUploadFile, "status/200", 0},
        {qn_cloud::kCloudUploadFile, "status/403", -403},
    };
    cloud_test::WriteFile(local_.File("upload.264"), "payload");
    for (const auto& row : table) {
        SCOPED_TRACE(std::to_string(row.code) + " " + row.path);
        const std::string local = row.code == qn_cloud::kCloudUploadFile ? local_.File("upload.264") : target;
        EXPECT_EQ(Run(Operation(row.code, row.path, local)), row.result);
    }
}

TEST_F(StatusServerTest, NoHttpReplyIsNeverSuccess)
{
    const int garbage = Run(Operation(qn_cloud::kCloudDownloadFile, "garbage", local_.File("g")));
    EXPECT_LT(garbage, 0);
    EXPECT_FALSE(cloud_test::fs::exists(local_.File("g")));

    // Nothing listens on port 1 of loopback: libcurl's connect failure (7).
    corvul_cs_server client;
    client.SetEndpoint("http://127.0.0.1:1", "cn-north-1", "s3");
    const CloudOperation operation = Operation(qn_cloud::kCloudDeleteObject, "status/204");
    ASSERT_EQ(client.GET_CLOND_STORAGE_SIGN(&operation), 0);
    EXPECT_EQ(client.CORVUL_AWS_UDSever(&operation, nullptr, 0, true), -9);
}

TEST_F(StatusServerTest, ATransferThatTimesOutGivesMinus30)
{
    corvul_cs_server client;
    client.SetTimeout(1);
    EXPECT_EQ(Run(client, Operation(qn_cloud::kCloudDownloadFile, "silent", local_.File("s"))), -30);
}

TEST_F(StatusServerTest, FailedDownloadKeepsTheOlderFileAndLeavesNoPartialFile)
{
    const std::string target = local_.File("corvul_day_20240715.index");
    cloud_test::WriteFile(target, "older copy");
    for (const char* path : {"status/404", "status/500", "garbage"}) {
        EXPECT_NE(Run(Operation(qn_cloud::kCloudDownloadFile, path, target)), 0) << path;
        EXPECT_EQ(cloud_test::ReadFile(target), "older copy") << path;
    }
    std::size_t files = 0;
    for (const auto& entry : cloud_test::fs::directory_iterator(local_.Folder())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(StatusServerTest, MultiDeleteSendsTheXmlWithItsMd5AndReadsPerKeyErrors)
{
    corvul_cs_server client;
    ASSERT_TRUE(client.SetDeleteKeys({"1001/a.264", "1001/b & <c>.264"}));
    CloudOperation operation = Operation(qn_cloud::kCloudDeleteObjects, "md5check");
    EXPECT_EQ(Run(client, operation), 0);
    operation.objectPath = "multierror";
    EXPECT_EQ(Run(client, operation), -2);
    operation.objectPath = "status/403";
    EXPECT_EQ(Run(client, operation), -403);
}

TEST_F(StatusServerTest, InMemoryTransfersRespectTheBuffer)
{
    uint8_t buffer[64];
    corvul_cs_server client;
    EXPECT_EQ(Run(client, Operation(qn_cloud::kCloudDownloadFile, "body/64"), buffer, sizeof buffer, false), 0);
    EXPECT_EQ(client.ReceivedLength(), 64u);
    EXPECT_EQ(buffer[63], 'b');
    // One byte more than the buffer holds: libcurl's write error (23).
    EXPECT_EQ(Run(client, Operation(qn_cloud::kCloudDownloadFile, "body/65"), buffer, sizeof buffer, false), -25);
    EXPECT_EQ(Run(client, Operation(qn_cloud::kCloudUploadFile, "status/200"), buffer, sizeof buffer, false), 0);
    EXPECT_EQ(Run(client, Operation(qn_cloud::kCloudUploadFile, "status/200"), nullptr, 10, false), -1);
}

TEST_F(StatusServerTest, NamesWithDotSegmentsNeverLeaveTheirPath)
{
    // With its dot segments removed on the way each of these would reach
    // /status/200 and succeed; the object path itself goes nowhere.
    const struct {
        const char* path;
        const char* name;
    } dotted[] = {{"silent", "../status/200"}, {"silent/x", "../../status/200"}, {"silent/..", "status/200"},
                  {"silent/../status", "200"}, {"silent", "./../status/200"}};
    for (const auto& row : dotted) {
        SCOPED_TRACE(std::string(row.path) + " + " + row.name);
        for (int32_t code : {qn_cloud::kCloudDownloadFile, qn_cloud::kCloudDeleteObject,
                             qn_cloud::kCloudGetObjectTagging}) {
            CloudOperation operation = Operation(code, row.path, local_.File("d"));
            operation.objectName = row.name;
            EXPECT_EQ(Run(operation), 1000) << "code " << code;
        }
    }
    // Dots that are part of a name stay as they are.
    CloudOperation named = Operation(qn_cloud::kCloudDownloadFile, "status/200", local_.File("d"));
    named.objectName = "..a/.b/c...264";
    EXPECT_EQ(Run(named), 0);
    const std::string endpoint = Endpoint();
    EXPECT_NE(QN_NET_Clond_Storage_Download_Aws(7, endpoint.c_str(), "cn-north-1", "s3", local_.File("e").c_str(),
                                                "silent", "../status/200", "ASIAFIXTURE", "fixture-secret",
                                                "fixture-token", 0, 10),
              0);
}

TEST_F(StatusServerTest, DownloadCallMapsStatusesToItsCodes)
{
    const struct {
        const char* path;
        int result;
    } table[] = {{"status/200", 0}, {"status/400", -2}, {"status/403", -3}, {"status/404", -3},
                 {"status/500", -1}, {"garbage", -1}};
    const std::string endpoint = Endpoint();
    for (const auto& row : table) {
        EXPECT_EQ(QN_NET_Clond_Storage_Download_Aws(7, endpoint.c_str(), "cn-north-1", "s3",
                                                    local_.File("d").c_str(), row.path, "object.264", "ASIAFIXTURE",
                                                    "fixture-secret", "fixture-token", 0, 10),
                  row.result)
            << row.path;
    }
}

TEST(CloudClientSignStep, RefusesMissingInputsAndUnsignedDispatch)
{
    CloudOperation complete;
    complete.code = qn_cloud::kCloudDownloadFile;
    complete.objectPath = "bucket/1001";
    complete.objectName = "a.264";
    complete.localPath = "/nonexistent/a.264";
    complete.accessKeyId = "ASIA";
    complete.secretKey = "secret";
    complete.sessionToken = "token";

    corvul_cs_server client;
    EXPECT_EQ(client.GET_CLOND_STORAGE_SIGN(nullptr), -1);
    // No endpoint has been given: the default host is empty.
    EXPECT_EQ(client.GET_CLOND_STORAGE_SIGN(&complete), -1);
    client.SetEndpoint("https://store.example", "cn-north-1", "s3");
    EXPECT_EQ(client.GET_CLOND_STORAGE_SIGN(&complete), 0);

    const auto without = [&](std::string CloudOperation::*field) {
        CloudOperation operation = complete;
        operation.*field = "";
        return client.GET_CLOND_STORAGE_SIGN(&operation);
    };
    for (auto field : {&CloudOperation::objectPath, &CloudOperation::objectName, &CloudOperation::accessKeyId,
                       &CloudOperation::secretKey, &CloudOperation::sessionToken})
        EXPECT_EQ(without(field), -1);

    CloudOperation unknown = complete;
    unknown.code = 12345;
    EXPECT_EQ(client.GET_CLOND_STORAGE_SIGN(&unknown), -1);
    // A dispatch needs a successful sign step for the same code.
    EXPECT_EQ(client.CORVUL_AWS_UDSever(&complete, nullptr, 0, true), -1);
    ASSERT_EQ(client.GET_CLOND_STORAGE_SIGN(&complete), 0);
    CloudOperation other = complete;
    other.code = qn_cloud::kCloudDeleteObject;
    EXPECT_EQ(client.CORVUL_AWS_UDSever(&other, nullptr, 0, true), -1);

    CloudOperation deleteMany = complete;
    deleteMany.code = qn_cloud::kCloudDeleteObjects;
    EXPECT_EQ(client.GET_CLOND_STORAGE_SIGN(&deleteMany), -1) << "no keys were set";

    for (const char* host : {"ftp://store.example", "https://store.example/path", "https://user@store", "", "a b"}) {
        client.SetEndpoint(host, "cn-north-1", "s3");
        EXPECT_EQ(client.GET_CLOND_STORAGE_SIGN(&complete), -1) << host;
    }
}

} // namespace
