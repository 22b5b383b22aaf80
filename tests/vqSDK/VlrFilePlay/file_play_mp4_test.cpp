// MP4 recordings written by our writer (private SEI, A-law turned AAC) played
// and checked through the file play module.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "file_play_fixture.h"
#include "support/stepping_clock.h"
#include "support/stream_encryptor.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/QnMp4Helper/mp4_read_clock.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "support/recording_fixture.h"
#include "vqSDK/VlrRealplay/stream_output.h"

namespace {

using fileplay_test::FilePlayPlatform;
using fileplay_test::Received;
using mp4_test::Bytes;

const char kCustomPassword[] = "custom 4711";
// Key type 0: not protected, whatever the check bits say.
constexpr uint32_t kPlainLow = 0x01010100, kPlainHigh = 0x01010101;
constexpr uint32_t kEncryptedKinds = realplay::kKeyFrameCryptKind | realplay::kOtherFrameCryptKind;

// A private panorama SEI from the fixture tool, with the security flag given.
bool MakeSei(const std::string& path, uint32_t low, uint32_t high)
{
    char flag[80];
    std::snprintf(flag, sizeof flag, " sec_low=%u sec_high=%u", low, high);
    return testing_support::RunCommand("python3 " OSTRELS_SOURCE_DIR "/tools/streamfix/stream_fixture.py sei 3 " +
                                       path + " size=64 rate1=25 rate2=25" + flag + " >/dev/null 2>&1")
               .exitCode == 0;
}

// The recording with its key frames' SEI replaced by `sei` (none when
// empty); with a camera, its frames are encrypted as the SEI says.
bool WriteMp4(const std::string& path, const mp4_test::Recording& recording, const Bytes& sei,
              const testing_support::StreamEncryptor* camera = nullptr)
{
    streams::MontSeiInfo info{};
    if (camera != nullptr && streams::ParseSeiPacked(sei.data(), sei.size(), &info) != 1) return false;
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    if (!coder->startWrite(path.c_str())) return false;
    for (const auto& frame : recording.frames) {
        Bytes data = frame.data;
        if (frame.code == QN_MP4_STREAM_FRAME_TYPE_SEI_QN) {
            if (sei.empty()) continue;
            data = sei;
        }
        const bool key = frame.code == QN_MP4_STREAM_FRAME_TYPE_I;
        if (camera != nullptr && (key || frame.code == QN_MP4_STREAM_FRAME_TYPE_P)) {
            const uint32_t length = uint32_t(data.size());
            const realplay::FrameCrypt crypt =
                key ? realplay::KeyFrameCrypt(info, length) : realplay::OtherFrameCrypt(info, true, length);
            camera->EncryptFrame(data.data(), crypt.length, crypt.control, crypt.kind);
        }
        coder->writeFrame(data.data(), int(data.size()), frame.code, &mp4_test::kPicture);
    }
    return coder->stopWrite() > 0;
}

class FilePlayMp4Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3")) return;
        folder_ = new testing_support::TempFolder;
        const std::string dir = folder_->Path();
        const testing_support::StreamEncryptor custom(kCustomPassword, 2);
        made_ = mp4_test::MakeRecording(dir, 2, recording_) && MakeSei(dir + "/plain.sei", kPlainLow, kPlainHigh) &&
                MakeSei(dir + "/custom.sei", custom.Low(kEncryptedKinds), custom.High()) &&
                WriteMp4(dir + "/plain.mp4", recording_, mp4_test::ReadFileBytes(dir + "/plain.sei")) &&
                WriteMp4(dir + "/custom.mp4", recording_, mp4_test::ReadFileBytes(dir + "/custom.sei"), &custom) &&
                WriteMp4(dir + "/nosei.mp4", recording_, {});
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override
    {
        if (folder_ == nullptr) GTEST_SKIP() << "ffmpeg and python3 are needed";
        ASSERT_TRUE(made_);
        received_.Attach(play_);
        ASSERT_EQ(play_.SetSourcePack(platform_.Pack()), 1);
    }
    std::string File(const char* name) const { return folder_->Path() + "/" + name; }

    int32_t Check(const std::string& path, int32_t table = 0)
    {
        FILEPLAY_CHECK_RESULT result{table, 99};
        EXPECT_EQ(play_.SendCtrl("check_file", path.c_str(), &result), 1);
        return result.tableOrResult;
    }

    static inline testing_support::TempFolder* folder_ = nullptr;
    static inline mp4_test::Recording recording_;
    static inline bool made_ = false;
    FilePlayPlatform platform_;
    Received received_;
    VLR_FILEPLAY play_;
};

TEST_F(FilePlayMp4Test, PlaysEveryFrameInOrderAsFfmpegDecodesTheSource)
{
    testing_support::SteppingClock clock;
    qn_mp4::SetReadClock(&clock);
    const int threads = testing_support::SettledThreadCount();
    ASSERT_EQ(play_.SendCtrl("start_file", File("plain.mp4").c_str(), nullptr), 1);
    ASSERT_TRUE(testing_support::WaitUntil([this] { return received_.Count(FILEPLAY_EVENT_END) == 1; }));
    // Audio runs on its own reader thread and the decoder's.
    EXPECT_TRUE(testing_support::WaitUntil([this] {
        std::lock_guard<std::mutex> hold(received_.lock);
        return received_.pcmBytes > 8000;
    }));
    ASSERT_EQ(play_.SendCtrl("stop_file", nullptr, nullptr), 1);
    qn_mp4::SetReadClock(nullptr);
    EXPECT_TRUE(testing_support::WaitUntil([threads] { return testing_support::ThreadCount() == threads; }));

    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_EQ(received_.videoFrames, recording_.videoFrames);
    EXPECT_EQ(received_.keyFrames, recording_.keyFrames);
    for (std::size_t i = 0; i < received_.numbers.size(); ++i) ASSERT_EQ(received_.numbers[i], i + 1);
    int reads = 0;
    int64_t lastTime = -1;
    for (std::size_t i = 0; i < received_.events.size(); ++i) {
        if (received_.events[i] != FILEPLAY_EVENT_VIDEO_READ) continue;
        ++reads;
        EXPECT_GT(received_.eventValues[i], lastTime);
        lastTime = received_.eventValues[i];
    }
    EXPECT_EQ(reads, recording_.videoFrames);
    // Read at normal speed: the reader meant to wait about the recording's length.
    EXPECT_GE(clock.WaitedMs(), 1800);
    const std::string out = File("played.h264");
    mp4_test::WriteFileBytes(out, received_.video);
    const std::string ours = mp4_test::VideoFrameMd5s(out, "-f h264 -r 25");
    EXPECT_FALSE(ours.empty());
    EXPECT_EQ(ours, mp4_test::VideoFrameMd5s(recording_.h264Path, "-f h264 -r 25"));

    const auto* sei = static_cast<const streams::MontSeiInfo*>(play_.GetInfo("file_get_sei"));
    EXPECT_EQ(sei, nullptr) << "forgotten at the stop";
}

TEST_F(FilePlayMp4Test, PauseHoldsTheReadingAndResumePlaysOnToTheEnd)
{
    testing_support::SteppingClock clock;
    qn_mp4::SetReadClock(&clock);
    // The clock runs free, so the pause comes from the reader's own thread at
    // the fifth frame: from the test thread it might come after the end.
    std::atomic<int> pauseResult{-1};
    received_.afterEvent = [this, &pauseResult](int32_t event) {
        if (event == FILEPLAY_EVENT_VIDEO_READ && received_.Count(FILEPLAY_EVENT_VIDEO_READ) == 5)
            pauseResult = play_.SendCtrl("pause_file", nullptr, nullptr);
    };
    ASSERT_EQ(play_.SendCtrl("start_file", File("plain.mp4").c_str(), nullptr), 1);
    ASSERT_TRUE(testing_support::WaitUntil([&pauseResult] { return pauseResult != -1; }));
    ASSERT_EQ(pauseResult, 1);
    EXPECT_NE(play_.GetInfo("file_get_sei"), nullptr);
    const int held = received_.Count(FILEPLAY_EVENT_VIDEO_READ);
    // A paused reader either polls the clock or sleeps on its pause: give it
    // many turns, or a moment when it takes none.
    const int64_t waits = clock.Waits();
    testing_support::WaitUntil([&clock, waits] { return clock.Waits() > waits + 50; }, 300);
    EXPECT_EQ(received_.Count(FILEPLAY_EVENT_VIDEO_READ), held) << "the reader holds still from the pause on";
    EXPECT_EQ(received_.Count(FILEPLAY_EVENT_END), 0);
    ASSERT_EQ(play_.SendCtrl("resume_file", nullptr, nullptr), 1);
    ASSERT_TRUE(testing_support::WaitUntil([this] { return received_.Count(FILEPLAY_EVENT_END) == 1; }));
    ASSERT_EQ(play_.SendCtrl("stop_file", nullptr, nullptr), 1);
    qn_mp4::SetReadClock(nullptr);
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_EQ(received_.videoFrames, recording_.videoFrames);
}

TEST_F(FilePlayMp4Test, StartsAndStopsMidFileWithoutLeavingAThread)
{
    const int threads = testing_support::SettledThreadCount();
    for (int round = 0; round < 3; ++round) {
        testing_support::SteppingClock clock;
        qn_mp4::SetReadClock(&clock);
        const int before = received_.Count(FILEPLAY_EVENT_VIDEO_READ);
        const int ends = received_.Count(FILEPLAY_EVENT_END);
        // The clock runs free, so a stop from this thread may come after the
        // end of the file. In the middle round the reader's own thread holds
        // it at the third frame, so that this stop surely comes mid-file.
        const bool hold = round == 1;
        // Shared with the callback, which may outlive this round if an assertion ends it.
        auto paused = std::make_shared<std::atomic<int>>(-1);
        received_.afterEvent = [this, hold, before, paused](int32_t event) {
            if (hold && event == FILEPLAY_EVENT_VIDEO_READ && received_.Count(FILEPLAY_EVENT_VIDEO_READ) == before + 3)
                *paused = play_.SendCtrl("pause_file", nullptr, nullptr);
        };
        ASSERT_EQ(play_.SendCtrl("start_file", File("plain.mp4").c_str(), nullptr), 1);
        ASSERT_TRUE(testing_support::WaitUntil([this, before, hold, paused] {
            return received_.Count(FILEPLAY_EVENT_VIDEO_READ) >= before + 3 && (!hold || *paused != -1);
        }));
        ASSERT_EQ(play_.SendCtrl("stop_file", nullptr, nullptr), 1);
        received_.afterEvent = nullptr;
        if (hold) {
            EXPECT_EQ(paused->load(), 1);
            EXPECT_EQ(received_.Count(FILEPLAY_EVENT_END), ends) << "stopped in the middle of the file";
        }
        qn_mp4::SetReadClock(nullptr);
        EXPECT_TRUE(testing_support::WaitUntil([threads] { return testing_support::ThreadCount() == threads; }))
            << "round " << round;
    }
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_TRUE(received_.messages.empty());
}

TEST_F(FilePlayMp4Test, ChecksTheFirstKeyFrameSeiAgainstTheKeySlots)
{
    EXPECT_EQ(Check(File("plain.mp4")), FILE_CHECK_PLAYABLE);
    EXPECT_EQ(Check(File("nosei.mp4")), FILE_CHECK_NO_SEI);
    EXPECT_EQ(Check(File("missing.mp4")), FILE_CHECK_NO_KEY_FRAME);

    EXPECT_EQ(play_.SendCtrl("security_clear", nullptr, nullptr), 1);
    EXPECT_EQ(Check(File("custom.mp4")), FILE_CHECK_NEED_CUSTOM);
    EXPECT_EQ(play_.SendCtrl("security_custom", "not it", nullptr), 1);
    EXPECT_EQ(Check(File("custom.mp4")), FILE_CHECK_CUSTOM_WRONG);
    EXPECT_EQ(play_.SendCtrl("security_custom", kCustomPassword, nullptr), 1);
    EXPECT_EQ(Check(File("custom.mp4")), FILE_CHECK_PLAYABLE);
    EXPECT_EQ(Check(File("custom.mp4"), 1), FILE_CHECK_PLAYABLE) << "the type-only table was set as well";

    std::lock_guard<std::mutex> hold(received_.lock);
    const std::vector<int32_t> states{PLAY_STATE_PASSWORD_OK, PLAY_STATE_NEED_CUSTOM, PLAY_STATE_CUSTOM_WRONG,
                                      PLAY_STATE_PASSWORD_OK, PLAY_STATE_PASSWORD_OK};
    EXPECT_EQ(received_.events, states);
}

TEST_F(FilePlayMp4Test, ConvertsAProtectedRecordingIntoAPlainOne)
{
    const std::string source = File("custom.mp4"), copy = File("converted.mp4");
    const std::string sourceMd5s = mp4_test::VideoFrameMd5s(recording_.h264Path, "-f h264 -r 25");
    EXPECT_NE(mp4_test::VideoFrameMd5s(source), sourceMd5s) << "the fixture is encrypted";
    FILEPLAY_TRANS_FILE record{};
    source.copy(record.source, sizeof record.source - 1);
    copy.copy(record.destination, sizeof record.destination - 1);
    FILEPLAY_CHECK_RESULT result{};
    EXPECT_EQ(play_.SendCtrl("trans_file", &record, &result), 0);
    EXPECT_EQ(result.tableOrResult, FILE_CHECK_NEED_DEFAULT) << "no key table yet";

    const int threads = testing_support::SettledThreadCount();
    testing_support::SteppingClock clock;
    qn_mp4::SetReadClock(&clock);
    ASSERT_EQ(play_.SendCtrl("security_custom", kCustomPassword, nullptr), 1);
    ASSERT_EQ(play_.SendCtrl("trans_file", &record, &result), 1);
    ASSERT_TRUE(testing_support::WaitUntil([this] { return received_.Count(FILEPLAY_EVENT_END) == 1; }));
    int32_t written = -9;
    EXPECT_EQ(play_.SendCtrl("finish_filetrans", nullptr, &written), 1);
    qn_mp4::SetReadClock(nullptr);
    EXPECT_LT(clock.WaitedMs(), 200) << "converted at full speed, not at the recording's pace";
    EXPECT_EQ(written, recording_.videoFrames);
    EXPECT_TRUE(testing_support::WaitUntil([threads] { return testing_support::ThreadCount() == threads; }));
    EXPECT_EQ(received_.Count(FILEPLAY_EVENT_VIDEO_CONVERTED), recording_.videoFrames);
    EXPECT_EQ(received_.Count(FILEPLAY_EVENT_VIDEO_READ), 0);

    EXPECT_EQ(mp4_test::VideoFrameMd5s(copy), sourceMd5s);
    EXPECT_EQ(play_.SendCtrl("security_clear", nullptr, nullptr), 1);
    EXPECT_EQ(Check(copy), FILE_CHECK_PLAYABLE) << "the copy's flag was cleared";
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_TRUE(received_.messages.size() == 1 && received_.messages[0] == "file error!!");
}

TEST_F(FilePlayMp4Test, RefusesWithATextWhatItCannotDo)
{
    EXPECT_EQ(play_.SendCtrl("start_file", File("missing.mp4").c_str(), nullptr), 0);
    EXPECT_EQ(play_.SendCtrl("rewind_file", nullptr, nullptr), 0);
    VLR_FILEPLAY unpacked;
    Received other;
    other.Attach(unpacked);
    EXPECT_EQ(unpacked.SendCtrl("start_file", File("plain.mp4").c_str(), nullptr), 0);
    RESPACK wrong{"PACK", 0, nullptr, nullptr, -1, 0, nullptr};
    EXPECT_EQ(unpacked.SetSourcePack(&wrong), 0);
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_EQ(received_.messages, (std::vector<std::string>{"start file err", "Non-support command"}));
    EXPECT_EQ(other.messages, (std::vector<std::string>{"PARAM error", "Source packet member error"}));
}

} // namespace
