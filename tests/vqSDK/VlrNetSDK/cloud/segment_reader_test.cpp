// The segment reader on ffmpeg-made H.264: the scanned form against ffmpeg's
// own parse of the stream, the private form against ffprobe's frame count,
// and the edges of the unit format on small hand-made segments.
#include "vqSDK/VlrNetSDK/cloud/segment_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/cloud_test_support.h"
#include "vqSDK/VlrNetSDK/cloud/byte_source.h"
#include "vqSDK/VlrNetSDK/cloud/segment_unit.h"
#include "segment_fixture.h"

namespace {

using qn_cloud::SegmentUnit;
using qn_cloud::UnitKind;

using cloud_test::FixtureScript;
using cloud_test::FfprobeFrameCount;
using cloud_test::kAudioChunk;
using cloud_test::kFrames;
using cloud_test::SegmentFixture;

struct ReadUnitResult {
    int length;
    SegmentUnit unit;
    std::string bytes;
};

std::vector<ReadUnitResult> ReadAll(qn_cloud::ByteSource& source, std::size_t capacity = qn_cloud::kUnitBufferSize)
{
    std::vector<uint8_t> buffer(capacity);
    std::vector<ReadUnitResult> units;
    for (int guard = 0; guard < 100000; ++guard) {
        SegmentUnit unit;
        const int length = qn_cloud::ReadSegmentUnit(source, buffer.data(), buffer.size(), unit);
        units.push_back({length, unit, length > 0 ? std::string(reinterpret_cast<char*>(buffer.data()), length) : ""});
        if (length <= 0) break;
    }
    return units;
}

std::vector<ReadUnitResult> ReadAll(const std::string& bytes, std::size_t capacity = qn_cloud::kUnitBufferSize)
{
    qn_cloud::MemoryByteSource source(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return ReadAll(source, capacity);
}

int ExpectedFrameType(int nalType, const std::string& sliceType)
{
    if (nalType == 1 || nalType == 5) {
        switch (std::stoi(sliceType)) {
        case 0: case 3: case 5: case 8: return 1;
        case 1: case 6: return 3;
        default: return 0;
        }
    }
    return nalType == 6 || nalType == 7 || nalType == 8 ? nalType : 0;
}

TEST_F(SegmentFixture, ScannedUnitsAreTheNalUnitsFfmpegSees)
{
    std::string trace;
    ASSERT_EQ(cloud_test::Run(FixtureScript() + " nal-types " + cloud_test::Quote(Path("live_bf.264")), &trace), 0);
    std::vector<std::pair<int, std::string>> expected;
    std::istringstream lines(trace);
    for (std::pair<int, std::string> nal; lines >> nal.first >> nal.second;) expected.push_back(nal);
    ASSERT_GT(expected.size(), static_cast<std::size_t>(kFrames));

    qn_cloud::FileByteSource source;
    ASSERT_TRUE(source.Open(Path("live_bf.264")));
    const std::vector<ReadUnitResult> units = ReadAll(source);
    ASSERT_EQ(units.back().length, qn_cloud::kUnitEnd);
    ASSERT_EQ(units.size() - 1, expected.size());

    std::string joined;
    int bSlices = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("unit " + std::to_string(i));
        const ReadUnitResult& read = units[i];
        joined += read.bytes;
        EXPECT_EQ(read.unit.kind, UnitKind::Scanned);
        const int codeLength = qn_cloud::StartCodeLength(reinterpret_cast<const uint8_t*>(read.bytes.data()), read.bytes.size());
        ASSERT_GT(codeLength, 0);
        EXPECT_EQ(read.bytes[codeLength] & 0x1F, expected[i].first);
        EXPECT_EQ(read.unit.frameType, ExpectedFrameType(expected[i].first, expected[i].second));
        bSlices += read.unit.frameType == 3;
    }
    EXPECT_GT(bSlices, 0) << "the fixture was meant to hold B slices";
    // Nothing is lost or added between units.
    EXPECT_TRUE(joined == cloud_test::ReadFile(Path("live_bf.264")));
}

TEST_F(SegmentFixture, PrivateUnitsCarryAccessUnitsThatDecode)
{
    qn_cloud::FileByteSource source;
    ASSERT_TRUE(source.Open(Path("private.264")));
    const std::vector<ReadUnitResult> units = ReadAll(source);
    ASSERT_EQ(units.back().length, qn_cloud::kUnitEnd);

    std::string video, audio;
    int videoUnits = 0, keyUnits = 0, audioUnits = 0;
    for (std::size_t i = 0; i + 1 < units.size(); ++i) {
        EXPECT_EQ(units[i].unit.kind, UnitKind::Private);
        switch (units[i].unit.frameType) {
        case 0: ++keyUnits; [[fallthrough]];
        case 1: ++videoUnits; video += units[i].bytes; break;
        case 2: ++audioUnits; audio += units[i].bytes; break;
        default: ADD_FAILURE() << "frame type " << units[i].unit.frameType;
        }
    }
    std::istringstream counts(privateCounts_);
    int writtenVideo = 0, writtenKeys = 0, writtenAudio = 0;
    counts >> writtenVideo >> writtenKeys >> writtenAudio;
    EXPECT_EQ(videoUnits, writtenVideo);
    EXPECT_EQ(keyUnits, writtenKeys);
    EXPECT_EQ(audioUnits, writtenAudio);
    EXPECT_TRUE(audio == cloud_test::ReadFile(Path("tone.alaw")).substr(0, audioUnits * kAudioChunk));

    cloud_test::WriteFile(Path("payloads.264"), video);
    EXPECT_EQ(FfprobeFrameCount(Path("payloads.264")), FfprobeFrameCount(Path("live_bf.264")));
    EXPECT_EQ(FfprobeFrameCount(Path("payloads.264")), kFrames);
}

std::string PrivateUnit(uint8_t type, uint32_t length, const std::string& payload)
{
    std::string unit("\0\0\1", 3);
    unit.push_back(static_cast<char>(type));
    const auto le = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) unit.push_back(static_cast<char>(value >> (8 * i)));
    };
    if (type == 0xFC) {
        unit += std::string(8, 'h');
        le(length, 4);
    } else if (type == 0xFD) {
        le(length, 4);
    } else {
        unit += "hh";
        le(length, 2);
    }
    return unit + payload;
}

TEST(SegmentUnits, EdgesOfTheUnitFormat)
{
    const std::string idr = std::string("\0\0\0\1\x65\x88", 6) + std::string(30, '\x11');
    const std::string tinyP = std::string("\0\0\1\x41\x9a\x02", 6); // P slice, shorter than the look-ahead
    const std::string endOfStream("\0\0\0\1\x0b", 5);
    const std::string cutAudio = PrivateUnit(0xFA, 40, "aaaaaa");  // 14 bytes of a 48-byte unit
    const std::string payload(40, 'p');
    const struct {
        const char* name;
        std::string bytes;
        std::size_t capacity;
        std::vector<int> lengths;     // results in order, ending with the final one
        std::vector<int> frameTypes;  // of the units with a positive length
    } cases[] = {
        {"garbage before the first start code is skipped", "junk" + idr + idr, 1 << 20, {36, 36, 0}, {0, 0}},
        // Fewer than 16 bytes at a unit's start end the segment: cut tails
        // never reach the caller as frames.
        {"a unit shorter than 16 bytes at the end ends the segment", idr + tinyP, 1 << 20, {36, 0}, {0}},
        {"a short unit alone is no unit", tinyP, 1 << 20, {0}, {}},
        {"an end-of-stream mark after a raw segment", idr + endOfStream, 1 << 20, {36, 0}, {0}},
        {"an audio unit cut inside its payload at the end", PrivateUnit(0xFD, 40, payload) + cutAudio, 1 << 20,
         {40, 0}, {1}},
        {"a short tail after skipped garbage", "junk" + tinyP, 1 << 20, {0}, {}},
        {"exactly 16 bytes left make a unit", idr.substr(0, 16), 1 << 20, {16, 0}, {0}},
        {"private units of each kind", PrivateUnit(0xFC, 40, payload) + PrivateUnit(0xFD, 40, payload) +
                                           PrivateUnit(0xFA, 40, payload), 1 << 20, {40, 40, 40, 0}, {0, 1, 2}},
        {"a payload length below 17 is read as a scanned unit", PrivateUnit(0xFD, 5, "abcdefghijklmnop") + idr,
         1 << 20, {24, 36, 0}, {1, 0}},
        {"a payload cut short", PrivateUnit(0xFC, 400, payload), 1 << 20, {qn_cloud::kUnitTruncated}, {}},
        {"a scanned unit longer than the buffer", idr + tinyP, 32, {qn_cloud::kUnitTooLong}, {}},
        {"no start code at all", std::string(100, 'x'), 1 << 20, {qn_cloud::kUnitNoStartCode}, {}},
        {"a unit that exactly fills the buffer at the end", idr, 36, {36, 0}, {0}},
        {"an empty segment", "", 1 << 20, {0}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ReadUnitResult> units = ReadAll(c.bytes, c.capacity);
        std::vector<int> lengths, frameTypes;
        for (const ReadUnitResult& read : units) {
            lengths.push_back(read.length);
            if (read.length > 0) frameTypes.push_back(read.unit.frameType);
        }
        EXPECT_EQ(lengths, c.lengths);
        EXPECT_EQ(frameTypes, c.frameTypes);
    }
    EXPECT_EQ(qn_cloud::PrivateUnitTest(reinterpret_cast<const uint8_t*>("\0\0\1\xfa"), 4), 3);
    EXPECT_EQ(qn_cloud::PrivateUnitTest(reinterpret_cast<const uint8_t*>("\0\0\1\x65"), 4), 0);
    EXPECT_EQ(qn_cloud::PrivateUnitTest(reinterpret_cast<const uint8_t*>("\0\0\1"), 3), -1);
}

TEST_F(SegmentFixture, ReaderWalksItsListAndFindsParameterSets)
{
    qn_cloud::SegmentReader reader;
    reader.LoadFile(Path("live_bf.264"));
    EXPECT_TRUE(reader.NeedsNext());
    ASSERT_EQ(reader.OpenNext(), qn_cloud::SegmentReader::kOpened);

    uint8_t sps[64], pps[64];
    std::size_t spsLength = 0, ppsLength = 0;
    ASSERT_EQ(reader.ReadParameterSets(sps, sizeof sps, spsLength, pps, sizeof pps, ppsLength), 0);
    EXPECT_EQ(sps[4] & 0x1F, 7);
    EXPECT_EQ(pps[4] & 0x1F, 8);
    EXPECT_EQ(reader.ReadParameterSets(sps, 4, spsLength, pps, sizeof pps, ppsLength), -1) << "too small a buffer";

    // Rewound: the first unit is the access unit delimiter again.
    SegmentUnit unit;
    EXPECT_EQ(reader.ReadUnit(unit), 6);
    int units = 1;
    while (reader.ReadUnit(unit) > 0) ++units;
    EXPECT_TRUE(reader.NeedsNext());
    EXPECT_GT(units, kFrames);
    EXPECT_EQ(reader.OpenNext(), qn_cloud::SegmentReader::kNoneLeft);

    reader.LoadFile(Path("no such segment.264"));
    EXPECT_EQ(reader.OpenNext(), qn_cloud::SegmentReader::kOpenFailed);
    EXPECT_EQ(reader.OpenNext(), qn_cloud::SegmentReader::kNoneLeft);
}

} // namespace
