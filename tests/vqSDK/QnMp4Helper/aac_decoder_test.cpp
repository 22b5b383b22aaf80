// The AAC decoder against ffmpeg's own decoder: AAC made by our FAAC encoder
// and by ffmpeg, mono and stereo, fed as ADTS frames and as raw frames, at
// once and through the decode thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/media_fixtures.h"
#include "pcm_checks.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "vqSDK/QnMp4Helper/aac_encoder.h"
#include "vqSDK/QnMp4Helper/qnfaaddecoder.h"

namespace {

using mp4_test::Bytes;

constexpr int kRate = 8000;
constexpr int kSeconds = 3;
// The first channel carries this tone, the second another, so a decode that
// keeps the wrong channel shows.
constexpr double kFirstTone = 1000;
constexpr double kSecondTone = 440;

enum class Source { Faac, Ffmpeg };
enum class Framing { Adts, Raw };

struct DecodeCase {
    const char* name;
    Source source;
    int channels;
    Framing framing;
};
void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

std::vector<int16_t> TwoTones(int channels)
{
    std::vector<int16_t> pcm;
    for (int i = 0; i < kRate * kSeconds; ++i) {
        for (int c = 0; c < channels; ++c) {
            double tone = c == 0 ? kFirstTone : kSecondTone;
            pcm.push_back(int16_t(std::lround(8000 * std::sin(2 * M_PI * tone * i / kRate))));
        }
    }
    return pcm;
}

bool EncodeWithFaac(const std::vector<int16_t>& pcm, int channels, const std::string& path)
{
    qn_mp4::AacEncoder encoder;
    qn_mp4::AacEncoderSettings settings;
    settings.outputFormat = 1; // ADTS, so both sources split alike
    if (!encoder.Open(kRate, uint32_t(channels), settings)) return false;
    Bytes stream;
    bool encoded = encoder.EncodePcm(pcm.data(), pcm.size(), [&stream](const uint8_t* bytes, std::size_t length) {
        stream.insert(stream.end(), bytes, bytes + length);
        return true;
    });
    mp4_test::WriteFileBytes(path, stream);
    return encoded && !stream.empty();
}

bool EncodeWithFfmpeg(const std::vector<int16_t>& pcm, int channels, const std::string& folder, const std::string& path)
{
    std::string input = folder + "/input.pcm";
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    mp4_test::WriteFileBytes(input, Bytes(bytes, bytes + pcm.size() * sizeof(int16_t)));
    return mp4_test::Ffmpeg("-f s16le -ar " + std::to_string(kRate) + " -ac " + std::to_string(channels) + " -i " +
                            input + " -c:a aac -f adts " + path);
}

// Everything one decoder hands out, in order.
struct PcmSink {
    std::mutex lock;
    std::vector<int16_t> samples;

    static void Take(const uint8_t* pcm, int length, void* user)
    {
        auto* self = static_cast<PcmSink*>(user);
        const auto* first = reinterpret_cast<const int16_t*>(pcm);
        std::lock_guard<std::mutex> hold(self->lock);
        self->samples.insert(self->samples.end(), first, first + length / int(sizeof(int16_t)));
    }
    std::size_t Size()
    {
        std::lock_guard<std::mutex> hold(lock);
        return samples.size();
    }
};

class AacDecoderTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(AacDecoderTest, DecodesTheFirstChannelAsFfmpegDoes)
{
    if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    const DecodeCase& c = GetParam();
    testing_support::TempFolder folder;
    std::string aac = folder.Path() + "/tone.aac";
    std::vector<int16_t> pcm = TwoTones(c.channels);
    ASSERT_TRUE(c.source == Source::Faac ? EncodeWithFaac(pcm, c.channels, aac)
                                         : EncodeWithFfmpeg(pcm, c.channels, folder.Path(), aac));
    std::vector<mp4_test::AdtsFrame> frames = mp4_test::SplitAdtsFrames(mp4_test::ReadFileBytes(aac));
    ASSERT_GT(frames.size(), std::size_t(kSeconds * kRate / 1024 - 4));
    ASSERT_EQ(frames.front().channels, c.channels);

    std::string reference = folder.Path() + "/reference.pcm";
    ASSERT_TRUE(mp4_test::Ffmpeg("-i " + aac + " -f s16le " + reference));
    std::vector<int16_t> expected = mp4_test::Channel(mp4_test::ReadS16le(reference), c.channels, 0);

    // One decoder at once on this thread, one through its decode thread.
    PcmSink direct, queued;
    qnfaaddecoder now, later;
    ASSERT_TRUE(now.open());
    ASSERT_TRUE(later.open());
    now.setCallback(&PcmSink::Take, &direct);
    later.setCallback(&PcmSink::Take, &queued);
    for (const auto& frame : frames) {
        const Bytes& bytes = c.framing == Framing::Adts ? frame.whole : frame.payload;
        EXPECT_TRUE(now.input(bytes.data(), int(bytes.size()), true));
        EXPECT_TRUE(later.input(bytes.data(), int(bytes.size()), false));
    }
    EXPECT_EQ(now.sampleRate(), unsigned(kRate));
    // FAAD2 reports a mono stream as two channels, in case it carries parametric stereo.
    EXPECT_EQ(now.channels(), 2u);

    // Every frame but the decoder's first gives a block of 1024 samples.
    ASSERT_EQ(direct.samples.size(), (frames.size() - 1) * 1024);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return queued.Size() >= direct.samples.size(); }));
    EXPECT_TRUE(later.close());
    EXPECT_EQ(queued.samples, direct.samples);

    // Two decoders of one stream agree closely once aligned (ffmpeg also gives the first frame out).
    double snr = mp4_test::BestAlignedSnrDb(expected, direct.samples, kRate / 4, kRate * 2, 2048);
    // FAAD2 and ffmpeg agree to 85 dB and more here; a channel mixed up or a sample dropped falls far below.
    EXPECT_GE(snr, 60.0);
    std::vector<int16_t> settled(direct.samples.begin() + kRate / 4, direct.samples.end());
    EXPECT_GT(mp4_test::ToneShare(settled, kRate, kFirstTone), 0.9);
}

const DecodeCase kCases[] = {
    {"FaacMonoAdts", Source::Faac, 1, Framing::Adts},       {"FaacMonoRaw", Source::Faac, 1, Framing::Raw},
    {"FaacStereoAdts", Source::Faac, 2, Framing::Adts},     {"FaacStereoRaw", Source::Faac, 2, Framing::Raw},
    {"FfmpegMonoAdts", Source::Ffmpeg, 1, Framing::Adts},   {"FfmpegMonoRaw", Source::Ffmpeg, 1, Framing::Raw},
    {"FfmpegStereoAdts", Source::Ffmpeg, 2, Framing::Adts}, {"FfmpegStereoRaw", Source::Ffmpeg, 2, Framing::Raw},
};
INSTANTIATE_TEST_SUITE_P(Sources, AacDecoderTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AacDecoderLifeTest, RefusesWithoutADecoderAndStartsAfreshAfterClose)
{
    qnfaaddecoder decoder;
    uint8_t byte = 0;
    EXPECT_FALSE(decoder.input(&byte, 1, true));
    EXPECT_FALSE(decoder.input(&byte, 1, false));
    EXPECT_TRUE(decoder.close());
    ASSERT_TRUE(decoder.open());
    EXPECT_FALSE(decoder.open());
    EXPECT_TRUE(decoder.close());
    EXPECT_FALSE(decoder.input(&byte, 1, true));
    ASSERT_TRUE(decoder.open());
    EXPECT_EQ(decoder.sampleRate(), 0u);
    EXPECT_TRUE(decoder.close());
}

TEST(AacDecoderLifeTest, AFrameFaadRejectsGivesNothingAndDecodingGoesOn)
{
    if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    testing_support::TempFolder folder;
    std::string aac = folder.Path() + "/tone.aac";
    ASSERT_TRUE(mp4_test::MakeAdts(aac, 1));
    std::vector<Bytes> sequence;
    for (const auto& frame : mp4_test::SplitAdtsFrames(mp4_test::ReadFileBytes(aac))) {
        sequence.push_back(frame.whole);
        if (sequence.size() == 4) sequence.push_back(Bytes(40, 0xA5));
    }
    ASSERT_GT(sequence.size(), 8u);

    PcmSink direct, queued;
    qnfaaddecoder now, later;
    ASSERT_TRUE(now.open());
    ASSERT_TRUE(later.open());
    now.setCallback(&PcmSink::Take, &direct);
    later.setCallback(&PcmSink::Take, &queued);
    std::size_t beforeJunk = 0;
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        if (i == 4) beforeJunk = direct.samples.size();
        if (i == 5) EXPECT_EQ(direct.samples.size(), beforeJunk);
        EXPECT_TRUE(now.input(sequence[i].data(), int(sequence[i].size()), true));
        EXPECT_TRUE(later.input(sequence[i].data(), int(sequence[i].size()), false));
    }
    EXPECT_GE(direct.samples.size(), beforeJunk + (sequence.size() - 6) * 1024);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return queued.Size() >= direct.samples.size(); }));
    EXPECT_TRUE(later.close());
    EXPECT_EQ(queued.samples, direct.samples);
}

// A player closes and reopens its decoder while frames still come in from
// another thread: no frame meets a closed or half-closed decoder.
TEST(AacDecoderLifeTest, CloseAndOpenWhileAnotherThreadFeedsFrames)
{
    if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    testing_support::TempFolder folder;
    std::string aac = folder.Path() + "/tone.aac";
    ASSERT_TRUE(mp4_test::MakeAdts(aac, 1));
    std::vector<mp4_test::AdtsFrame> frames = mp4_test::SplitAdtsFrames(mp4_test::ReadFileBytes(aac));
    ASSERT_FALSE(frames.empty());

    qnfaaddecoder decoder;
    PcmSink sink;
    decoder.setCallback(&PcmSink::Take, &sink);
    ASSERT_TRUE(decoder.open());
    std::atomic<bool> feeding{true};
    std::atomic<int> fed{0};
    std::thread feeder([&] {
        for (int i = 0; feeding; ++i) {
            const Bytes& frame = frames[std::size_t(i) % frames.size()].whole;
            decoder.input(frame.data(), int(frame.size()), i % 2 == 0);
            ++fed;
        }
    });
    for (int round = 0; round < 20; ++round) {
        int before = fed;
        EXPECT_TRUE(testing_support::WaitUntil([&] { return fed > before + 5; }));
        EXPECT_TRUE(decoder.close());
        EXPECT_TRUE(decoder.open());
    }
    feeding = false;
    feeder.join();
    std::size_t before = sink.Size();
    for (const auto& frame : frames) EXPECT_TRUE(decoder.input(frame.whole.data(), int(frame.whole.size()), true));
    EXPECT_GT(sink.Size(), before);
    EXPECT_TRUE(decoder.close());
}

} // namespace
