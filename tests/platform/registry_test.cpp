#include "platform/registry.h"

#include "support/run_command.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(Registry, ValuesRoundTripWhateverTheyHold)
{
    testing_support::TempFolder dir;
    platform::RegistryStore store(dir.Path() + "/OstrelS/registry.ini");
    const std::string key = "Software\\OstrelS\\Client_Ostrel";
    EXPECT_FALSE(store.Get(key, "USER").has_value());
    const std::string awkward[] = {"plain", "  padded  ", "line\nbreak\r", "\"quoted\"", "50% = half", ""};
    for (const auto& value : awkward) {
        ASSERT_TRUE(store.Set(key, "USER", value));
        EXPECT_EQ(store.Get(key, "USER"), value);
    }
    ASSERT_TRUE(store.Set("Software\\OstrelS\\Other", "USER", "elsewhere"));
    EXPECT_EQ(store.Get(key, "USER"), "");
    EXPECT_EQ(store.Get("software\\ostrels\\other", "user"), "elsewhere");
}

TEST(Registry, TheStoreIsPrivateToTheUserAndReadableByIniTools)
{
    testing_support::TempFolder dir;
    platform::RegistryStore store(dir.Path() + "/OstrelS/registry.ini");
    ASSERT_TRUE(store.Set("Software\\OstrelS\\Client_Ostrel", "KEY", "abc"));
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(store.FilePath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    if (!testing_support::HaveCommand("crudini")) GTEST_FAIL() << "crudini is missing (Debian package crudini)";
    auto got = testing_support::RunCommand("crudini --get '" + store.FilePath() + "' 'Software\\OstrelS\\Client_Ostrel' KEY");
    EXPECT_EQ(testing_support::Chomp(got.output), "\"abc\"");
}

} // namespace
