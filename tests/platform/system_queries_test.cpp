// The process, disk, host and system queries agree with the standard tools.
#include "platform/disks.h"
#include "platform/hosts.h"
#include "platform/processes.h"
#include "platform/system_info.h"

#include "support/run_command.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include "support/wait_until.h"

namespace {

using testing_support::Chomp;
using testing_support::RunCommand;

TEST(SystemQueries, ProcessListFindsThisProcessByItsFileName)
{
    bool found = false;
    for (const auto& p : platform::ListProcesses())
        found |= p.pid == platform::CurrentProcessId() && p.name == "platform_test";
    EXPECT_TRUE(found);
    EXPECT_GE(platform::CountProcessesNamed("platform_test"), 1);
    EXPECT_EQ(platform::CountProcessesNamed("Platform_Test"), 0); // case matters
}

TEST(SystemQueries, ProcessCountAgreesWithPgrep)
{
    testing_support::TempFolder dir;
    const std::string name = "osq" + std::to_string(platform::CurrentProcessId());
    const std::string copy = dir.Path() + "/" + name;
    ASSERT_EQ(RunCommand("cp \"$(command -v sleep)\" '" + copy + "'").exitCode, 0);
    for (int copies = 1; copies <= 3; ++copies) {
        ASSERT_EQ(RunCommand("'" + copy + "' 30 >/dev/null 2>&1 & echo $! >> '" + dir.Path() + "/pids'").exitCode, 0);
        int pgrep = -1;
        testing_support::WaitUntil([&] {
            pgrep = std::stoi(Chomp(RunCommand("pgrep -xc " + name).output));
            return pgrep == copies;
        });
        EXPECT_EQ(pgrep, copies);
        EXPECT_EQ(platform::CountProcessesNamed(name), pgrep);
        EXPECT_EQ(platform::CountProcessesNamed(name, 2), std::min(pgrep, 2));
    }
    RunCommand("kill $(cat '" + dir.Path() + "/pids')");
}

TEST(SystemQueries, DiskOfAPathAgreesWithDf)
{
    auto disks = platform::ListMountedDisks(20);
    ASSERT_FALSE(disks.empty());
    for (const auto& d : disks) EXPECT_GT(d.totalBytes, 0u) << d.mountPoint;
    std::string path = "/tmp";
    int index = platform::FindDiskForPath(disks, path + "/somefile");
    ASSERT_GE(index, 0);
    std::string target = Chomp(RunCommand("df --output=target " + path + " | tail -1").output);
    EXPECT_EQ(disks[static_cast<std::size_t>(index)].mountPoint, target);
    long long dfAvailMB = std::stoll(Chomp(RunCommand("df -m --output=avail " + path + " | tail -1").output));
    long long ours = static_cast<long long>(disks[static_cast<std::size_t>(index)].freeBytes >> 20);
    EXPECT_NEAR(static_cast<double>(ours), static_cast<double>(dfAvailMB), 64.0); // other tests write meanwhile
}

TEST(SystemQueries, LongestMountPrefixWinsOnComponentBoundaries)
{
    std::vector<platform::MountedDisk> disks(3);
    disks[0].mountPoint = "/";
    disks[1].mountPoint = "/home";
    disks[2].mountPoint = "/home/u/media";
    EXPECT_EQ(platform::FindDiskForPath(disks, "/home/u/media/a.mp4"), 2);
    EXPECT_EQ(platform::FindDiskForPath(disks, "/home/u/mediafiles"), 1);
    EXPECT_EQ(platform::FindDiskForPath(disks, "\\home"), 1);
    EXPECT_EQ(platform::FindDiskForPath(disks, "/homer"), 0);
    EXPECT_EQ(platform::FindDiskForPath(disks, "relative/path"), -1);
}

TEST(SystemQueries, HostLookUpAgreesWithGetent)
{
    auto ours = platform::ResolveIPv4("localhost", 10);
    // Callers connect to each address in turn, so one that the hosts file
    // lists twice (Debian's 127.0.0.1 and ::1 lines both name localhost) is
    // tried once; getent keeps the duplicate.
    std::istringstream getent(
        RunCommand("getent ahostsv4 localhost | awk '$2==\"STREAM\" && !seen[$1]++ {print $1}'").output);
    std::vector<std::string> theirs;
    for (std::string line; std::getline(getent, line);) theirs.push_back(line);
    EXPECT_EQ(ours, theirs);
    EXPECT_TRUE(platform::ResolveIPv4("no-such-host.invalid", 10).empty());
    EXPECT_FALSE(platform::LocalHostName().empty());
}

TEST(SystemQueries, AdaptersIncludeLoopback)
{
    bool loopback = false;
    for (const auto& a : platform::ListAdapterAddresses())
        loopback |= a.adapter == "lo" && a.address == "127.0.0.1" && a.mask == "255.0.0.0";
    EXPECT_TRUE(loopback);
    std::string ip = RunCommand("ip -4 -o addr show").output;
    for (const auto& a : platform::ListAdapterAddresses())
        EXPECT_NE(ip.find(a.address + "/"), std::string::npos) << a.address;
}

TEST(SystemQueries, ProcessorsMemoryAndSystemAgreeWithTheTools)
{
    EXPECT_EQ(platform::QueryProcessor().count, std::stoi(Chomp(RunCommand("nproc --all").output)));
    long long freeMB = std::stoll(Chomp(RunCommand("free -m | awk '/Mem:/{print $2}'").output));
    EXPECT_NEAR(static_cast<double>(platform::QueryMemory().physicalBytes >> 20), static_cast<double>(freeMB), 1.0);
    platform::OsVersion os = platform::QueryOsVersion();
    EXPECT_EQ(os.release, Chomp(RunCommand("uname -r").output));
    EXPECT_EQ(os.machine, Chomp(RunCommand("uname -m").output));
    EXPECT_EQ(platform::Is64BitSystem(), os.machine == "x86_64" || os.machine == "aarch64");
}

TEST(SystemQueries, CountryCodeComesFromTheLocale)
{
    testing_support::ScopedEnv lcAll("LC_ALL", "de_DE.UTF-8");
    testing_support::ScopedEnv lang("LANG", nullptr);
    EXPECT_EQ(platform::LocaleCountryCode(), "DE"); // generated or not, the name says it
    std::string theirs = Chomp(RunCommand("LC_ALL=de_DE.UTF-8 locale country_ab2 2>/dev/null").output);
    if (!theirs.empty()) { // the generated locale's own answer
        EXPECT_EQ(platform::LocaleCountryCode(), theirs);
    }
    lcAll.Set("C");
    lang.Set("pt_BR.UTF-8");
    EXPECT_EQ(platform::LocaleCountryCode(), "");   // LC_ALL wins and names no country
    lcAll.Unset();
    EXPECT_EQ(platform::LocaleCountryCode(), "BR");
}

} // namespace
