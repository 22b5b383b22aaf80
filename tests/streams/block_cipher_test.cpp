// The cameras' cipher against outside DES: with the standard permuted choice
// 2 and each byte's bits reversed (the cameras take bytes least significant
// bit first), it must equal OpenSSL's DES; the camera mode must then differ
// only in the one round-key bit that its permuted choice 2 changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "streams/block_cipher.h"
#include "support/reference_des.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

using Block = std::vector<uint8_t>;

uint8_t ReverseBits(uint8_t value)
{
    uint8_t out = 0;
    for (int i = 0; i < 8; ++i) out = static_cast<uint8_t>(out << 1 | (value >> i & 1));
    return out;
}

Block Reversed(Block bytes)
{
    for (uint8_t& b : bytes) b = ReverseBits(b);
    return bytes;
}

Block FromHex(const std::string& hex)
{
    Block bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const Block& bytes)
{
    std::string hex;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

// Standard DES through our core: reverse the bits on the way in and out.
Block OurStandardEncrypt(const Block& key, const Block& plain)
{
    const Block cameraKey = Reversed(key);
    streams::DesSchedule schedule;
    streams::DesSetKey(cameraKey.data(), &schedule, streams::Pc2Mode::Standard);
    Block out;
    for (std::size_t at = 0; at < plain.size(); at += 8) {
        Block block = Reversed(Block(plain.begin() + at, plain.begin() + at + 8));
        streams::DesEncryptBlock(schedule, block.data());
        const Block back = Reversed(block);
        out.insert(out.end(), back.begin(), back.end());
    }
    return out;
}

class OpensslDes {
public:
    bool Available()
    {
        if (!testing_support::HaveCommand("openssl")) return false;
        return Encrypt(FromHex("133457799BBCDFF1"), FromHex("0123456789ABCDEF")).has_value();
    }

    std::optional<Block> Encrypt(const Block& key, const Block& plain)
    {
        const std::string in = folder_.Path() + "/in.bin";
        FILE* file = std::fopen(in.c_str(), "wb");
        if (file == nullptr) return std::nullopt;
        std::fwrite(plain.data(), 1, plain.size(), file);
        std::fclose(file);
        const auto result =
            testing_support::RunCommand("openssl enc -des-ecb -nopad -provider legacy -provider default -K " +
                                        ToHex(key) + " -in '" + in + "' 2>/dev/null | od -An -v -tx1 | tr -d ' \\n'");
        if (result.exitCode != 0 || result.output.size() != 2 * plain.size()) return std::nullopt;
        return FromHex(result.output);
    }

private:
    testing_support::TempFolder folder_;
};

TEST(StreamCipher, StandardModeMatchesOpensslDes)
{
    OpensslDes openssl;
    if (!openssl.Available()) GTEST_SKIP() << "openssl with the legacy provider (DES) is not available";

    const Block key = FromHex("133457799BBCDFF1");
    const Block plain = FromHex("0123456789ABCDEF");
    EXPECT_EQ(ToHex(*openssl.Encrypt(key, plain)), "85e813540f0ab405");
    EXPECT_EQ(ToHex(OurStandardEncrypt(key, plain)), "85e813540f0ab405");

    std::mt19937 random(20261211);
    for (int round = 0; round < 8; ++round) {
        Block randomKey(8);
        Block data(8 * (1 + round % 4));
        for (uint8_t& b : randomKey) b = static_cast<uint8_t>(random());
        for (uint8_t& b : data) b = static_cast<uint8_t>(random());
        const auto expected = openssl.Encrypt(randomKey, data);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(ToHex(OurStandardEncrypt(randomKey, data)), ToHex(*expected)) << "key " << ToHex(randomKey);
    }
}

// The program's cipher and the tests' textbook one, written apart, agree in
// both modes and in both directions.
TEST(StreamCipher, AgreesWithTheReferenceCipherAndInverts)
{
    std::mt19937 random(7);
    for (const auto mode : {streams::Pc2Mode::Standard, streams::Pc2Mode::Camera}) {
        for (int round = 0; round < 300; ++round) {
            uint8_t key[8];
            uint8_t block[8];
            for (uint8_t& b : key) b = static_cast<uint8_t>(random());
            for (uint8_t& b : block) b = static_cast<uint8_t>(random());
            const testing_support::ReferenceDes reference(key, mode == streams::Pc2Mode::Camera);
            streams::DesSchedule schedule;
            streams::DesSetKey(key, &schedule, mode);

            uint8_t ours[8];
            uint8_t theirs[8];
            std::copy(block, block + 8, ours);
            std::copy(block, block + 8, theirs);
            streams::DesEncryptBlock(schedule, ours);
            reference.Encrypt(theirs);
            ASSERT_TRUE(std::equal(ours, ours + 8, theirs)) << "round " << round;
            // Each side's decryption undoes the other's encryption.
            streams::DesDecryptBlock(schedule, ours);
            ASSERT_TRUE(std::equal(ours, ours + 8, block));
            reference.Decrypt(theirs);
            ASSERT_TRUE(std::equal(theirs, theirs + 8, block));
            reference.Encrypt(theirs);
            streams::DesDecryptBlock(schedule, theirs);
            ASSERT_TRUE(std::equal(theirs, theirs + 8, block));
        }
    }
}

// Camera mode takes round-key bit 36 from key bit 47 (which bit 29 also
// takes) instead of 48; every other round-key bit is the standard one.
TEST(StreamCipher, CameraModeChangesOnlyRoundKeyBit36)
{
    std::mt19937 random(11);
    int differing = 0;
    for (int round = 0; round < 64; ++round) {
        uint8_t key[8];
        for (uint8_t& b : key) b = static_cast<uint8_t>(random());
        streams::DesSchedule camera;
        streams::DesSchedule standard;
        streams::DesSetKey(key, &camera, streams::Pc2Mode::Camera);
        streams::DesSetKey(key, &standard, streams::Pc2Mode::Standard);
        for (int r = 0; r < 16; ++r) {
            const uint64_t bit36 = uint64_t{1} << (48 - 36);
            const uint64_t bit29 = uint64_t{1} << (48 - 29);
            EXPECT_EQ(camera.roundKeys[r] & ~bit36, standard.roundKeys[r] & ~bit36);
            EXPECT_EQ((camera.roundKeys[r] & bit36) != 0, (camera.roundKeys[r] & bit29) != 0);
            differing += camera.roundKeys[r] != standard.roundKeys[r];
        }
    }
    EXPECT_GT(differing, 0);
}

} // namespace
