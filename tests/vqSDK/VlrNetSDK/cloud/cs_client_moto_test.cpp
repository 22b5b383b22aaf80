// The object-store client against moto_server on loopback, which checks the
// signature of every request made with temporary credentials from
// sts assume-role. What the client did is checked with boto3.
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "support/cloud_test_support.h"
#include "support/moto_store_fixture.h"

namespace {

using cloud_test::MotoStoreTest;
using qn_cloud::CloudOperation;
using qn_cloud::corvul_cs_server;

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
        ASSERT_EQ(Perform(Operation(qn_cloud::kCloudUploadFile, name, source)), 0);
        std::string size;
        ASSERT_EQ(Peek("head " + cloud_test::Quote(Key(name)), &size), 0);
        EXPECT_EQ(size, std::to_string(3 * 1024 * 1024 + 17) + "\n");

        const std::string fetched = local_.File("fetched.264");
        ASSERT_EQ(Perform(Operation(qn_cloud::kCloudDownloadFile, name, fetched)), 0);
        EXPECT_EQ(cloud_test::Run("cmp -s " + cloud_test::Quote(source) + " " + cloud_test::Quote(fetched)), 0);
    }
}

TEST_F(MotoStoreTest, DownloadOfAMissingObjectKeepsThePreviousFile)
{
    const std::string target = local_.File("corvul_day_20240715.index");
    cloud_test::WriteFile(target, "previous good copy");
    EXPECT_EQ(Perform(Operation(qn_cloud::kCloudDownloadFile, "no/such/object.index", target)), -404);
    EXPECT_EQ(cloud_test::ReadFile(target), "previous good copy");
    std::size_t files = 0;
    for (const auto& entry : cloud_test::fs::directory_iterator(local_.Folder())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u) << "a partial file was left behind";

    // Fetching an existing object then replaces it.
    std::string expected = "hello from the store\n";
    ASSERT_EQ(Perform(Operation(qn_cloud::kCloudDownloadFile, "fixture/hello.txt", target)), 0);
    EXPECT_EQ(cloud_test::ReadFile(target), expected);
}

TEST_F(MotoStoreTest, AWrongSecretIsRefusedWith403)
{
    CloudOperation operation = Operation(qn_cloud::kCloudDownloadFile, "fixture/hello.txt", local_.File("x"));
    operation.secretKey[0] = operation.secretKey[0] == 'A' ? 'B' : 'A';
    EXPECT_EQ(Perform(operation), -403);
    EXPECT_FALSE(cloud_test::fs::exists(local_.File("x")));
}

TEST_F(MotoStoreTest, ReadsAnObjectsTagging)
{
    corvul_cs_server client;
    ASSERT_EQ(Perform(Operation(qn_cloud::kCloudGetObjectTagging, "fixture/tagged.264"), &client), 0);
    const std::string& reply = client.TaggingReply();
    EXPECT_NE(reply.find("<Key>kind</Key>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("<Value>segment</Value>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("<Key>camera</Key>"), std::string::npos) << reply;
}

TEST_F(MotoStoreTest, DeletesOneObject)
{
    cloud_test::WriteFile(local_.File("one"), "1");
    ASSERT_EQ(Peek("put " + cloud_test::Quote(Key("delete/one.264")) + " " + cloud_test::Quote(local_.File("one"))), 0);
    EXPECT_EQ(Perform(Operation(qn_cloud::kCloudDeleteObject, "delete/one.264")), 0);
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
    EXPECT_EQ(Perform(operation, &client), 0);
    std::string left;
    ASSERT_EQ(Peek("list " + cloud_test::Quote(Key("many/")), &left), 0);
    EXPECT_EQ(left, "");

    keys.push_back("one too many");
    EXPECT_FALSE(client.SetDeleteKeys(keys));
}

} // namespace
