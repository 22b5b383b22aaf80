#include "Depend/ini_config.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class IniConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = platform_wide(dir_.Path());
        ini_.SetFolder(folder_.c_str());
        ini_.SetFileName(L"Config.ini");
    }
    static std::wstring platform_wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
    std::string FilePath() const { return dir_.Path() + "/Config.ini"; }

    testing_support::TempFolder dir_;
    std::wstring folder_;
    IniConfig ini_;
};

TEST(IniConfigDefaults, WithoutADataFolderNothingIsReadOrWritten)
{
    IniConfig ini; // the folders were never set up in this process
    EXPECT_EQ(ini.FullPath(), L"/Config.ini");
    wchar_t value[8] = L"x";
    EXPECT_EQ(ini.ReadString(L"Setting", L"Lan", value, 8), 0);
    EXPECT_EQ(std::wstring(value), L"");
    EXPECT_EQ(ini.ReadIntValue(L"Setting", L"Lan"), -1);
    EXPECT_EQ(ini.WriteInt(L"Setting", L"Lan", 1), 0);
}

TEST_F(IniConfigTest, IntegersReadLikeTheStandardConversion)
{
    ASSERT_EQ(ini_.WriteString(L"Setting", L"Text", L"abc"), 1);
    ASSERT_EQ(ini_.WriteInt(L"Setting", L"Lan", -42), 1);
    ASSERT_EQ(ini_.WriteString(L"Setting", L"Mixed", L" 12px"), 1);
    int out = 7;
    EXPECT_EQ(ini_.ReadInt(L"Setting", L"Text", &out), 1);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(ini_.ReadIntValue(L"setting", L"LAN"), -42);
    EXPECT_EQ(ini_.ReadIntValue(L"Setting", L"Mixed"), 12);
    EXPECT_EQ(ini_.ReadInt(L"Setting", L"Missing", &out), 0);
    EXPECT_EQ(out, -1);
    EXPECT_EQ(ini_.ReadIntValue(L"Location", L"1234"), -1);
}

TEST_F(IniConfigTest, ValuesAreCutAt199CharactersAndToTheCallersBuffer)
{
    std::wstring longValue(250, L'v');
    ASSERT_EQ(ini_.WriteString(L"Setting", L"Capture", longValue.c_str()), 1);
    wchar_t big[300];
    EXPECT_EQ(ini_.ReadString(L"Setting", L"Capture", big, 300), 1);
    EXPECT_EQ(std::wstring(big), std::wstring(199, L'v'));
    wchar_t small[10];
    EXPECT_EQ(ini_.ReadString(L"Setting", L"Capture", small, 10), 1);
    EXPECT_EQ(std::wstring(small), std::wstring(9, L'v'));
}

TEST_F(IniConfigTest, NarrowReadsFitTheCallersBufferOnCharacterBoundaries)
{
    ASSERT_EQ(ini_.WriteStringA(L"USER", L"NAME", "M\xC3\xBCller-\xE4\xB8\xAD\xE6\x96\x87"), 1);
    char twenty[20];
    EXPECT_EQ(ini_.ReadStringA(L"USER", L"NAME", twenty), 9); // characters read
    EXPECT_STREQ(twenty, "M\xC3\xBCller-\xE4\xB8\xAD\xE6\x96\x87");
    char eight[8];
    ini_.ReadStringA(L"USER", L"NAME", eight);
    EXPECT_STREQ(eight, "M\xC3\xBCller"); // the cut never splits "ü"
    char nine[9];
    ini_.ReadStringA(L"USER", L"NAME", nine);
    EXPECT_STREQ(nine, "M\xC3\xBCller-");
}

TEST_F(IniConfigTest, FileNamesWithBackslashesLandInTheFolder)
{
    ASSERT_TRUE(platform::MakeDirectory(dir_.Path() + "/User"));
    ini_.SetFileName(L"\\User\\user");
    ASSERT_EQ(ini_.WriteString(L"CODE", L"KEY", L"k"), 1);
    EXPECT_TRUE(platform::ReadWholeFile(dir_.Path() + "/User/user").has_value());
    ini_.SetFilePath((folder_ + L"/other.ini").c_str());
    ASSERT_EQ(ini_.WriteInt(L"A", L"B", 1), 1);
    EXPECT_TRUE(platform::ReadWholeFile(dir_.Path() + "/other.ini").has_value());
}

TEST_F(IniConfigTest, CrudiniAgrees)
{
    if (!testing_support::HaveCommand("crudini")) GTEST_FAIL() << "crudini is missing (Debian package crudini)";
    ASSERT_EQ(ini_.WriteInt(L"Setting", L"Lan", 2), 1);
    EXPECT_EQ(testing_support::Chomp(testing_support::RunCommand("crudini --get '" + FilePath() + "' Setting Lan").output),
              "2");
    testing_support::RunCommand("crudini --set '" + FilePath() + "' Setting Split 9");
    EXPECT_EQ(ini_.ReadIntValue(L"Setting", L"Split"), 9);
}

} // namespace
