#include "basekit/log_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "basekit/share_memory.h"
#include "test_support.h"

using namespace basekit_test;

namespace {

const std::regex kLine(R"(\[ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \d{3} \] (.*))");

std::vector<std::string> linesOf(const std::string &path) {
    std::vector<std::string> lines;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string today(const char *format, TempDir &dir) {
    std::string output;
    runShell(std::string("date +") + format, &output, &dir);
    return output.substr(0, output.find('\n'));
}

}  // namespace

TEST(BasekitLogFile, LinesGoToTheFileOfThePeriod) {
    TempDir dir;
    const struct {
        LOG_TYPE type;
        const char *pattern;
    } periods[] = {{LOG_TYPE_YEAR, "%Y"}, {LOG_TYPE_MONTH, "%Y-%m"}, {LOG_TYPE_DAY, "%Y%m%d"}, {LOG_TYPE_HOUR, "%Y%m%d%H"}};
    for (const auto &p : periods) {
        const std::string folder = dir.file("logs" + std::to_string(p.type));
        LogFile log(folder.c_str(), p.type);
        EXPECT_EQ(std::string(log.GetPath()), folder);
        EXPECT_EQ(log.Log("line %d of %s", 1, "test"), 1);
        EXPECT_EQ(log.IsOpen(), 1);
        const std::string expected = folder + "/" + today(p.pattern, dir) + ".log";
        EXPECT_EQ(std::string(log.GetFileName()), expected);
        const auto lines = linesOf(expected);
        ASSERT_EQ(lines.size(), 1u);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[0], match, kLine)) << lines[0];
        EXPECT_EQ(match[1], "line 1 of test");
        // The prefix carries today's date.
        EXPECT_EQ(lines[0].substr(2, 10), today("%Y-%m-%d", dir));
        log.Close();
        EXPECT_EQ(log.IsOpen(), 0);
    }
}

TEST(BasekitLogFile, EmptyTextsWriteNothingAndLongOnesAreCutWithAMark) {
    TempDir dir;
    LogFile log(dir.file("cut").c_str(), LOG_TYPE_DAY);
    EXPECT_EQ(log.Log("%s", ""), 0);
    EXPECT_EQ(log.Log("%s", std::string(1023, 'a').c_str()), 1);
    EXPECT_EQ(log.Log("%s", std::string(5000, 'b').c_str()), 1);
    // A multi-byte character is never split by the cut.
    std::string wide;
    for (int i = 0; i < 600; ++i)
        wide += "\xC3\xA9";
    EXPECT_EQ(log.Log("%s", wide.c_str()), 1);
    const auto lines = linesOf(log.GetFileName());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 28u + 1023u);
    EXPECT_EQ(lines[1].substr(28), std::string(1020, 'b') + "...");
    const std::string cutWide = lines[2].substr(28);
    EXPECT_EQ(cutWide.size(), 1020u + 3u);
    EXPECT_EQ(cutWide.substr(cutWide.size() - 3), "...");
    EXPECT_EQ(cutWide.substr(0, 1020), wide.substr(0, 1020));
}

TEST(BasekitLogFile, RelativeFoldersGoBelowTheCurrentDirectory) {
    TempDir dir;
    const auto previous = fs::current_path();
    fs::current_path(dir.path());
    {
        LogFile log("nested/logs", LOG_TYPE_DAY);
        EXPECT_EQ(std::string(log.GetPath()), dir.path().string() + "/nested/logs");
        EXPECT_TRUE(fs::is_directory(dir.file("nested/logs")));
        // Moving the folder moves the next line too.
        log.Log("first");
        log.SetPath(dir.file("moved").c_str());
        log.Log("second");
        EXPECT_EQ(linesOf(dir.file("moved/" + today("%Y%m%d", dir) + ".log")).size(), 1u);
    }
    fs::current_path(previous);
}

// faketime moves only the helper process's clock.
TEST(BasekitLogFile, DayChangeStartsANewFile) {
    TempDir dir;
    if (runShell("command -v faketime >/dev/null") != 0)
        GTEST_SKIP() << "faketime (Debian package faketime) is needed";
    const std::string folder = dir.file("rcdlog");
    // ASan must come first among preloaded libraries unless told otherwise.
    // The wall clock stands still at the given instant however slowly the
    // helper starts; the monotonic clock runs on.
    const std::string env = "ASAN_OPTIONS=verify_asan_link_order=0 FAKETIME_DONT_FAKE_MONOTONIC=1 ";
    for (const char *instant : {"2024-01-01 23:59:59", "2024-01-02 00:00:00"})
        ASSERT_EQ(runShell(env + "faketime -f '" + instant + "' " + BASEKIT_PROBE + " filelog " + quote(folder) +
                           " 2 1 T >/dev/null"),
                  0);
    const auto first = linesOf(folder + "/20240101.log");
    const auto second = linesOf(folder + "/20240102.log");
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].substr(0, 22), "[ 2024-01-01 23:59:59 ");
    EXPECT_EQ(second[0].substr(0, 22), "[ 2024-01-02 00:00:00 ");
}

// Eight processes at once: every line arrives whole and none is lost.
TEST(BasekitLogFile, EightProcessesWriteWholeLines) {
    TempDir dir;
    const std::string folder = dir.file("shared");
    std::string command;
    for (int p = 0; p < 8; ++p)
        command += std::string(BASEKIT_PROBE) + " filelog " + quote(folder) + " 0 5000 " + std::to_string(p) +
                   " >/dev/null & ";
    command += "wait";
    ASSERT_EQ(runShell(command), 0);
    std::string output;
    const std::string file = folder + "/" + today("%Y", dir) + ".log";
    ASSERT_EQ(runShell("wc -l < " + quote(file), &output, &dir), 0);
    EXPECT_EQ(output, "40000\n");
    runShell("grep -vcE '^\\[ [0-9]{4}-..-.. ..:..:.. [0-9]{3} \\] P[0-9]+ L[0-9]+$' " + quote(file), &output, &dir);
    EXPECT_EQ(output, "0\n");
}

TEST(BasekitLogFile, ThreadsOfOneProcessShareTheLock) {
    TempDir dir;
    LogFile log(dir.file("threads").c_str(), LOG_TYPE_DAY);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 300; ++i)
                log.Log("T%d L%d", t, i);
        });
    for (auto &thread : threads)
        thread.join();
    const auto lines = linesOf(log.GetFileName());
    EXPECT_EQ(lines.size(), 1200u);
    for (const auto &line : lines)
        ASSERT_TRUE(std::regex_match(line, std::regex(R"(\[ .{23} \] T\d L\d+)"))) << line;
}

// A process that died holding the lock leaves the word at 1. Constructing or
// destroying a LogFile leaves it alone; the next writer takes it over after
// a bounded wait.
TEST(BasekitLogFile, StaleLockIsTakenOverAndNeverResetByOthers) {
    TempDir dir;
    ASSERT_EQ(ProcMan::IsAvailable(), 1);
    uint32_t *word = &ProcMan::ptr->log_lock;
    __atomic_store_n(word, 1u, __ATOMIC_SEQ_CST);
    {
        LogFile bystander(dir.file("bystander").c_str(), LOG_TYPE_DAY);
        EXPECT_EQ(__atomic_load_n(word, __ATOMIC_SEQ_CST), 1u);
    }
    EXPECT_EQ(__atomic_load_n(word, __ATOMIC_SEQ_CST), 1u);

    LogFile log(dir.file("stale").c_str(), LOG_TYPE_DAY);
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(log.Log("after a dead holder"), 1);
    const auto waited = std::chrono::steady_clock::now() - start;
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_NE(warning.find("taking it over"), std::string::npos);
    EXPECT_EQ(__atomic_load_n(word, __ATOMIC_SEQ_CST), 0u);
    EXPECT_EQ(linesOf(log.GetFileName()).size(), 1u);
}
