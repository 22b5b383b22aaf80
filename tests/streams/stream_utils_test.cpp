#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "streams/frame_rate.h"
#include "streams/packed_date.h"
#include "streams/stream_rate.h"
#include "streams/stream_text.h"
#include "streams/value_reader.h"
#include "support/run_command.h"

namespace {

using streams::ReadValue;
using streams::ValueKind;

TEST(StreamPackedDate, FieldsSitWhereFrameTimesExpectThem)
{
    platform::CivilTime time;
    time.year = 2026;
    time.month = 12;
    time.day = 8;
    time.hour = 10;
    time.minute = 7;
    time.second = 30;
    uint32_t packed = streams::PackDate(time);
    EXPECT_EQ(packed >> 26, 26u);
    EXPECT_EQ(packed >> 22 & 0xF, 12u);
    EXPECT_EQ(packed >> 17 & 0x1F, 8u);
    EXPECT_EQ(packed >> 12 & 0x1F, 10u);
    EXPECT_EQ(packed >> 6 & 0x3F, 7u);
    EXPECT_EQ(packed & 0x3F, 30u);
    platform::CivilTime back = streams::UnpackDate(packed);
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 8);
    EXPECT_EQ(back.second, 30);
    uint32_t now = 0;
    EXPECT_EQ(streams::PackedDateNow(nullptr), 0);
    ASSERT_EQ(streams::PackedDateNow(&now), 1);
    EXPECT_GE(now >> 26, 24u) << "a year after 2024";
}

TEST(StreamPackedDate, AgreesWithPythonOverAYearOfLocalInstants)
{
    if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is not installed";
    // Python breaks the instants down in the same local time zone.
    const char* script =
        "import datetime, random\n"
        "r = random.Random(20261208)\n"
        "base = int(datetime.datetime(2026, 1, 1).timestamp())\n"
        "for _ in range(400):\n"
        "    s = base + r.randrange(366 * 86400)\n"
        "    d = datetime.datetime.fromtimestamp(s)\n"
        "    print(s, ((d.year-2000)<<26)|(d.month<<22)|(d.day<<17)|(d.hour<<12)|(d.minute<<6)|d.second)\n";
    auto oracle = testing_support::RunCommand("python3 -c '" + std::string(script) + "'");
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);
    int compared = 0;
    int64_t seconds = 0;
    uint32_t expected = 0;
    while (lines >> seconds >> expected) {
        EXPECT_EQ(streams::PackDate(platform::ToLocalTime(seconds)), expected) << seconds;
        ++compared;
    }
    EXPECT_EQ(compared, 400);
}

TEST(StreamRateCounter, RecentWindowCountsFilledSlotsBesideTheCurrentOne)
{
    streams::StreamRate rate;
    EXPECT_EQ(rate.AddFirst(100, 0), 0) << "not allocated yet";
    rate.Allocate();
    // First series: slots 0, 1, 2 (current) with 1024, 2048, 4096 bytes; slot 0 twice.
    ASSERT_EQ(rate.AddFirst(512, 0), 1);
    ASSERT_EQ(rate.AddFirst(512, 50), 1);
    ASSERT_EQ(rate.AddFirst(2048, 150), 1);
    ASSERT_EQ(rate.AddFirst(4096, 250), 1);
    // Second series: slot 0 only, which is its current slot.
    ASSERT_EQ(rate.AddSecond(1000, 10), 1);

    streams::StreamRate::Rates recent = rate.Query("recently", 260);
    // Two slots of 100 ms: 3072 bytes and 3 frames over 200 ms.
    EXPECT_FLOAT_EQ(recent.firstKBps, 3072.0f * 1000 / (200 * 1024));
    EXPECT_FLOAT_EQ(recent.firstFps, 3 * 1000.0f / 200);
    EXPECT_FLOAT_EQ(recent.secondKBps, 0.0f);
    EXPECT_FLOAT_EQ(recent.secondFps, 0.0f);
    EXPECT_FLOAT_EQ(recent.bothKBps, 3072.0f * 1000 / (200 * 1024));

    // Advancing the second series makes its slot 0 count; an advance to the
    // same slot changes nothing.
    rate.AdvanceSecond(120);
    rate.AdvanceSecond(130);
    recent = rate.Query("recently", 260);
    EXPECT_FLOAT_EQ(recent.secondKBps, 1000.0f * 1000 / (100 * 1024));
    EXPECT_FLOAT_EQ(recent.secondFps, 10.0f);
    EXPECT_FLOAT_EQ(recent.bothKBps, 4072.0f * 1000 / (200 * 1024));

    streams::StreamRate::Rates total = rate.Query("total", 0);
    EXPECT_FLOAT_EQ(total.firstKBps, 0.0f) << "no time has passed since the first sample";
    total = rate.Query("total", 1000);
    EXPECT_FLOAT_EQ(total.firstKBps, 7168.0f / 1024);
    EXPECT_FLOAT_EQ(total.secondKBps, 1000.0f / 1024);
    EXPECT_FLOAT_EQ(total.bothKBps, 8168.0f / 1024);
    EXPECT_FLOAT_EQ(total.firstFps, 4.0f);
    EXPECT_FLOAT_EQ(total.secondFps, 1.0f);
    EXPECT_FLOAT_EQ(rate.Query("sometimes", 1000).firstFps, 0.0f);

    rate.Reset();
    EXPECT_FLOAT_EQ(rate.Query("total", 2000).firstKBps, 0.0f);
    rate.Free();
    EXPECT_TRUE(rate.Stopped());
    EXPECT_EQ(rate.AddSecond(1, 1), 0);
}

TEST(StreamRateCounter, SlotsWrapAfterTheFiveSecondWindow)
{
    streams::StreamRate rate;
    rate.Allocate();
    rate.AddFirst(1, 0);       // slot 0
    rate.AddFirst(10, 4999);   // slot 49, current
    rate.AddFirst(100, 5000);  // slot 0 again, started afresh
    streams::StreamRate::Rates recent = rate.Query("recently", 5000);
    // Slot 49 (10 bytes, 1 frame) is the only filled slot beside current slot 0.
    EXPECT_FLOAT_EQ(recent.firstKBps, 10.0f * 1000 / (100 * 1024));
    EXPECT_FLOAT_EQ(recent.firstFps, 10.0f);
    rate.AddFirst(1000, 5010); // accumulates in slot 0
    rate.AdvanceFirst(5100);   // slot 1 current and empty
    recent = rate.Query("recently", 5100);
    EXPECT_FLOAT_EQ(recent.firstKBps, 1110.0f * 1000 / (200 * 1024));
    EXPECT_FLOAT_EQ(recent.firstFps, 3 * 1000.0f / 200);
}

TEST(StreamValueReader, IntegersAgreeWithTheCLibrary)
{
    const char* texts[] = {"0", "7", "255", "65535", "4294967295", "18446744073709551615", "1048576", "123456789012"};
    for (const char* text : texts) {
        uint64_t value = 0;
        ASSERT_EQ(ReadValue(text, ValueKind::Integer, false, 64, &value), 1) << text;
        EXPECT_EQ(value, std::strtoull(text, nullptr, 10)) << text;
        int64_t signedValue = 0;
        std::string negative = std::string("-") + text;
        if (ReadValue(negative, ValueKind::Integer, true, 64, &signedValue) == 1) {
            EXPECT_EQ(signedValue, std::strtoll(negative.c_str(), nullptr, 10)) << negative;
        }
    }
    const char* reals[] = {"12.5", "-0.25", "0.5", "90.", ".75", "1048576.125", "-12", "3.0f", "3.0F"};
    for (const char* text : reals) {
        double wide = 0;
        ASSERT_EQ(ReadValue(text, ValueKind::Real, true, 64, &wide), 1) << text;
        EXPECT_EQ(wide, std::strtod(text, nullptr)) << text;
        float narrow = 0;
        ASSERT_EQ(ReadValue(text, ValueKind::Real, true, 32, &narrow), 1) << text;
        EXPECT_EQ(narrow, std::strtof(text, nullptr)) << text;
    }
}

TEST(StreamValueReader, RangesSignsAndNotationsAreChecked)
{
    struct Case {
        const char* text;
        bool isSigned;
        int bits;
        int result;
        int64_t value;
    };
    const Case cases[] = {
        {"255", false, 8, 1, 255},        {"300", false, 8, 0, 0},       {"-5", false, 32, 0, 0},
        {"-128", true, 8, 1, -128},       {"128", true, 8, 0, 0},        {"-129", true, 8, 0, 0},
        {"65535", false, 16, 1, 65535},   {"65536", false, 16, 0, 0},    {"-32768", true, 16, 1, -32768},
        {"4294967295", false, 32, 1, 4294967295LL}, {"4294967296", false, 32, 0, 0},
        {"-2147483648", true, 32, 1, INT32_MIN},     {"2147483648", true, 32, 0, 0},
        {"12a", false, 32, 0, 0},         {"0x10", false, 32, 0, 0},     {"0b1", false, 32, 0, 0},
        {"012", false, 32, 0, 0},         {"", false, 32, 0, 0},         {"1.5", false, 32, 0, 0},
        {"1-2", true, 32, 0, 0},          {"--1", true, 32, 0, 0},       {"+1", true, 32, 0, 0},
        {" 1", false, 32, 0, 0},          {"0", false, 32, 1, 0},        {"-0", true, 32, 1, 0},
        {"1f", false, 32, 0, 0},          {"18446744073709551616", false, 64, 0, 0},
    };
    for (const Case& c : cases) {
        int64_t value = 0;
        int result = 0;
        auto read = [&](auto typed) {
            result = ReadValue(c.text, ValueKind::Integer, c.isSigned, c.bits, &typed);
            value = static_cast<int64_t>(typed);
        };
        if (c.bits == 8) c.isSigned ? read(int8_t{}) : read(uint8_t{});
        if (c.bits == 16) c.isSigned ? read(int16_t{}) : read(uint16_t{});
        if (c.bits == 32) c.isSigned ? read(int32_t{}) : read(uint32_t{});
        if (c.bits == 64) read(uint64_t{});
        EXPECT_EQ(result, c.result) << c.text << " in " << c.bits << " bits";
        if (c.result == 1) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    float real = 7;
    for (const char* bad : {"1.2.3", "00.5", "-", ".", "1e5", "0x1.8", "nan", "inf", "1.5ff", "1f.5"}) {
        EXPECT_EQ(ReadValue(bad, ValueKind::Real, true, 32, &real), 0) << bad;
    }
    EXPECT_EQ(real, 7.0f) << "a refused text leaves the output alone";
    EXPECT_EQ(ReadValue(std::string(128, '1'), ValueKind::Integer, false, 64, &real), 0);
}

std::vector<uint8_t> QnUnit(char second, uint8_t rate, std::size_t leading = 0)
{
    std::vector<uint8_t> buffer(leading, 0xAB);
    std::vector<uint8_t> unit = {0, 0, 0, 1, 0x06, 0xF0, 60, 'Q', static_cast<uint8_t>(second)};
    unit.resize(67, 0x11);
    unit[54] = rate;
    buffer.insert(buffer.end(), unit.begin(), unit.end());
    return buffer;
}

TEST(StreamFrameRateProbe, ReadsTheRateByteOfAQnUnitNearTheStart)
{
    struct Case {
        uint8_t rate;
        float expected;
    };
    for (Case c : {Case{0, 20.0f}, Case{25, 25.0f}, Case{30, 30.0f}, Case{32, 0.5f}, Case{35, 0.2f}}) {
        std::vector<uint8_t> buffer = QnUnit('N', c.rate, 10);
        float rate = -1;
        ASSERT_EQ(streams::ProbeFrameRate(buffer.data(), buffer.size(), &rate), 1) << int{c.rate};
        EXPECT_FLOAT_EQ(rate, c.expected) << int{c.rate};
    }
    float rate = -1;
    std::vector<uint8_t> other = QnUnit('X', 25);
    EXPECT_EQ(streams::ProbeFrameRate(other.data(), other.size(), &rate), 0) << "magic QX";
    std::vector<uint8_t> late = QnUnit('N', 25, 256);
    EXPECT_EQ(streams::ProbeFrameRate(late.data(), late.size(), &rate), 0) << "start code past 256 bytes";
    std::vector<uint8_t> edge = QnUnit('N', 25, 255);
    EXPECT_EQ(streams::ProbeFrameRate(edge.data(), edge.size(), &rate), 1) << "start code at byte 255";
    std::vector<uint8_t> cut = QnUnit('N', 25);
    EXPECT_EQ(streams::ProbeFrameRate(cut.data(), 54, &rate), 0) << "rate byte beyond the buffer";
    EXPECT_EQ(streams::ProbeFrameRate(nullptr, 0, &rate), 0);
}

TEST(StreamText, CountsAndLowerCasesInPlace)
{
    EXPECT_EQ(streams::CountChar("h264&audio&jpg", '&'), 2);
    EXPECT_EQ(streams::CountChar(nullptr, '&'), 0);
    char text[] = "Pano_TypeEx-\xC3\x84";
    streams::LowerAscii(text);
    EXPECT_STREQ(text, "pano_typeex-\xC3\x84");
    EXPECT_EQ(streams::StreamThreadHook(), 0);
}

} // namespace
