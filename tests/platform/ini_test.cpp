#include "platform/ini.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using platform::ReadIniValue;
using platform::WriteIniValue;
using testing_support::RunCommand;

class Ini : public ::testing::Test {
protected:
    void Write(const std::string& bytes) { ASSERT_TRUE(platform::WriteWholeFile(path_, bytes)); }
    std::string Content() { return platform::ReadWholeFile(path_).value_or("<missing>"); }
    std::optional<std::string> Read(const char* section, const char* key) { return ReadIniValue(path_, section, key); }

    testing_support::TempFolder dir_;
    std::string path_ = dir_.Path() + "/Config.ini";
};

TEST_F(Ini, ReadsWithPrivateProfileRules)
{
    Write("; settings\n"
          "top=outside\n"
          "  [ Setting ]  \n"
          "  LAN =  2  \n"
          "Name=\"  quoted  \"\n"
          "Single='x'\n"
          "Half=\"open\n"
          "lan=second\n"
          "Bare\n"
          "#Hidden=1\n"
          "[setting]\n"
          "Other=ignored\n"
          "[Config]\r\n"
          "LOCA=us\r\n");
    EXPECT_EQ(Read("setting", "Lan"), "2");             // names trimmed, case ignored, first match
    EXPECT_EQ(Read("SETTING", "name"), "  quoted  ");   // one pair of quotes stripped, inside kept
    EXPECT_EQ(Read("Setting", "Single"), "x");
    EXPECT_EQ(Read("Setting", "Half"), "\"open");
    EXPECT_EQ(Read("Setting", "Bare"), "");              // a line without "=" is an empty value
    EXPECT_FALSE(Read("Setting", "Other").has_value()); // only the first section counts
    EXPECT_FALSE(Read("Setting", "#Hidden").has_value());
    EXPECT_FALSE(Read("Setting", "top").has_value());
    EXPECT_EQ(Read("config", "loca"), "us");
    EXPECT_FALSE(Read("Missing", "x").has_value());
    EXPECT_FALSE(ReadIniValue(dir_.Path() + "/none.ini", "a", "b").has_value());
}

TEST_F(Ini, WriteChangesOneLineAndKeepsEveryOtherByteForByte)
{
    const std::string before = "; comment =kept\r\n[Setting]\r\nFIRST = 1 \r\n\r\nLan=0\r\n\r\n[Config]\r\nLOCA=us";
    Write(before);
    ASSERT_TRUE(WriteIniValue(path_, "setting", "first", "0"));
    ASSERT_TRUE(WriteIniValue(path_, "Setting", "Split", "4"));
    ASSERT_TRUE(WriteIniValue(path_, "Location", "1234", "1"));
    EXPECT_EQ(Content(),
              "; comment =kept\r\n[Setting]\r\nFIRST=0\r\n\r\nLan=0\r\nSplit=4\r\n\r\n[Config]\r\nLOCA=us\r\n"
              "[Location]\r\n1234=1\r\n");
}

TEST_F(Ini, WriteCreatesAMissingFileAndRefusesStructureBreakingText)
{
    ASSERT_TRUE(WriteIniValue(path_, "USER", "NAME", "tom"));
    EXPECT_EQ(Content(), "[USER]\nNAME=tom\n");
    EXPECT_FALSE(WriteIniValue(path_, "USER", "NAME", "a\nb"));
    EXPECT_FALSE(WriteIniValue(path_, "USER", "A=B", "x"));
    EXPECT_FALSE(WriteIniValue(path_, "US]ER", "A", "x"));
    EXPECT_FALSE(WriteIniValue(path_, "", "A", "x"));
    for (const char* unreadable : {"[K]", ";K", "#K"}) EXPECT_FALSE(WriteIniValue(path_, "USER", unreadable, "v"));
    EXPECT_FALSE(WriteIniValue(path_, "USER", "NAME", "\xD5" "broken"));
    EXPECT_EQ(Content(), "[USER]\nNAME=tom\n");
    EXPECT_FALSE(WriteIniValue(dir_.Path() + "/no/such/folder.ini", "a", "b", "c"));
}

TEST_F(Ini, AFileThatCannotBeReadIsNeverReplaced)
{
    // A folder in the file's place cannot be read even by root.
    std::string path = dir_.Path() + "/taken.ini";
    ASSERT_TRUE(platform::MakeDirectory(path));
    ASSERT_TRUE(platform::WriteWholeFile(path + "/inside", "keep"));
    EXPECT_FALSE(WriteIniValue(path, "USER", "NAME", "x"));
    EXPECT_EQ(platform::ReadWholeFile(path + "/inside").value_or(""), "keep");
}

TEST_F(Ini, Utf16FilesStayUtf16)
{
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return bytes;
    };
    Write(utf16(u"[dict]\nDE=\u00D6ster\n"));
    EXPECT_EQ(Read("dict", "DE"), "\xC3\x96ster");
    ASSERT_TRUE(WriteIniValue(path_, "dict", "AT", "\xC3\x96"));
    EXPECT_EQ(Content(), utf16(u"[dict]\nDE=\u00D6ster\nAT=\u00D6\n"));
}

TEST_F(Ini, CrudiniReadsWhatWeWriteAndTheOtherWayRound)
{
    if (!testing_support::HaveCommand("crudini")) GTEST_FAIL() << "crudini is missing (Debian package crudini)";
    ASSERT_TRUE(WriteIniValue(path_, "Setting", "Lan", "3"));
    ASSERT_TRUE(WriteIniValue(path_, "Setting", "Capture", "/home/u/Pictures"));
    EXPECT_EQ(testing_support::Chomp(RunCommand("crudini --get '" + path_ + "' Setting Lan").output), "3");
    EXPECT_EQ(testing_support::Chomp(RunCommand("crudini --get '" + path_ + "' Setting Capture").output),
              "/home/u/Pictures");

    ASSERT_EQ(RunCommand("crudini --set '" + path_ + "' Config COUNTRY 'United Kingdom'").exitCode, 0);
    ASSERT_EQ(RunCommand("crudini --set '" + path_ + "' Setting Lan 5").exitCode, 0);
    EXPECT_EQ(Read("Config", "COUNTRY"), "United Kingdom");
    EXPECT_EQ(Read("Setting", "Lan"), "5");
    EXPECT_EQ(Read("Setting", "Capture"), "/home/u/Pictures");
}

} // namespace
