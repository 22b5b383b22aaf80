// The object-store client against moto_server on loopback, which checks the
// signature of every request made with temporary credentials from
// sts assume-role. What the client did is checked with boto3.
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cloud_test_support.h"

namespace {

using qn_cloud::CloudOperation;
using qn_cloud::corvul_cs_server;

struct Store {
    std::string stateFile;
    std::string endpoint;
    std::string region;
    std::string bucket;
    std::string prefix;
    std::string accessKey;
    std::string secretKey;
    std::string token;
};

class MotoStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new cloud_test::TempFolder;
        const std::string command = cloud_test::PythonOnPath() + " " +
                                    cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/moto_fixture.py")) +
                                    " " + cloud_test::Quote(folder_->Folder()) + " >/dev/null";
        peer_ = new cloud_test::PeerProcess(command, folder_->File("store.txt"), 120);
        if (!peer_->Ready()) return;
        const std::string text = cloud_test::ReadFile(folder_->File("store.txt"));
        store_ = new Store{folder_->File("store.txt"),
                           cloud_test::Setting(text, "endpoint"),
                           cloud_test::Setting(text, "region"),
                           cloud_test::Setting(text, "bucket"),
                           cloud_test::Setting(text, "prefix"),
                           cloud_test::Setting(text, "access_key"),
                           cloud_test::Setting(text, "secret_key"),
                           cloud_test::Setting(text, "token")};
    }
    static void TearDownTestSuite()
    {
        delete store_;
        delete peer_;
        delete folder_;
        store_ = nullptr;
        peer_ = nullptr;
        folder_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(store_, nullptr) << "the moto_server fixture did not come up (see the messages above; it needs "
                                      "moto and boto3 in the python3 on PATH)";
    }

    const Store& S() const { return *store_; }
    std::string ObjectPath() const { return S().bucket + "/" + S().prefix; }

    CloudOperation Operation(int32_t code, const std::string& name, const std::string& localPath = {}) const
    {
        CloudOperation operation;
        operation.code = code;
        operation.objectPath = ObjectPath();
        operation.objectName = name;
        operation.localPath = localPath;
        operation.accessKeyId = S().accessKey;
        operation.secretKey = S().secretKey;
        operation.sessionToken = S().token;
        return operation;
    }

    int Run(const CloudOperation& operation, corvul_cs_server* client = nullptr)
    {
        corvul_cs_server own;
        corvul_cs_server& used = client ? *client : own;
        used.SetEndpoint(S().endpoint, S().region, "s3");
        if (used.GET_CLOND_STORAGE_SIGN(&operation) != 0) return 1000;
        return used.CORVUL_AWS_UDSever(&operation, nullptr, 0, true);
    }

    // Runs s3_peek.py with the fixture's credentials.
    int Peek(const std::string& arguments, std::string* output = nullptr) const
    {
        return cloud_test::Run(cloud_test::PythonOnPath() + " " +
                                   cloud_test::Quote(cloud_test::SourcePath("tools/cloudsim/s3_peek.py")) + " " +
                                   cloud_test::Quote(S().stateFile) + " " + arguments,
                               output);
    }

    std::string Key(const std::string& name) const { return S().prefix + "/" + name; }

    cloud_test::TempFolder local_;

private:
    static cloud_test::TempFolder* folder_;
    static cloud_test::PeerProcess* peer_;
    static Store* store_;
};

cloud_test::TempFolder* MotoStoreTest::folder_ = nullptr;
cloud_test::PeerProcess* MotoStoreTest::peer_ = nullptr;
Store* MotoStoreTest::store_ = nullptr;

std::string Pattern(std::size_t length)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 251);
    return bytes;
}

TEST_F(MotoStoreTest, UploadsAndDownloadsObjectsByteForByte)
{
    // Blanks travel percent-encoded. (Other reserved characters are checked
    // against botocore's signer only: the server itself mis-checks them, for
    // boto3's own requests too.)
    for (const std::string name : {"upload/plain.264", "upload/a folder/with blanks~_.264"}) {
        SCOPED_TRACE(name);
        const std::string source = local_.File("source.264");
        cloud_test::WriteFile(source, Pattern(3 * 1024 * 1024 + 17));
        ASSERT_EQ(Run(Operation(qn_cloud::kCloudUploadFile, name, source)), 0);
        std::string size;
        ASSERT_EQ(Peek("head " + cloud_test::Quote(Key(name)), &size), 0);
        EXPECT_EQ(size, std::to_string(3 * 1024 * 1024 + 17) + "\n");

        const std::string fetched = local_.File("fetched.264");
        ASSERT_EQ(Run(Operation(qn_cloud::kCloudDownloadFile, name, fetched)), 0);
        EXPECT_EQ(cloud_test::Run("cmp -s " + cloud_test::Quote(source) + " " + cloud_test::Quote(fetched)), 0);
    }
}

TEST_F(MotoStoreTest, DownloadOfAMissingObjectKeepsThePreviousFile)
{
    const std::string target = local_.File("corvul_day_20240715.index");
    cloud_test::WriteFile(target, "previous good copy");
    EXPECT_EQ(Run(Operation(qn_cloud::kCloudDownloadFile, "no/such/object.index", target)), -404);
    EXPECT_EQ(cloud_test::ReadFile(target), "previous good copy");
    std::size_t files = 0;
    for (const auto& entry : cloud_test::fs::directory_iterator(local_.Folder())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u) << "a partial file was left behind";

    // Fetching an existing object then replaces it.
    std::string expected = "hello from the store\n";
    ASSERT_EQ(Run(Operation(qn_cloud::kCloudDownloadFile, "fixture/hello.txt", target)), 0);
    EXPECT_EQ(cloud_test::ReadFile(target), expected);
}

TEST_F(MotoStoreTest, AWrongSecretIsRefusedWith403)
{
    CloudOperation operation = Operation(qn_cloud::kCloudDownloadFile, "fixture/hello.txt", local_.File("x"));
    operation.secretKey[0] = operation.secretKey[0] == 'A' ? 'B' : 'A';
    EXPECT_EQ(Run(operation), -403);
    EXPECT_FALSE(cloud_test::fs::exists(local_.File("x")));
}

TEST_F(MotoStoreTest, ReadsAnObjectsTagging)
{
    corvul_cs_server client;
    ASSERT_EQ(Run(Operation(qn_cloud::kCloudGetObjectTagging, "fixture/tagged.264"), &client), 0);
    const std::string& reply = client.TaggingReply();
    EXPECT_NE(reply.find("<Key>kind</Key>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("<Value>segment</Value>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("<Key>camera</Key>"), std::string::npos) << reply;
}

TEST_F(MotoStoreTest, DeletesOneObject)
{
    cloud_test::WriteFile(local_.File("one"), "1");
    ASSERT_EQ(Peek("put " + cloud_test::Quote(Key("delete/one.264")) + " " + cloud_test::Quote(local_.File("one"))), 0);
    EXPECT_EQ(Run(Operation(qn_cloud::kCloudDeleteObject, "delete/one.264")), 0);
    EXPECT_EQ(Peek("head " + cloud_test::Quote(Key("delete/one.264"))), 4);
}

// Deleting a key that does not exist succeeds, so 1000 keys of which 25 name
// stored objects make one full-size request.
TEST_F(MotoStoreTest, DeletesAThousandObjectsInOneRequest)
{
    ASSERT_EQ(Peek("put-many " + cloud_test::Quote(Key("many/k")) + " 25"), 0);
    std::vector<std::string> keys;
    for (int i = 0; i < 1000; ++i) keys.push_back(Key("many/k") + std::to_string(i));
    corvul_cs_server client;
    ASSERT_TRUE(client.SetDeleteKeys(keys));
    CloudOperation operation = Operation(qn_cloud::kCloudDeleteObjects, "");
    operation.objectPath = S().bucket;
    EXPECT_EQ(Run(operation, &client), 0);
    std::string left;
    ASSERT_EQ(Peek("list " + cloud_test::Quote(Key("many/")), &left), 0);
    EXPECT_EQ(left, "");

    keys.push_back("one too many");
    EXPECT_FALSE(client.SetDeleteKeys(keys));
}

} // namespace
