// G.711 A-law against Python's audioop, the reference coder at hand: every
// code decodes alike, and every 16-bit sample encodes alike except on the
// interval boundaries of negative values, where our rule of coding the
// magnitude picks the neighbouring code.
#include "vqSDK/QnMp4Helper/g711_alaw.h"

#include "support/run_command.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// audioop's decode of all 256 codes (as 16-bit little-endian samples) and its
// encode of all 65536 samples from -32768 up, into two files.
class AudioopReference : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is needed";
        std::string script = folder_.Path() + "/reference.py";
        std::ofstream(script) << "import audioop, struct, sys\n"
                                 "open(sys.argv[1], 'wb').write(audioop.alaw2lin(bytes(range(256)), 2))\n"
                                 "pcm = struct.pack('<65536h', *range(-32768, 32768))\n"
                                 "open(sys.argv[2], 'wb').write(audioop.lin2alaw(pcm, 2))\n";
        auto result = testing_support::RunCommand("python3 -W ignore " + script + " " + DecodedPath() + " " +
                                                  EncodedPath() + " 2>&1");
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    std::string DecodedPath() const { return folder_.Path() + "/decoded.raw"; }
    std::string EncodedPath() const { return folder_.Path() + "/encoded.raw"; }

    testing_support::TempFolder folder_;
};

TEST_F(AudioopReference, EveryCodeDecodesAsTheReference)
{
    std::vector<uint8_t> reference = ReadBytes(DecodedPath());
    ASSERT_EQ(reference.size(), 512u);
    std::vector<uint8_t> codes(256);
    for (int code = 0; code < 256; ++code) codes[std::size_t(code)] = uint8_t(code);
    std::vector<int16_t> ours(256);
    qn_g711::DecodeAlaw(codes.data(), codes.size(), ours.data());
    for (int code = 0; code < 256; ++code) {
        int16_t expected = int16_t(reference[2 * std::size_t(code)] | reference[2 * std::size_t(code) + 1] << 8);
        EXPECT_EQ(ours[std::size_t(code)], expected) << "code " << code;
    }
}

TEST_F(AudioopReference, SamplesEncodeAsTheReferenceButOnNegativeBoundaries)
{
    std::vector<uint8_t> reference = ReadBytes(EncodedPath());
    ASSERT_EQ(reference.size(), 65536u);
    std::vector<int16_t> samples(65536);
    for (int i = 0; i < 65536; ++i) samples[std::size_t(i)] = int16_t(i - 32768);
    std::vector<uint8_t> ours(samples.size());
    qn_g711::EncodeAlaw(samples.data(), samples.size(), ours.data());

    int differing = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (ours[i] == reference[i]) continue;
        ++differing;
        int sample = samples[i];
        EXPECT_LT(sample, 0) << "sample " << sample;
        // Same sign, neighbouring step: the codes' magnitude orders differ by one.
        int ourStep = (ours[i] ^ 0x55) & 0x7F, theirStep = (reference[i] ^ 0x55) & 0x7F;
        EXPECT_EQ(ours[i] & 0x80, reference[i] & 0x80) << "sample " << sample;
        EXPECT_EQ(std::abs(ourStep - theirStep), 1) << "sample " << sample;
        // The sample lies between the two codes' values.
        int ourValue = qn_g711::kAlawToLinear[ours[i]], theirValue = qn_g711::kAlawToLinear[reference[i]];
        EXPECT_LE(std::min(ourValue, theirValue), sample) << "sample " << sample;
        EXPECT_GE(std::max(ourValue, theirValue), sample) << "sample " << sample;
    }
    EXPECT_EQ(differing, 127);
}

TEST(AlawEncode, MostNegativeSampleCodesLikeTheLargestMagnitude)
{
    EXPECT_EQ(qn_g711::EncodeAlawSample(INT16_MIN), qn_g711::EncodeAlawSample(INT16_MAX) & 0x7F);
    EXPECT_EQ(qn_g711::EncodeAlawSample(INT16_MAX), 0xAA);
}

} // namespace
