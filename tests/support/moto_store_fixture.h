// The moto_server fixture shared by the object-store tests: one server per
// test process, with signature checking on and temporary credentials from
// sts assume-role.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cloud_test_support.h"
#include "vqSDK/VlrNetSDK/cloud/corvul_cs_server.h"

namespace cloud_test {

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

// The server is started by the first test that needs it and stopped when the
// test process exits, so every suite of the process shares it.
class MotoServer {
public:
    // Whether the set-up's environment has moto; when it has not, says so once.
    static bool Installed()
    {
        static const bool installed = [] {
            const bool found =
                Run(Quote(MotoPython()) + " -c 'import moto.server, boto3' >/dev/null 2>&1") == 0;
            if (!found) {
                std::fprintf(stderr, "SKIPPED: moto_server tests: moto is not installed in %s; with a route to the "
                                     "Python package index, run: bash scripts/oracles.sh\n",
                             MotoPython().c_str());
            }
            return found;
        }();
        return installed;
    }

    static const Store* Get()
    {
        static MotoServer server;
        return server.store_.empty() ? nullptr : &server.store_.front();
    }

private:
    MotoServer()
    {
        const std::string command = Quote(MotoPython()) + " " + Quote(SourcePath("tools/cloudsim/moto_fixture.py")) + " " +
                                    Quote(folder_.Folder()) + " >/dev/null";
        peer_ = std::make_unique<PeerProcess>(command, folder_.File("store.txt"), 120);
        if (!peer_->Ready()) return;
        const std::string text = ReadFile(folder_.File("store.txt"));
        store_.push_back({folder_.File("store.txt"), Setting(text, "endpoint"), Setting(text, "region"),
                          Setting(text, "bucket"), Setting(text, "prefix"), Setting(text, "access_key"),
                          Setting(text, "secret_key"), Setting(text, "token")});
    }
    ~MotoServer() { peer_.reset(); }

    TempFolder folder_;
    std::unique_ptr<PeerProcess> peer_;
    std::vector<Store> store_;
};

class MotoStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MotoServer::Installed()) GTEST_SKIP() << "moto is not installed (bash scripts/oracles.sh)";
        store_ = MotoServer::Get();
        ASSERT_NE(store_, nullptr) << "the moto_server fixture did not come up (see the messages above)";
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

    // Signs and performs one operation; 1000 when the sign step fails.
    int Perform(const CloudOperation& operation, corvul_cs_server* client = nullptr)
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
        return cloud_test::Run(Quote(MotoPython()) + " " + Quote(SourcePath("tools/cloudsim/s3_peek.py")) + " " +
                                   Quote(S().stateFile) + " " + arguments,
                               output);
    }

    std::string Key(const std::string& name) const { return S().prefix + "/" + name; }

    TempFolder local_;

private:
    const Store* store_ = nullptr;
};

} // namespace cloud_test
