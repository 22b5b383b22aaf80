#include "Depend/qn_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConversions, ConvertWholeTextsOrNothing)
{
    wchar_t wide[8];
    EXPECT_EQ(QNAnsiToWide("Gr\xC3\xB6\xC3\x9F" "e", wide, 8), 6);
    EXPECT_EQ(std::wstring(wide), L"Gr\u00F6\u00DFe");
    wchar_t tight[5] = L"keep";
    EXPECT_EQ(QNAnsiToWide("Gr\xC3\xB6\xC3\x9F" "e", tight, 5), 0);
    EXPECT_EQ(std::wstring(tight), L""); // cleared first, as the system conversion does

    char narrow[8];
    EXPECT_EQ(QNWideToAnsi(L"\u4E2D\u6587", narrow, 8), 7);
    EXPECT_STREQ(narrow, "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(QNWideToAnsi(L"\u4E2D\u6587", narrow, 6), 0);
    EXPECT_EQ(QNWideToAnsi(nullptr, narrow, 6), 0);
}

TEST(TextConversions, HexDigits)
{
    const char expected[] = "0123456789ABCDEF";
    for (int v = 0; v < 16; ++v) EXPECT_EQ(QNHexDigit(v), expected[v]);
    EXPECT_EQ(QNHexDigit(16), '?');
    EXPECT_EQ(QNHexDigit(-1), '?');
}

TEST(TextConversions, SplitKeepsEmptyPieces)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(QNSplitString("a,b,,c", ','), (V{"a", "b", "", "c"}));
    EXPECT_EQ(QNSplitString("a,b,", ','), (V{"a", "b", ""}));
    EXPECT_EQ(QNSplitString(",", ','), (V{"", ""}));
    EXPECT_EQ(QNSplitString("abc", ','), (V{"abc"}));
    EXPECT_EQ(QNSplitString("", ','), V{});
}

} // namespace
