#include "platform/paths.h"

#include "support/scoped_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(Paths, NormalizeTurnsBackslashesIntoOneSlash)
{
    EXPECT_EQ(platform::NormalizePath("C:\\data\\\\User\\user"), "C:/data/User/user");
    EXPECT_EQ(platform::NormalizePath("/a//b\\/c/"), "/a/b/c/");
    EXPECT_EQ(platform::ParentFolder("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(platform::FileNamePart("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(platform::ParentFolder("c.txt"), "");
}

TEST(Paths, AppDataFallsBackToXdgThenHome)
{
    testing_support::ScopedEnv appdata("APPDATA", "/data/app");
    testing_support::ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
    testing_support::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(platform::ExpandEnvironment("%APPDATA%\\OstrelS"), "/data/app\\OstrelS");
    appdata.Unset();
    EXPECT_EQ(platform::UserDataHome(), "/data/xdg");
    xdg.Set("");
    EXPECT_EQ(platform::UserDataHome(), "/home/someone/.local/share");
    home.Unset();
    EXPECT_EQ(platform::UserDataHome(), "");
    // Never a folder formed from an unexpanded name.
    EXPECT_EQ(platform::ExpandEnvironment("%APPDATA%/x"), "%APPDATA%/x");
}

TEST(Paths, ExpandLeavesUnknownNamesAndLonePercentSigns)
{
    testing_support::ScopedEnv a("OSTRELS_TEST_A", "1");
    testing_support::ScopedEnv missing("OSTRELS_TEST_MISSING", nullptr);
    EXPECT_EQ(platform::ExpandEnvironment("x%OSTRELS_TEST_A%y"), "x1y");
    EXPECT_EQ(platform::ExpandEnvironment("%OSTRELS_TEST_MISSING%%OSTRELS_TEST_A%"), "%OSTRELS_TEST_MISSING%1");
    EXPECT_EQ(platform::ExpandEnvironment("50% and %"), "50% and %");
    EXPECT_EQ(platform::ExpandEnvironment("%%"), "%%");
}

TEST(Paths, WildcardsMatchOnlyStarAndQuestionMark)
{
    testing_support::TempFolder dir;
    std::ofstream(dir.Path() + "/rec_[1].mp4") << "x";
    std::ofstream(dir.Path() + "/.hidden") << "x";
    EXPECT_TRUE(platform::AnyPathMatches(dir.Path() + "/rec_[1].mp4"));
    EXPECT_TRUE(platform::AnyPathMatches(dir.Path() + "/*.mp4"));
    EXPECT_TRUE(platform::AnyPathMatches(dir.Path() + "\\rec_?1?.*"));
    EXPECT_TRUE(platform::AnyPathMatches(dir.Path() + "/*hidden"));
    EXPECT_FALSE(platform::AnyPathMatches(dir.Path() + "/rec_1.*"));
    EXPECT_FALSE(platform::AnyPathMatches(dir.Path() + "/*.jpg"));
    EXPECT_FALSE(platform::AnyPathMatches(dir.Path() + "/missing/*"));
}

TEST(Paths, MakeDirectoryIsOneLevelAndMakeDirectoriesIsAll)
{
    testing_support::TempFolder dir;
    EXPECT_FALSE(platform::MakeDirectory(dir.Path() + "/a/b"));
    EXPECT_TRUE(platform::MakeDirectory(dir.Path() + "/a"));
    EXPECT_FALSE(platform::MakeDirectory(dir.Path() + "/a")); // exists already
    EXPECT_TRUE(platform::MakeDirectories(dir.Path() + "/a/b/c"));
    EXPECT_TRUE(platform::IsDirectory(dir.Path() + "/a/b/c"));
}

TEST(Paths, ExecutablePathNamesThisTest)
{
    EXPECT_EQ(platform::FileNamePart(platform::ExecutablePath()), "platform_test");
}

} // namespace
