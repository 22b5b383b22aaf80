// QN_NET_ReadStreamFile and QN_NET_Parse_Stream over segments listed by a day
// index: frames are counted from the first key frame, a newly opened segment
// is reported, a missing one is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/cloud_test_support.h"
#include "segment_fixture.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrNetSDK/cloud/stream_reader.h"

namespace {

using cloud_test::SegmentFixture;

struct Frame {
    int result;
    int type;
    int number;
    int length;
};

std::vector<Frame>* g_frames = nullptr;

int CollectFrame(char*, int32_t type, int32_t number, int32_t length)
{
    g_frames->push_back({0, type, number, length});
    return 0;
}

class StreamCallsTest : public SegmentFixture {
protected:
    void SetUp() override
    {
        SegmentFixture::SetUp();
        g_frames = &frames_;
    }
    void TearDown() override { g_frames = nullptr; }

    // Calls QN_NET_Parse_Stream until it has given `stopAfter` zeros.
    std::vector<int> Drain(QN_NET_STREAM_READER& reader, int stopAfter = 2)
    {
        std::vector<int> results;
        int zeros = 0;
        for (int guard = 0; guard < 10000 && zeros < stopAfter; ++guard) {
            const std::size_t before = frames_.size();
            const int result = QN_NET_Parse_Stream(7, &reader, nullptr, CollectFrame);
            results.push_back(result);
            if (frames_.size() > before) frames_.back().result = result;
            zeros += result == 0;
        }
        return results;
    }

    std::vector<Frame> frames_;
    cloud_test::TempFolder day_;
};

// The private fixture without its first unit: it starts with audio and P
// frames, and its second key frame comes halfway.
std::string WithoutFirstUnit(const std::string& segment)
{
    uint32_t length = 0;
    std::memcpy(&length, segment.data() + 12, 4);
    return segment.substr(16 + length);
}

TEST_F(StreamCallsTest, ReadsTheListedSegmentsFromTheFirstKeyFrame)
{
    const std::string full = cloud_test::ReadFile(Path("private.264"));
    // 12:00:00 a segment that starts without a key frame, 12:01:00 a missing
    // one, 12:02:00 a whole one.
    cloud_test::WriteFile(qn_cloud::SegmentFileName(day_.Folder(), 2024, 7, 15, 4320), WithoutFirstUnit(full));
    cloud_test::WriteFile(qn_cloud::SegmentFileName(day_.Folder(), 2024, 7, 15, 4332), full);
    std::string index = "V1610" + std::string(10, '0') + "1" + std::string(8640, '\0');
    for (int slot : {4320, 4321, 4326, 4332}) index[16 + slot] = slot == 4321 ? '\x01' : '\x80';
    cloud_test::WriteFile(qn_cloud::DayIndexFileName(day_.Folder(), 2024, 7, 15), index);

    QN_NET_STREAM_READER reader;
    const QN_NET_TIME_SPAN span{static_cast<uint32_t>(cloud_test::LocalInstant(2024, 7, 15, 12, 0, 0)),
                                static_cast<uint32_t>(cloud_test::LocalInstant(2024, 7, 15, 12, 5, 0))};
    ASSERT_EQ(QN_NET_ReadStreamFile(&reader, &span, day_.Folder().c_str()), 1);
    EXPECT_EQ(reader.segments.SegmentCount(), 3u);

    const std::vector<int> results = Drain(reader);
    ASSERT_FALSE(frames_.empty());
    // The first frame delivered is the half-way key frame of the first segment.
    EXPECT_EQ(frames_.front().result, 2);
    EXPECT_EQ(frames_.front().type, 0);
    EXPECT_EQ(frames_.front().number, 1);
    // The missing segment is reported once, then the whole one opens.
    EXPECT_EQ(std::count(results.begin(), results.end(), -2), 1);
    EXPECT_EQ(std::count(results.begin(), results.end(), 2), 2);
    const auto second = std::find_if(frames_.begin() + 1, frames_.end(), [](const Frame& f) { return f.result == 2; });
    ASSERT_NE(second, frames_.end());
    EXPECT_EQ(second->type, 0);
    EXPECT_EQ(second->number, cloud_test::kFrames / 2 + 1);
    // Video frames count up by one, audio keeps the number of the frame before.
    int last = 0;
    int video = 0;
    for (const Frame& frame : frames_) {
        if (frame.type == 0 || frame.type == 1) {
            EXPECT_EQ(frame.number, last + 1);
            last = frame.number;
            ++video;
        } else {
            EXPECT_EQ(frame.type, 2);
            EXPECT_EQ(frame.number, last);
        }
    }
    EXPECT_EQ(video, cloud_test::kFrames / 2 + cloud_test::kFrames);
    EXPECT_EQ(results.back(), 0);
}

TEST_F(StreamCallsTest, ReadsOneFileWithoutAnIndex)
{
    QN_NET_STREAM_READER reader;
    EXPECT_EQ(QN_NET_Parse_Stream(7, &reader, nullptr, CollectFrame), -3);
    reader.file_path = Path("private.264");
    ASSERT_EQ(QN_NET_ReadStreamFile(&reader, nullptr, nullptr), 1);
    Drain(reader, 1);
    ASSERT_FALSE(frames_.empty());
    EXPECT_EQ(frames_.front().result, 1) << "the file was opened by QN_NET_ReadStreamFile";
    EXPECT_EQ(frames_.front().number, 1);
    EXPECT_EQ(frames_.back().number, cloud_test::kFrames);

    reader.file_path = Path("missing.264");
    EXPECT_EQ(QN_NET_ReadStreamFile(&reader, nullptr, nullptr), 0);
    EXPECT_EQ(QN_NET_Parse_Stream(7, &reader, nullptr, CollectFrame), -3);
    const QN_NET_TIME_SPAN span{0, 100};
    EXPECT_EQ(QN_NET_ReadStreamFile(&reader, &span, day_.Folder().c_str()), 0) << "no index in the folder";
}

} // namespace
