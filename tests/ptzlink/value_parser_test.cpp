#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "value_parser.h"

namespace {

using qnpl::kParseFloat;
using qnpl::kParseInteger;
using qnpl::kParseSigned;
using qnpl::kParseUnsigned;
using qnpl::qnpl_parse_value;

// The C library's reading of a whole text as an integer with base prefixes,
// or false when strtoull does not consume all of it.
bool c_library_integer(const char* text, uint64_t* value)
{
    if (!*text || *text == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno == ERANGE || *end != '\0') return false;
    *value = v;
    return true;
}

TEST(ValueParser, UnsignedIntegersAgreeWithStrtoull)
{
    // Decimal, octal and "0x" with decimal digits (where base 16 reads them
    // as strtoull does), including every 32- and 64-bit range edge.
    const char* texts[] = {"0", "7", "15", "010", "0777", "08", "0x10", "0x99", "0x0", "4294967295", "4294967296",
                           "18446744073709551615", "18446744073709551616", "00", "0x4294967295", "1x", "12f"};
    for (const char* text : texts) {
        uint64_t expected = 0;
        const bool c_ok = c_library_integer(text, &expected);
        uint64_t v64 = 0;
        EXPECT_EQ(qnpl_parse_value(&v64, text, kParseInteger, kParseUnsigned, 64), c_ok ? 1 : 0) << text;
        if (c_ok) {
            EXPECT_EQ(v64, expected) << text;
        }
        uint32_t v32 = 0;
        const bool fits32 = c_ok && expected <= UINT32_MAX;
        EXPECT_EQ(qnpl_parse_value(&v32, text, kParseInteger, kParseUnsigned, 32), fits32 ? 1 : 0) << text;
        if (fits32) {
            EXPECT_EQ(v32, expected) << text;
        }
    }
}

TEST(ValueParser, WidthsAndSignsHoldTheirRanges)
{
    struct Case {
        const char* text;
        int sign;
        int width;
        bool ok;
        int64_t value;
    };
    const Case cases[] = {
        {"255", kParseUnsigned, 8, true, 255},     {"256", kParseUnsigned, 8, false, 0},
        {"127", kParseSigned, 8, true, 127},       {"128", kParseSigned, 8, false, 0},
        {"-127", kParseSigned, 8, true, -127},     {"65535", kParseUnsigned, 16, true, 65535},
        {"65536", kParseUnsigned, 16, false, 0},   {"32767", kParseSigned, 16, true, 32767},
        {"-20", kParseSigned, 16, true, -20},      {"40000", kParseSigned, 16, false, 0},
        {"2147483647", kParseSigned, 32, true, INT32_MAX},
        {"2147483648", kParseSigned, 32, false, 0},
        {"-2147483647", kParseSigned, 32, true, -INT32_MAX},
        {"9223372036854775806", kParseSigned, 64, true, INT64_MAX - 1},
        {"9223372036854775807", kParseSigned, 64, false, 0},
        {"-5", kParseUnsigned, 32, false, 0},      {"-010", kParseSigned, 32, true, -8},
    };
    for (const Case& c : cases) {
        int64_t raw = 0;
        ASSERT_EQ(qnpl_parse_value(&raw, c.text, kParseInteger, c.sign, c.width), c.ok ? 1 : 0)
            << c.text << " width " << c.width;
        if (!c.ok) continue;
        int64_t got = 0;
        switch (c.width) {
        case 8: got = c.sign == kParseSigned ? int64_t(int8_t(raw)) : int64_t(uint8_t(raw)); break;
        case 16: got = c.sign == kParseSigned ? int64_t(int16_t(raw)) : int64_t(uint16_t(raw)); break;
        case 32: got = c.sign == kParseSigned ? int64_t(int32_t(raw)) : int64_t(uint32_t(raw)); break;
        default: got = raw; break;
        }
        EXPECT_EQ(got, c.value) << c.text;
    }
}

TEST(ValueParser, FloatsAgreeWithStrtod)
{
    const char* texts[] = {"1.5", "12", "1.5f", "0.1", "365", "3.14159", "-2.25", "10.", ".5", "1F", "6.0"};
    for (const char* text : texts) {
        std::string stripped = text;
        if (!stripped.empty() && (stripped.back() == 'f' || stripped.back() == 'F')) stripped.pop_back();
        const double expected = std::strtod(stripped.c_str(), nullptr);
        float f = 0.0f;
        ASSERT_EQ(qnpl_parse_value(&f, text, kParseFloat, kParseSigned, 32), 1) << text;
        EXPECT_EQ(f, static_cast<float>(expected)) << text;
        double d = 0.0;
        ASSERT_EQ(qnpl_parse_value(&d, text, kParseFloat, kParseSigned, 64), 1) << text;
        EXPECT_NEAR(d, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << text;
    }
}

TEST(ValueParser, RefusesMalformedTextsAndLeavesTheOutputAlone)
{
    struct Case {
        const char* text;
        int mode;
        int width;
    };
    const std::string long_text(128, '1');
    const Case cases[] = {
        {"", kParseInteger, 32},      {"", kParseFloat, 32},        {"-", kParseInteger, 32},
        {"1.2.3", kParseFloat, 32},   {"1.5", kParseInteger, 32},   {"1.5", kParseFloat, 16},
        {"0b101", kParseInteger, 32}, {"0xa", kParseInteger, 32},   {"12a", kParseInteger, 32},
        {" 12", kParseInteger, 32},   {"1f5.2", kParseFloat, 32},   {"1.5ff", kParseFloat, 32},
        {"08", kParseInteger, 32},    {"0x", kParseInteger, 32},    {"1-2", kParseInteger, 32},
        {".", kParseFloat, 32},       {"--1", kParseFloat, 32},     {long_text.c_str(), kParseInteger, 64},
        {"123456789012345678901", kParseInteger, 64},
    };
    for (const Case& c : cases) {
        uint64_t out = 0xdeadbeefcafef00dull;
        EXPECT_EQ(qnpl_parse_value(&out, c.text, c.mode, kParseSigned, c.width), 0) << '"' << c.text << '"';
        EXPECT_EQ(out, 0xdeadbeefcafef00dull) << c.text;
    }
    const std::string longest(127, '1');
    double d = 0;
    EXPECT_EQ(qnpl_parse_value(&d, longest.c_str(), kParseFloat, kParseSigned, 64), 1) << "127 characters fit";
    uint32_t v = 0;
    EXPECT_EQ(qnpl_parse_value(&v, "12", 3, kParseSigned, 32), 0) << "unknown mode";
    EXPECT_EQ(qnpl_parse_value(&v, "12", kParseInteger, kParseSigned, 24), 0) << "unknown width";
    EXPECT_EQ(qnpl_parse_value(&v, nullptr, kParseInteger, kParseSigned, 32), 0);
}

}  // namespace
