// The recording writer and reader: files that ffprobe, ffmpeg and faad read
// as written, read back in camera order and paced on a stepping clock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "pcm_checks.h"
#include "support/recording_fixture.h"
#include "support/run_command.h"
#include "support/stepping_clock.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/QnMp4Helper/mp4_read_clock.h"
#include "vqSDK/QnMp4Helper/mp4_v2_api.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "vqSDK/QnMp4Helper/qnfaaddecoder.h"

namespace {

using mp4_test::Bytes;
using testing_support::RunCommand;

std::string Probe(const std::string& file, const std::string& stream, const std::string& entries)
{
    return RunCommand("ffprobe -v error -select_streams " + stream + " -show_entries " + entries +
                      " -of default=nw=1 " + file)
        .output;
}

struct ReadBack {
    std::mutex lock;
    std::vector<std::pair<int, Bytes>> video;
    int audio = 0;
    std::vector<Bytes> aac;
    std::atomic<int> ended{0};
    int refuseFirst = 0; // frames to refuse before taking the first one
    int offers = 0;
    std::vector<QnMp4ReadTime> times;

    static int OnFrame(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user)
    {
        auto* self = static_cast<ReadBack*>(user);
        std::lock_guard<std::mutex> hold(self->lock);
        if (code == QN_MP4_STREAM_FRAME_TYPE_AAC) {
            ++self->audio;
            self->aac.emplace_back(data, data + length);
            return 1;
        }
        ++self->offers;
        if (self->video.empty() && self->refuseFirst-- > 0) return 0;
        self->video.emplace_back(code, Bytes(data, data + length));
        self->times.push_back(*time);
        return 1;
    }
    static void OnEvent(int code, int, void* user)
    {
        if (code == MP4_EVENT_READ_END) ++static_cast<ReadBack*>(user)->ended;
    }
};

class Mp4V2Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) return;
        folder_ = new testing_support::TempFolder;
        made_ = mp4_test::MakeRecording(folder_->Path(), 2, recording_);
        file_ = folder_->Path() + "/rec.mp4";
        if (!made_ || !qn_MP4V2StartWrite(file_.c_str())) return;
        for (const auto& frame : recording_.frames) {
            written_ += qn_MP4V2WriteFrame(frame.data.data(), int(frame.data.size()), frame.code, &mp4_test::kPicture);
        }
        stopped_ = qn_MP4V2StopWrite();
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override
    {
        if (folder_ == nullptr) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
        ASSERT_TRUE(made_);
        ASSERT_TRUE(stopped_);
    }

    static inline testing_support::TempFolder* folder_ = nullptr;
    static inline mp4_test::Recording recording_;
    static inline std::string file_;
    static inline bool made_ = false, stopped_ = false;
    static inline int written_ = 0;
};

TEST_F(Mp4V2Test, OutsideToolsReadTheRecordingAsWritten)
{
    EXPECT_TRUE(mp4CheckIsV2File(file_.c_str()));
    EXPECT_EQ(qn_MP4V2CheckFile(file_.c_str()), 0);
    Bytes whole = mp4_test::ReadFileBytes(file_);
    EXPECT_EQ(Bytes(whole.end() - 8, whole.end()), (Bytes{0, 0, 0xFE, 0xEF, 0xC8, 0, 0, 0}));

    EXPECT_EQ(Probe(file_, "v", "stream=codec_name,width,height,time_base,nb_frames"),
              "codec_name=h264\nwidth=320\nheight=240\ntime_base=1/90000\nnb_frames=50\n");
    EXPECT_EQ(Probe(file_, "a", "stream=codec_name,sample_rate,channels,time_base"),
              "codec_name=aac\nsample_rate=8000\nchannels=1\ntime_base=1/8000\n");
    std::string trace = RunCommand("ffprobe -v trace " + file_ + " 2>&1").output;
    EXPECT_NE(trace.find("type:'iods'"), std::string::npos);
    EXPECT_NE(trace.find("type:'stss'"), std::string::npos);

    // The pictures decode exactly as the stream they came from.
    std::string ours = mp4_test::VideoFrameMd5s(file_);
    EXPECT_FALSE(ours.empty());
    EXPECT_EQ(ours, mp4_test::VideoFrameMd5s(recording_.h264Path, "-f h264 -r 25"));

    // The audio decodes with ffmpeg. faad cannot read this file: its MP4 reader takes a track's samples as
    // one run from the first chunk offset, so audio chunks between video chunks (as ffmpeg's own muxer also
    // writes them) send it into video data. It reads a recording of audio alone, below.
    EXPECT_EQ(RunCommand("ffmpeg -v error -i " + file_ + " -map 0:a -f null -").exitCode, 0);
}

TEST_F(Mp4V2Test, FaadDecodesTheToneOfARecordingOfAudioAlone)
{
    if (!testing_support::HaveCommand("faad")) GTEST_SKIP() << "faad is needed";
    std::string path = folder_->Path() + "/audio.mp4";
    ASSERT_TRUE(qn_MP4V2StartWrite(path.c_str()));
    int blocks = 0;
    for (const auto& frame : recording_.frames) {
        if (frame.code != QN_MP4_STREAM_FRAME_TYPE_A_G711) continue;
        ASSERT_TRUE(qn_MP4V2WriteFrame(frame.data.data(), int(frame.data.size()), frame.code, nullptr));
        ++blocks;
    }
    ASSERT_TRUE(qn_MP4V2StopWrite());

    std::string wav = folder_->Path() + "/audio.wav";
    RunCommand("faad -q -o " + wav + " " + path + " 2>&1");
    mp4_test::WavAudio audio;
    ASSERT_TRUE(mp4_test::ReadWav(wav, audio));
    // A two-byte AAC configuration at 8000 Hz leaves room for SBR, which faad meets by doubling the output
    // rate; mono comes out on two channels in case of parametric stereo.
    ASSERT_GT(audio.sampleRate, 0);
    std::vector<int16_t> left = mp4_test::Channel(audio.samples, audio.channels, 0);
    // Everything the encoder gave out, that is all blocks but the three of its delay, less faad's first.
    double seconds = double(left.size()) / audio.sampleRate;
    double written = (blocks * 320 / 1024 - 4) * 1024 / 8000.0;
    EXPECT_GE(seconds, written - 0.01) << audio.sampleRate << " Hz, " << left.size() << " samples";
    std::vector<int16_t> settled(left.begin() + long(left.size() / 4), left.end());
    EXPECT_GT(mp4_test::ToneShare(settled, audio.sampleRate, 1000), 0.9);
}

TEST_F(Mp4V2Test, ReadsBackInCameraOrderPacedBySampleDurations)
{
    testing_support::SteppingClock clock;
    qn_mp4::SetReadClock(&clock);
    ReadBack back;
    back.refuseFirst = 3;
    const int threads = testing_support::SettledThreadCount();
    ASSERT_TRUE(qn_MP4V2StarRead(file_.c_str(), &ReadBack::OnFrame, &back, &ReadBack::OnEvent, &back));
    // Each track's thread ends after its last sample's wait. The audio thread
    // paces itself apart from the video, so the end of the video says nothing
    // of how far it got; a stop before its last wait would leave out a wait.
    EXPECT_TRUE(testing_support::WaitUntil(
        [&back, threads] { return back.ended.load() == 1 && testing_support::ThreadCount() == threads; }));
    EXPECT_TRUE(qn_MP4V2StopRead());
    qn_mp4::SetReadClock(nullptr);

    std::lock_guard<std::mutex> hold(back.lock);
    ASSERT_EQ(back.video.size(), 50u);
    EXPECT_EQ(back.offers, 53); // a refused frame is offered again
    EXPECT_GT(back.audio, 10);
    // Every key frame reads back as private SEI, PPS, SPS, slice.
    int keys = 0;
    for (const auto& [code, frame] : back.video) {
        if (code != QN_MP4_STREAM_FRAME_TYPE_I) continue;
        Bytes sei = mp4_test::PrivateSei(uint8_t(keys++));
        ASSERT_GE(frame.size(), sei.size());
        EXPECT_EQ(Bytes(frame.begin(), frame.begin() + long(sei.size())), sei);
        std::vector<Bytes> units = mp4_test::SplitNalUnits(frame);
        ASSERT_EQ(units.size(), 4u);
        EXPECT_EQ(mp4_test::NalType(units[1]), 8);
        EXPECT_EQ(mp4_test::NalType(units[2]), 7);
        EXPECT_EQ(mp4_test::NalType(units[3]), 5);
    }
    EXPECT_EQ(keys, recording_.keyFrames);
    EXPECT_EQ(back.times.front().elapsedMs, 40);
    EXPECT_EQ(back.times.back().elapsedMs, 2000);
    EXPECT_EQ(back.times.back().totalMs, 2000);
    // Each sample waited its own duration; the refused one once per offer.
    int64_t audioMs = int64_t(back.audio) * 128;
    EXPECT_EQ(clock.WaitedMs(), 53 * 40 + audioMs);
}

TEST_F(Mp4V2Test, FirstKeyFrameComesInReadingOrder)
{
    uint8_t* data = nullptr;
    int length = 0;
    ASSERT_EQ(qn_MP4ReadFirstIFrame(file_.c_str(), &data, &length), 0);
    Bytes frame(data, data + length);
    std::free(data);
    std::vector<Bytes> units = mp4_test::SplitNalUnits(frame);
    ASSERT_EQ(units.size(), 4u);
    EXPECT_EQ(mp4_test::WithStartCode(units[0]), mp4_test::PrivateSei(0));
    EXPECT_EQ(mp4_test::NalType(units[3]), 5);

    std::string plain = folder_->Path() + "/plain.mp4";
    mp4_test::WriteFileBytes(plain, Bytes(600, 0));
    EXPECT_EQ(qn_MP4ReadFirstIFrame(plain.c_str(), &data, &length), -1);
    EXPECT_FALSE(mp4CheckIsV2File((folder_->Path() + "/missing.mp4").c_str()));
}

TEST(Mp4V2WriterTest, StreamEdgesFollowTheRecordingRules)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) GTEST_SKIP();
    testing_support::TempFolder folder;
    mp4_test::Recording recording;
    ASSERT_TRUE(mp4_test::MakeRecording(folder.Path(), 2, recording));
    std::string path = folder.Path() + "/edges.mp4";
    std::vector<int> events;
    qn_MP4V2SetWriteEvent([](int code, int, void* user) { static_cast<std::vector<int>*>(user)->push_back(code); },
                          &events);
    ASSERT_TRUE(qn_MP4V2StartWrite(path.c_str()));
    EXPECT_FALSE(qn_MP4V2StartWrite(path.c_str()));
    // Start in the middle of the first second: audio is kept, P frames wait for a key frame.
    std::size_t start = 30;
    for (std::size_t i = start; i < recording.frames.size(); ++i) {
        const auto& frame = recording.frames[i];
        bool ok = qn_MP4V2WriteFrame(frame.data.data(), int(frame.data.size()), frame.code, &mp4_test::kPicture);
        if (frame.code == QN_MP4_STREAM_FRAME_TYPE_A_G711) {
            EXPECT_TRUE(ok);
        }
    }
    // A key frame of another size stops the recording's video.
    const auto& key = recording.frames[3];
    QnMp4FrameInfo other{640, 480, 25};
    EXPECT_FALSE(qn_MP4V2WriteFrame(key.data.data(), int(key.data.size()), key.code, &other));
    EXPECT_FALSE(qn_MP4V2WriteFrame(key.data.data(), int(key.data.size()), key.code, &mp4_test::kPicture));
    EXPECT_EQ(events, std::vector<int>{MP4_EVENT_PICTURE_CHANGED});
    ASSERT_TRUE(qn_MP4V2StopWrite());
    qn_MP4V2SetWriteEvent(nullptr, nullptr);

    EXPECT_EQ(Probe(path, "v", "stream=nb_frames"), "nb_frames=25\n");
    std::string audio = Probe(path, "a", "stream=nb_frames");
    EXPECT_GT(std::atoi(audio.substr(audio.find('=') + 1).c_str()), 5) << audio;
    EXPECT_EQ(RunCommand("ffmpeg -v error -i " + path + " -f null -").exitCode, 0);
}

TEST(QnMp4CoderTest, RefusedCallsLeaveTheirReason)
{
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    EXPECT_EQ(coder->stopWrite(), -1);
    EXPECT_EQ(coder->getLastError(), QnMp4Coder::kWrongState);
    EXPECT_TRUE(coder->stopRead());
    EXPECT_EQ(coder->getLastError(), QnMp4Coder::kWrongState);
    EXPECT_FALSE(coder->writeFrame(nullptr, 0, 0, nullptr));

    testing_support::TempFolder folder;
    std::string path = folder.Path() + "/audio.mp4";
    ASSERT_TRUE(coder->startWrite(path.c_str()));
    EXPECT_FALSE(coder->startWrite((folder.Path() + "/second.mp4").c_str()));
    EXPECT_EQ(coder->getLastError(), QnMp4Coder::kWrongState);
    Bytes alaw(320, 0xD5);
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(coder->writeFrame(alaw.data(), int(alaw.size()), 3, nullptr));
    char name[256] = {};
    EXPECT_TRUE(coder->getFileName(name, sizeof name));
    EXPECT_EQ(std::string(name), path);
    // Audio alone is a readable recording of no video frames.
    EXPECT_EQ(coder->stopWrite(), 0);
    EXPECT_FALSE(coder->startRead((folder.Path() + "/missing.mp4").c_str()));
    EXPECT_EQ(coder->getLastError(), QnMp4Coder::kReadStartFailed);
}

// The way the program records and plays: the camera's video and audio come
// from two threads into the one coder, and the file plays back through it.
TEST(QnMp4CoderTest, RecordsFromTwoThreadsAndPlaysBackWhatWasRecorded)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) GTEST_SKIP();
    testing_support::TempFolder folder;
    mp4_test::Recording recording;
    ASSERT_TRUE(mp4_test::MakeRecording(folder.Path(), 2, recording));
    std::vector<const mp4_test::CameraFrame*> video, audio;
    for (const auto& frame : recording.frames) {
        (frame.code == QN_MP4_STREAM_FRAME_TYPE_A_G711 ? audio : video).push_back(&frame);
    }

    QnMp4Coder* coder = QnMp4Coder::getInstance();
    std::string path = folder.Path() + "/coder.mp4";
    ASSERT_TRUE(coder->startWrite(path.c_str()));
    auto writeAll = [coder](const std::vector<const mp4_test::CameraFrame*>& frames) {
        // Side units before the track exists only fill its sample description and report false; every
        // picture and audio block is taken.
        int refused = 0;
        for (const auto* frame : frames) {
            bool taken =
                coder->writeFrame(frame->data.data(), int(frame->data.size()), frame->code, &mp4_test::kPicture);
            refused += !taken && frame->code <= QN_MP4_STREAM_FRAME_TYPE_A_G711;
        }
        return refused;
    };
    int videoRefused = -1, audioRefused = -1;
    std::thread audioThread([&] { audioRefused = writeAll(audio); });
    videoRefused = writeAll(video);
    audioThread.join();
    // Neither thread loses a frame to the other.
    EXPECT_EQ(videoRefused, 0);
    EXPECT_EQ(audioRefused, 0);
    EXPECT_EQ(coder->stopWrite(), recording.videoFrames);

    EXPECT_EQ(Probe(path, "v", "stream=codec_name,width,height,nb_frames"),
              "codec_name=h264\nwidth=320\nheight=240\nnb_frames=" + std::to_string(recording.videoFrames) + "\n");
    std::string audioFrames = Probe(path, "a", "stream=nb_frames");
    int aacFrames = std::atoi(audioFrames.substr(audioFrames.find('=') + 1).c_str());
    // 320 A-law bytes a video frame, 1024 samples an AAC frame, less the encoder's three silent blocks.
    EXPECT_EQ(aacFrames, int(audio.size()) * 320 / 1024 - 3) << audioFrames;
    EXPECT_EQ(mp4_test::VideoFrameMd5s(path), mp4_test::VideoFrameMd5s(recording.h264Path, "-f h264 -r 25"));
    std::string reference = folder.Path() + "/reference.pcm";
    ASSERT_TRUE(mp4_test::Ffmpeg("-i " + path + " -map 0:a -f s16le -ac 1 " + reference));

    testing_support::SteppingClock clock;
    qn_mp4::SetReadClock(&clock);
    ReadBack back;
    coder->setFrameCallback(&ReadBack::OnFrame, &back);
    coder->setEventCallback(&ReadBack::OnEvent, &back);
    ASSERT_TRUE(coder->startRead(path.c_str()));
    // The owner may register again while the reader's thread delivers.
    std::atomic<bool> reading{true};
    std::thread registrar([&] {
        while (reading) {
            coder->setFrameCallback(&ReadBack::OnFrame, &back);
            coder->setEventCallback(&ReadBack::OnEvent, &back);
            std::this_thread::yield();
        }
    });
    EXPECT_TRUE(testing_support::WaitUntil([&back, aacFrames] {
        std::lock_guard<std::mutex> hold(back.lock);
        return back.ended.load() == 1 && back.audio == aacFrames;
    }));
    reading = false;
    registrar.join();
    EXPECT_TRUE(coder->stopRead());
    coder->setFrameCallback(nullptr, nullptr);
    coder->setEventCallback(nullptr, nullptr);
    qn_mp4::SetReadClock(nullptr);

    // Every picture comes back in order: its slice as recorded, a key frame behind its private SEI and
    // parameter sets.
    std::lock_guard<std::mutex> hold(back.lock);
    std::vector<Bytes> slices;
    for (const Bytes& unit : mp4_test::SplitNalUnits(mp4_test::ReadFileBytes(recording.h264Path))) {
        if (mp4_test::NalType(unit) == 1 || mp4_test::NalType(unit) == 5) slices.push_back(unit);
    }
    ASSERT_EQ(back.video.size(), slices.size());
    int keys = 0;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        const auto& [code, frame] = back.video[i];
        std::vector<Bytes> units = mp4_test::SplitNalUnits(frame);
        ASSERT_FALSE(units.empty());
        EXPECT_EQ(units.back(), slices[i]) << "picture " << i;
        EXPECT_EQ(code, mp4_test::NalType(slices[i]) == 5 ? QN_MP4_STREAM_FRAME_TYPE_I : QN_MP4_STREAM_FRAME_TYPE_P);
        if (code == QN_MP4_STREAM_FRAME_TYPE_I) {
            EXPECT_EQ(mp4_test::WithStartCode(units.front()), mp4_test::PrivateSei(uint8_t(keys++)));
        }
    }
    EXPECT_EQ(keys, recording.keyFrames);

    // The audio comes back as the AAC frames of the file: our decoder makes of them what ffmpeg makes of the
    // file, the recorded 1 kHz tone.
    std::vector<int16_t> decoded;
    qnfaaddecoder decoder;
    ASSERT_TRUE(decoder.open());
    decoder.setCallback(
        [](const uint8_t* pcm, int length, void* user) {
            const auto* first = reinterpret_cast<const int16_t*>(pcm);
            auto* out = static_cast<std::vector<int16_t>*>(user);
            out->insert(out->end(), first, first + length / 2);
        },
        &decoded);
    for (const Bytes& frame : back.aac) EXPECT_TRUE(decoder.input(frame.data(), int(frame.size()), true));
    decoder.close();
    ASSERT_EQ(decoded.size(), (back.aac.size() - 1) * 1024);
    std::vector<int16_t> expected = mp4_test::ReadS16le(reference);
    EXPECT_GE(mp4_test::BestAlignedSnrDb(expected, decoded, 2048, decoded.size() - 4096, 2048), 60.0);
    EXPECT_GT(mp4_test::ToneShare(std::vector<int16_t>(decoded.begin() + 1024, decoded.end()), 8000, 1000), 0.9);
}

} // namespace
