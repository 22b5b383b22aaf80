// Copied TF cards whose slices a camera encrypted with a custom video
// password: play and conversion decrypt them once, to the frames ffmpeg
// decodes from the source, and want the password with event 19 while it is
// missing or wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "stream_fixture.h"
#include "streams/key_slots.h"
#include "streams/qn_tf.h"
#include "streams/tf_card_folder.h"
#include "streams/tf_convert.h"
#include "streams/tf_packet_parser.h"
#include "streams/tf_play_plan.h"
#include "streams/tf_player.h"
#include "support/run_command.h"
#include "support/stepping_clock.h"
#include "support/stream_encryptor.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "tf_card_fixture.h"
#include "tf_module_events.h"

namespace {

using namespace streams;

constexpr char kPassword[] = "card video code";
constexpr uint32_t kClearHeader = 16;
constexpr uint32_t kInterval = 128;
constexpr char kWantCustom[] = "Need input custom encryption password";

std::string Hashes(const std::string& framemd5)
{
    std::string column;
    std::istringstream lines(framemd5);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') column += line.substr(line.rfind(',') + 1) + "\n";
    }
    return column;
}

uint32_t ReadLe(const std::vector<uint8_t>& bytes, std::size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
    return value;
}

// Encrypts every slice of the segment's video packets in place, each from its
// own start code, as the camera does; returns the slices encrypted.
int ProtectSegment(const std::string& path, const testing_support::StreamEncryptor& camera)
{
    std::vector<uint8_t> bytes = streams_test::ReadFile(path);
    const std::vector<uint8_t> clear = bytes;
    const uint32_t info = kInterval | kClearHeader << 16;
    int slices = 0;
    std::size_t at = 0;
    while (at + 16 <= bytes.size() && bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1) {
        const uint8_t type = bytes[at + 3];
        std::size_t header = 8;
        std::size_t length = 0;
        if (type == 0xFC) {
            header = 16;
            length = ReadLe(bytes, at + 12, 4);
        } else if (type == 0xFD) {
            length = ReadLe(bytes, at + 4, 4);
        } else if (type == 0xFA) {
            length = ReadLe(bytes, at + 6, 2);
        } else {
            break;
        }
        uint8_t* payload = bytes.data() + at + header;
        if (type != 0xFA) {
            for (const streams_test::NalUnit& unit : streams_test::FourByteUnits(payload, length)) {
                const int nalType = payload[unit.start + 4] & 0x1F;
                if (nalType != 1 && nalType != 5) continue;
                camera.EncryptFrame(payload + unit.start, unit.length, info, nalType == 5 ? 1 : 2);
                ++slices;
            }
        }
        at += header + length;
    }
    EXPECT_NE(bytes, clear) << "nothing of " << path << " was encrypted";
    streams_test::WriteFile(path, bytes);
    return slices;
}

class TfProtected : public ::testing::Test {
protected:
    void SetUp() override
    {
        source_ = streams_test::MakeTfSource(temp_.Path(), /*cameraSeiOnly=*/true);
        ASSERT_FALSE(source_.video.empty());
        ASSERT_FALSE(source_.alaw.empty());
        card_ = temp_.Path() + "/card";
        const std::string security = "security=" + std::to_string(camera_.Low(1 | 2)) + "," +
                                     std::to_string(camera_.High()) + "," + std::to_string(kClearHeader) + "," +
                                     std::to_string(kInterval);
        ASSERT_NE(streams_test::LayOutTfCard(source_, card_, "2024-05-01", "10:00,10:01", security), "");
        for (const char* minute : {"/2024-05-01/10/00.h264", "/2024-05-01/10/01.h264"})
            ASSERT_EQ(ProtectSegment(card_ + minute, camera_), 25);
        VQ_TF_CARD_INFO info{};
        ASSERT_EQ(folder_.Open(card_.c_str(), &info, "account"), kTfOk);
        map_ = folder_.DayMap(2024, 5, 1);
        once_ = Hashes(streams_test::FrameMd5(source_.video));
        ASSERT_EQ(std::count(once_.begin(), once_.end(), '\n'), 25);
    }

    testing_support::TempFolder temp_;
    const testing_support::StreamEncryptor camera_{kPassword, 2};
    streams_test::TfSource source_;
    std::string card_;
    TfCardFolder folder_;
    VQ_TF_DAY_MAP map_{};
    std::string once_;
};

struct Heard {
    std::mutex lock;
    std::string video;
    std::vector<std::pair<int, std::string>> events;
    std::vector<int64_t> passwordTimes; // of each event 19, on the test clock
    int panoramaWidth = 0;              // of the last panorama record heard
    std::atomic<bool> finished{false};

    int Count(int code)
    {
        std::lock_guard<std::mutex> hold(lock);
        return static_cast<int>(std::count_if(events.begin(), events.end(), [code](auto& e) { return e.first == code; }));
    }
};

TfPlayRequest Play(const TfCardFolder& folder, SecurityKeys& keys, const platform::Clock& clock, Heard& heard)
{
    TfPlayRequest request;
    request.cardFolder = folder.Folder();
    request.year = 2024;
    request.month = 5;
    request.day = 1;
    request.startMinute = 600;
    request.endMinute = 602;
    request.clock = &clock;
    request.keys = &keys;
    request.video = [&heard](VQ_FRAME_INFO* frame) {
        std::lock_guard<std::mutex> hold(heard.lock);
        heard.video.append(reinterpret_cast<const char*>(frame->data), frame->length);
        return 0;
    };
    request.event = [&heard](int code, const char* text) {
        std::lock_guard<std::mutex> hold(heard.lock);
        heard.events.emplace_back(code, text);
    };
    request.error = request.event;
    request.panorama = [&heard](const VQ_PANO_PARAM& pano) {
        std::lock_guard<std::mutex> hold(heard.lock);
        if (pano.valid && pano.panorama) heard.panoramaWidth = pano.sourceWidth;
    };
    request.finished = [&heard] { heard.finished = true; };
    return request;
}

// A wrong password shows nothing and asks for the right one; the right one
// shows every picture as the source has it.
TEST_F(TfProtected, PlayDecryptsWithTheRightPasswordOnly)
{
    testing_support::SteppingClock clock;
    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "not the code", "custom"), 1);
    TfPlayer player;
    {
        Heard wrong;
        ASSERT_TRUE(player.Start(Play(folder_, keys, clock, wrong), map_));
        ASSERT_TRUE(testing_support::WaitUntil([&] { return wrong.finished.load(); }));
        player.Stop();
        std::lock_guard<std::mutex> hold(wrong.lock);
        EXPECT_TRUE(wrong.video.empty());
        ASSERT_EQ(wrong.events.size(), 50u);
        for (const auto& event : wrong.events) EXPECT_EQ(event, std::make_pair(19, std::string(kWantCustom)));
    }
    ASSERT_EQ(qnSetSecurityKey(keys, kPassword, "custom"), 1);
    Heard right;
    ASSERT_TRUE(player.Start(Play(folder_, keys, clock, right), map_));
    ASSERT_TRUE(testing_support::WaitUntil([&] { return right.finished.load(); }));
    player.Stop();
    EXPECT_EQ(right.Count(19), 0);
    EXPECT_EQ(right.Count(21), 50);
    std::lock_guard<std::mutex> hold(right.lock);
    EXPECT_EQ(right.panoramaWidth, 320);
    const std::string played = temp_.Path() + "/played.h264";
    std::ofstream(played, std::ios::binary) << right.video;
    EXPECT_EQ(Hashes(streams_test::FrameMd5(played)), once_ + once_);
}

// Conversion waits for the password, asking once a second, and writes the
// frames decrypted once: the MP4 decodes as the source.
TEST_F(TfProtected, ConversionAsksEverySecondUntilThePasswordIsSet)
{
    testing_support::SteppingClock clock;
    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "not the code", "custom"), 1);
    Heard heard;
    TfConvertRequest request;
    request.cardFolder = folder_.Folder();
    request.year = 2024;
    request.month = 5;
    request.day = 1;
    request.startMinute = 600;
    request.endMinute = 602;
    request.outputFolder = temp_.Path();
    request.deviceId = folder_.RecInfo().deviceId;
    request.keys = &keys;
    request.clock = &clock;
    request.event = [&](int code, const char* text) {
        std::lock_guard<std::mutex> hold(heard.lock);
        heard.events.emplace_back(code, text);
        if (code != 19) return;
        heard.passwordTimes.push_back(clock.MonotonicMs());
        // The user types the password while the third request is shown.
        if (heard.passwordTimes.size() == 3) qnSetSecurityKey(keys, kPassword, "custom");
    };
    std::atomic<int> run{1};
    const TfConvertResult result = ConvertTfSpan(request, map_, run);
    ASSERT_FALSE(result.failed);
    ASSERT_EQ(result.files.size(), 1u);

    ASSERT_EQ(heard.passwordTimes.size(), 3u);
    EXPECT_EQ(heard.passwordTimes[1] - heard.passwordTimes[0], 1000);
    EXPECT_EQ(heard.passwordTimes[2] - heard.passwordTimes[1], 1000);
    EXPECT_EQ(heard.events.front(), std::make_pair(19, std::string(kWantCustom)));
    EXPECT_EQ(heard.Count(21), 50);
    const std::string decoded = testing_support::RunCommand("ffmpeg -v error -i " + result.files[0] +
                                                            " -map 0:v -fps_mode passthrough -f framemd5 -")
                                    .output;
    EXPECT_EQ(Hashes(decoded), once_ + once_);
}

// Without its packet parser neither play nor conversion starts, and both say
// so through the error callback.
TEST_F(TfProtected, AParserThatCannotBeHadIsReportedAs3001)
{
    testing_support::SteppingClock clock;
    SecurityKeys keys;
    Heard heard;
    TfPlayRequest play = Play(folder_, keys, clock, heard);
    play.parserSize = clQnhParse::kLargestPacket + 1;
    TfPlayer player;
    ASSERT_TRUE(player.Start(play, map_));
    ASSERT_TRUE(testing_support::WaitUntil([&] { return heard.finished.load(); }));
    player.Stop();

    TfConvertRequest convert;
    convert.cardFolder = folder_.Folder();
    convert.year = 2024;
    convert.month = 5;
    convert.day = 1;
    convert.startMinute = 600;
    convert.endMinute = 602;
    convert.outputFolder = temp_.Path();
    convert.parserSize = clQnhParse::kLargestPacket + 1;
    convert.error = play.event;
    std::atomic<int> run{1};
    EXPECT_TRUE(ConvertTfSpan(convert, map_, run).failed);

    std::lock_guard<std::mutex> hold(heard.lock);
    EXPECT_TRUE(heard.video.empty());
    const std::pair<int, std::string> failed{kTfParserFailed, "clQnhParse.Create failed."};
    EXPECT_EQ(heard.events, (std::vector<std::pair<int, std::string>>{failed, failed}));
}

std::atomic<int> convertedMinutes_{-1};

// Through the flat functions: the conversion asks for the custom password
// until vqCamSetTFCustomPwd gives it, then says "ok" and writes the frames
// decrypted once.
TEST_F(TfProtected, TheModuleConvertsOnceTheCustomPasswordIsGiven)
{
    auto& sink = streams_test::TfModuleEvents::Get();
    ASSERT_EQ(vqCamTFInit(streams_test::TfModuleSettings()), 1);
    VQ_TF_CARD_INFO info{};
    ASSERT_EQ(vqCamOpenTFCard(card_.c_str(), &info, "account"), kTfOk);
    vqCamSetTFMsgCallback(nullptr, [](int done, int total, void*, int) { convertedMinutes_ = done == total ? done : -1; },
                          nullptr, 0);
    // The password is asked for once a second on this clock, which does not wait.
    testing_support::SteppingClock clock;
    tfSetClock(&clock);
    const std::string out = temp_.Path() + "/out";
    std::filesystem::create_directories(out);
    VQ_TF_TIME span = PackTfSpan({2024, 5, 1, 10, 0, 0, 10, 2, 0});
    ASSERT_EQ(vqCamTFConvertMP4(1, &span, out.c_str()), 1);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return sink.Count(19, kWantCustom) > 0; }));
    EXPECT_EQ(sink.Count(21, "ok"), 0);
    ASSERT_EQ(vqCamSetTFCustomPwd(kPassword), 1);
    EXPECT_TRUE(testing_support::WaitUntil([] { return convertedMinutes_ == 2; }));
    EXPECT_EQ(vqCamTFConvertMP4(0, nullptr, nullptr), 1);
    tfSetClock(nullptr);
    EXPECT_EQ(sink.Count(21, "ok"), 50);
    VQ_PANO_PARAM pano{};
    ASSERT_EQ(vqCamGetTFPanoParam(&pano), 1);
    EXPECT_EQ(pano.panorama, 1);
    EXPECT_EQ(pano.sourceWidth, 320);

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(out)) files.push_back(entry.path().string());
    ASSERT_EQ(files.size(), 1u);
    const std::string decoded = testing_support::RunCommand("ffmpeg -v error -i " + files[0] +
                                                            " -map 0:v -fps_mode passthrough -f framemd5 -")
                                    .output;
    EXPECT_EQ(Hashes(decoded), once_ + once_);
}

} // namespace
