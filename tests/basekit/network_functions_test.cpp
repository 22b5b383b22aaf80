#include "basekit/network_functions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/icmp_echo.h"
#include "test_support.h"

using namespace basekit_test;

TEST(BasekitNetworkFunctions, CheckIpTable) {
    // Digits only, 1-3 of them, no leading zeros, each part 0-255, first not 0.
    const struct {
        const char *text;
        int valid;
    } cases[] = {
        {"10.0.0.1", 1},     {"192.168.1.254", 1}, {"255.255.255.255", 1}, {"1.0.0.0", 1},
        {"0.1.2.3", 0},      {"1.2.3", 0},         {"1.2.3.4.5", 0},        {"256.1.1.1", 0},
        {"1.2.3.256", 0},    {"01.2.3.4", 0},      {"1.02.3.4", 0},         {"1a.2.3.4", 0},
        {"1..3.4", 0},       {"1.2.3.", 0},        {"", 0},                 {" 1.2.3.4", 0},
        {"1.2.3.4 ", 0},     {"-1.2.3.4", 0},      {"1.2.3.1000", 0},       {"1.2.3.0", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CheckIp(c.text), c.valid) << '"' << c.text << '"';
    EXPECT_EQ(CheckIp(nullptr), 0);
}

TEST(BasekitNetworkFunctions, IpN2StrAgreesWithPython) {
    TempDir dir;
    const std::vector<std::vector<unsigned char>> addresses = {{127, 0, 0, 1}, {10, 20, 30, 40}, {255, 0, 128, 1}};
    for (const auto &bytes : addresses) {
        uint32_t address = 0;
        std::memcpy(&address, bytes.data(), 4);
        std::string output;
        ASSERT_EQ(runShell("python3 -c 'import socket; print(socket.inet_ntoa(bytes([" + std::to_string(bytes[0]) +
                               "," + std::to_string(bytes[1]) + "," + std::to_string(bytes[2]) + "," +
                               std::to_string(bytes[3]) + "])))'",
                           &output, &dir),
                  0);
        EXPECT_EQ(std::string(IpN2Str(address)) + "\n", output);
    }
}

TEST(BasekitNetworkFunctions, HostNameAndAddressesAgreeWithTheSystem) {
    TempDir dir;
    std::string shortName;
    ASSERT_EQ(runShell("hostname -s", &shortName, &dir), 0);
    shortName.erase(shortName.find_last_not_of("\n") + 1);
    char name[16] = "x";
    const int given = GetHostName(name);
    if (shortName.size() > 15) {
        EXPECT_EQ(given, 0);
        EXPECT_STREQ(name, "");
        return;
    }
    EXPECT_EQ(given, 1);
    EXPECT_EQ(std::string(name), shortName);

    std::string listing;
    runShell("getent ahostsv4 " + quote(shortName) + " | awk '$2==\"STREAM\"{print $1}'", &listing, &dir);
    std::istringstream lines(listing);
    std::vector<std::string> expected;
    for (std::string line; std::getline(lines, line) && expected.size() < 9;)
        expected.push_back(line);
    for (size_t i = 0; i < expected.size(); ++i) {
        char address[16] = {};
        EXPECT_EQ(GetHostIp(address, static_cast<int>(i)), 1) << i;
        EXPECT_EQ(std::string(address), expected[i]) << i;
    }
    char address[16] = {};
    if (expected.size() < 9) {
        EXPECT_EQ(GetHostIp(address, static_cast<int>(expected.size())), -1);
    }
    EXPECT_EQ(GetHostIp(address, 9), 0);
    EXPECT_EQ(GetHostIp(address, -1), 0);
}

TEST(BasekitNetworkFunctions, PingLoopbackOnly) {
    EXPECT_EQ(MyPing("no-such-host.invalid", 1, 200), -1);
    EXPECT_EQ(MyPing("", 1, 200), -1);
    platform::IcmpEcho probe;
    if (!probe.Open())
        GTEST_SKIP() << "neither an ICMP datagram socket nor a raw socket can be opened here";
    EXPECT_EQ(MyPing("127.0.0.1", 4, 1000), 4);
    EXPECT_EQ(MyPing("localhost", 2, 1000), 2);
    // A count of 0 or less sends nothing instead of 65,535 echoes.
    EXPECT_EQ(MyPing("127.0.0.1", 0, 1000), 0);
    EXPECT_EQ(MyPing("127.0.0.1", -1, 1000), 0);
}
