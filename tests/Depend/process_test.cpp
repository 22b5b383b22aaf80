// Start-up, second copies, the logs and the system report, in whole processes
// of a copy of the utility layer's driver. Each test names its copy like the
// program plus its own number, so that copies of other test runs on the same
// machine never count as second copies.
#include "support/run_command.h"
#include "support/temp_folder.h"

#include "platform/clock.h"
#include "platform/processes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Chomp;
using testing_support::RunCommand;

class ProgramProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(appFolder_);
        fs::create_directories(dataHome_);
        fs::copy_file(DEPEND_CLI_PATH, program_);
    }

    // Runs the copy with APPDATA in the temporary folder; the environment
    // prefix may add variables or a wrapper such as faketime.
    testing_support::CommandResult Run(const std::string& args, const std::string& prefix = "")
    {
        return RunCommand(Env() + prefix + " '" + program_ + "' " + args + " 2>&1");
    }
    std::string Env() const
    {
        // libfaketime goes in before the sanitizer runtime; tell it not to mind.
        return "env APPDATA='" + dataHome_ + "' ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 ";
    }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string DataFolder() const { return dataHome_ + "/OstrelS"; }
    std::string LogFolder() const { return DataFolder() + "/Log/"; }
    std::string Today() { return Chomp(RunCommand("date +%Y%m%d").output); }
    // Waits until pgrep counts `copies` processes of the copy's name.
    void WaitForCopies(const std::string& copies)
    {
        testing_support::WaitUntil([&] { return Chomp(RunCommand("pgrep -xc " + name_).output) == copies; },
                                   testing_support::kEventBoundMs, 10);
    }

    testing_support::TempFolder dir_;
    std::string appFolder_ = dir_.Path() + "/app";
    std::string dataHome_ = dir_.Path() + "/roaming";
    std::string name_ = "OstrelS" + std::to_string(platform::CurrentProcessId() % 100000);
    std::string program_ = appFolder_ + "/" + name_;
};

TEST_F(ProgramProcess, StartUpCreatesTheTreeAndLogsTheStartMark)
{
    auto r = Run("init");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const char* sub : {"Capture", "Record", "Log", "User", "images", "Temp"})
        EXPECT_TRUE(fs::is_directory(DataFolder() + "/" + sub)) << sub;
    EXPECT_TRUE(fs::is_directory(appFolder_ + "/Res"));
    EXPECT_NE(r.output.find("data=1 " + DataFolder() + "\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("program=1 " + appFolder_ + "\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("images=1 " + DataFolder() + "/images/\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("temp=1 " + DataFolder() + "/Temp/\n"), std::string::npos) << r.output;

    std::string log = Read(LogFolder() + Today() + ".txt");
    std::regex expected(R"(^\d{8}_\d{6} ////////////////////StartUp
\d{8}_\d{6} QNDefineInit\(273\) \xE3\x80\x90use system time\xE3\x80\x91 \d{4}-\d\d-\d\d \d\d:\d\d:\d\d 
$)");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(ProgramProcess, ASecondCopyIsRefusedAndCreatesNothing)
{
    std::string pids = dir_.Path() + "/pids";
    ASSERT_EQ(RunCommand(Env() + " '" + program_ + "' hold 20 >/dev/null 2>&1 & echo $! > '" + pids + "'").exitCode, 0);
    WaitForCopies("1");
    ASSERT_EQ(Chomp(RunCommand("pgrep -xc " + name_).output), "1");

    std::string otherHome = dir_.Path() + "/other";
    fs::create_directories(otherHome);
    auto second = RunCommand("env APPDATA='" + otherHome + "' '" + program_ + "' init 2>&1");
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.output, "init=0\n");
    EXPECT_FALSE(fs::exists(otherHome + "/OstrelS"));

    // The count agrees with pgrep for one, two and three copies, capped at 2.
    for (int copies = 2; copies <= 3; ++copies) {
        RunCommand("'" + program_ + "' hold 20 >/dev/null 2>&1 & echo $! >> '" + pids + "'");
        std::string want = std::to_string(copies);
        WaitForCopies(want);
        EXPECT_EQ(Chomp(RunCommand("pgrep -xc " + name_).output), want);
        EXPECT_EQ(Chomp(RunCommand(std::string(DEPEND_CLI_PATH) + " count " + name_).output), "2");
    }
    RunCommand("kill $(cat '" + pids + "') 2>/dev/null");
    WaitForCopies("0");
    ASSERT_EQ(Chomp(RunCommand("pgrep -xc " + name_).output), "0");
    EXPECT_EQ(Chomp(RunCommand(std::string(DEPEND_CLI_PATH) + " count " + name_).output), "0");
}

TEST_F(ProgramProcess, LogLinesWithoutLineFeedContinueTheLine)
{
    ASSERT_EQ(Run("log 'first part, ' 'second part\n'").exitCode, 0);
    std::string log = Read(LogFolder() + Today() + ".txt");
    std::regex expected(R"(^(.|\n)*\d{8}_\d{6} first part, \d{8}_\d{6} second part\n$)");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(ProgramProcess, LogsCrossMidnightIntoTheNextFile)
{
    if (!testing_support::HaveCommand("faketime")) GTEST_FAIL() << "faketime is missing (Debian package faketime)";
    auto r = Run("log-twice 2", "TZ=UTC faketime -f '@2025-03-01 23:59:59 x1'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string first = Read(LogFolder() + "20250301.txt");
    std::string second = Read(LogFolder() + "20250302.txt");
    EXPECT_NE(first.find("20250301_235959 first\n"), std::string::npos) << first;
    EXPECT_NE(second.find("20250302_0000"), std::string::npos) << second;
    EXPECT_NE(second.find(" second\n"), std::string::npos) << second;
}

TEST_F(ProgramProcess, WideLogIsUtf16LeAsIconvReadsIt)
{
    ASSERT_EQ(Run("wlog 'Gr\xC3\xB6\xC3\x9F" "e \xE4\xB8\xAD'").exitCode, 0);
    std::string date = Chomp(RunCommand("date +%Y.%m.%d").output);
    std::string file = LogFolder() + date + ".txt";
    ASSERT_TRUE(fs::exists(file));
    std::string decoded = RunCommand("iconv -f UTF-16LE -t UTF-8 '" + file + "'").output;
    const std::string first = " wlog(7) Gr\xC3\xB6\xC3\x9F" "e \xE4\xB8\xAD narrow also w\n";
    const std::string second = " %hs(%d)\n";
    ASSERT_EQ(decoded.size(), 30 + first.size() + second.size()) << decoded;
    EXPECT_TRUE(std::regex_match(decoded.substr(0, 15), std::regex(R"(\d{8}_\d{6})"))) << decoded;
    EXPECT_EQ(decoded.substr(15, first.size()), first);
    EXPECT_EQ(decoded.substr(30 + first.size()), second);
    std::string raw = Read(file);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw.substr(raw.size() - 2), std::string("\n\0", 2)); // a plain line feed unit
}

TEST_F(ProgramProcess, SystemReportIsRewrittenWithTheDateAtUtcPlusEight)
{
    if (!testing_support::HaveCommand("faketime")) GTEST_FAIL() << "faketime is missing (Debian package faketime)";
    std::string report = LogFolder() + "report.txt";
    ASSERT_EQ(Run("report", "TZ=UTC LC_ALL=de_DE.UTF-8 faketime '2024-12-31 16:00:00'").exitCode, 0);
    ASSERT_EQ(Run("report", "TZ=UTC LC_ALL=de_DE.UTF-8 faketime '2024-12-31 16:00:00'").exitCode, 0);
    std::string text = Read(report);

    // New year in UTC+8: hour 00 and the date of the next day.
    std::regex timeLine(R"(\[2025-01-01 00:00:0\d_\d{3}\]\r\n)");
    std::smatch first;
    ASSERT_TRUE(std::regex_search(text, first, timeLine)) << text;
    EXPECT_EQ(first.position(0), 0);
    EXPECT_EQ(text.find("[User]\r\n Client Path:" + appFolder_ + "\r\n[Operating System]\r\n"),
              first.length(0));
    EXPECT_NE(text.find(" ProductType:VER_NT_WORKSTATION \r\n[PROCESSOR]\r\n"), std::string::npos);
    EXPECT_NE(text.find(" NumberOfProcessors:" + Chomp(RunCommand("nproc --all").output) + "\n"), std::string::npos);
    if (Chomp(RunCommand("uname -m").output) == "x86_64") {
        EXPECT_NE(text.find(" x64 (AMD or Intel) \r\n"), std::string::npos);
        EXPECT_NE(text.find(" System Type:64 bit\n"), std::string::npos);
    }
    EXPECT_NE(text.find(" Physical Memory(MB):" + Chomp(RunCommand("free -m | awk '/Mem:/{print $2}'").output) + "\n"),
              std::string::npos);
    EXPECT_NE(text.find("Country:DE\nend report.txt\n"), std::string::npos) << text;
    // Rewritten, not appended: exactly two time lines.
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), timeLine), std::sregex_iterator()), 2);
    EXPECT_TRUE(std::regex_search(text.substr(text.size() - 30), std::regex(R"(\]\r\n$)")));
}

TEST_F(ProgramProcess, HostIpKeepsTheFirstTenOfTwelveAddresses)
{
    std::string hosts = dir_.Path() + "/hosts";
    {
        std::ofstream out(hosts);
        out << "127.0.0.1 localhost\n";
        for (int i = 1; i <= 12; ++i) out << "10.9.8." << i << " many.test\n";
    }
    std::string inner = "mount --bind '" + hosts + "' /etc/hosts && " + Env() + " '" + program_ +
                        "' hostip many.test && getent ahostsv4 many.test";
    auto r = RunCommand("unshare --mount sh -c \"" + inner + "\" 2>&1");
    if (r.exitCode != 0) GTEST_SKIP() << "cannot make a private mount namespace here: " << r.output;
    std::istringstream lines(r.output);
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(header, "result=1 count=10");
    std::vector<std::string> ours(10);
    for (auto& line : ours) std::getline(lines, line);
    std::vector<std::string> theirs;
    for (std::string line; std::getline(lines, line);)
        if (line.find("STREAM") != std::string::npos) theirs.push_back(line.substr(0, line.find(' ')));
    ASSERT_EQ(theirs.size(), 12u);
    theirs.resize(10);
    EXPECT_EQ(ours, theirs);
}

} // namespace
