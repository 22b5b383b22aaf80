// H.264 decoding checked picture for picture against FFmpeg's own decode of
// libx264 streams, and JPEG snapshots read back by ffprobe.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "access_units.h"
#include "picture_files.h"
#include "qnVideoDecoderFFMPEG.h"
#include "qn_h264.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

using player_test::RawYuv;
using testing_support::HaveCommand;
using testing_support::RunCommand;

constexpr int kFramesA = 12, kFramesB = 6;

// Two libx264 streams, 320x240 then 640x480, with FFmpeg's decodes of each;
// made once for the whole binary.
struct StreamFixture {
    testing_support::TempFolder folder;
    std::vector<std::vector<uint8_t>> units;
    std::vector<RawYuv> reference;
    bool ready = false;

    std::string File(const std::string& name) const { return folder.Path() + "/" + name; }

    bool Encode(const std::string& name, int w, int h, int frames)
    {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        const std::string stream = File(name + ".h264"), raw = File(name + ".yuv");
        if (RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i testsrc2=size=" + size +
                       ":rate=25 -frames:v " + std::to_string(frames) +
                       " -c:v libx264 -preset veryfast -bf 0 -g 6 -pix_fmt yuv420p -f h264 '" + stream +
                       "' && ffmpeg -hide_banner -nostdin -loglevel error -f h264 -i '" + stream +
                       "' -f rawvideo -pix_fmt yuv420p '" + raw + "'")
                .exitCode != 0)
            return false;
        std::vector<uint8_t> bytes, file;
        if (!player_test::ReadFileBytes(stream, bytes) || !player_test::ReadFileBytes(raw, file)) return false;
        for (auto& unit : player_test::SplitAccessUnits(bytes)) units.push_back(std::move(unit));
        for (int i = 0; i < frames; ++i) reference.push_back(player_test::FrameOf(file, w, h, i));
        return reference.back().bytes.size() == reference.back().FrameSize();
    }

    StreamFixture() { ready = Encode("a", 320, 240, kFramesA) && Encode("b", 640, 480, kFramesB); }
};

class VideoDecoder : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (HaveCommand("ffmpeg") && HaveCommand("ffprobe")) fixture_ = new StreamFixture;
    }
    static void TearDownTestSuite()
    {
        delete fixture_;
        fixture_ = nullptr;
    }
    void SetUp() override
    {
        if (!fixture_) GTEST_SKIP() << "ffmpeg and ffprobe are missing";
        ASSERT_TRUE(fixture_->ready) << "ffmpeg could not make the libx264 fixture";
        ASSERT_EQ(fixture_->units.size(), size_t(kFramesA + kFramesB));
    }
    static const std::vector<uint8_t>& Unit(size_t i) { return fixture_->units[i]; }
    std::string File(const std::string& name) const { return folder_.Path() + "/" + name; }

    static StreamFixture* fixture_;
    testing_support::TempFolder folder_;
};

StreamFixture* VideoDecoder::fixture_ = nullptr;

TEST_F(VideoDecoder, EveryUnitGivesFfmpegsPictureAndASizeChangeANewOne)
{
    qnVideoDecoderFFMPEG decoder;
    ASSERT_TRUE(decoder.start());
    for (size_t i = 0; i < fixture_->units.size(); ++i) {
        const _vm_screen* picture = decoder.decode(Unit(i).data(), int(Unit(i).size()));
        ASSERT_NE(picture, nullptr) << "unit " << i << " gave no picture";
        const RawYuv& expected = fixture_->reference[i];
        ASSERT_EQ(picture->format, VM_FMT_YUV420);
        ASSERT_EQ(picture->width, expected.width) << "unit " << i;
        ASSERT_EQ(picture->height, expected.height);
        EXPECT_EQ(player_test::ToRaw(*picture).bytes, expected.bytes) << "unit " << i << " differs";
    }
    EXPECT_TRUE(decoder.stop());
    EXPECT_EQ(decoder.decode(Unit(0).data(), int(Unit(0).size())), nullptr) << "a stopped decoder decodes nothing";
    ASSERT_TRUE(decoder.start());
    EXPECT_NE(decoder.decode(Unit(0).data(), int(Unit(0).size())), nullptr) << "started again, it decodes";
}

TEST_F(VideoDecoder, BrokenOrEmptyUnitsGiveNone)
{
    qnVideoDecoderFFMPEG decoder;
    EXPECT_EQ(decoder.decode(Unit(0).data(), int(Unit(0).size())), nullptr) << "not started";
    ASSERT_TRUE(decoder.start());
    const uint8_t junk[] = {0, 0, 0, 1, 0x65, 0xff, 0x00, 0x13};
    EXPECT_EQ(decoder.decode(junk, sizeof junk), nullptr);
    EXPECT_EQ(decoder.decode(nullptr, 10), nullptr);
    EXPECT_EQ(decoder.decode(Unit(0).data(), 0), nullptr);
    EXPECT_NE(decoder.decode(Unit(0).data(), int(Unit(0).size())), nullptr);
}

// Decodes the first key unit over and over (each gives the same picture)
// until the capture ends.
bool CaptureWhileDecoding(qnVideoDecoderFFMPEG& decoder, const std::string& path, const std::vector<uint8_t>& unit)
{
    auto captured = std::async(std::launch::async, [&] { return decoder.capture(path.c_str()); });
    for (int i = 0; i < 2000 && captured.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready; ++i)
        decoder.decode(unit.data(), int(unit.size()));
    return captured.get();
}

TEST_F(VideoDecoder, CaptureWritesTheNextPictureAsJpeg)
{
    qnVideoDecoderFFMPEG decoder;
    ASSERT_TRUE(decoder.start());
    const std::string jpeg = File("snap.jpg");
    ASSERT_TRUE(CaptureWhileDecoding(decoder, jpeg, Unit(0)));
    const auto probe = RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height"
                                  " -of csv=p=0 '" + jpeg + "'");
    EXPECT_EQ(testing_support::Chomp(probe.output), "mjpeg,320,240");
    ASSERT_TRUE(player_test::WriteFileBytes(File("ref.yuv"), fixture_->reference[0].bytes));
    const double psnr =
        player_test::FfmpegPsnr("-i '" + jpeg + "'", "-f rawvideo -pix_fmt yuv420p -s 320x240 -i '" + File("ref.yuv") + "'");
    EXPECT_GE(psnr, 35.0);
}

TEST_F(VideoDecoder, TwoDecodersEachAnswerTheirOwnCapture)
{
    qnVideoDecoderFFMPEG fed, starved;
    ASSERT_TRUE(fed.start());
    ASSERT_TRUE(starved.start());
    const std::string fedPath = File("fed.jpg"), starvedPath = File("starved.jpg");
    auto starvedResult = std::async(std::launch::async, [&] { return starved.capture(starvedPath.c_str()); });
    EXPECT_TRUE(CaptureWhileDecoding(fed, fedPath, Unit(0)));
    EXPECT_FALSE(starvedResult.get()) << "another decoder's picture must not answer this capture";
    EXPECT_TRUE(std::filesystem::exists(fedPath));
    // The timed-out request was withdrawn: a picture decoded afterwards writes no file.
    ASSERT_NE(starved.decode(Unit(0).data(), int(Unit(0).size())), nullptr);
    EXPECT_FALSE(std::filesystem::exists(starvedPath));
}

TEST_F(VideoDecoder, CapturePathsUpTo126CharactersAreTaken)
{
    qnVideoDecoderFFMPEG decoder;
    ASSERT_TRUE(decoder.start());
    std::string longest = File("");
    longest += std::string(126 - longest.size() - 4, 'p') + ".jpg";
    ASSERT_EQ(longest.size(), 126u);
    EXPECT_TRUE(CaptureWhileDecoding(decoder, longest, Unit(0)));
    EXPECT_TRUE(std::filesystem::exists(longest));
    const std::string tooLong = File("") + std::string(127 - File("").size() - 4, 'q') + ".jpg";
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(decoder.capture(tooLong.c_str()));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1500)) << "refused, not waited for";
    EXPECT_FALSE(std::filesystem::exists(tooLong));
}

TEST_F(VideoDecoder, FlatDecoderHandsOutFfmpegsPlanes)
{
    qnH264State state{};
    ASSERT_EQ(qnH264Open(&state), 0);
    ASSERT_TRUE(state.flags & QN_H264_OPENED);
    _vm_screen picture{};
    for (size_t i = 0; i < fixture_->units.size(); ++i) {
        const qnH264Packet packet{uint32_t(Unit(i).size()) << QN_H264_PACKET_LENGTH_SHIFT, 0, Unit(i).data()};
        ASSERT_EQ(qnH264Decode(&state, &packet, &picture), 1) << "unit " << i;
        ASSERT_EQ(picture.width, fixture_->reference[i].width);
        EXPECT_EQ(player_test::ToRaw(picture).bytes, fixture_->reference[i].bytes) << "unit " << i;
    }
    const qnH264Packet skipped{(uint32_t(Unit(0).size()) << QN_H264_PACKET_LENGTH_SHIFT) | QN_H264_PACKET_SKIP, 0,
                               Unit(0).data()};
    EXPECT_EQ(qnH264Decode(&state, &skipped, &picture), 0);
    EXPECT_EQ(qnH264Decode(nullptr, &skipped, &picture), 0);
    qnH264Close(&state);
    EXPECT_EQ(state.context, nullptr);
}

}  // namespace
