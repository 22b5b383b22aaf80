#include "Depend/qn_system.h"

#include "platform/text.h"
#include "support/run_command.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using testing_support::Chomp;
using testing_support::RunCommand;

TEST(SystemInfo, DiskFreeOfAPathAgreesWithDfAndUnknownPathsGiveMinusOne)
{
    wchar_t drive[5] = L"old";
    uint32_t freeMB = 12345;
    float used = -1;
    EXPECT_EQ(QNGetDiskFreeMByte(L"Z:\\record", drive, &freeMB, &used), -1);
    EXPECT_EQ(std::wstring(drive), L"old");
    EXPECT_EQ(freeMB, 12345u);

    int index = QNGetDiskFreeMByte(L"/tmp/record", drive, &freeMB, &used);
    ASSERT_GE(index, 0);
    EXPECT_LT(index, kQNMaxDisks);
    EXPECT_EQ(std::wstring(drive), L"/tmp");
    long long df = std::stoll(Chomp(RunCommand("df -m --output=avail /tmp | tail -1").output));
    EXPECT_NEAR(static_cast<double>(freeMB), static_cast<double>(df), 64.0);
    EXPECT_GE(used, 0.0f);
    EXPECT_LE(used, 100.0f);
    EXPECT_GE(QNGetDiskFreeMByte(L"/tmp", nullptr, nullptr, nullptr), 0); // outputs are optional

    QNDiskEntry disks[kQNMaxDisks];
    int count = QNGetDiskList(disks, kQNMaxDisks);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        EXPECT_NE(disks[i].name[0], '\0');
        EXPECT_LE(disks[i].freeMB, disks[i].totalMB) << disks[i].name;
        EXPECT_GE(disks[i].usedPercent, 0.0f) << disks[i].name;
        EXPECT_LE(disks[i].usedPercent, 100.0f) << disks[i].name;
    }
}

TEST(SystemInfo, HostIpGivesResolverOrderAndFailsCleanly)
{
    char addresses[10][32] = {};
    int count = -1;
    EXPECT_EQ(QNGetHostIp("localhost", addresses, &count), 1);
    ASSERT_GE(count, 1);
    EXPECT_STREQ(addresses[0], Chomp(RunCommand("getent ahostsv4 localhost | head -1 | cut -d' ' -f1").output).c_str());
    count = 5;
    EXPECT_EQ(QNGetHostIp("no-such-host.invalid", addresses, &count), 0);
    EXPECT_EQ(count, 0);
}

TEST(SystemInfo, ProcessorAndVersion)
{
    QNOsVersion os;
    ASSERT_EQ(QNGetOsVersion(&os), 1);
    std::string release = Chomp(RunCommand("uname -r").output);
    EXPECT_EQ(std::to_string(os.majorVersion) + "." + std::to_string(os.minorVersion), release.substr(0, release.find('.', release.find('.') + 1)));
    EXPECT_EQ(os.productType, 1);
    wchar_t name[101];
    int type = -1, count = 0, mhz = -1;
    ASSERT_EQ(QNGetProcessorInfo(name, 101, &type, &count, &mhz), 1);
    EXPECT_EQ(count, std::stoi(Chomp(RunCommand("nproc --all").output)));
    std::string machine = Chomp(RunCommand("uname -m").output);
    if (machine == "x86_64") {
        EXPECT_EQ(type, 9);
    }
    std::string cpuMhz = Chomp(RunCommand("awk -F: '/^cpu MHz/{print int($2); exit}' /proc/cpuinfo").output);
    EXPECT_EQ(mhz, cpuMhz.empty() ? 0 : std::stoi(cpuMhz));
    std::string model = Chomp(RunCommand("awk -F': ' '/^model name/{print $2; exit}' /proc/cpuinfo").output);
    EXPECT_EQ(platform::WideToUtf8(name), model.substr(0, 100));
    if (Chomp(RunCommand("uname -m").output) == "x86_64") {
        EXPECT_EQ(QNIsWow64(), 1);
    }
}

TEST(SystemInfo, AdapterAddressesSkipNothingReal)
{
    QNAdapterAddress entries[16];
    int n = QNGetAdapterAddresses(entries, 16);
    bool loopback = false;
    for (int i = 0; i < n; ++i) {
        loopback |= std::string(entries[i].address) == "127.0.0.1";
        EXPECT_EQ(entries[i].valid, 1);
        EXPECT_STRNE(entries[i].address, "0.0.0.0");
    }
    EXPECT_TRUE(loopback);
}

} // namespace
