// The QN_NET_Clond_Storage_* calls against the signature-checking store:
// their small result codes, the download record passed by value, and the
// limits of their arguments.
#include <gtest/gtest.h>

#include <cstring>

#include "support/cloud_test_support.h"
#include "support/moto_store_fixture.h"
#include "vqSDK/VlrNetSDK/cloud/cloud_endpoint.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace {

class StorageCallsTest : public cloud_test::MotoStoreTest {
protected:
    int Download(const std::string& name, const std::string& local, const std::string& secret)
    {
        return QN_NET_Clond_Storage_Download_Aws(7, S().endpoint.c_str(), S().region.c_str(), "s3", local.c_str(),
                                                 ObjectPath().c_str(), name.c_str(), S().accessKey.c_str(),
                                                 secret.c_str(), S().token.c_str(), 0, 10);
    }
    std::string WrongSecret() const
    {
        std::string secret = S().secretKey;
        secret[0] = secret[0] == 'A' ? 'B' : 'A';
        return secret;
    }
};

template <std::size_t N>
void Put(char (&field)[N], const std::string& text)
{
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
}

TEST_F(StorageCallsTest, DownloadAwsMapsTheStoresAnswers)
{
    const std::string local = local_.File("hello.txt");
    EXPECT_EQ(Download("fixture/hello.txt", local, S().secretKey), 0);
    EXPECT_EQ(cloud_test::ReadFile(local), "hello from the store\n");
    EXPECT_EQ(Download("fixture/missing.txt", local, S().secretKey), -3);
    EXPECT_EQ(Download("fixture/hello.txt", local_.File("other"), WrongSecret()), -3);
    EXPECT_EQ(Download("", local, S().secretKey), -1) << "no object name";
    EXPECT_EQ(Download(std::string(264, 'n'), local, S().secretKey), -1) << "longer than the record's field";
    EXPECT_EQ(cloud_test::ReadFile(local), "hello from the store\n");
}

TEST_F(StorageCallsTest, DownloadFileTakesTheRecordByValue)
{
    QN_NET_CLOUD_DOWNLOAD request{};
    Put(request.host, S().endpoint);
    Put(request.region, S().region);
    Put(request.service, "s3");
    Put(request.object_path, ObjectPath());
    Put(request.access_key_id, S().accessKey);
    Put(request.secret_key, S().secretKey);
    Put(request.session_token, S().token);
    request.clock_offset = 0;
    request.timeout_seconds = 30;
    // The file's object path is the bucket; the object name is the full key.
    Put(request.bucket, S().bucket);
    Put(request.local_path, local_.File("tagged.264"));
    Put(request.object_name, Key("fixture/tagged.264"));
    EXPECT_EQ(QN_NET_Clond_Storage_DownloadFile(7, request), 0);
    EXPECT_EQ(cloud_test::ReadFile(local_.File("tagged.264")), std::string("\0\0\1\xfc", 4));

    std::memset(request.session_token, 'x', sizeof request.session_token);
    EXPECT_EQ(QN_NET_Clond_Storage_DownloadFile(7, request), -1) << "a field without its terminator";
}

TEST_F(StorageCallsTest, DownloadUsesTheConfiguredDefaultEndpoint)
{
    const std::string local = local_.File("default.txt");
    qn_cloud::SetDefaultEndpoint({});
    EXPECT_EQ(QN_NET_Clond_Storage_Download(ObjectPath().c_str(), "fixture/hello.txt", local.c_str(),
                                            S().accessKey.c_str(), S().secretKey.c_str(), S().token.c_str()),
              0)
        << "no endpoint is built in";
    qn_cloud::SetDefaultEndpoint({S().endpoint, S().region, "s3"});
    EXPECT_EQ(QN_NET_Clond_Storage_Download(ObjectPath().c_str(), "fixture/hello.txt", local.c_str(),
                                            S().accessKey.c_str(), S().secretKey.c_str(), S().token.c_str()),
              1);
    EXPECT_EQ(cloud_test::ReadFile(local), "hello from the store\n");
    qn_cloud::SetDefaultEndpoint({});
}

TEST_F(StorageCallsTest, UploadAndDeleteOneObject)
{
    const std::string source = local_.File("up.264");
    cloud_test::WriteFile(source, std::string(5000, 'u'));
    const auto upload = [&](const std::string& secret) {
        return QN_NET_Clond_Storage_Upload_Aws(S().endpoint.c_str(), S().region.c_str(), "s3", source.c_str(),
                                               ObjectPath().c_str(), "calls/up.264", S().accessKey.c_str(),
                                               secret.c_str(), S().token.c_str(), 0, 10);
    };
    const auto remove = [&](const std::string& secret) {
        return QN_NET_Clond_Storage_DeleteFile_Aws(S().endpoint.c_str(), S().region.c_str(), "s3",
                                                   ObjectPath().c_str(), "calls/up.264", S().accessKey.c_str(),
                                                   secret.c_str(), S().token.c_str(), 0, 10);
    };
    EXPECT_EQ(upload(WrongSecret()), -2);
    EXPECT_EQ(upload(S().secretKey), 0);
    std::string size;
    EXPECT_EQ(Peek("head " + cloud_test::Quote(Key("calls/up.264")), &size), 0);
    EXPECT_EQ(size, "5000\n");
    EXPECT_EQ(remove(WrongSecret()), -2);
    EXPECT_EQ(remove(S().secretKey), 0);
    EXPECT_EQ(Peek("head " + cloud_test::Quote(Key("calls/up.264"))), 4);
    EXPECT_EQ(remove(""), -1) << "no secret: nothing to sign with";
}

TEST_F(StorageCallsTest, DeleteMultipleTakesAtMostAThousandKeys)
{
    ASSERT_EQ(Peek("put-many " + cloud_test::Quote(Key("calls/m")) + " 5"), 0);
    std::vector<std::string> names;
    for (int i = 0; i < 1001; ++i) names.push_back(Key("calls/m") + std::to_string(i));
    std::vector<const char*> keys;
    for (const std::string& name : names) keys.push_back(name.c_str());
    const auto removeMany = [&](int count) {
        return QN_NET_Clond_Storage_DeleteMultipleFile_Aws(S().endpoint.c_str(), S().region.c_str(), "s3",
                                                           S().bucket.c_str(), S().accessKey.c_str(),
                                                           S().secretKey.c_str(), S().token.c_str(), keys.data(),
                                                           count, 0, 10);
    };
    EXPECT_EQ(removeMany(1001), -1);
    EXPECT_EQ(removeMany(0), -1);
    EXPECT_EQ(removeMany(1000), 0);
    std::string left;
    ASSERT_EQ(Peek("list " + cloud_test::Quote(Key("calls/m")), &left), 0);
    EXPECT_EQ(left, "");
}

} // namespace
