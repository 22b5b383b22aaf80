// With every trace switched on, adding a device through the hub sends the
// service's fixed device password but shows it in no trace, no console line
// and no log file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "support/descriptor_capture.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/camsim_peer.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

const char kPassword[] = "583017";
const char kPasswordHex[] = "353833303137";

std::mutex g_traceLock;
std::string g_sdkTrace;

void CollectTrace(const char* text)
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    g_sdkTrace += text;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HubSecrets, TheDefaultDevicePasswordReachesTheServiceButNoLog)
{
    testing_support::TempFolder home;
    // Before the first trace of the process: the switch is read once.
    testing_support::ScopedEnv traceOn("OSTRELS_TRACE", "1");
    testing_support::ScopedEnv data("XDG_DATA_HOME", home.Path().c_str());
    testing_support::ScopedEnv appData("APPDATA", home.Path().c_str());
    QN_NET_SetDebugCallBack(CollectTrace);

    netsdk_test::CamsimLogin login("--account demo:secret");
    ASSERT_NE(login.Port(), 0);
    ASSERT_EQ(QN_NET_SetServicePorts(login.Port(), 0, 0), 1);
    {
        testing_support::DescriptorCapture out(1, home.Path() + "/stdout.txt");
        testing_support::DescriptorCapture err(2, home.Path() + "/stderr.txt");
        VLR_SYSTEM hub;
        ASSERT_EQ(hub.Init("init_netsdk", "127.0.0.1"), 1);
        uint8_t answer[72] = {};
        EXPECT_EQ(hub.AddDevice("demo", "camera-0001", answer), 1);
        EXPECT_EQ(hub.Init("clean_up", nullptr), 1);
    }
    QN_NET_SetDebugCallBack(nullptr);

    bool sent = false;
    for (const std::string& line : login.Frames()) {
        if (line.find("\"id\": 10019") != std::string::npos && line.find(kPasswordHex) != std::string::npos) sent = true;
    }
    EXPECT_TRUE(sent) << "the add-device request did not carry the device password";
    {
        std::lock_guard<std::mutex> hold(g_traceLock);
        EXPECT_FALSE(g_sdkTrace.empty()) << "the trace was not on";
        EXPECT_EQ(g_sdkTrace.find(kPassword), std::string::npos);
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path())) {
        if (!entry.is_regular_file()) continue;
        EXPECT_EQ(ReadAll(entry.path().string()).find(kPassword), std::string::npos) << entry.path();
    }
}

} // namespace
