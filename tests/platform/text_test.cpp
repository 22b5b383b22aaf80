#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

using platform::CopyBounded;
using platform::CopyIfFits;

TEST(Text, Utf8AndWideRoundTripEveryPlane)
{
    const std::string utf8 = "Gr\xC3\xB6\xC3\x9F" "e \xE3\x80\x90\xE4\xB8\xAD\xE3\x80\x91 \xF0\x9F\x93\xB7";
    std::wstring wide = platform::Utf8ToWide(utf8);
    EXPECT_EQ(wide, (std::wstring{L'G', L'r', 0xF6, 0xDF, L'e', L' ', 0x3010, 0x4E2D, 0x3011, L' ', 0x1F4F7}));
    EXPECT_EQ(platform::WideToUtf8(wide), utf8);
}

TEST(Text, MalformedUtf8BecomesReplacementCharacters)
{
    struct Case {
        std::string input;
        std::wstring expected;
    } cases[] = {
        {"a\xFF" "b", L"a\xFFFD" L"b"},
        {"\xC3", L"\xFFFD"},                          // truncated sequence
        {"\xC0\xAF", L"\xFFFD\xFFFD"},                 // overlong
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},       // encoded surrogate
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"}, // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Utf8ToWide(c.input), c.expected) << c.input.size();
        EXPECT_FALSE(platform::IsValidUtf8(c.input));
    }
    EXPECT_TRUE(platform::IsValidUtf8("Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x93\xB7"));
}

TEST(Text, Utf16LeMatchesIconv)
{
    // printf 'Größe📷' | iconv -f UTF-8 -t UTF-16LE | xxd
    const std::string expected("G\0r\0\xF6\0\xDF\0" "e\0" "\x3D\xD8\xF7\xDC", 14);
    std::wstring wide = platform::Utf8ToWide("Gr\xC3\xB6\xC3\x9F" "e\xF0\x9F\x93\xB7");
    EXPECT_EQ(platform::WideToUtf16Le(wide), expected);
    EXPECT_EQ(platform::Utf16LeToWide(expected), wide);
    // A lone high surrogate and an odd trailing byte do not break decoding.
    EXPECT_EQ(platform::Utf16LeToWide(std::string("\x3D\xD8" "A\0" "Z", 5)), L"\xFFFD" L"A");
}

TEST(Text, BoundedCopiesCutOnCharacterBoundariesAndAlwaysTerminate)
{
    char narrow[5];
    EXPECT_FALSE(CopyBounded(narrow, sizeof narrow, "ab\xE4\xB8\xAD" "c")); // 3-byte char would straddle
    EXPECT_STREQ(narrow, "ab");
    EXPECT_TRUE(CopyBounded(narrow, sizeof narrow, "abcd"));
    EXPECT_STREQ(narrow, "abcd");
    EXPECT_FALSE(CopyBounded(narrow, 0, "x"));

    wchar_t wide[3];
    EXPECT_FALSE(CopyBounded(wide, 3, L"abc"));
    EXPECT_EQ(std::wstring(wide), L"ab");

    char untouched[4] = {'x', 'y', 'z', '\0'};
    EXPECT_FALSE(CopyIfFits(untouched, sizeof untouched, "abcd"));
    EXPECT_STREQ(untouched, "xyz");
    EXPECT_TRUE(CopyIfFits(untouched, sizeof untouched, "abc"));
    EXPECT_STREQ(untouched, "abc");
}

} // namespace
