#include "basekit/system_functions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "support/scoped_env.h"
#include "test_support.h"

using namespace basekit_test;

namespace {

// Sets LENTIX_ROOT for one test and puts the old value back.
class RootVariable : public testing_support::ScopedEnv {
public:
    explicit RootVariable(const char *value) : ScopedEnv("LENTIX_ROOT", value) {}
};

}  // namespace

TEST(BasekitSystemFunctions, SystemRootDropsOneTrailingSeparator) {
    const struct {
        const char *value;
        int result;
        const char *root;
    } cases[] = {
        {"/srv/base/", 1, "/srv/base"}, {"/srv/base", 1, "/srv/base"}, {"/srv/base//", 1, "/srv/base/"},
        {"C:\\base\\", 1, "C:\\base"},  {"/", 1, ""},                  {nullptr, 0, "untouched"},
    };
    for (const auto &c : cases) {
        RootVariable root(c.value);
        char text[256] = "untouched";
        EXPECT_EQ(GetSystemRoot(text), c.result) << (c.value ? c.value : "(unset)");
        EXPECT_STREQ(text, c.root) << (c.value ? c.value : "(unset)");
    }
    EXPECT_EQ(GetSystemRoot(nullptr), 0);

    // A root longer than the room is refused rather than overrunning it.
    RootVariable longRoot(("/" + std::string(300, 'r')).c_str());
    char text[256] = "untouched";
    EXPECT_EQ(GetSystemRoot(text), 0);
    char small[8] = "x";
    RootVariable shortRoot("/abcdefg/");
    EXPECT_EQ(GetSystemRoot_s(small, sizeof small), 0);
    char fits[9] = "";
    EXPECT_EQ(GetSystemRoot_s(fits, sizeof fits), 1);
    EXPECT_STREQ(fits, "/abcdefg");
}

TEST(BasekitSystemFunctions, ProcessNameIsTheProgramFileName) {
    char name[80] = {};
    ASSERT_EQ(GetCurProcName(name, sizeof name), 1);
    EXPECT_STREQ(name, "basekit_free_functions_test");
    char tiny[4] = {};
    EXPECT_EQ(GetCurProcName(tiny, sizeof tiny), 0);
}

TEST(BasekitSystemFunctions, ReplaceCharTable) {
    const struct {
        const char *text;
        char character;
        const char *replacement;
        const char *expected;
    } cases[] = {
        {"a/b/c", '/', "\\", "a\\b\\c"}, {"a/b/c", '/', "", "abc"},          {"a/b/c", '/', nullptr, "abc"},
        {"a/b/c", '/', "--", "a--b--c"}, {"/", '/', "::", "::"},             {"none", '/', "xyz", "none"},
        {"", 'a', "bb", ""},             {"aaa", 'a', "aa", "aaaaaa"},
    };
    for (const auto &c : cases) {
        char text[64];
        std::strcpy(text, c.text);
        ReplaceChar(text, c.character, c.replacement);
        EXPECT_STREQ(text, c.expected) << c.text;
    }
    // With a capacity a longer result is refused and the text kept.
    char text[8] = "a/b/c";
    EXPECT_EQ(ReplaceChar_s(text, sizeof text, '/', "---"), 0);
    EXPECT_STREQ(text, "a/b/c");
    EXPECT_EQ(ReplaceChar_s(text, sizeof text, '/', "--"), 1);
    EXPECT_STREQ(text, "a--b--c");
}

TEST(BasekitSystemFunctions, LastErrorTextFollowsErrno) {
    testing::internal::CaptureStdout();
    errno = ENOENT;
    EXPECT_EQ(GetErrNo(), ENOENT);
    LastErrDisp("opening the thing");
    errno = EACCES;
    LastErrDisp(nullptr);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "opening the thing\nNo such file or directory\nPermission denied\n");
}

TEST(BasekitSystemFunctions, DelaySleepsAboutTheAskedTime) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    delay(20000);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
    delay(0);
    delay(-5);
}

// df is the reference: free KiB within 1% and the used percentage within 1.
TEST(BasekitSystemFunctions, DiskInfoAgreesWithDf) {
    TempDir dir;
    DISK_INFO records[64];
    testing::internal::CaptureStdout();
    const int filled = GetDiskInfo(records, 64);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("Available drives are:\n", 0), 0u);
    ASSERT_GT(filled, 0);
    std::string output;
    ASSERT_EQ(runShell("df -k --output=target,size,avail 2>/dev/null | tail -n +2", &output, &dir), 0);
    std::map<std::string, std::pair<double, double>> df;
    std::istringstream lines(output);
    std::string target;
    double size, avail;
    while (lines >> target >> size >> avail)
        df[target] = {size, avail};
    int compared = 0;
    for (int i = 0; i < filled; ++i) {
        const DISK_INFO &r = records[i];
        ASSERT_LT(strnlen(r.drive, sizeof r.drive), sizeof r.drive);
        const auto it = df.find(r.drive);
        if (it == df.end() || it->second.first == 0)
            continue;
        // Other processes keep writing between the two looks: allow them 1%
        // of the file system.
        const double size = it->second.first;
        const double expectedFree = std::min(it->second.second, 4294967295.0);
        EXPECT_NEAR(r.freeKiB, expectedFree, size * 0.01 + 64) << r.drive;
        const double used = std::floor(100.0 * (size - it->second.second) / size);
        EXPECT_NEAR(std::atof(r.usedPercent), used, 1.0) << r.drive;
        ++compared;
    }
    EXPECT_GT(compared, 0);
    // A smaller array is never overrun.
    DISK_INFO one[2];
    std::memset(one, 0x7F, sizeof one);
    testing::internal::CaptureStdout();
    EXPECT_EQ(GetDiskInfo(one, 1), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(static_cast<unsigned char>(one[1].drive[0]), 0x7F);
}
