// The settings files against crudini, an outside ini reader and writer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "Depend/qn_folders.h"
#include "platform/text.h"
#include "settings_files.h"
#include "support/run_command.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Chomp;
using testing_support::RunCommand;

// One data folder for the whole binary: start-up runs once per process.
class SettingsFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static testing_support::TempFolder home;
        static testing_support::ScopedEnv appData("APPDATA", home.Path().c_str());
        ASSERT_EQ(QNDefineInit(), 1);
        data_ = home.Path() + "/OstrelS";
    }

    void SetUp() override
    {
        if (!testing_support::HaveCommand("crudini")) GTEST_SKIP() << "crudini is not installed";
        for (const char* name : {"Config.ini", "User/user", "setup.dat", "Res/country"})
            fs::remove(data_ + "/" + name);
    }

    static std::string Path(const std::string& name) { return data_ + "/" + name; }
    static std::string Get(const std::string& file, const std::string& section, const std::string& key)
    {
        return Chomp(RunCommand("crudini --get '" + Path(file) + "' '" + section + "' '" + key + "' 2>&1").output);
    }
    static void Set(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value)
    {
        ASSERT_EQ(RunCommand("crudini --set '" + Path(file) + "' '" + section + "' '" + key + "' '" + value + "'")
                      .exitCode,
                  0);
    }

    static inline std::string data_;
};

TEST_F(SettingsFiles, WrittenValuesReadBackHereAndInCrudini)
{
    const std::wstring capture = platform::Utf8ToWide(data_ + "/月 captures");
    settings::MarkStarted();
    settings::SetLanguage(settings::kKorean);
    ASSERT_EQ(settings::SetCaptureFolder(capture), 1);
    ASSERT_EQ(settings::SetRecordFolder(L"/tmp/rec"), 1);
    ASSERT_EQ(settings::SetLastRecordFolder(L"/tmp/last"), 1);
    ASSERT_EQ(settings::SetRegionCode("sg"), 1);
    ASSERT_EQ(settings::SetCountryCode("SG"), 1);
    ASSERT_EQ(settings::SetPtzSpeed(5), 1);
    ASSERT_EQ(settings::SetRecordLocation(123456, 1), 1);
    ASSERT_EQ(settings::SetUser("x#9Q", 1), 1);

    EXPECT_EQ(Get("Config.ini", "Setting", "FIRST"), "0");
    EXPECT_EQ(Get("Config.ini", "Setting", "Lan"), "2");
    EXPECT_EQ(Get("Config.ini", "Setting", "Capture"), data_ + "/月 captures");
    EXPECT_EQ(Get("Config.ini", "Setting", "Record"), "/tmp/rec");
    EXPECT_EQ(Get("Config.ini", "Config", "LASTRCD"), "/tmp/last");
    EXPECT_EQ(Get("Config.ini", "Config", "LOCA"), "sg");
    EXPECT_EQ(Get("Config.ini", "Config", "COUNTRY"), "SG");
    EXPECT_EQ(Get("Config.ini", "Config", "PTZSPEED"), "5");
    EXPECT_EQ(Get("Config.ini", "Location", "123456"), "1");
    EXPECT_EQ(Get("User/user", "USER", "NAME"), "x#9Q");
    EXPECT_EQ(Get("User/user", "USER", "REM"), "1");

    EXPECT_EQ(settings::FirstStart(), 0);
    EXPECT_EQ(settings::LanguageValue(), 2);
    EXPECT_EQ(settings::CaptureFolder(), capture);
    EXPECT_EQ(settings::LastRecordFolder(), L"/tmp/last");
    EXPECT_EQ(settings::RecordLocation(123456), 1);
    EXPECT_EQ(settings::UserName(), "x#9Q");
    EXPECT_EQ(settings::RememberFlag(), 1);
    char code[settings::kCodeCapacity];
    settings::RegionCode(code, sizeof code);
    EXPECT_STREQ(code, "sg");
}

TEST_F(SettingsFiles, HandEditedValuesAreReadAndCutToTheirBuffers)
{
    Set("Config.ini", "Config", "LOCA", std::string(40, 'r'));
    Set("Config.ini", "Config", "COUNTRY", "C\xC3\xA9" + std::string(30, 'c'));
    Set("User/user", "CODE", "KEY", std::string(100, 'k'));
    Set("User/user", "CODE", "CODE", "3");
    char code[settings::kCodeCapacity];
    settings::RegionCode(code, sizeof code);
    EXPECT_EQ(std::string(code), std::string(19, 'r'));
    settings::CountryCode(code, sizeof code);
    EXPECT_EQ(std::strlen(code), 19u);
    EXPECT_EQ(std::string(code, 3), "C\xC3\xA9");
    char key[settings::kSdkKeyCapacity];
    settings::SdkKey(key, sizeof key);
    EXPECT_EQ(std::string(key), std::string(63, 'k'));
    EXPECT_EQ(settings::SdkCode(), 3);
}

TEST_F(SettingsFiles, SplitValuesOutsideTheModelsGiveOneWindow)
{
    EXPECT_EQ(settings::SplitModel(), 0); // no file
    const std::pair<const char*, int> cases[] = {{"0", 0}, {"3", 3}, {"6", 6}, {"7", 0}, {"9", 0}, {"-1", 0}, {"", 0}};
    for (const auto& [text, model] : cases) {
        Set("Config.ini", "Setting", "Split", text);
        EXPECT_EQ(settings::SplitModel(), model) << text;
    }
}

TEST_F(SettingsFiles, WithoutConfigIniTheDefaultsHoldAndFoldersAreWrittenBack)
{
    EXPECT_EQ(settings::LanguageValue(), -1);
    EXPECT_EQ(settings::FirstStart(), -1);
    EXPECT_EQ(settings::RecordLocation(7), -1);
    EXPECT_EQ(settings::SdkCode(), 7);
    EXPECT_EQ(settings::CaptureFolder(), L"");

    wchar_t fallback[settings::kFolderCapacity];
    ASSERT_EQ(QNGetCapturePath(fallback, settings::kFolderCapacity), 1);
    EXPECT_EQ(settings::UsableCaptureFolder(), fallback);
    EXPECT_EQ(Get("Config.ini", "Setting", "Capture"), platform::WideToUtf8(fallback));

    // Too short, and a path under a file: both replaced by the default.
    const std::string blocker = Path("blocker");
    std::ofstream(blocker) << "x";
    for (const std::string& stored : {std::string("ab"), blocker + "/records"}) {
        Set("Config.ini", "Setting", "Record", stored);
        ASSERT_EQ(QNGetRecordPath(fallback, settings::kFolderCapacity), 1);
        EXPECT_EQ(settings::UsableRecordFolder(), fallback) << stored;
        EXPECT_EQ(Get("Config.ini", "Setting", "Record"), platform::WideToUtf8(fallback)) << stored;
    }
    // A usable one is kept, and made.
    Set("Config.ini", "Setting", "Record", data_ + "/mine/rec");
    EXPECT_EQ(settings::UsableRecordFolder(), platform::Utf8ToWide(data_ + "/mine/rec"));
    EXPECT_TRUE(fs::is_directory(data_ + "/mine/rec"));
}

TEST_F(SettingsFiles, RecordLocationStoresOnlyCloudOrCard)
{
    ASSERT_EQ(settings::SetRecordLocation(42, 0), 1);
    EXPECT_EQ(settings::RecordLocation(42), 0);
    ASSERT_EQ(settings::SetRecordLocation(42, 2), 1);
    EXPECT_EQ(Get("Config.ini", "Location", "42"), "");
    EXPECT_EQ(settings::RecordLocation(42), -1);
}

TEST_F(SettingsFiles, InstallerLanguageIsTakenOnceAndTheFileRemoved)
{
    const std::pair<const char*, int> cases[] = {{"2052", 0}, {"1033", 1}, {"1042", 2}, {"1036", 1036}};
    for (const auto& [identifier, language] : cases) {
        settings::SetLanguage(-5);
        Set("setup.dat", "Setting", "Lan", identifier);
        EXPECT_EQ(settings::TakeInstallerLanguage(), 1) << identifier;
        EXPECT_EQ(settings::LanguageValue(), language) << identifier;
        EXPECT_FALSE(fs::exists(Path("setup.dat"))) << identifier;
        EXPECT_EQ(settings::TakeInstallerLanguage(), 0) << identifier;
        EXPECT_EQ(settings::LanguageValue(), language) << identifier;
    }
    // A file without a language is removed and changes nothing.
    Set("setup.dat", "Other", "x", "1");
    EXPECT_EQ(settings::TakeInstallerLanguage(), 0);
    EXPECT_FALSE(fs::exists(Path("setup.dat")));
    EXPECT_EQ(settings::LanguageValue(), 1036);
}

TEST_F(SettingsFiles, CountryTableAndSavedPassword)
{
    fs::create_directories(Path("Res"));
    Set("Res/country", "dict", "FR", "fr");
    char region[settings::kRegionCapacity];
    EXPECT_EQ(settings::CountryRegion("FR", region, sizeof region), 1);
    EXPECT_STREQ(region, "fr");
    EXPECT_EQ(settings::CountryRegion("ZZ", region, sizeof region), 0);
    EXPECT_STREQ(region, "");

    wchar_t password[128];
    EXPECT_EQ(settings::SavedPassword(L"x#9Q", password, 128), 0);
    ASSERT_EQ(settings::SetSavedPassword(L"x#9Q", L"p@ss w"), 1);
    ASSERT_EQ(settings::SavedPassword(L"x#9Q", password, 128), 1);
    EXPECT_STREQ(password, L"p@ss w");
    ASSERT_EQ(settings::SetSavedPassword(L"x#9Q", L""), 1);
    settings::SavedPassword(L"x#9Q", password, 128);
    EXPECT_STREQ(password, L"");
}

} // namespace
