#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ptzlink/qn_ptzlink.h"
#include "stream_fixture.h"
#include "streams/mont_platform.h"
#include "streams/montage.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;
using Bytes = std::vector<uint8_t>;

struct Recorder {
    std::vector<std::pair<int, std::string>> messages;
    struct Event {
        int kind;
        std::string item;
        uint64_t value;
        std::vector<uint32_t> words; // the record behind an address, three words
    };
    std::vector<Event> events;

    static void OnModule(int, int kind, const char* text, void* self, void*)
    {
        static_cast<Recorder*>(self)->messages.emplace_back(kind, text);
    }
    static void OnEvent(int, int kind, uint32_t low, uint32_t high, const char* item, void* self, void*)
    {
        Event event{kind, item, uint64_t{low} | uint64_t{high} << 32, {}};
        std::string name = item;
        if (name == "pano_circle" || name == "ptz_video" || name == "UI32,UI32,UI32") {
            const auto* words = reinterpret_cast<const uint32_t*>(static_cast<uintptr_t>(event.value));
            event.words.assign(words, words + 3);
        }
        static_cast<Recorder*>(self)->events.push_back(event);
    }
    bool Said(const std::string& text) const
    {
        for (const auto& message : messages) {
            if (message.second.find(text) != std::string::npos) return true;
        }
        return false;
    }
    const Event* Find(const std::string& item) const
    {
        for (const Event& event : events) {
            if (event.item == item) return &event;
        }
        return nullptr;
    }
};

float AsFloat(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct Platform {
    Montage montage;
    Recorder recorder;
    Platform()
    {
        EXPECT_EQ(montage.qn_mp_Create(), 1);
        montage.qn_mp_SetCallBack(&Recorder::OnModule, &recorder, nullptr);
        montage.qn_mp_SetEventCallBack(&Recorder::OnEvent, &recorder, nullptr);
    }
    std::string Info(int id, const char* name)
    {
        char text[64] = "untouched";
        if (montage.qn_mp_GetInfo(id, name, text, sizeof text) == 0) return "(failed:" + std::string(text) + ")";
        return text;
    }
    LensState Lens(int id)
    {
        LensState lens{};
        std::size_t cache = 0;
        EXPECT_TRUE(InspectSource(montage.Handle(), id, &lens, &cache));
        return lens;
    }
    std::size_t CacheSize(int id)
    {
        LensState lens{};
        std::size_t cache = 0;
        EXPECT_TRUE(InspectSource(montage.Handle(), id, &lens, &cache));
        return cache;
    }
};

TEST(Montage, SixteenPlatformsAndFourSourcesAtMost)
{
    {
        std::vector<std::unique_ptr<Montage>> all;
        for (int i = 0; i < kMontPlatforms; ++i) {
            all.push_back(std::make_unique<Montage>());
            ASSERT_EQ(all.back()->qn_mp_Create(), 1);
            EXPECT_EQ(all.back()->Handle(), i);
        }
        Montage seventeenth;
        EXPECT_EQ(seventeenth.qn_mp_Create(), 0);
        EXPECT_EQ(seventeenth.Handle(), -1);
        EXPECT_EQ(seventeenth.qn_mp_AddSource("single", "h264&g711a"), -1);
        all[3]->qn_mp_Destroy();
        EXPECT_EQ(seventeenth.qn_mp_Create(), 1);
        EXPECT_EQ(seventeenth.Handle(), 3);
    }

    Platform p;
    for (const char* name : {"single", "streamparse", "streamfileid", "fourth"}) {
        EXPECT_GE(p.montage.qn_mp_AddSource(name, "H264&G711A"), 0);
    }
    EXPECT_EQ(p.montage.qn_mp_AddSource("fifth", "jpeg"), -1);
    EXPECT_TRUE(p.recorder.Said(" Add to the limit on the number of data source."));
    EXPECT_EQ(p.montage.qn_mp_FindSource("streamparse"), 1);
    EXPECT_EQ(p.montage.qn_mp_FindSource("StreamParse"), -1);
    EXPECT_STREQ(p.montage.qn_mp_GetSourceName(2), "streamfileid");
    EXPECT_EQ(p.montage.qn_mp_RemoveSource(1), 1);
    EXPECT_EQ(p.montage.qn_mp_GetSourceName(1), nullptr);
    EXPECT_EQ(p.montage.qn_mp_RemoveSource(7), 0);
    EXPECT_TRUE(p.recorder.Said(" Illegal source ID."));
    EXPECT_EQ(p.montage.qn_mp_AddSource("a_name_longer_than_fifteen", "g711a"), 1) << "the lowest empty slot";
    EXPECT_STREQ(p.montage.qn_mp_GetSourceName(1), "a_name_longer_t");
}

TEST(Montage, PanoramaControlsAndInformationItems)
{
    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "camera_01");
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "PANO_TYPE", "24576"), 1); // bits 12-19 hold 6
    EXPECT_EQ(p.Lens(id).width, 1920);
    EXPECT_EQ(p.Lens(id).height, 1080);
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "pano_type", "45056"), 1); // 11: any other size
    EXPECT_EQ(p.Lens(id).width, 640);
    EXPECT_EQ(p.Info(id, "pano_type"), "45056");

    EXPECT_EQ(p.Info(id, "pano_typeex"), "(failed:untouched)") << "unknown yet";
    // nibble 2 layout: width 256 x 8, aspect 3 / 4, radius 500 x 4, lens type 1, lens number 2
    uint64_t code = 2 | 4ull << 4 | 3ull << 9 | 256ull << 14 | 500ull << 25 | 1ull << 36 | 2ull << 39;
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "pano_typeex", std::to_string(code).c_str()), 1);
    LensState lens = p.Lens(id);
    EXPECT_EQ(lens.width, 2048);
    EXPECT_EQ(lens.height, 1536);
    EXPECT_EQ(lens.lensType, 1);
    EXPECT_EQ(lens.lensNumber, 2);
    EXPECT_FLOAT_EQ(lens.radius, 2000);
    EXPECT_FLOAT_EQ(lens.centerX, 1024);
    EXPECT_EQ(p.Info(id, "pano_typeex"), std::to_string(code));
    EXPECT_EQ(p.Info(id, "pano_radius"), "2000.000000");

    // A radius already set keeps centre and radius.
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "pano_centerx", "1000.5"), 1);
    uint64_t other = 2 | 1ull << 4 | 1ull << 9 | 128ull << 14 | 100ull << 25;
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "pano_typeex", std::to_string(other).c_str()), 1);
    EXPECT_FLOAT_EQ(p.Lens(id).radius, 2000);
    EXPECT_FLOAT_EQ(p.Lens(id).centerX, 1000.5f);
    EXPECT_EQ(p.Lens(id).width, 1024);
    // A zero aspect denominator is refused.
    uint64_t flat = 2 | 0ull << 4 | 3ull << 9 | 256ull << 14;
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "pano_typeex", std::to_string(flat).c_str()), 0);
    EXPECT_TRUE(p.recorder.Said(" Illegal parameter."));

    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "pano_tilt", "12.5"), 1);
    EXPECT_EQ(p.Info(id, "pano_tilt"), "12.500000");
    EXPECT_EQ(p.Info(id, "pano_rotate"), "60001.000000");
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "pano_zoom", "1"), 0);
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "pano_tilt", "12a"), 0);
    EXPECT_EQ(p.Info(id, "ptz_top_tilt"), "420.0") << "60001 hundredths less 180 degrees";
    EXPECT_EQ(p.Info(id, "old_velmor"), "n");
    EXPECT_EQ(p.Info(id, "no_such_item"), "(failed:)") << "an unknown item fails with an empty text";
    char tiny[16];
    EXPECT_EQ(p.montage.qn_mp_GetInfo(id, "pano_type", tiny, sizeof tiny), 0);

    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "Frobnicate", "1"), 0);
    EXPECT_TRUE(p.recorder.Said("< frobnicate > Nonsupport command."));
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "union_nal", "maybe"), 0);
    EXPECT_TRUE(p.recorder.Said("< maybe > Nonsupport command."));
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "union_nal", "y"), 1);
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "audio_samplerate", "44100"), 1);

    // "clear" "v0_que" keeps the lens fields and the cache; "pano_info" clears the lens.
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "buff_cache_size", "1000"), 1);
    EXPECT_EQ(p.CacheSize(id), 1048576u);
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "clear", "v0_que"), 1);
    EXPECT_EQ(p.Lens(id).width, 1024);
    EXPECT_EQ(p.CacheSize(id), 1048576u);
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "clear", "pano_info"), 1);
    EXPECT_EQ(p.Lens(id).width, kUnknown16);
    EXPECT_EQ(p.Info(id, "pano_tilt"), "60001.000000");
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "buff_cache_size", "0"), 1);
    EXPECT_EQ(p.CacheSize(id), 0u);
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "clear", "cache"), 0) << "no cache to clear";
}

TEST(Montage, PlayPauseAndInputStates)
{
    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "h264/avc");
    Bytes alaw(160, 0xD5);
    EXPECT_EQ(p.montage.qn_mp_InputData(id, alaw.data(), 160, "audio_g711a_single"), 0);
    EXPECT_TRUE(p.recorder.Said(" Engine has been paused."));
    EXPECT_EQ(p.montage.qn_mp_Pause(id), 1);
    EXPECT_FALSE(p.recorder.Said("Engine paused")) << "only a playing source reports its pause";
    ASSERT_EQ(p.montage.qn_mp_Play(id), 1);
    EXPECT_TRUE(p.recorder.Said("Engine played."));
    EXPECT_EQ(p.montage.qn_mp_InputData(id, alaw.data(), 160, "audio_g711a_single"), 1);
    EXPECT_EQ(p.montage.qn_mp_InputData(id, alaw.data(), 160, "Audio_G711a_Single"), 0);
    EXPECT_TRUE(p.recorder.Said(" Illegal buff type."));
    EXPECT_EQ(p.montage.qn_mp_InputData(id, nullptr, 0, "audio_g711a_single"), 0);
    EXPECT_TRUE(p.recorder.Said(" No input data."));
    EXPECT_EQ(p.montage.qn_mp_InputData(id, alaw.data(), 160, "video_h264_qn1"), 0);
    EXPECT_TRUE(p.recorder.Said(" Input buff failed."));
    ASSERT_EQ(p.montage.qn_mp_Pause(id), 1);
    EXPECT_TRUE(p.recorder.Said("Engine paused"));
    EXPECT_EQ(p.montage.qn_mp_Ctrl(id, "audio_synid_qn2", "\x05\x00\x00\x00"), 1);
}

TEST(Montage, LensBlocksForRecordingReadThroughTheLinkageLibrarysRecord)
{
    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "camera_02");
    const uint8_t* block = nullptr;
    int size = 0;
    EXPECT_EQ(p.montage.qn_mp_GetLensBlock(id, &block, &size), 0) << "no lens type yet";
    // A PTZ lens: lens type 0 in the "pano_typeex" layout.
    uint64_t code = 2 | 16ull << 4 | 9ull << 9 | 240ull << 14;
    ASSERT_EQ(p.montage.qn_mp_Ctrl(id, "pano_typeex", std::to_string(code).c_str()), 1);
    ASSERT_EQ(p.montage.qn_mp_GetLensBlock(id, &block, &size), 1);
    ASSERT_EQ(size, 32);
    _qnpl_ptz_jpg_tail_ tail;
    std::memcpy(&tail, block, sizeof tail);
    EXPECT_EQ(tail.word1, code);
    EXPECT_EQ(tail.word0 & 0x3FF, 2u);
    EXPECT_NE(static_cast<uint32_t>(tail.host[0]), 0u) << "the packed date of now stands in for a frame time";
}

TEST(Montage, NoSecurityEventWhenTheUnitSaysProtectedButCarriesNoFlag)
{
    // A "QT" record with security bits 3 in its flags, a zero security flag
    // and the further flag clear; type code nibble 4 with a lens type of 5.
    Bytes unit(72, 0x55);
    const uint8_t head[] = {0, 0, 0, 1, 0x06, 0xF0, 64, 'Q', 'T'};
    std::memcpy(unit.data(), head, sizeof head);
    unit[71] = 0x80;
    const uint32_t flags = 3u << 3;
    std::memcpy(unit.data() + 19, &flags, 4);
    std::memset(unit.data() + 31, 0, 8);
    const uint64_t code = 4 | 5ull << 4 | 16ull << 13 | 9ull << 18 | 160ull << 23 | 1800ull << 34 | 900ull << 45;
    std::memcpy(unit.data() + 39, &code, 8);
    const uint64_t ptz = 1234 | 2000ull << 12 | 100ull << 24 | 10ull << 36;
    std::memcpy(unit.data() + 55, &ptz, 8);
    Bytes idr = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x21};
    unit.insert(unit.end(), idr.begin(), idr.end());

    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "camera_02");
    p.montage.qn_mp_Play(id);
    ASSERT_EQ(p.montage.qn_mp_InputData(id, unit.data(), static_cast<int>(unit.size()), "video_h264_single"), 1);
    ASSERT_NE(p.recorder.Find("no_security"), nullptr);
    const Recorder::Event* video = p.recorder.Find("ptz_video");
    ASSERT_NE(video, nullptr);
    EXPECT_FLOAT_EQ(AsFloat(video->words[0]), 123.4f);
    EXPECT_FLOAT_EQ(AsFloat(video->words[1]), 20.0f);
    EXPECT_FLOAT_EQ(AsFloat(video->words[2]), 10.0f);
    LensState lens = p.Lens(id);
    EXPECT_EQ(lens.width, 1280);
    EXPECT_EQ(lens.height, 720);
    EXPECT_EQ(lens.lensType, 5);
    EXPECT_FLOAT_EQ(lens.panRange, 180.0f);
    EXPECT_FLOAT_EQ(lens.tiltRange, 90.0f);
    EXPECT_EQ(p.recorder.Find("frame_time"), nullptr) << "no frame time in this record";

    // A PTZ position afterwards moves the PTZ values and raises ptz_video for a PTZ lens.
    p.recorder.events.clear();
    Bytes position(20, 0x55);
    const uint8_t qj[] = {0, 0, 0, 1, 0x06, 0xF0, 12, 'Q', 'J', 0x01, 0x02};
    std::memcpy(position.data(), qj, sizeof qj);
    const uint32_t word = 900 | 1900u << 12;
    std::memcpy(position.data() + 15, &word, 4);
    position[19] = 0x80;
    ASSERT_EQ(p.montage.qn_mp_InputData(id, position.data(), static_cast<int>(position.size()), "video_h264_single"), 1);
    ASSERT_NE(p.recorder.Find("ptz_video"), nullptr);
    ASSERT_NE(p.recorder.Find("frame_time"), nullptr);
    EXPECT_EQ(p.recorder.Find("frame_time")->kind, 5);
    EXPECT_EQ(p.Info(id, "ptz_video_cur_pan"), "90.000000");
    EXPECT_EQ(p.Info(id, "ptz_video_cur_tilt"), "10.000000");
}

TEST(Montage, AZeroAspectDenominatorLeavesTheHeightUnknown)
{
    // A "Q3" record of nibble 2 with a zero denominator and no frame time.
    Bytes unit(72, 0x55);
    const uint8_t head[] = {0, 0, 0, 1, 0x06, 0xF0, 64, 'Q', '3'};
    std::memcpy(unit.data(), head, sizeof head);
    unit[71] = 0x80;
    const uint32_t flags = 0;
    std::memcpy(unit.data() + 19, &flags, 4);
    const uint8_t osd[] = {40, 10, 12, 6}; // 160 x 40 at 96, 48
    std::memcpy(unit.data() + 23, osd, 4);
    const uint64_t code = 2 | 0ull << 4 | 3ull << 9 | 160ull << 14 | 1ull << 36;
    std::memcpy(unit.data() + 39, &code, 8);

    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "camera_01");
    p.montage.qn_mp_Play(id);
    ASSERT_EQ(p.montage.qn_mp_InputData(id, unit.data(), static_cast<int>(unit.size()), "video_h264_single"), 1);
    LensState lens = p.Lens(id);
    EXPECT_EQ(lens.width, 1280);
    EXPECT_EQ(lens.height, kUnknown16);
    EXPECT_EQ(lens.lensType, 1);
    EXPECT_EQ(lens.frameTime, 1573032u) << "lens number 0 without a frame time";
    EXPECT_EQ(p.Info(id, "time_osd_wid"), "160");
    EXPECT_EQ(p.Info(id, "time_osd_y"), "48");
    EXPECT_EQ(p.Info(id, "old_velmor"), "y");
    EXPECT_NE(p.recorder.Find("pano_circle"), nullptr);
    EXPECT_EQ(p.recorder.Find("frame_time"), nullptr);
}

TEST(MontageWithFfmpeg, LensRecordsAndSpsOfAStreamBecomeEventsAndItems)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3")) {
        GTEST_SKIP() << "ffmpeg or python3 is not installed";
    }
    testing_support::TempFolder folder;
    const std::string plain = streams_test::MakeStream(
        folder.Path(), "t", "-f lavfi -i testsrc2=size=1280x720:rate=15 -frames:v 3 -pix_fmt yuv420p -c:v libx264 "
                            "-preset ultrafast");
    ASSERT_FALSE(plain.empty());
    // A panorama record: 2048 x 1536 (nibble 2), centre offsets 300 and 200,
    // radius 700 x 2, tilt field 60 (30 degrees), rotate 45, a frame time.
    const std::string sei = folder.Path() + "/q3.bin";
    auto made = streams_test::RunFixture("sei 3 " + sei + " nibble=2 width=2048 num=3 den=4 lens_type=1 lens_number=2 "
                                         "off_x=300 off_y=200 radius2=700 tilt7=60 rotate9=45 time=1 "
                                         "time_value=0x69ABCDEF");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string injected = folder.Path() + "/with_sei.h264";
    ASSERT_EQ(streams_test::RunFixture("inject " + plain + " " + injected + " " + sei).exitCode, 0);
    Bytes stream = streams_test::ReadFile(injected);

    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "h264&g711a");
    ASSERT_EQ(p.montage.qn_mp_Play(id), 1);
    ASSERT_EQ(p.montage.qn_mp_InputData(id, stream.data(), static_cast<int>(stream.size()), "video_h264_single"), 1);

    const Recorder::Event* size = p.recorder.Find("UI32,UI32,UI32");
    ASSERT_NE(size, nullptr);
    auto probe = testing_support::RunCommand("ffprobe -v error -select_streams v -show_entries "
                                             "stream=width,height,r_frame_rate -of csv=p=0 " + plain);
    EXPECT_EQ(testing_support::Chomp(probe.output), std::to_string(size->words[0]) + "," +
                                                        std::to_string(size->words[1]) + "," +
                                                        std::to_string(static_cast<int>(AsFloat(size->words[2]))) + "/1");
    const Recorder::Event* circle = p.recorder.Find("pano_circle");
    ASSERT_NE(circle, nullptr);
    EXPECT_FLOAT_EQ(AsFloat(circle->words[0]), 1024 + 300 * 2 - 510);
    EXPECT_FLOAT_EQ(AsFloat(circle->words[1]), 768 + 200 * 2 - 510);
    EXPECT_FLOAT_EQ(AsFloat(circle->words[2]), 1400);
    ASSERT_NE(p.recorder.Find("pano_tilt+90"), nullptr);
    EXPECT_EQ(p.recorder.Find("pano_tilt+90")->value, 120u);
    ASSERT_NE(p.recorder.Find("frame_time"), nullptr);
    EXPECT_EQ(p.recorder.Find("frame_time")->value, 0x69ABCDEFu);
    EXPECT_NE(p.recorder.Find("pano_video"), nullptr);
    EXPECT_EQ(p.Info(id, "pano_centerx"), "1114.000000");
    EXPECT_EQ(p.Info(id, "pano_tilt"), "30.000000");
    EXPECT_EQ(p.Info(id, "pano_rotate"), "45.000000");
    EXPECT_EQ(p.Info(id, "ori_wid"), "2048");
    EXPECT_EQ(p.Info(id, "ori_hei"), "1536");
    EXPECT_EQ(p.Info(id, "old_velmor"), "n");

    // The lens block for recording carries what was taken over.
    const uint8_t* block = nullptr;
    int blockSize = 0;
    ASSERT_EQ(p.montage.qn_mp_GetLensBlock(id, &block, &blockSize), 1);
    ASSERT_EQ(blockSize, 48);
    PanoramaBlockValues values = ReadPanoramaBlock(block);
    EXPECT_EQ(values.frameTime, 0x69ABCDEFu);
    EXPECT_EQ(values.circleWord & 0x1FF, 300u);
    EXPECT_EQ(values.circleWord >> 18, 700u);
    EXPECT_FLOAT_EQ(values.tilt, 30);
}

TEST(MontageWithFfmpeg, JpegWithAPtzBlockRaisesItsEvents)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3")) {
        GTEST_SKIP() << "ffmpeg or python3 is not installed";
    }
    testing_support::TempFolder folder;
    const std::string jpg = folder.Path() + "/s.jpg";
    const std::string tailed = folder.Path() + "/s_tail.jpg";
    ASSERT_EQ(testing_support::RunCommand("ffmpeg -v error -f lavfi -i testsrc=size=160x120 -frames:v 1 " + jpg).exitCode, 0);
    ASSERT_EQ(streams_test::RunFixture("append-tail " + jpg + " " + tailed +
                                       " 2 pan=123.4 ptz_tilt=-20 time=0x69ABCDEF type=0x1240040242").exitCode, 0);
    Bytes picture = streams_test::ReadFile(tailed);
    Platform p;
    int id = p.montage.qn_mp_AddSource("single", "jpeg");
    p.montage.qn_mp_Play(id);
    ASSERT_EQ(p.montage.qn_mp_InputData(id, picture.data(), static_cast<int>(picture.size()), "jpeg"), 1);
    ASSERT_NE(p.recorder.Find("ptz_image"), nullptr);
    EXPECT_EQ(p.recorder.Find("ptz_image")->kind, 3);
    EXPECT_EQ(p.recorder.Find("frame_time")->value, 0x69ABCDEFu);
    EXPECT_EQ(p.Info(id, "ptz_video_cur_pan"), "123.400002");
    EXPECT_EQ(p.Info(id, "ptz_video_cur_tilt"), "-20.000000");
}

} // namespace
