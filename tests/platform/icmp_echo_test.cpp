#include "platform/icmp_echo.h"

#include <gtest/gtest.h>

TEST(PlatformIcmpEcho, DottedAddressesTable) {
    for (const char *good : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "10.1.2.3"})
        EXPECT_TRUE(platform::IsDottedIPv4(good)) << good;
    for (const char *bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 "})
        EXPECT_FALSE(platform::IsDottedIPv4(bad)) << bad;
}

// Loopback only.
TEST(PlatformIcmpEcho, LoopbackAnswers) {
    platform::IcmpEcho echo;
    if (!echo.Open())
        GTEST_SKIP() << "neither an ICMP datagram socket nor a raw socket can be opened here";
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(echo.Echo("127.0.0.1", 1000)) << i;
    EXPECT_TRUE(echo.Echo("127.0.0.1", 1000, 0));
    EXPECT_TRUE(echo.Echo("127.0.0.1", 1000, 1400));
    EXPECT_FALSE(echo.Echo("not an address", 100));
}
