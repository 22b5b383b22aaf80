#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "streams/record_stream.h"
#include "stream_fixture.h"
#include "support/temp_folder.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"

namespace {

using namespace streams;
using Bytes = std::vector<uint8_t>;

Bytes SeiUnit(const testing_support::TempFolder& temp, int kind, const std::string& fields)
{
    const std::string path = temp.Path() + "/sei.bin";
    auto made = streams_test::RunFixture("sei " + std::to_string(kind) + " " + path + " " + fields);
    EXPECT_EQ(made.exitCode, 0) << made.output;
    return streams_test::ReadFile(path);
}

TEST(RecordStreamSei, TfTakesMinimumSizesAndCloudExactOnes)
{
    testing_support::TempFolder temp;
    struct Case {
        int kind;
        int size;
        SeiKind tf;
        SeiKind cloud;
    } cases[] = {
        {2, 60, SeiKind::Panorama, SeiKind::None},   {2, 52, SeiKind::Panorama, SeiKind::Panorama},
        {3, 64, SeiKind::PanoramaCode, SeiKind::PanoramaCode}, {3, 72, SeiKind::PanoramaCode, SeiKind::None},
        {4, 64, SeiKind::Ptz, SeiKind::Ptz},         {7, 16, SeiKind::PtzPosition, SeiKind::None},
        {5, 8, SeiKind::PtzShort, SeiKind::PtzShort}, {5, 12, SeiKind::PtzShort, SeiKind::None},
    };
    for (const auto& c : cases) {
        Bytes unit = SeiUnit(temp, c.kind, "size=" + std::to_string(c.size));
        ASSERT_EQ(unit[6], c.size);
        EXPECT_EQ(ClassifyRecordSei(unit.data(), unit.size(), RecordSeiSizes::Minimum), c.tf) << c.kind << "/" << c.size;
        EXPECT_EQ(ClassifyRecordSei(unit.data(), unit.size(), RecordSeiSizes::Exact), c.cloud) << c.kind << "/" << c.size;
        // Without its 0x80 behind the payload, or cut before it, it is none.
        Bytes broken = unit;
        broken[7 + c.size] = 0x81;
        EXPECT_EQ(ClassifyRecordSei(broken.data(), broken.size(), RecordSeiSizes::Minimum), SeiKind::None);
        EXPECT_EQ(ClassifyRecordSei(unit.data(), 7 + c.size, RecordSeiSizes::Minimum), SeiKind::None);
    }
    const uint8_t tiny[] = {0, 0, 0, 1, 6, 0xF0, 0};
    EXPECT_EQ(ClassifyRecordSei(tiny, sizeof tiny, RecordSeiSizes::Exact), SeiKind::None);
}

struct Written {
    int code;
    int nalType;
    QnMp4FrameInfo info;
};

class RecordStreamSplit : public ::testing::Test {
protected:
    void SetUp() override
    {
        source_ = streams_test::MakeStream(temp_.Path(), "src",
                                           "-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v libx264 -g 10 "
                                           "-bf 0 -bsf:v h264_metadata=aud=insert");
        ASSERT_FALSE(source_.empty());
        const std::string sei = temp_.Path() + "/q3.bin";
        ASSERT_EQ(streams_test::RunFixture("sei 3 " + sei + " rate1=25 rate2=25").exitCode, 0);
        withSei_ = temp_.Path() + "/with_sei.h264";
        ASSERT_EQ(streams_test::RunFixture("inject " + source_ + " " + withSei_ + " " + sei).exitCode, 0);
        owner_.write = [this](const uint8_t* data, int length, int code, const QnMp4FrameInfo* info) {
            int header = data[2] == 1 ? 3 : 4;
            written_.push_back({code, length > header ? data[header] & 0x1F : -1, info ? *info : QnMp4FrameInfo{}});
            return true;
        };
    }
    testing_support::TempFolder temp_;
    std::string source_;
    std::string withSei_;
    RecordOwner owner_;
    std::vector<Written> written_;
};

TEST_F(RecordStreamSplit, WritesTheUnitsFfmpegSeesOnceAPrivateSeiCame)
{
    // Without a private SEI nothing is written.
    RecordStream stream(RecordSeiSizes::Minimum);
    Bytes plain = streams_test::ReadFile(source_);
    RecordFrame frame;
    stream.ParseVideo(plain.data(), static_cast<int>(plain.size()), &frame, owner_);
    EXPECT_TRUE(written_.empty());

    Bytes data = streams_test::ReadFile(withSei_);
    RecordFrame described;
    stream.ParseVideo(data.data(), static_cast<int>(data.size()), &described, owner_);
    auto listed = testing_support::RunCommand("python3 " OSTRELS_SOURCE_DIR "/tools/cloudsim/segment_fixture.py nal-types " +
                                              withSei_);
    ASSERT_EQ(listed.exitCode, 0) << listed.output;
    // ffmpeg's units from the first private SEI on, leaving out the
    // encoder's own SEI, which is no unit the recording keeps.
    std::vector<int> expected;
    std::istringstream lines(listed.output);
    for (std::string line; std::getline(lines, line);) expected.push_back(std::stoi(line));
    std::vector<int> got;
    for (const auto& w : written_) got.push_back(w.nalType);
    std::vector<int> want;
    bool seenPrivate = false;
    for (int type : expected) {
        if (type == 6 && !seenPrivate) {
            seenPrivate = true;
            continue; // x264's own SEI comes first
        }
        if (seenPrivate && type != 9) want.push_back(type);
    }
    // The SPS and PPS that came before the first private SEI are held and
    // written in their place once it came.
    ASSERT_GE(want.size(), 3u);
    ASSERT_EQ(want[0], 6);
    want.insert(want.begin(), {7, 8});
    EXPECT_EQ(got, want);
    ASSERT_FALSE(written_.empty());
    EXPECT_EQ(written_.front().code, QN_MP4_STREAM_FRAME_TYPE_SPS);
    int keys = 0;
    for (const auto& w : written_) {
        int code = w.nalType == 1 ? 1 : w.nalType == 5 ? 0 : w.nalType == 7 ? 13 : w.nalType == 8 ? 14 : 11;
        EXPECT_EQ(w.code, code);
        if (w.code == 0) {
            ++keys;
            EXPECT_EQ(w.info.frameRate, 25);
        }
    }
    EXPECT_EQ(keys, 3);
    EXPECT_TRUE(stream.Security().valid);
}

TEST_F(RecordStreamSplit, SpsSizeIsFfprobesWith1088ReadAs1080)
{
    // A cropped 1080 stream and an uncropped 1088 one, as cameras send.
    for (const char* size : {"1920x1080", "1920x1088"}) {
        const std::string big = streams_test::MakeStream(temp_.Path(), std::string("big") + size,
                                                         std::string("-f lavfi -i testsrc=size=") + size +
                                                             ":rate=25:duration=0.04 -c:v libx264 -preset ultrafast");
        ASSERT_FALSE(big.empty());
        auto probed = testing_support::RunCommand("ffprobe -v error -show_entries stream=width,height -of csv=p=0 " +
                                                  big);
        ASSERT_EQ(probed.exitCode, 0);
        EXPECT_EQ(testing_support::Chomp(probed.output), std::string(size).replace(4, 1, ","));
        RecordStream stream(RecordSeiSizes::Exact);
        Bytes data = streams_test::ReadFile(big);
        RecordFrame frame;
        stream.ParseVideo(data.data(), static_cast<int>(data.size()), &frame, owner_);
        EXPECT_EQ(frame.width, 1920) << size;
        EXPECT_EQ(frame.height, 1080) << size;
    }
}

TEST_F(RecordStreamSplit, RecordedMp4DecodesAsTheSource)
{
    const std::string mp4 = temp_.Path() + "/out.mp4";
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    ASSERT_TRUE(coder->startWrite(mp4.c_str()));
    Bytes data = streams_test::ReadFile(withSei_);
    // One access unit at a time, as the play modules hand them over.
    RecordOwner owner;
    int keyCalls = 0;
    owner.recordCallback = [&](int code) { keyCalls += code == 11; };
    std::size_t begin = 0;
    for (std::size_t i = 4; i + 5 <= data.size() + 1; ++i) {
        bool auStart = i + 5 <= data.size() && data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 0 && data[i + 3] == 1 &&
                       (data[i + 4] & 0x1F) == 9;
        if (!auStart && i + 5 <= data.size()) continue;
        std::size_t end = auStart ? i : data.size();
        RecordFrame frame;
        TfParseH264Frame(data.data() + begin, static_cast<int>(end - begin), &frame, owner);
        begin = end;
        if (!auStart) break;
    }
    EXPECT_EQ(coder->stopWrite(), 25);
    EXPECT_EQ(keyCalls, 3);
    auto hashes = [](const std::string& framemd5) {
        std::string column;
        std::istringstream lines(framemd5);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line[0] != '#') column += line.substr(line.rfind(',') + 1) + "\n";
        }
        return column;
    };
    EXPECT_EQ(hashes(streams_test::FrameMd5(mp4, "mp4")), hashes(streams_test::FrameMd5(source_)));
}

} // namespace
