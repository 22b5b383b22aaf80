// Captured bytes to A-law across reads that end inside a sample.
#include "capture_encoder.h"

#include "vqSDK/QnMp4Helper/g711_alaw.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(CaptureEncoder, ReadsSplitInsideSamplesEncodeAsOneStream)
{
    std::mt19937 random(3);
    std::vector<int16_t> samples(3001);
    for (auto& sample : samples) sample = int16_t(std::uniform_int_distribution<int>(-32768, 32767)(random));
    std::vector<uint8_t> expected(samples.size());
    qn_g711::EncodeAlaw(samples.data(), samples.size(), expected.data());
    const char* bytes = reinterpret_cast<const char*>(samples.data());
    const std::size_t total = samples.size() * 2;

    // Odd and even read sizes, single bytes and empty reads among them.
    for (std::size_t readSize : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(4095)}) {
        talk_audio::CaptureEncoder encoder;
        std::vector<uint8_t> encoded;
        for (std::size_t at = 0; at < total;) {
            std::size_t count = std::min(readSize, total - at);
            std::vector<uint8_t> out((count + 1) / 2 + 1);
            std::size_t codes = encoder.Encode(bytes + at, count, out.data());
            ASSERT_LE(codes, (count + 1) / 2);
            encoded.insert(encoded.end(), out.begin(), out.begin() + std::ptrdiff_t(codes));
            encoder.Encode(bytes + at, 0, out.data()); // an empty read changes nothing
            at += count;
        }
        EXPECT_EQ(encoded, expected) << "reads of " << readSize;
    }
}

TEST(CaptureEncoder, ResetDropsAHalfSample)
{
    talk_audio::CaptureEncoder encoder;
    const char first[] = {0x10};
    uint8_t out[2] = {};
    EXPECT_EQ(encoder.Encode(first, 1, out), 0u);
    encoder.Reset();
    const char next[] = {0x00, 0x40}; // 0x4000 = 16384
    ASSERT_EQ(encoder.Encode(next, 2, out), 1u);
    EXPECT_EQ(out[0], qn_g711::EncodeAlawSample(16384));
}

} // namespace
