#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "frame_collector.h"
#include "stream_fixture.h"
#include "streams/jpeg_tail.h"
#include "streams/lens_blocks.h"
#include "streams/mont_processor.h"
#include "streams/sps_parser.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;
using streams_test::FrameCollector;
using Bytes = std::vector<uint8_t>;

Bytes Nal(std::initializer_list<uint8_t> body, std::size_t padTo = 0)
{
    Bytes unit(4 + body.size(), 0);
    unit[3] = 1;
    std::copy(body.begin(), body.end(), unit.begin() + 4);
    while (unit.size() < padTo) unit.push_back(0x5A);
    return unit;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A private SEI of kind "QN" (S = 52), valid, or "QJ" with a bad size.
Bytes QnSei()
{
    Bytes unit(60, 0x55);
    const uint8_t head[] = {0, 0, 0, 1, 0x06, 0xF0, 52, 'Q', 'N'};
    std::memcpy(unit.data(), head, sizeof head);
    unit[59] = 0x80;
    return unit;
}

Bytes InvalidQjSei()
{
    // S = 9: its PTZ word would end past the unit, so the record is not valid.
    Bytes unit(17, 0x55);
    const uint8_t head[] = {0, 0, 0, 1, 0x06, 0xF0, 9, 'Q', 'J'};
    std::memcpy(unit.data(), head, sizeof head);
    unit[16] = 0x80;
    return unit;
}

Bytes MotionSei()
{
    return Bytes{0, 0, 0, 1, 0x06, 0xF0, 4, 'M', 'D', 1, 2, 0x80};
}

const Bytes kSps = Nal({0x67, 0x42, 0xC0, 0x1E});
const Bytes kPps = Nal({0x68, 0xCE, 0x3C, 0x80});
const Bytes kIdr = Nal({0x65, 0x88, 0x84}, 40);
const Bytes kP = Nal({0x41, 0x9A, 0x22}, 30);

struct Processor {
    MontProcessor processor{7, 1};
    FrameCollector out;
    std::vector<int> infos;
    Processor()
    {
        processor.SetFrameCallback(&FrameCollector::OnFrame, &out, 99);
        processor.SetMessageHandler(&FrameCollector::OnMessage, &out);
        processor.SetInfoHandler(
            [](void* owner, int, MontInfo code, const void*) {
                static_cast<Processor*>(owner)->infos.push_back(static_cast<int>(code));
            },
            this);
    }
    int Feed(BufferType type, const Bytes& data) { return processor.Input(type, data.data(), data.size()); }
};

TEST(MontProcessorNal, NoPictureBeforeTheFirstKeyFrameAndKindNames)
{
    Processor p;
    EXPECT_EQ(p.out.Count(" STPL Init"), 1);
    ASSERT_EQ(p.Feed(BufferType::VideoH264Single, kP), 1);
    EXPECT_TRUE(p.out.frames.empty()) << "a P frame before any key frame, SPS or PPS";
    ASSERT_EQ(p.Feed(BufferType::VideoH264Single, Join({kSps, kPps, QnSei(), kIdr})), 1);
    ASSERT_EQ(p.Feed(BufferType::VideoH264Single, kP), 1);
    std::vector<std::string> expected = {"h264_SPS", "h264_PPS", "h264_SEI_QN", "h264_I", "h264_P"};
    EXPECT_EQ(p.out.Kinds(), expected);
    EXPECT_EQ(p.out.frames[2].data, QnSei());
    EXPECT_EQ(p.out.frames[2].record.bits & 0xF, kFlagPrivateSei);
    EXPECT_EQ(p.out.frames[3].data, kIdr);
    EXPECT_EQ(p.out.frames[3].record.userValue, 7);
    EXPECT_EQ(p.out.frames[3].record.sourceId, 1);
    EXPECT_EQ(p.infos, std::vector<int>{2}) << "the QN record reaches the platform";

    // A plain SEI below payload type 64 is not handed out; 64-239 is "h264_SEI".
    p.out.frames.clear();
    p.Feed(BufferType::VideoH264Single, Join({Nal({0x06, 0x05, 0x02, 0xAA, 0xBB, 0x80}),
                                              Nal({0x06, 0x50, 0x02, 0xAA, 0xBB, 0x80}), kP}));
    EXPECT_EQ(p.out.Kinds(), (std::vector<std::string>{"h264_SEI", "h264_P"}));
    EXPECT_EQ(p.out.frames[0].record.bits & 0xF, kFlagSei);
}

TEST(MontProcessorNal, UnionNalHandsTheWholeInputWithTheSlice)
{
    Processor p;
    p.processor.SetUnionNal(true);
    Bytes input = Join({kSps, kPps, QnSei(), kIdr});
    ASSERT_EQ(p.Feed(BufferType::VideoH264Single, input), 1);
    EXPECT_EQ(p.out.Kinds(), (std::vector<std::string>{"h264_SPS", "h264_PPS", "h264_SEI_QN", "h264_I_Total"}));
    EXPECT_EQ(p.out.frames.back().data, input);
    EXPECT_EQ(p.out.frames.back().record.bits >> 4 & 0x3FF, input.size() - kIdr.size());
}

TEST(MontProcessorNal, ThePrivateSeiDecidesWhetherTheStreamIsACamerasOwn)
{
    Processor p;
    p.Feed(BufferType::VideoH264Single, Join({kSps, kPps, kIdr}));
    p.out.frames.clear();
    p.Feed(BufferType::VideoH264Single, Join({InvalidQjSei(), kP}));
    EXPECT_TRUE(p.out.frames.empty());
    EXPECT_EQ(p.out.Count("Not QN Stream"), 2);
    // A motion unit carries no lens record: it neither silences nor revives.
    p.Feed(BufferType::VideoH264Single, Join({MotionSei(), kP}));
    EXPECT_TRUE(p.out.frames.empty());
    p.Feed(BufferType::VideoH264Single, Join({QnSei(), kP}));
    EXPECT_EQ(p.out.Kinds(), (std::vector<std::string>{"h264_SEI_QN", "h264_P"}));
    p.out.frames.clear();
    p.Feed(BufferType::VideoH264Single, Join({MotionSei(), kP}));
    EXPECT_EQ(p.out.Kinds(), (std::vector<std::string>{"h264_SEI_QN", "h264_P"})) << "a motion unit does not silence";
}

TEST(MontProcessorNal, ShortOrCutUnitsAreRefusedOrClipped)
{
    Processor p;
    Bytes twelve(12, 0);
    EXPECT_EQ(p.Feed(BufferType::VideoH264SingleQn2, twelve), 0);
    // A private SEI whose size byte reaches past the input is clipped to it.
    Bytes cut = QnSei();
    cut.resize(30);
    Bytes input = Join({kSps, cut});
    ASSERT_EQ(p.Feed(BufferType::VideoH264Single, input), 1);
    ASSERT_EQ(p.out.frames.size(), 2u);
    EXPECT_EQ(p.out.frames[1].data, cut);
    EXPECT_EQ(p.Feed(BufferType::GvmScreen, input), 0);
    EXPECT_EQ(p.Feed(BufferType::VideoH264, input), 0);
    EXPECT_EQ(p.Feed(BufferType::Pcm, input), 0) << "no bits per sample are known";
}

// Camera packets, as the camera sends them.
Bytes KeyPacket(const Bytes& payload, uint8_t rate, uint32_t width, uint32_t height)
{
    Bytes packet = {0, 0, 1, 0xFC, static_cast<uint8_t>(2 | (width / 8 >> 8) << 4), rate,
                    static_cast<uint8_t>(width / 8), static_cast<uint8_t>(height / 8), 0, 0, 0, 0};
    uint32_t size = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) packet.push_back(static_cast<uint8_t>(size >> (8 * i)));
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes OtherPacket(const Bytes& payload, uint32_t declared)
{
    Bytes packet = {0, 0, 1, 0xFD};
    for (int i = 0; i < 4; ++i) packet.push_back(static_cast<uint8_t>(declared >> (8 * i)));
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes AudioPacket(const Bytes& payload)
{
    Bytes packet = {0, 0, 1, 0xFA, 14, 2, static_cast<uint8_t>(payload.size()), static_cast<uint8_t>(payload.size() >> 8)};
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

TEST(MontProcessorPackets, APacketCutInTwoComesOutOnceTheRestArrives)
{
    Processor p;
    Bytes audio(100, 0xD5);
    Bytes stream = Join({KeyPacket(Join({kSps, kPps, kIdr}), 25, 1280, 720), AudioPacket(audio),
                         OtherPacket(kP, static_cast<uint32_t>(kP.size())), AudioPacket(audio)});
    std::size_t cut = 20;
    ASSERT_EQ(p.processor.Input(BufferType::MixStreamQn1, stream.data(), cut), 1);
    EXPECT_TRUE(p.out.frames.empty());
    ASSERT_EQ(p.processor.Input(BufferType::MixStreamQn1, stream.data() + cut, stream.size() - cut), 1);
    EXPECT_EQ(p.out.Kinds(), (std::vector<std::string>{"h264_SPS", "h264_PPS", "h264_I", "g711a", "h264_P", "g711a"}));
    const streams::MontOutputFrame& key = p.out.frames[2].record;
    EXPECT_EQ(key.width, 1280);
    EXPECT_EQ(key.height, 720);
    EXPECT_FLOAT_EQ(key.frameRate, 25.0f);
    EXPECT_EQ(key.interval, 40);
    EXPECT_EQ(key.frameNumber, 1u);
    EXPECT_EQ(p.out.frames[4].record.frameNumber, 2u);
    EXPECT_EQ(p.out.frames[3].record.interval, 8000) << "sample rate index 2";
    EXPECT_EQ(p.out.frames[3].data, audio);
}

TEST(MontProcessorPackets, AHostileLengthIsSkippedAndTheScanResynchronises)
{
    Processor p;
    Bytes audio(100, 0xD5);
    Bytes stream = Join({OtherPacket(kP, 0x7FFFFFF0), KeyPacket(Join({kSps, kIdr}), 25, 320, 240), AudioPacket(audio),
                         AudioPacket(audio)});
    ASSERT_EQ(p.Feed(BufferType::MixStreamQn1, stream), 1);
    EXPECT_EQ(p.out.Count("Parse stream error :  len[2147483632], res[-1]"), 1);
    EXPECT_EQ(p.out.Kinds(), (std::vector<std::string>{"h264_SPS", "h264_I", "g711a", "g711a"}));
    // Input that cannot fit the packet buffer is refused without losing what it holds.
    Bytes huge(MontPacketBuffer::kCapacity, 0);
    EXPECT_EQ(p.Feed(BufferType::MixStreamQn1, huge), 0);
    EXPECT_EQ(p.out.messages.back().rfind("Parse stream error :  len[524288], res[", 0), 0u);
}

TEST(MontProcessorJpeg, FindsTheBlockBehindThePictureEnd)
{
    Bytes picture(600, 0x33);
    picture[0] = 0xFF;
    picture[1] = 0xD8;
    picture[598] = 0xFF;
    picture[599] = 0xD9;
    LensBlockSource source;
    source.ptzPan = 45;
    source.ptzTilt = 10;
    uint8_t block[kPtzBlockSize];
    WritePtzBlock(source, 1, block);
    Bytes tailed = picture;
    tailed.insert(tailed.end(), block, block + sizeof block);

    Processor p;
    ASSERT_EQ(p.Feed(BufferType::Jpeg, tailed), 1);
    ASSERT_EQ(p.out.Kinds(), std::vector<std::string>{"jpg"});
    EXPECT_EQ(p.out.frames[0].data, tailed);
    EXPECT_EQ(p.infos, std::vector<int>{6});
    ASSERT_EQ(p.Feed(BufferType::Jpeg, picture), 1) << "a picture without a block";
    EXPECT_EQ(p.Feed(BufferType::Jpeg, Bytes(300, 0xFF)), 0) << "below 512 bytes";
    Bytes noEnd(700, 0x33);
    EXPECT_EQ(p.Feed(BufferType::Jpeg, noEnd), 0);
    // A block head that claims more than is there is no block.
    Bytes cutBlock = picture;
    cutBlock.insert(cutBlock.end(), block, block + 20);
    JpegTail tail;
    ASSERT_TRUE(FindJpegTail(cutBlock.data(), cutBlock.size(), &tail));
    EXPECT_EQ(tail.block, nullptr);
    EXPECT_EQ(tail.pictureEnd, picture.size());
}

// ---- against ffmpeg -----------------------------------------------------

struct TraceUnit {
    int nalType;
    std::string sliceType;
};

std::vector<TraceUnit> FfmpegNalTypes(const std::string& path)
{
    auto listed = testing_support::RunCommand("python3 " OSTRELS_SOURCE_DIR "/tools/cloudsim/segment_fixture.py nal-types " + path);
    std::vector<TraceUnit> units;
    std::istringstream lines(listed.output);
    for (TraceUnit unit; lines >> unit.nalType >> unit.sliceType;) units.push_back(unit);
    return units;
}

// Access units of a 4-byte start code stream (a new one at each AUD or SPS,
// or at a slice that follows a slice).
std::vector<Bytes> AccessUnits(const Bytes& stream)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 4 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 0 && stream[i + 3] == 1) starts.push_back(i);
    }
    std::vector<Bytes> units;
    std::size_t auStart = 0;
    bool sawSlice = false;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        int type = stream[starts[k] + 4] & 0x1F;
        bool slice = type == 1 || type == 5;
        bool opens = (type == 9 || type == 7 || type == 6 || slice) && sawSlice;
        if (opens && starts[k] > auStart) {
            units.emplace_back(stream.begin() + auStart, stream.begin() + starts[k]);
            auStart = starts[k];
            sawSlice = false;
        }
        if (slice) sawSlice = true;
    }
    units.emplace_back(stream.begin() + auStart, stream.end());
    return units;
}

bool HaveTools()
{
    return testing_support::HaveCommand("ffmpeg") && testing_support::HaveCommand("python3");
}

TEST(MontProcessorWithFfmpeg, SplitsAccessUnitsIntoTheUnitsFfmpegSees)
{
    if (!HaveTools()) GTEST_SKIP() << "ffmpeg or python3 is not installed";
    testing_support::TempFolder folder;
    const std::string path = streams_test::MakeStream(
        folder.Path(), "t", "-f lavfi -i testsrc2=size=320x240:rate=25 -t 1 -pix_fmt yuv420p -c:v libx264 -g 10 -bf 2");
    ASSERT_FALSE(path.empty());
    Bytes stream = streams_test::ReadFile(path);
    std::vector<TraceUnit> trace = FfmpegNalTypes(path);
    ASSERT_GT(trace.size(), 25u);

    Processor p;
    for (const Bytes& unit : AccessUnits(stream)) ASSERT_EQ(p.Feed(BufferType::VideoH264Single, unit), 1);
    // x264 sends a user-data SEI (type 5, below 64): ffmpeg lists it, the splitter drops it.
    std::vector<std::string> expected;
    for (const TraceUnit& unit : trace) {
        switch (unit.nalType) {
        case 7: expected.push_back("h264_SPS"); break;
        case 8: expected.push_back("h264_PPS"); break;
        case 5: expected.push_back("h264_I"); break;
        case 1: expected.push_back("h264_P"); break;
        default: break;
        }
    }
    EXPECT_EQ(p.out.Kinds(), expected);

    // The units re-joined decode as the source does.
    const std::string joined = folder.Path() + "/joined.h264";
    streams_test::WriteFile(joined, p.out.Joined("h264_"));
    EXPECT_EQ(streams_test::FrameMd5(joined), streams_test::FrameMd5(path));

    // With "union_nal" each key and P frame carries its whole input: the join is the stream.
    Processor whole;
    whole.processor.SetUnionNal(true);
    for (const Bytes& unit : AccessUnits(stream)) whole.Feed(BufferType::VideoH264Single, unit);
    EXPECT_EQ(whole.out.Joined("h264_I_Total").size() + whole.out.Joined("h264_P_Total").size(), stream.size());
    Bytes totals;
    for (const auto& frame : whole.out.frames) {
        if (frame.kind.find("_Total") != std::string::npos) totals.insert(totals.end(), frame.data.begin(), frame.data.end());
    }
    EXPECT_EQ(totals, stream);
}

std::map<std::string, long> TraceFields(const std::string& path)
{
    auto trace = testing_support::RunCommand("ffmpeg -f h264 -i " + path + " -c copy -bsf:v trace_headers -f null - 2>&1");
    std::map<std::string, long> fields;
    std::regex line(R"(\]\s+\d+\s+(\w+)\s+[01]+ = (-?\d+))");
    std::istringstream lines(trace.output);
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_search(text, match, line) && !fields.count(match[1])) fields[match[1]] = std::stol(match[2]);
    }
    return fields;
}

TEST(MontProcessorWithFfmpeg, SpsFieldsAndSizesMatchFfmpegAcrossEncoderSettings)
{
    if (!HaveTools()) GTEST_SKIP() << "ffmpeg or python3 is not installed";
    testing_support::TempFolder folder;
    struct Case {
        const char* name;
        const char* options;
        uint32_t width, height;
        float rate;
    };
    const Case cases[] = {
        {"baseline", "-s 352x288 -r 25 -profile:v baseline", 352, 288, 25},
        {"main", "-s 704x576 -r 15 -profile:v main", 704, 576, 15},
        {"high_cqm", "-s 640x480 -r 30000/1001 -profile:v high -x264-params cqm=jvt", 640, 480, 30000.0f / 1001},
        {"cropped", "-s 1920x1080 -r 25", 1920, 1080, 25},
        {"interlaced", "-s 720x576 -r 25 -flags +ildct -x264-params interlaced=1", 720, 576, 25},
        {"coded1088", "-s 1920x1088 -r 25", 1920, 1080, 25},
    };
    for (const Case& c : cases) {
        const std::string path = streams_test::MakeStream(
            folder.Path(), c.name,
            std::string("-f lavfi -i testsrc2 -frames:v 1 -pix_fmt yuv420p -c:v libx264 -preset ultrafast ") + c.options);
        ASSERT_FALSE(path.empty()) << c.name;
        Bytes stream = streams_test::ReadFile(path);
        // The first SPS of the stream, behind its start code and header byte.
        auto at = std::search(stream.begin(), stream.end(), kSps.begin(), kSps.begin() + 4);
        while (at != stream.end() && (at[4] & 0x1F) != 7) at = std::search(at + 1, stream.end(), kSps.begin(), kSps.begin() + 4);
        ASSERT_NE(at, stream.end()) << c.name;
        auto end = std::search(at + 4, stream.end(), kSps.begin(), kSps.begin() + 4);
        SpsInfo sps;
        ASSERT_TRUE(ParseSps(&*at + 5, static_cast<std::size_t>(end - at - 5), &sps)) << c.name;
        std::map<std::string, long> ff = TraceFields(path);
        EXPECT_EQ(sps.profileIdc, ff["profile_idc"]) << c.name;
        EXPECT_EQ(sps.picWidthInMbsMinus1, ff["pic_width_in_mbs_minus1"]) << c.name;
        EXPECT_EQ(sps.picHeightInMapUnitsMinus1, ff["pic_height_in_map_units_minus1"]) << c.name;
        EXPECT_EQ(sps.frameMbsOnlyFlag, ff["frame_mbs_only_flag"]) << c.name;
        EXPECT_EQ(sps.cropBottom, ff.count("frame_crop_bottom_offset") ? ff["frame_crop_bottom_offset"] : 0) << c.name;
        EXPECT_EQ(sps.numUnitsInTick, ff["num_units_in_tick"]) << c.name;
        EXPECT_EQ(sps.timeScale, ff["time_scale"]) << c.name;
        EXPECT_EQ(sps.scalingMatrixPresent, ff["seq_scaling_matrix_present_flag"] == 1) << c.name;

        // What the processor reports, against ffprobe.
        Processor p;
        MontSpsInfo reported{};
        p.processor.SetInfoHandler(
            [](void* owner, int, MontInfo code, const void* data) {
                if (code == MontInfo::Sps) *static_cast<MontSpsInfo*>(owner) = *static_cast<const MontSpsInfo*>(data);
            },
            &reported);
        p.Feed(BufferType::VideoH264Single, stream);
        auto probe = testing_support::RunCommand("ffprobe -v error -select_streams v -show_entries stream=width,height "
                                                 "-of csv=p=0 " + path);
        // ffprobe gives the coded 1088 rows as they are; the processor reports 1080.
        const uint32_t probedHeight = std::string(c.name) == "coded1088" ? 1088 : c.height;
        EXPECT_EQ(testing_support::Chomp(probe.output), std::to_string(c.width) + "," + std::to_string(probedHeight))
            << c.name;
        EXPECT_EQ(reported.width, c.width) << c.name;
        EXPECT_EQ(reported.height, c.height) << c.name;
        EXPECT_NEAR(reported.frameRate, c.rate, 0.01) << c.name;
    }
}

TEST(MontProcessorWithFfmpeg, CameraPacketsInRandomCutsGiveBackVideoAndAudio)
{
    if (!HaveTools()) GTEST_SKIP() << "ffmpeg or python3 is not installed";
    testing_support::TempFolder folder;
    const std::string video = streams_test::MakeStream(
        folder.Path(), "t", "-f lavfi -i testsrc2=size=320x240:rate=25 -t 2 -pix_fmt yuv420p -c:v libx264 -g 25 "
                            "-bsf:v h264_metadata=aud=insert");
    ASSERT_FALSE(video.empty());
    const std::string alaw = folder.Path() + "/a.alaw";
    ASSERT_EQ(testing_support::RunCommand("ffmpeg -v error -f lavfi -i sine=f=440:sample_rate=8000 -t 1 -c:a pcm_alaw "
                                          "-f alaw " + alaw).exitCode, 0);
    const std::string packets = folder.Path() + "/packets.bin";
    auto wrapped = testing_support::RunCommand("python3 " OSTRELS_SOURCE_DIR "/tools/cloudsim/segment_fixture.py private " +
                                               video + " " + alaw + " " + packets + " --fields 320 240 25");
    ASSERT_EQ(wrapped.exitCode, 0) << wrapped.output;
    EXPECT_EQ(testing_support::Chomp(wrapped.output), "50 2 50");

    Bytes stream = streams_test::ReadFile(packets);
    Processor p;
    std::mt19937 random(20261208);
    for (std::size_t at = 0; at < stream.size();) {
        std::size_t piece = std::min<std::size_t>(stream.size() - at, 1 + random() % 4096);
        ASSERT_EQ(p.processor.Input(BufferType::MixStreamQn1, stream.data() + at, piece), 1);
        at += piece;
    }
    const std::string joined = folder.Path() + "/out.h264";
    streams_test::WriteFile(joined, p.out.Joined("h264_"));
    EXPECT_EQ(streams_test::FrameMd5(joined), streams_test::FrameMd5(video));
    EXPECT_EQ(p.out.Joined("g711a"), streams_test::ReadFile(alaw));
    for (const auto& frame : p.out.frames) {
        if (frame.kind != "h264_I") continue;
        EXPECT_EQ(frame.record.width, 320);
        EXPECT_EQ(frame.record.height, 240);
        EXPECT_EQ(frame.record.interval, 40);
    }
}

} // namespace
