#include "platform/files.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <thread>
#include <vector>

namespace {

TEST(Files, ReplaceAtomicallyKeepsTheModeOfAnExistingFile)
{
    testing_support::TempFolder dir;
    std::string path = dir.Path() + "/a.ini";
    namespace fs = std::filesystem;
    auto mode = [&] { return fs::status(path).permissions() & fs::perms::all; };
    ASSERT_TRUE(platform::ReplaceFileAtomically(path, "one", 0600));
    EXPECT_EQ(mode(), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(platform::ReplaceFileAtomically(path, "two", 0600));
    EXPECT_EQ(mode(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(platform::ReadWholeFile(path).value_or(""), "two");
    EXPECT_FALSE(platform::ReplaceFileAtomically(dir.Path() + "/missing/x", "y"));
}

TEST(Files, ConcurrentAppendsNeverTear)
{
    testing_support::TempFolder dir;
    std::string path = dir.Path() + "/log.txt";
    const int kThreads = 8, kLines = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            std::string line(1000, static_cast<char>('a' + t));
            line.back() = '\n';
            for (int i = 0; i < kLines; ++i) ASSERT_TRUE(platform::AppendToFile(path, line));
        });
    }
    for (auto& w : writers) w.join();
    std::string content = platform::ReadWholeFile(path).value_or("");
    ASSERT_EQ(content.size(), static_cast<std::size_t>(kThreads * kLines * 1000));
    for (std::size_t at = 0; at < content.size(); at += 1000) {
        std::string_view line(content.data() + at, 1000);
        ASSERT_EQ(line.find_first_not_of(line[0]), 999u) << "torn line at byte " << at;
    }
}

TEST(Files, ReadingAMissingFileGivesNothing)
{
    EXPECT_FALSE(platform::ReadWholeFile("/nonexistent/ostrels").has_value());
    EXPECT_FALSE(platform::AppendToFile("/nonexistent/ostrels", "x"));
}

} // namespace
