#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ptzlink/qn_ptzlink.h"
#include "stream_fixture.h"
#include "streams/lens_blocks.h"
#include "streams/pano_type.h"
#include "streams/private_sei.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;
using streams_test::RunFixture;

std::vector<uint8_t> Unit(const char magic[2], uint8_t size, uint8_t payloadType = 0xF0)
{
    std::vector<uint8_t> unit(8 + size, 0x55);
    const uint8_t head[] = {0, 0, 0, 1, 0x06, payloadType, size};
    std::memcpy(unit.data(), head, sizeof head);
    unit[7] = static_cast<uint8_t>(magic[0]);
    unit[8] = static_cast<uint8_t>(magic[1]);
    unit[7 + size] = 0x80;
    return unit;
}

TEST(PrivateSei, ClassifiesByMagicSizeAndTrailingByte)
{
    struct Case {
        const char* magic;
        uint8_t size;
        SeiKind kind;
    };
    const Case cases[] = {
        {"QN", 52, SeiKind::Panorama},  {"QN", 51, SeiKind::None},     {"Q3", 64, SeiKind::PanoramaCode},
        {"Q3", 63, SeiKind::None},      {"QT", 64, SeiKind::Ptz},      {"QT", 63, SeiKind::None},
        {"QJ", 12, SeiKind::PtzShort},  {"QJ", 8, SeiKind::PtzShort},  {"QJ", 16, SeiKind::PtzPosition},
        {"QJ", 7, SeiKind::None},       {"DP", 44, SeiKind::Dp},       {"DP", 43, SeiKind::None},
        {"MD", 2, SeiKind::Motion},     {"MQ", 30, SeiKind::Mq},       {"QX", 80, SeiKind::None},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> unit = Unit(c.magic, c.size);
        EXPECT_EQ(ClassifySei(unit.data(), unit.size()), c.kind) << c.magic << " " << int{c.size};
    }
    std::vector<uint8_t> extra = Unit("zz", 4, 0xF1);
    EXPECT_EQ(ClassifySei(extra.data(), extra.size()), SeiKind::Extra);

    std::vector<uint8_t> unit = Unit("QN", 52);
    EXPECT_EQ(ClassifySei(unit.data(), unit.size() - 1), SeiKind::None) << "the trailing byte lies past the input";
    unit[7 + 52] = 0x81;
    EXPECT_EQ(ClassifySei(unit.data(), unit.size()), SeiKind::None) << "no 0x80 at 7 + S";
    unit = Unit("QN", 52);
    unit[3] = 2;
    EXPECT_EQ(ClassifySei(unit.data(), unit.size()), SeiKind::None) << "no 4-byte start code";
    EXPECT_EQ(ClassifySei(unit.data(), 3), SeiKind::None);
    EXPECT_EQ(ClassifySei(nullptr, 60), SeiKind::None);
}

TEST(PrivateSei, RecordsMatchAnIndependentGeneratorOverRandomFields)
{
    if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is not installed";
    auto cases = RunFixture("sei-cases 20261208 400");
    ASSERT_EQ(cases.exitCode, 0) << cases.output;
    std::istringstream lines(cases.output);
    int checked = 0;
    std::map<int, int> validByKind;
    for (std::string line; std::getline(lines, line);) {
        std::map<std::string, std::string> want;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            auto equals = word.find('=');
            want[word.substr(0, equals)] = word.substr(equals + 1);
        }
        std::vector<uint8_t> unit = streams_test::FromHex(want["unit"]);
        QnLensSeiInfo info;
        ASSERT_EQ(ParseLensSei(unit.data(), unit.size(), &info), 1) << line;
        const int kind = std::stoi(want["kind"]);
        EXPECT_EQ(info.Kind(), kind) << line;
        EXPECT_EQ(info.Valid(), want["valid"] == "1") << line;
        if (!info.Valid()) continue;
        ++validByKind[kind];
        auto number = [&](const char* name) { return std::stod(want.at(name)); };
        auto integer = [&](const char* name) { return std::stoull(want.at(name)); };
        auto check = [&](const char* name, double ours) {
            if (want.count(name)) {
                EXPECT_NEAR(ours, number(name), 1e-3) << name << " in " << line;
            }
        };
        check("width", info.width);
        check("height", info.height);
        check("center_x", info.centerX);
        check("center_y", info.centerY);
        check("radius", info.radius);
        check("tilt", info.tilt);
        check("rotate", info.rotate);
        check("rate1", info.rate1);
        check("rate2", info.rate2);
        check("ptz_pan", info.ptzPan);
        check("ptz_tilt", info.ptzTilt);
        check("ptz_zoom", info.ptzZoom);
        check("ptz_fourth", info.ptzFourth);
        check("pan_range_x10", info.panRangeX10);
        check("osd_x", info.osdX);
        check("osd_y", info.osdY);
        check("protected_key", info.protectedKeyLength);
        check("protected_other", info.protectedOtherLength);
        check("key_clear", info.KeyClearHeader());
        check("other_clear", info.OtherClearHeader());
        check("interval", info.protectionInterval);
        check("security_bits", info.SecurityBits());
        check("further", (info.word1 & lens_bits::kFurtherSecurity) != 0);
        check("no_rate", (info.word1 & lens_bits::kNoRate) != 0);
        check("time_flag", info.HasTime());
        check("lens_byte", info.word1 & lens_bits::kLensByteMask);
        check("qn_bits", info.word0 >> lens_bits::kQnBitsShift);
        check("osd_w", info.osdSize.width);
        check("osd_h", info.osdSize.height);
        if (want.count("frame_time")) {
            EXPECT_EQ(info.frameTime, integer("frame_time")) << line;
        }
        if (want.count("type")) {
            EXPECT_EQ(info.panoTypeEx, integer("type")) << line;
        }
        if (want.count("sec_low")) {
            EXPECT_EQ(info.securityLow, integer("sec_low"));
            EXPECT_EQ(info.securityHigh, integer("sec_high"));
            EXPECT_EQ(info.securityAt, unit.data() + sei_offset::kSecurityLow);
        }
        ++checked;
    }
    EXPECT_GE(checked, 300);
    for (int kind : {2, 3, 4, 5, 7}) EXPECT_GT(validByKind[kind], 20) << "kind " << kind;
}

TEST(PrivateSei, FieldsBeyondTheUnitFailTheRecord)
{
    // QJ with S = 9 or 10: its PTZ word at 15 would end past the unit; at
    // S = 11 the word's top byte is the trailing byte and the record holds.
    for (uint8_t size : {9, 10, 11}) {
        std::vector<uint8_t> unit = Unit("QJ", size);
        QnLensSeiInfo info;
        ASSERT_EQ(ParseLensSei(unit.data(), unit.size(), &info), 1);
        EXPECT_EQ(info.Kind(), 5);
        EXPECT_EQ(info.Valid(), size == 11) << int{size};
    }
    // A "QN" unit cut before its trailing byte is no private SEI at all.
    std::vector<uint8_t> qn = Unit("QN", 52);
    QnLensSeiInfo info;
    EXPECT_EQ(ParseLensSei(qn.data(), 40, &info), 1);
    EXPECT_EQ(info.word0, 0u);
    // A type code with an unknown nibble fails the record; nibble 5 only on PTZ records.
    std::vector<uint8_t> q3 = Unit("Q3", 64);
    for (uint64_t nibble : {1u, 5u, 15u}) {
        for (int i = 0; i < 8; ++i) q3[sei_offset::kTypeCode + i] = static_cast<uint8_t>((0x5555555555555550ull | nibble) >> (8 * i));
        ASSERT_EQ(ParseLensSei(q3.data(), q3.size(), &info), 1);
        EXPECT_FALSE(info.Valid()) << nibble;
    }
    std::vector<uint8_t> md = Unit("MD", 10);
    EXPECT_EQ(ParseLensSei(md.data(), md.size(), &info), 0) << "motion units carry no record";
    MontSeiInfo packed;
    EXPECT_EQ(ParseSeiPacked(md.data(), md.size(), &packed), 0);
    EXPECT_EQ(ParseSeiPacked(nullptr, 10, &packed), 0);
}

TEST(PrivateSei, TiltIsHeldAndTheSecurityFlagIsWrittenInPlace)
{
    std::vector<uint8_t> unit = Unit("Q3", 64);
    unit[sei_offset::kTypeCode] = 0x22; // nibble 2, den 2
    for (uint16_t field : {0, 127, 45}) {
        unit[sei_offset::kTiltRotate] = static_cast<uint8_t>(field);
        unit[sei_offset::kTiltRotate + 1] = 0;
        QnLensSeiInfo info;
        ParseLensSei(unit.data(), unit.size(), &info);
        ASSERT_TRUE(info.Valid());
        EXPECT_FLOAT_EQ(info.tilt, field == 0 ? -90.0f : field == 127 ? 90.0f : 0.0f) << field;
    }
    ASSERT_EQ(WriteSeiSecurity(unit.data(), unit.size(), 0x11223344, 0x55667788), 1);
    MontSeiInfo packed;
    ASSERT_EQ(ParseSeiPacked(unit.data(), unit.size(), &packed), 1);
    EXPECT_EQ(packed.securityLow, 0x11223344u);
    EXPECT_EQ(packed.securityHigh, 0x55667788u);
    EXPECT_EQ(packed.securityAt, unit.data() + 31);

    std::vector<uint8_t> qn = Unit("QN", 52);
    const std::vector<uint8_t> before = qn;
    EXPECT_EQ(WriteSeiSecurity(qn.data(), qn.size(), 1, 2), 0);
    EXPECT_EQ(qn, before) << "a kind 2 unit stays as it is";
}

TEST(PrivateSei, PackedRecordCarriesTheClearHeaderAndSecurityBits)
{
    QnLensSeiInfo info;
    std::memset(&info, 0, sizeof info);
    info.word0 = lens_bits::kValid | 3u << lens_bits::kKindShift;
    info.word1 = lens_bits::kTimeFlag | 5u << lens_bits::kSecurityShift | lens_bits::kFurtherSecurity;
    info.word2 = 1000 | 0xF8u << 24; // key frames 1000 bytes, other frames 0x1F8
    info.word3 = 1 | 3u << 1 | 0xABu << 14;
    info.panoTypeEx = 0x0000001200000034ull;
    info.frameTime = 0xCAFE;
    MontSeiInfo packed = PackSeiInfo(info);
    EXPECT_EQ(packed.flags & 0xFF, 7u);
    EXPECT_EQ(packed.flags >> 8 & 3, 1u);
    EXPECT_EQ(packed.flags >> 10 & 0x3FF, 1000u);
    EXPECT_EQ(packed.flags >> 20 & 0x3FF, 0x1F8u);
    EXPECT_EQ(packed.flags >> 30, 3u);
    EXPECT_EQ(packed.lensWord, 0xABu);
    EXPECT_EQ(packed.securityBits, 5u);
    EXPECT_EQ(packed.furtherSecurity, 1u);
    EXPECT_EQ(packed.panoTypeLow, 0x34u);
    EXPECT_EQ(packed.panoTypeHigh, 0x12u);
    EXPECT_EQ(packed.frameTimeOrOsd, 0xCAFEu);
}

TEST(PanoTypeCode, LayoutsFollowTheirTable)
{
    struct Case {
        PanoLayout layout;
        uint64_t code;
        uint32_t width, height, lensType, lensNumber, panRange, tiltRange, radius;
    };
    auto at = [](uint64_t value, int low) { return value << low; };
    const Case cases[] = {
        {PanoLayout::Nibble2, 2 | at(16, 4) | at(9, 9) | at(240, 14) | at(1, 36) | at(3, 39), 1920, 1080, 1, 3, 0, 0, 0},
        {PanoLayout::Nibble3, 3 | at(5, 4) | at(7, 7) | at(4, 23) | at(3, 28) | at(320, 33) | at(1800, 44), 2560, 1920,
         5, 7, 1800, 0, 0},
        {PanoLayout::Nibble4, 4 | at(6, 4) | at(9, 7) | at(16, 13) | at(9, 18) | at(160, 23) | at(1500, 34) | at(900, 45),
         1280, 720, 6, 9, 1500, 900, 0},
        {PanoLayout::Nibble5, 5 | at(0, 4) | at(100, 7) | at(88, 14) | at(72, 25) | at(1200, 35), 704, 576, 0, 100, 1200,
         0, 0},
        {PanoLayout::Control, 7 | at(4, 4) | at(3, 9) | at(256, 14) | at(500, 25) | at(1, 36) | at(2, 39), 2048, 1536, 1,
         2, 0, 0, 2000},
        {PanoLayout::QnTypeWord, 1 | at(1, 4) | at(1, 9) | at(128, 14) | at(33, 25), 1024, 1024, 0, 33, 0, 0, 0},
        {PanoLayout::Nibble2, 2 | at(0, 4) | at(9, 9) | at(240, 14), 1920, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        PanoGeometry g = DecodePano(c.code, c.layout);
        EXPECT_EQ(g.width, c.width) << c.code;
        EXPECT_EQ(g.height, c.height) << c.code;
        EXPECT_EQ(g.heightKnown, c.height != 0) << c.code;
        EXPECT_EQ(g.lensType, c.lensType) << c.code;
        EXPECT_EQ(g.lensNumber, c.lensNumber) << c.code;
        EXPECT_EQ(g.panRange, c.panRange) << c.code;
        EXPECT_EQ(g.tiltRange, c.tiltRange) << c.code;
        EXPECT_EQ(g.radius, c.radius) << c.code;
    }
}

TEST(LensTailBlocks, PtzBlockReadsTheSameThroughTheLinkageLibrarysRecord)
{
    LensBlockSource source;
    source.ptzPan = 123.4f;
    source.ptzTilt = -35.5f;
    source.panoTypeEx = 0x0000001234567894ull;
    source.frameTime = 0x6A123456;
    uint8_t block[kPtzBlockSize];
    WritePtzBlock(source, 0, block);
    _qnpl_ptz_jpg_tail_ tail;
    static_assert(sizeof tail == kPtzBlockSize);
    std::memcpy(&tail, block, sizeof tail);
    EXPECT_EQ(tail.word0 & 0x3FF, 2u);
    EXPECT_EQ(tail.word0 >> 10 & 0xFF, 32u);
    EXPECT_EQ(tail.word0 >> 18 & 0xFFF, 1234u);
    EXPECT_EQ(tail.word0 >> 30 & 0xFFF, static_cast<uint64_t>(-355 + 1800));
    EXPECT_EQ(tail.word0 >> 42 & 1, 1u) << "bit 10 of the second word";
    EXPECT_EQ(tail.word1, source.panoTypeEx);
    EXPECT_EQ(static_cast<uint32_t>(tail.host[0]), 0x6A123456u);
    PtzBlockValues back = ReadPtzBlock(block);
    EXPECT_FLOAT_EQ(back.pan, 123.4f);
    EXPECT_FLOAT_EQ(back.tilt, -35.5f);

    // The union image's tilt block, as the linkage library writes it.
    _qnpl_jpg_tail_ptz_pano_ union_tail{QNPL_UNION_TAIL_TAG, 2400, 1200};
    static_assert(sizeof union_tail == kTiltBlockSize);
    uint8_t tilt[kTiltBlockSize];
    std::memcpy(tilt, &union_tail, sizeof tilt);
    uint32_t head = union_tail.tag;
    EXPECT_EQ(TailKindOf(head), static_cast<uint32_t>(TailKind::Tilt));
    EXPECT_EQ(TailSizeOf(head), kTiltBlockSize);
    TiltBlockValues values = ReadTiltBlock(tilt);
    EXPECT_EQ(values.upper, 2400);
    EXPECT_EQ(values.lower, 1200);
}

TEST(LensTailBlocks, PanoramaBlockMatchesTheFixtureTool)
{
    if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is not installed";
    testing_support::TempFolder folder;
    LensBlockSource source;
    source.width = 2048;
    source.height = 1536;
    source.centerX = 1030;
    source.centerY = 760;
    source.radius = 900;
    source.tilt = 12.5f;
    source.rotate = 90.25f;
    source.panoTypeEx = 0x0000001240040242ull;
    source.frameTime = 0x69ABCDEF;
    uint8_t block[kPanoramaBlockSize];
    WritePanoramaBlock(source, 0, block);
    // (1030 - 1024 + 510) / 2 = 258, (760 - 768 + 510) / 2 = 251, radius / 2 = 450
    const std::string path = folder.Path() + "/pano.bin";
    auto made = RunFixture("tail 1 " + path + " tilt=12.5 rotate=90.25 time=0x69ABCDEF off_x=258 off_y=251 radius2=450 "
                           "type=0x0000001240040242");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_EQ(streams_test::ReadFile(path), std::vector<uint8_t>(block, block + sizeof block));

    uint8_t ptz[kPtzBlockSize];
    source.ptzPan = 359.9f;
    source.ptzTilt = 90;
    WritePtzBlock(source, 0, ptz);
    made = RunFixture("tail 2 " + path + " pan=359.9 ptz_tilt=90 time=0x69ABCDEF type=0x0000001240040242");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_EQ(streams_test::ReadFile(path), std::vector<uint8_t>(ptz, ptz + sizeof ptz));

    // Without a frame time the block carries the packed date of now.
    source.frameTime = 0;
    WritePanoramaBlock(source, 0x12345678, block);
    EXPECT_EQ(ReadPanoramaBlock(block).frameTime, 0x12345678u);
    EXPECT_TRUE(ReadPanoramaBlock(block).timeFlag);
}

TEST(LensTailBlocks, PtzTypeCodeOfNibbleFiveCarriesTheReducedAspect)
{
    // 704 x 576 reduces to 11 : 9.
    uint64_t code = 5 | 3ull << 4 | 17ull << 7 | 88ull << 14 | 72ull << 25;
    uint64_t rebuilt = PtzBlockTypeCode(code);
    PanoGeometry g = DecodePano(rebuilt, PanoLayout::Nibble2);
    EXPECT_EQ(rebuilt & 0xF, 2u);
    EXPECT_EQ(g.width, 704u);
    EXPECT_EQ(g.height, 576u);
    EXPECT_EQ(g.lensType, 3u);
    EXPECT_EQ(g.lensNumber, 17u);
    // 1000 x 1000 + 8 does not reduce below 32: kept.
    uint64_t odd = 5 | 125ull << 14 | 126ull << 25;
    EXPECT_EQ(PtzBlockTypeCode(odd), odd);
    EXPECT_EQ(PtzBlockTypeCode(0x1234), 0x1234u);
}

TEST(PrivateSeiWithFfmpeg, InjectedUnitsAreValidSeiAndLeaveDecodingAlone)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3")) {
        GTEST_SKIP() << "ffmpeg or python3 is not installed";
    }
    testing_support::TempFolder folder;
    const std::string plain = streams_test::MakeStream(
        folder.Path(), "plain", "-f lavfi -i testsrc2=size=320x240:rate=10 -t 1 -pix_fmt yuv420p -c:v libx264 -g 5");
    ASSERT_FALSE(plain.empty());
    const std::string sei = folder.Path() + "/q3.bin";
    auto made = RunFixture("sei 3 " + sei + " size=70 time=1 time_value=0x69ABCDEF");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string injected = folder.Path() + "/with_sei.h264";
    ASSERT_EQ(RunFixture("inject " + plain + " " + injected + " " + sei).exitCode, 0);
    EXPECT_GT(streams_test::ReadFile(injected).size(), streams_test::ReadFile(plain).size());

    auto trace = testing_support::RunCommand("ffmpeg -f h264 -i " + injected +
                                             " -c copy -bsf:v trace_headers -f null - 2>&1");
    std::regex typeLine(R"(last_payload_type_byte\s+[01]+ = (\d+))");
    std::regex sizeLine(R"(last_payload_size_byte\s+[01]+ = (\d+))");
    int privateUnits = 0;
    std::istringstream lines(trace.output);
    std::string pendingType;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, typeLine)) pendingType = match[1];
        if (std::regex_search(line, match, sizeLine) && pendingType == "240") {
            EXPECT_EQ(match[1], "70");
            ++privateUnits;
        }
    }
    EXPECT_EQ(privateUnits, 2) << "one per key frame of a 10-frame stream with a GOP of 5";
    EXPECT_EQ(streams_test::FrameMd5(injected), streams_test::FrameMd5(plain));
}

TEST(LensTailBlocksWithFfmpeg, TailBehindTheJpegLeavesThePictureAlone)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3")) {
        GTEST_SKIP() << "ffmpeg or python3 is not installed";
    }
    testing_support::TempFolder folder;
    const std::string jpg = folder.Path() + "/s.jpg";
    const std::string tailed = folder.Path() + "/s_tail.jpg";
    ASSERT_EQ(testing_support::RunCommand("ffmpeg -v error -f lavfi -i testsrc=size=160x120 -frames:v 1 " + jpg).exitCode, 0);
    ASSERT_EQ(RunFixture("append-tail " + jpg + " " + tailed + " 2 pan=10 ptz_tilt=5 type=5").exitCode, 0);
    EXPECT_EQ(streams_test::ReadFile(tailed).size(), streams_test::ReadFile(jpg).size() + kPtzBlockSize);
    EXPECT_EQ(streams_test::FrameMd5(tailed, "image2"), streams_test::FrameMd5(jpg, "image2"));
}

} // namespace
