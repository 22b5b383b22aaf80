// The demo service (scripts/demo-service.sh) as a newcomer's client meets it:
// the data folder's endpoint section leads to the login server and the web
// tables, the account signs in and lists its fisheye cameras, one of them
// plays live round after round with the private panorama SEI the lens table
// names, ffprobe decodes what arrived, and Ctrl-C leaves no process behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/camera_tables.h"
#include "app/http_get.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "streams/private_sei.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "vqSDK/VlrNetSDK/media/frame_sink.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/session/play_session.h"
#include "vqSDK/VlrNetSDK/session/play_state.h"

namespace {

using media_test::DeliveredFrame;

std::string Text(const std::string& path)
{
    auto text = platform::ReadWholeFile(path);
    return text ? *text : std::string();
}

// A member of the service's info file: the first `"name": value` (a number
// or a quoted text).
std::string Member(const std::string& json, const std::string& name)
{
    std::smatch m;
    const std::regex member("\"" + name + "\": (\"([^\"]*)\"|(\\d+))");
    if (!std::regex_search(json, m, member)) return {};
    return m[2].matched ? m[2].str() : m[3].str();
}

std::vector<int> NumbersIn(const std::string& text, const std::string& pattern)
{
    std::vector<int> numbers;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stoi((*it)[1]));
    }
    return numbers;
}

bool Running(int pid)
{
    const auto all = platform::ListProcesses();
    return std::any_of(all.begin(), all.end(), [&](const platform::ProcessEntry& p) { return p.pid == pid; });
}

// The processes the service started, from its info file.
std::vector<int> PeerPids(const std::string& facts)
{
    const auto at = facts.find("\"peers\"");
    if (at == std::string::npos) return {};
    const std::string peers = facts.substr(at, facts.find('}', at) - at);
    return NumbersIn(peers, "\": (\\d+)");
}

std::string ServiceCommand(const std::string& folder, const std::string& options)
{
    return "exec /usr/bin/python3 " OSTRELS_SOURCE_DIR "/tools/demo/demo_service.py --folder " + folder +
           "/service --info-file " + folder + "/info.json " + options;
}

// The access units of the clip the peers stream, as their manifest cut it.
struct ClipUnit {
    std::size_t offset, length;
};

std::vector<ClipUnit> ClipUnits(const std::string& manifest)
{
    std::vector<ClipUnit> units;
    const std::regex entry(R"re("frame": (\d+), "type": \d+, "offset": (\d+), "length": (\d+))re");
    for (auto it = std::sregex_iterator(manifest.begin(), manifest.end(), entry); it != std::sregex_iterator(); ++it) {
        units.push_back({std::stoul((*it)[2]), std::stoul((*it)[3])});
    }
    return units;
}

// The private panorama SEI of a key frame, parsed.
bool FindPanoramaSei(const std::string& frame, streams::QnLensSeiInfo* info)
{
    const std::string mark("\0\0\0\1\x06\xf0", 6);
    const auto at = frame.find(mark);
    if (at == std::string::npos) return false;
    const auto* unit = reinterpret_cast<const uint8_t*>(frame.data() + at);
    return streams::ParseLensSei(unit, frame.size() - at, info) == 1 && info->Valid();
}

class DemoService : public ::testing::Test {
protected:
    void SetUp() override
    {
        info_ = folder_.Path() + "/info.json";
        // A short clip, so that a few seconds of play go round more than
        // once; --seconds bounds the service should the test end early.
        const std::string command = ServiceCommand(folder_.Path(), "--cameras 3 --clip-seconds 2 --seconds 110 > " +
                                                                       folder_.Path() + "/out.txt 2>&1");
        service_ = std::make_unique<testing_support::PeerProcess>(command, info_, 60);
        ASSERT_TRUE(service_->Ready()) << Text(folder_.Path() + "/out.txt");
        facts_ = Text(info_);
    }
    void TearDown() override
    {
        // An early failure still stops the service, as Ctrl-C would.
        const std::string pid = Member(facts_, "pid");
        if (!pid.empty()) testing_support::RunCommand("kill -INT " + pid + " 2>/dev/null");
        service_.reset();
    }

    testing_support::TempFolder folder_;
    std::string info_;
    std::string facts_;
    std::unique_ptr<testing_support::PeerProcess> service_;
};

TEST_F(DemoService, ANewcomerSignsInListsFisheyeCamerasPlaysOneLiveAndCtrlCLeavesNothingBehind)
{
    // The endpoint section is all the client is told.
    const std::string config = Member(facts_, "config");
    EXPECT_EQ(config, Member(facts_, "appdata") + "/OstrelS/Config.ini");
    const auto host = platform::ReadIniValue(config, "Service", "LoginHost");
    const auto port = platform::ReadIniValue(config, "Service", "LoginPort");
    const auto web = platform::ReadIniValue(config, "Service", "WebServer");
    ASSERT_TRUE(host && port && web) << Text(config);
    EXPECT_EQ(*host, "127.0.0.1");
    EXPECT_EQ(*port, Member(facts_, "login"));
    const auto region = platform::ReadIniValue(config, "Config", "LOCA");
    ASSERT_TRUE(region) << Text(config);

    // The web tables, fetched and cached as the client does.
    CameraTables tables;
    tables.LoadCameraTypeFile("", Member(facts_, "appdata") + "/OstrelS");
    ASSERT_TRUE(platform::MakeDirectories(Member(facts_, "appdata") + "/OstrelS/User"));
    ASSERT_TRUE(tables.FetchCameraTypes(*web, nullptr));
    ASSERT_TRUE(tables.FetchLens(*web, nullptr));
    ASSERT_EQ(tables.CameraTypes().size(), 1u);
    EXPECT_STREQ(tables.CameraTypes()[0].cameraType, "QNF1");
    ASSERT_EQ(tables.LensBinaries().size(), 1u);
    EXPECT_EQ(tables.LensBinaries()[0].length, 96u);
    const uint64_t panoType = tables.LensBinaries()[0].panoType;
    // The start-up's region look-up gets an answer, and the version check
    // finds nothing newer.
    std::string reply;
    EXPECT_EQ(HttpGet(*web + "/Index/GetUrlPrefix?code=CN", &reply), 1);
    EXPECT_EQ(reply, *region);
    int newer = 0, second = 0;
    EXPECT_EQ(tables.GetVersion(*web, 1001, 20007, &newer, &second), -1);

    // Sign-in and the camera list through the SDK.
    play_test::EventLog events;
    media_test::FrameSink live;
    const int first = 30000 + (platform::CurrentProcessId() % 700) * 40;
    ASSERT_EQ(QN_NET_SetServicePorts(static_cast<uint16_t>(std::stoi(*port)), static_cast<uint16_t>(first),
                                     static_cast<uint16_t>(first + 39)),
              1);
    QN_NET_SetMsgCallBack(&play_test::EventLog::On, nullptr, &events);
    ASSERT_EQ(QN_NET_Init(host->c_str()), 1);
    ASSERT_EQ(QN_NET_SetRealDataCallBack(&media_test::FrameSink::OnData, live.Value()), 1);
    QN_NET_LOGIN_INFO login{};
    std::strcpy(login.account, Member(facts_, "account").c_str());
    std::strcpy(login.password, Member(facts_, "password").c_str());
    std::strcpy(login.terminal, "demo-service-test");
    uint32_t address = 0, user = 0;
    ASSERT_EQ(QN_NET_Login(&login, &address, &user), 1);
    QN_NET_DEVICE_LIST_REQUEST request{1, 0, 0, QN_NET_DEVICE_PAGE, 2, 0};
    auto list = std::make_unique<QN_NET_DEVICE_LIST>();
    ASSERT_EQ(QN_NET_GetDeviceList(&request, list.get()), 1);
    ASSERT_EQ(list->count, 3);
    const std::vector<int> ids = NumbersIn(facts_, "\"id\": (\\d+)");
    ASSERT_EQ(ids.size(), 3u);
    for (int i = 0; i < list->count; ++i) {
        const QN_NET_DEVICE_INFO& device = list->devices[i];
        EXPECT_EQ(device.device_id, static_cast<uint32_t>(ids[i]));
        EXPECT_NE(facts_.find(std::string("\"name\": \"") + device.name + "\""), std::string::npos) << device.name;
        // Panoramic: every camera type but 2 (PTZ) and 3.
        EXPECT_EQ(GetCameraType(device.model), 1) << device.model;
        // In the client's region, so that playing it asks for no server switch.
        EXPECT_EQ(std::string(device.short_text, ::strnlen(device.short_text, sizeof device.short_text)), *region);
    }

    // Live play of a camera other than the first, past the clip's end.
    const std::string manifest = Text(folder_.Path() + "/service/lan_camera.manifest");
    const std::string clip = Text(Member(facts_, "clip"));
    const std::vector<ClipUnit> units = ClipUnits(manifest);
    ASSERT_EQ(units.size(), 50u) << "two seconds at 25 frames a second";
    const int32_t camera = ids[1];
    ASSERT_EQ(QN_NET_Base_connect(1, 0, 0, 0), 1);
    int32_t route = -1;
    ASSERT_EQ(QN_NET_StartRealPlay(camera, &route), 1);
    const uint32_t last = static_cast<uint32_t>(units.size()) + 30;
    EXPECT_TRUE(live.WaitVideo(
        [&](const std::vector<DeliveredFrame>& frames) {
            return std::any_of(frames.begin(), frames.end(), [&](const DeliveredFrame& f) { return f.number >= last; });
        },
        testing_support::kEventBoundMs));
    EXPECT_EQ(QN_NET_StopRealPlay(camera), 1);
    EXPECT_EQ(QN_NET_Logout(user), 1);
    EXPECT_EQ(QN_NET_Cleanup(), 1);
    QN_NET_SetMsgCallBack(nullptr, nullptr, nullptr);

    // The LAN camera served this camera too: its route won, or took over
    // from the public one (whose first frames may still come in between, under
    // the same numbers, as a camera's own two streams would).
    EXPECT_TRUE(route == qn_net::play::kLocalRoute || !events.Of(QN_NET_EVENT_LOCAL_ROUTE).empty());

    // Each frame is the clip's access unit of its place in the round; every
    // key frame carries the panorama SEI of the lens table's type.
    const auto video = live.Video();
    ASSERT_GE(video.size(), static_cast<std::size_t>(last));
    int keyFrames = 0;
    for (const DeliveredFrame& frame : video) {
        ASSERT_GE(frame.number, 1u);
        const ClipUnit& unit = units[(frame.number - 1) % units.size()];
        ASSERT_TRUE(frame.data == clip.substr(unit.offset, unit.length)) << "frame " << frame.number;
        if (frame.type != QN_NET_FRAME_KEY) continue;
        ++keyFrames;
        streams::QnLensSeiInfo sei{};
        ASSERT_TRUE(FindPanoramaSei(frame.data, &sei)) << "frame " << frame.number;
        EXPECT_EQ(sei.Kind(), 3);
        EXPECT_EQ(sei.panoTypeEx, panoType);
        EXPECT_EQ(sei.width, 640u);
        EXPECT_EQ(sei.height, 480u);
        EXPECT_FLOAT_EQ(sei.centerX, 320);
        EXPECT_FLOAT_EQ(sei.centerY, 240);
        EXPECT_FLOAT_EQ(sei.radius, 240);
    }
    EXPECT_GE(keyFrames, 3) << "a key frame a second, in more than one round";

    // The stream as it runs on, from the key frame that begins its last
    // ordered stretch, decodes whole.
    std::size_t from = video.size() - 1;
    while (from > 0 && video[from - 1].number < video[from].number) --from;
    while (from < video.size() && video[from].type != QN_NET_FRAME_KEY) ++from;
    ASSERT_LT(from, video.size());
    std::string written;
    for (std::size_t i = from; i < video.size(); ++i) written += video[i].data;
    EXPECT_GE(video.size() - from, 25u);
    const std::string out = folder_.Path() + "/live.h264";
    ASSERT_TRUE(platform::WriteWholeFile(out, written));
    EXPECT_EQ(testing_support::RunCommand("ffprobe -v error -show_frames " + out + " 2>&1 >/dev/null").output, "")
        << "ffprobe reported decoding errors";
    const auto count = testing_support::RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                                   "stream=nb_read_frames -of csv=p=0 " + out);
    EXPECT_EQ(testing_support::Chomp(count.output), std::to_string(video.size() - from));

    // Ctrl-C: the script ends every process it started, then itself.
    std::vector<int> pids = PeerPids(facts_);
    ASSERT_EQ(pids.size(), 4u) << facts_;
    pids.push_back(std::stoi(Member(facts_, "pid")));
    for (int pid : pids) EXPECT_TRUE(Running(pid)) << pid;
    ASSERT_EQ(testing_support::RunCommand("kill -INT " + Member(facts_, "pid")).exitCode, 0);
    for (int pid : pids) EXPECT_TRUE(testing_support::WaitUntil([&] { return !Running(pid); }, 20000, 50)) << pid;
    EXPECT_NE(Text(folder_.Path() + "/out.txt").find("The simulated camera service stopped."), std::string::npos);
    facts_.clear();
}

// The one command of the README: the client started with the prepared data
// folder, the service ending with it and passing on its exit status.
TEST(DemoServiceRun, TheProgramGetsTheDataFolderAndTheServiceEndsWithIt)
{
    testing_support::TempFolder folder;
    const std::string seen = folder.Path() + "/seen.txt";
    const auto result = testing_support::RunCommand(
        ServiceCommand(folder.Path(), "--clip-seconds 1 --run /bin/sh -c 'printf %s \"$APPDATA\" > " + seen +
                                          "; exit 3' > " + folder.Path() + "/out.txt 2>&1"));
    EXPECT_EQ(result.exitCode, 3) << Text(folder.Path() + "/out.txt");
    const std::string facts = Text(folder.Path() + "/info.json");
    EXPECT_EQ(Text(seen), Member(facts, "appdata"));
    const std::vector<int> pids = PeerPids(facts);
    EXPECT_EQ(pids.size(), 4u) << facts;
    for (int pid : pids) EXPECT_FALSE(Running(pid)) << pid;
}

} // namespace
