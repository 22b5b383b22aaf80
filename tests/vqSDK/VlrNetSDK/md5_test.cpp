#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/md5_text.h"

namespace {

TEST(NetSdkMd5, TheReferenceSuite)
{
    const struct {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(qn_net::md5_pair(c.text, ""), c.digest) << c.text;
    // A pair is the digest of the two texts joined, at any length.
    std::string longText(200, 'p');
    EXPECT_EQ(qn_net::md5_pair(longText.substr(0, 150), longText.substr(150)), qn_net::md5_pair(longText, ""));
}

TEST(NetSdkMd5, FileDigestAgreesWithMd5sum)
{
    testing_support::TempFolder folder;
    const std::string path = folder.Path() + "/data.bin";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 5000; ++i) out.put(static_cast<char>(i * 7));
    }
    std::string digest = "prefix:";
    ASSERT_TRUE(qn_net::md5_file(path, &digest));
    auto oracle = testing_support::RunCommand("md5sum " + path + " | cut -c1-32");
    EXPECT_EQ(digest, "prefix:" + testing_support::Chomp(oracle.output));
    EXPECT_FALSE(qn_net::md5_file(folder.Path() + "/missing", &digest));
}

TEST(NetSdkMd5, SaltedPasswordAndFieldsWithoutTerminator)
{
    // md5(md5("secret") + "0123456789abcdef"), by the command-line tool.
    auto oracle = testing_support::RunCommand(
        "printf '%s%s' $(printf '%s' secret | openssl md5 -r | cut -c1-32) 0123456789abcdef | openssl md5 -r | "
        "cut -c1-32");
    EXPECT_EQ(qn_net::salted_password("secret", "0123456789abcdef"), testing_support::Chomp(oracle.output));

    const char field[16] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'};
    EXPECT_EQ(qn_net::field_text(field, sizeof field), "abcdefghijklmnop");
    const char shorter[16] = {'x', 'y', '\0', 'z'};
    EXPECT_EQ(qn_net::field_text(shorter, sizeof shorter), "xy");
}

} // namespace
