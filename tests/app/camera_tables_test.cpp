// The camera-type and lens tables against a real HTTP server on loopback
// (tools/cloudsim/status_server.py serving fixed files), through libcurl.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/camera_entry_fill.h"
#include "app/camera_tables.h"
#include "app/http_get.h"
#include "platform/files.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class CameraTablesWeb : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        state_ = new testing_support::TempFolder;
        fs::create_directories(Files());
        const std::string command = "exec /usr/bin/python3 " OSTRELS_SOURCE_DIR "/tools/cloudsim/status_server.py " +
                                    state_->Path() + " " + Files();
        peer_ = new testing_support::PeerProcess(command, state_->Path() + "/port.txt", 30);
    }
    static void TearDownTestSuite()
    {
        delete peer_;
        delete state_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(peer_->Ready()) << "the HTTP server did not start";
        fs::create_directories(data_.Path() + "/User");
    }

    static std::string Files() { return state_->Path() + "/files"; }
    static std::string Base() { return "http://127.0.0.1:" + *platform::ReadWholeFile(state_->Path() + "/port.txt"); }
    // A site of its own for each case: "<base>/<site>/Index/<name>".
    static std::string Serve(const std::string& site, const std::string& name, const std::string& body)
    {
        fs::create_directories(Files() + "/" + site + "/Index");
        platform::WriteWholeFile(Files() + "/" + site + "/Index/" + name, body);
        return Base() + "/" + site;
    }
    std::string Cache(const char* name) const { return data_.Path() + "/User/" + name; }

    static testing_support::TempFolder* state_;
    static testing_support::PeerProcess* peer_;
    testing_support::TempFolder data_;
};
testing_support::TempFolder* CameraTablesWeb::state_ = nullptr;
testing_support::PeerProcess* CameraTablesWeb::peer_ = nullptr;

const char kTypes[] = "[{\"camera_type\":\"QNP2\",\"series\":\"3\"},{\"camera_type\":\"bad\",\"series\":\"10\"},"
                      "{\"camera_type\":\"none\",\"series\":\"\"},{\"camera_type\":\"QNY\",\"series\":\"9\"}]";

TEST(CameraType, ModelTextsFollowTheRulesAndShortTextsNeverReadPastTheirEnd)
{
    struct Case {
        const char* model;
        int type;
    } cases[] = {
        {"ABYTXX", 2},            {"QNP2-OW-360", 0},      {"QNP2OW1-X", 0},     // first part of 7
        {"QNP2OWX-Y1", 2},        {"QNP2OW12-360", 1},     {"QNP2OW14-360", 0},  // digits at 6
        {"ABCD01111XX13", 1},     {"ABCD01111XX99", 0},    {"ABC00000", 0},      // rule 3, short text
        {"QNABCD1", 0},           {"QNABCD09X", 1},        {"ZZZZZZ01X", 0},     // rule 4
        {"QNABCD20X", 0},         {"-Y", 0},               {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(GetCameraType(c.model), c.type) << c.model;
    // A model in a fixed field without a terminator ends with the field.
    const char field[9] = {'Q', 'N', 'A', 'B', 'C', 'D', '0', '9', 'X'};
    EXPECT_EQ(GetCameraType(std::string_view(field, sizeof field)), 1);
}

TEST(CameraEntry, DeviceRecordFieldsLandAtTheEntryOffsets)
{
    VLR_CAMERA_ENTRY listed{};
    listed.device.device_id = 4242;
    std::strcpy(listed.device.identity, "DEV004242");
    std::strcpy(listed.device.model, "QNP2OW12-360");
    std::strcpy(listed.device.name, "owner@sharer");
    std::strcpy(listed.device.text, "hall");
    listed.device.value = 7;
    std::memcpy(listed.device.short_text, "12345678", 8);
    listed.listKind = VLR_CAMERA_SHARED;
    const QnCameraEntry entry = MakeCameraEntry(listed, GetCameraType(listed.device.model));
    const auto* bytes = reinterpret_cast<const char*>(&entry);
    EXPECT_STREQ(bytes + 0, "DEV004242");
    EXPECT_STREQ(bytes + 64, "owner@sharer");
    EXPECT_STREQ(bytes + 96, "hall");
    EXPECT_STREQ(bytes + 160, "QNP2OW12-360");
    int32_t words[3];
    std::memcpy(words, bytes + 224, 8);
    EXPECT_EQ(words[0], 4242);
    EXPECT_EQ(words[1], 7);
    EXPECT_EQ(std::string(bytes + 232, 8), "12345678");
    std::memcpy(words, bytes + 240, 8);
    EXPECT_EQ(words[0], VLR_CAMERA_SHARED);
    EXPECT_EQ(words[1], 1);
    for (int i = 248; i < 284; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST_F(CameraTablesWeb, CameraTypeReplyIsCachedAsReceivedAndBadEntriesAreSkipped)
{
    CameraTables tables;
    EXPECT_EQ(tables.LoadCameraTypeFile(Cache("type.json.txt"), data_.Path()), 0);
    const std::string site = Serve("types", "showCameraType", kTypes);
    ASSERT_TRUE(tables.FetchCameraTypes(site, nullptr));
    EXPECT_TRUE(tables.TypeTableLoaded());
    const auto types = tables.CameraTypes();
    ASSERT_EQ(types.size(), 2u);
    EXPECT_STREQ(types[0].cameraType, "QNP2");
    EXPECT_EQ(types[1].series, 9);
    EXPECT_EQ(testing_support::RunCommand("cmp " + Files() + "/types/Index/showCameraType " + Cache("type.json.txt"))
                  .exitCode, 0);

    // The next start reads the cache.
    CameraTables next;
    EXPECT_EQ(next.LoadCameraTypeFile(Cache("type.json.txt"), data_.Path()), 2);
    EXPECT_TRUE(next.TypeTableFromCache());
}

TEST_F(CameraTablesWeb, FailedOrUnparsableRepliesLeaveTheCachedTableInPlace)
{
    platform::WriteWholeFile(Cache("type.json.txt"), kTypes);
    const std::string notJson = Serve("notjson", "showCameraType", "<html>busy</html>");
    for (const std::string& site : {Base() + "/status/500", Base() + "/status/404", notJson, Base() + "/status/302"}) {
        CameraTables tables;
        ASSERT_EQ(tables.LoadCameraTypeFile(Cache("type.json.txt"), data_.Path()), 2);
        EXPECT_TRUE(tables.FetchCameraTypes(site, nullptr)) << site;
        EXPECT_TRUE(tables.TypeTableLoaded()) << site;
        EXPECT_EQ(tables.CameraTypes().size(), 2u) << site;
        EXPECT_EQ(*platform::ReadWholeFile(Cache("type.json.txt")), kTypes) << site;
    }
    // Without a cache the step fails.
    CameraTables empty;
    EXPECT_FALSE(empty.FetchCameraTypes(notJson, nullptr));
    EXPECT_FALSE(empty.TypeTableLoaded());
}

TEST_F(CameraTablesWeb, LensReplyIsMergedByTypeCodeAndTheCacheRoundTrips)
{
    CameraTables tables;
    tables.LoadLensFile(Cache("lens.txt"), data_.Path());
    const std::string site = Serve("lens", "getLensConfig",
                                   "[{\"PanoTypeEx\":\"18446744073709551615\",\"sensor\":\"s1\",\"lens\":\"l1\","
                                   "\"byte\":\"00ff10\"},"
                                   "{\"PanoTypeEx\":\"5\",\"sensor\":\"s2\",\"lens\":\"l2\",\"byte\":\"abcde\"},"
                                   "{\"PanoTypeEx\":\"18446744073709551615\",\"sensor\":\"s3\",\"lens\":\"l3\","
                                   "\"byte\":\"0A0b\"},"
                                   "{\"PanoTypeEx\":\"6\",\"sensor\":\"s4\",\"lens\":\"l4\",\"byte\":\"zz00\"}]");
    ASSERT_TRUE(tables.FetchLens(site, nullptr));
    EXPECT_TRUE(tables.LensTableLoaded());
    EXPECT_EQ(tables.LensEntries().size(), 3u);
    // The entry with a non-hexadecimal pair builds no binary.
    const auto binaries = tables.LensBinaries();
    ASSERT_EQ(binaries.size(), 2u);
    EXPECT_EQ(binaries[0].panoType, UINT64_MAX);
    EXPECT_EQ(binaries[0].length, 2u);
    EXPECT_EQ(binaries[0].data[0], 0x0A);
    EXPECT_EQ(binaries[0].data[1], 0x0B);
    EXPECT_EQ(binaries[1].panoType, 5u);
    EXPECT_EQ(binaries[1].length, 2u); // "abcde": half of 5, rounded down

    // The cache holds one object per code, checked with an outside JSON tool.
    if (testing_support::HaveCommand("jq")) {
        const auto unique = testing_support::RunCommand("jq '[.[].PanoTypeEx] | length == (unique|length)' " +
                                                        Cache("lens.txt"));
        EXPECT_EQ(testing_support::Chomp(unique.output), "true");
        const auto top = testing_support::RunCommand("jq -r '.[0].PanoTypeEx' " + Cache("lens.txt"));
        EXPECT_EQ(testing_support::Chomp(top.output), "18446744073709551615");
    }
    // The binary's bytes are the hexadecimal text's, read by xxd.
    const auto expected = testing_support::RunCommand("printf 0A0b | xxd -r -p | od -An -tx1");
    EXPECT_EQ(testing_support::Chomp(expected.output), " 0a 0b");

    CameraTables next;
    EXPECT_EQ(next.LoadLensFile(Cache("lens.txt"), data_.Path()), 2);
    const auto reloaded = next.LensBinaries();
    ASSERT_EQ(reloaded.size(), binaries.size());
    for (std::size_t i = 0; i < reloaded.size(); ++i) {
        EXPECT_EQ(std::memcmp(&reloaded[i], &binaries[i], sizeof(LensBinary)), 0) << i;
    }
    // No reply keeps the binaries; without any the step fails.
    EXPECT_TRUE(next.FetchLens(Base() + "/status/503", nullptr));
    CameraTables none;
    EXPECT_FALSE(none.FetchLens(Base() + "/status/503", nullptr));
}

TEST_F(CameraTablesWeb, VersionCheckReadsTwoNumbersAndRefusesErrorPages)
{
    int first = 0, second = 0;
    EXPECT_EQ(CameraTables().GetVersion(Serve("v1", "CheckClientVesion", "31|7"), 7, 30, &first, &second), 31);
    EXPECT_EQ(first, 31);
    EXPECT_EQ(second, 7);
    EXPECT_EQ(CameraTables().GetVersion(Serve("v2", "CheckClientVesion", "-1"), 7, 30, &first, &second), -1);
    EXPECT_EQ(CameraTables().GetVersion(Serve("v3", "CheckClientVesion", "none"), 7, 30, &first, &second), -1);
    // An error page holding a "|" is no answer.
    EXPECT_EQ(CameraTables().GetVersion(Base() + "/status/500", 7, 30, &first, &second), -1);
}

TEST_F(CameraTablesWeb, SilentServerEndsByTimeOutOrAtOnceWhenStopped)
{
    std::string body = "old";
    HttpGetLimits limits;
    limits.totalTimeoutMs = 1500;
    EXPECT_EQ(HttpGet(Base() + "/silent/", &body, nullptr, limits), 0);
    EXPECT_TRUE(body.empty());

    // The stop flag ends a transfer whose time-out is far away.
    std::atomic<bool> stop{false};
    limits.totalTimeoutMs = 120000;
    const auto started = std::chrono::steady_clock::now();
    std::thread get([&] { EXPECT_EQ(HttpGet(Base() + "/silent/", &body, &stop, limits), 0); });
    stop = true;
    get.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

} // namespace
