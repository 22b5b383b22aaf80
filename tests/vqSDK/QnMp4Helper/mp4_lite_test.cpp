// The program's own MP4 variant: files that ffprobe and ffmpeg read as the
// tables say, read back sample for sample with their side pieces, refused
// when laid out otherwise, and paced with lateness made up on a stepping
// clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>

#include "pcm_checks.h"
#include "probe_checks.h"
#include "support/recording_fixture.h"
#include "support/run_command.h"
#include "support/stepping_clock.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "vqSDK/QnMp4Helper/mp4_box_builder.h"
#include "vqSDK/QnMp4Helper/mp4_file_reader.h"
#include "vqSDK/QnMp4Helper/mp4_lite_api.h"
#include "vqSDK/QnMp4Helper/mp4_read_clock.h"
#include "vqSDK/QnMp4Helper/mp4_v2_api.h"

namespace {

using mp4_test::Bytes;
using testing_support::RunCommand;

constexpr int kPFrameSeiEvery = 5; // every fifth P frame brings a private SEI

Bytes PFrameSei(int number) { return mp4_test::PrivateSei(uint8_t(0x80 + number), 12); }

// Feeds a camera recording to the own variant's writer, with a private SEI
// in front of some P frames; audio only when asked.
bool WriteLiteFile(const std::string& path, const mp4_test::Recording& recording, bool audio)
{
    if (!qn_MP4LiteStartWrite(path.c_str())) return false;
    int pFrames = 0;
    for (const auto& frame : recording.frames) {
        if (frame.code == QN_MP4_STREAM_FRAME_TYPE_A_G711 && !audio) continue;
        if (frame.code == QN_MP4_STREAM_FRAME_TYPE_P && ++pFrames % kPFrameSeiEvery == 0) {
            Bytes sei = PFrameSei(pFrames);
            qn_MP4LiteWriteFrame(sei.data(), int(sei.size()), QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P, nullptr);
        }
        qn_MP4LiteWriteFrame(frame.data.data(), int(frame.data.size()), frame.code, &mp4_test::kPicture);
    }
    return qn_MP4LiteStopWrite();
}

struct Delivered {
    int code = 0;
    Bytes data;
    QnMp4ReadTime time{};
    int64_t clockMs = 0;
};

struct LiteReadBack {
    const testing_support::SteppingClock* clock = nullptr;
    testing_support::SteppingClock* lagClock = nullptr;
    std::size_t lagFrame = 0; // the video frame whose consumer is slow
    int64_t lagMs = 0;

    std::mutex lock;
    std::vector<Delivered> video, audio;
    std::atomic<int> ended{0};
    std::atomic<int> refused{0};

    static int OnFrame(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user)
    {
        auto* self = static_cast<LiteReadBack*>(user);
        std::lock_guard<std::mutex> hold(self->lock);
        auto& list = code == QN_MP4_STREAM_FRAME_TYPE_AAC ? self->audio : self->video;
        list.push_back({code, Bytes(data, data + length), *time, self->clock ? self->clock->MonotonicMs() : 0});
        if (code != QN_MP4_STREAM_FRAME_TYPE_AAC && self->lagClock != nullptr && list.size() - 1 == self->lagFrame) {
            self->lagClock->Advance(self->lagMs);
        }
        return 1;
    }
    static void OnEvent(int code, int, void* user)
    {
        auto* self = static_cast<LiteReadBack*>(user);
        if (code == MP4_EVENT_READ_END) ++self->ended;
        if (code == MP4_EVENT_OPEN_FAILED) ++self->refused;
    }
};

// Reads the whole file on a stepping clock; false when the read did not start.
// Reads the file through until its end event and, since the audio thread
// paces itself apart from the video, until `audioSamples` audio frames came.
bool ReadAll(const std::string& path, LiteReadBack& back, testing_support::SteppingClock& clock,
             std::size_t audioSamples = 0)
{
    qn_mp4::SetReadClock(&clock);
    back.clock = &clock;
    bool started = qn_MP4LiteStartRead(path.c_str(), &LiteReadBack::OnFrame, &back, &LiteReadBack::OnEvent, &back);
    if (started) {
        EXPECT_TRUE(testing_support::WaitUntil([&back, audioSamples] {
            std::lock_guard<std::mutex> hold(back.lock);
            return back.ended.load() >= 1 && back.audio.size() >= audioSamples;
        }));
        qn_MP4LiteStopRead();
    }
    qn_mp4::SetReadClock(nullptr);
    return started;
}

// The NAL units of a frame with their start codes.
std::vector<Bytes> Units(const Bytes& frame)
{
    std::vector<Bytes> units;
    for (const Bytes& unit : mp4_test::SplitNalUnits(frame)) units.push_back(mp4_test::WithStartCode(unit));
    return units;
}

Bytes Cut(const Bytes& bytes, std::size_t from, std::size_t to)
{
    return Bytes(bytes.begin() + long(from), bytes.begin() + long(std::min(to, bytes.size())));
}

// Byte position of the first box header of `type` at or after `from`.
std::size_t FindBox(const Bytes& file, const char* type, std::size_t from = 0)
{
    for (std::size_t at = from + 4; at + 4 <= file.size(); ++at) {
        if (std::memcmp(file.data() + at, type, 4) == 0) return at - 4;
    }
    return file.size();
}


class Mp4LiteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) return;
        folder_ = new testing_support::TempFolder;
        file_ = folder_->Path() + "/lite.mp4";
        made_ = mp4_test::MakeRecording(folder_->Path(), 2, recording_) && WriteLiteFile(file_, recording_, true);
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
    }
    std::string Copy(const std::string& name, const Bytes& bytes) const
    {
        std::string path = folder_->Path() + "/" + name;
        mp4_test::WriteFileBytes(path, bytes);
        return path;
    }

    static inline testing_support::TempFolder* folder_ = nullptr;
    static inline mp4_test::Recording recording_;
    static inline std::string file_;
    static inline bool made_ = false;
};

TEST_F(Mp4LiteTest, OutsideToolsReadTheFileAsItsTablesSay)
{
    Bytes whole = mp4_test::ReadFileBytes(file_);
    std::size_t moov = FindBox(whole, "moov", 40);
    ASSERT_LT(moov, whole.size());
    Bytes head{0, 0, 0, 28, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0, 'm', 'p', '4', '1', 'm', 'p', '4', '2',
               'i', 's', 'o', 'm', 0, 0, 0, 12, 'f', 'r', 'e', 'e', 'f', 'r', 'e', 'e'};
    uint32_t mdatSize = uint32_t(moov - 40);
    for (int shift = 24; shift >= 0; shift -= 8) head.push_back(uint8_t(mdatSize >> shift));
    head.insert(head.end(), {'m', 'd', 'a', 't'});
    EXPECT_EQ(Cut(whole, 0, 48), head);

    // Every sample where the tables put it, and the side pieces outside them.
    mp4_test::ExpectSamplesMatchProbe(file_, 2);
    EXPECT_EQ(RunCommand("ffprobe -v error -select_streams v -show_entries stream=codec_name,width,height,time_base,"
                         "duration_ts,nb_frames -of default=nw=1 " + file_).output,
              "codec_name=h264\nwidth=320\nheight=240\ntime_base=1/1000\nduration_ts=2000\nnb_frames=50\n");
    EXPECT_EQ(mp4_test::VideoFrameMd5s(file_), mp4_test::VideoFrameMd5s(recording_.h264Path, "-f h264 -r 25"));

    // The ADTS frames inside the audio samples decode to the tone.
    std::string pcm = folder_->Path() + "/lite.pcm";
    ASSERT_TRUE(mp4_test::Ffmpeg("-i " + file_ + " -map 0:a -f s16le -ac 1 " + pcm));
    std::vector<int16_t> samples = mp4_test::ReadS16le(pcm);
    ASSERT_GT(samples.size(), 8000u);
    EXPECT_GT(mp4_test::ToneShare(samples, 8000, 1000), 0.9);
}

TEST_F(Mp4LiteTest, ReaderDeliversEverySampleWithItsSidePiece)
{
    EXPECT_EQ(qn_MP4LiteTest(file_.c_str()), 0);
    EXPECT_EQ(qn_MP4V2CheckFile(file_.c_str()), 0); // no end marker: the variant's test answers
    qn_mp4::Mp4FileReader tables;
    ASSERT_EQ(tables.Open(file_), qn_mp4::Mp4FileReader::OpenResult::kOpened);
    std::size_t audioSamples = tables.Movie().FindTrack(qn_mp4::FourCC("soun"))->samples.size();

    testing_support::SteppingClock clock;
    LiteReadBack back;
    ASSERT_TRUE(ReadAll(file_, back, clock, audioSamples));
    EXPECT_EQ(back.ended.load(), 1);
    std::lock_guard<std::mutex> hold(back.lock);
    ASSERT_EQ(back.video.size(), 50u);
    ASSERT_EQ(back.audio.size(), audioSamples);
    EXPECT_GT(audioSamples, 10u);
    for (const Delivered& frame : back.audio) {
        ASSERT_GE(frame.data.size(), 7u);
        EXPECT_EQ(frame.data[0], 0xFF); // kept with its ADTS header
        EXPECT_EQ(frame.time.totalMs, 0);
        EXPECT_EQ(frame.time.elapsedMs, 0);
    }

    // Key frames come back behind what arrived with them: SPS, PPS and the
    // private SEI; some P frames behind their private SEI.
    Bytes stream;
    int keys = 0, pFrames = 0;
    for (std::size_t i = 0; i < back.video.size(); ++i) {
        const Delivered& frame = back.video[i];
        EXPECT_EQ(frame.time.totalMs, 2000);
        EXPECT_EQ(frame.time.elapsedMs, int(i + 1) * 40);
        std::vector<Bytes> units = Units(frame.data);
        ASSERT_FALSE(units.empty());
        if (frame.code == QN_MP4_STREAM_FRAME_TYPE_I) {
            ASSERT_EQ(units.size(), 4u) << "frame " << i;
            EXPECT_EQ(mp4_test::NalType(Cut(units[0], 4, units[0].size())), 7);
            EXPECT_EQ(mp4_test::NalType(Cut(units[1], 4, units[1].size())), 8);
            EXPECT_EQ(units[2], mp4_test::PrivateSei(uint8_t(keys++)));
        } else {
            ASSERT_EQ(frame.code, QN_MP4_STREAM_FRAME_TYPE_P);
            bool withSei = ++pFrames % kPFrameSeiEvery == 0;
            ASSERT_EQ(units.size(), withSei ? 2u : 1u) << "frame " << i;
            if (withSei) {
                EXPECT_EQ(units[0], PFrameSei(pFrames));
            }
        }
        stream.insert(stream.end(), frame.data.begin(), frame.data.end());
    }
    EXPECT_EQ(keys, recording_.keyFrames);
    std::string out = Copy("out.h264", stream);
    EXPECT_EQ(mp4_test::VideoFrameMd5s(out, "-f h264 -r 25"),
              mp4_test::VideoFrameMd5s(recording_.h264Path, "-f h264 -r 25"));
}

TEST_F(Mp4LiteTest, FileWithoutSyncSamplesDeliversEveryFrameAsKeyFrame)
{
    Bytes whole = mp4_test::ReadFileBytes(file_);
    std::size_t stss = FindBox(whole, "stss", FindBox(whole, "moov", 40));
    ASSERT_LT(stss, whole.size());
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"no sync table", [stss](Bytes& file) { std::memcpy(file.data() + stss + 4, "free", 4); }},
        {"empty sync table", [stss](Bytes& file) { std::fill_n(file.begin() + long(stss + 12), 4, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes changed = whole;
        c.damage(changed);
        std::string path = Copy("nosync.mp4", changed);
        testing_support::SteppingClock clock;
        LiteReadBack back;
        ASSERT_TRUE(ReadAll(path, back, clock));
        std::lock_guard<std::mutex> hold(back.lock);
        ASSERT_EQ(back.video.size(), 50u);
        for (const Delivered& frame : back.video) EXPECT_EQ(frame.code, QN_MP4_STREAM_FRAME_TYPE_I);
    }
}

TEST_F(Mp4LiteTest, OtherLayoutsAreRefusedWithEventTwo)
{
    Bytes whole = mp4_test::ReadFileBytes(file_);
    std::size_t moov = FindBox(whole, "moov", 40);
    std::size_t skip = FindBox(whole, "skip", moov);
    std::size_t size = FindBox(whole, "size", skip);
    ASSERT_LT(size, whole.size());
    std::string standard = folder_->Path() + "/standard.mp4";
    ASSERT_TRUE(mp4_test::Ffmpeg("-r 25 -f h264 -i " + recording_.h264Path + " -c copy " + standard));

    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {
        {"a standard MP4 of another writer", mp4_test::ReadFileBytes(standard)},
        {"movie box in front of the media data",
         [&] {
             Bytes file = Cut(whole, 0, 40);
             Bytes movie = Cut(whole, moov, whole.size()), media = Cut(whole, 40, moov);
             file.insert(file.end(), movie.begin(), movie.end());
             file.insert(file.end(), media.begin(), media.end());
             return file;
         }()},
        {"a recording that was never stopped", [&] {
             Bytes file = Cut(whole, 0, moov);
             std::fill_n(file.begin() + 40, 4, 0);
             return file;
         }()},
        {"a side table shorter than the video", [&] {
             Bytes file = whole;
             file[size + 3] = 8;
             file[size + 2] = file[size + 1] = file[size] = 0;
             return file;
         }()},
        {"a movie box that claims more than the file", [&] {
             Bytes file = whole;
             file[moov] = 0x7F;
             return file;
         }()},
        {"the head alone", Cut(whole, 0, 48)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Copy("refused.mp4", c.file);
        EXPECT_EQ(qn_MP4LiteTest(path.c_str()), -2);
        LiteReadBack back;
        EXPECT_FALSE(
            qn_MP4LiteStartRead(path.c_str(), &LiteReadBack::OnFrame, &back, &LiteReadBack::OnEvent, &back));
        EXPECT_EQ(back.refused.load(), 1);
    }
    std::string missing = folder_->Path() + "/missing.mp4";
    EXPECT_EQ(qn_MP4LiteTest(missing.c_str()), -1);
    LiteReadBack back;
    EXPECT_FALSE(qn_MP4LiteStartRead(missing.c_str(), &LiteReadBack::OnFrame, &back, &LiteReadBack::OnEvent, &back));
    EXPECT_EQ(back.refused.load(), 0);
}

// A consumer that holds one frame too long makes the next frames come
// sooner until the schedule is met again; frames never come early.
TEST_F(Mp4LiteTest, PacingMakesUpForALateConsumer)
{
    std::string path = folder_->Path() + "/video.mp4";
    ASSERT_TRUE(WriteLiteFile(path, recording_, false));
    struct Case {
        int64_t lagMs;
        std::size_t lagFrame;
    } cases[] = {{0, 0}, {30, 5}, {100, 5}, {400, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE("lag " + std::to_string(c.lagMs) + " ms at frame " + std::to_string(c.lagFrame));
        testing_support::SteppingClock clock;
        LiteReadBack back;
        back.lagClock = &clock;
        back.lagFrame = c.lagFrame;
        back.lagMs = c.lagMs;
        ASSERT_TRUE(ReadAll(path, back, clock));
        std::lock_guard<std::mutex> hold(back.lock);
        ASSERT_EQ(back.video.size(), 50u);
        EXPECT_TRUE(back.audio.empty());
        int64_t start = back.video.front().clockMs;
        std::size_t onTimeFrom = c.lagFrame + std::size_t((c.lagMs + 39) / 40);
        for (std::size_t i = 0; i < back.video.size(); ++i) {
            int64_t due = int64_t(i) * 40;
            int64_t at = back.video[i].clockMs - start;
            EXPECT_GE(at, due) << "frame " << i;
            if (i <= c.lagFrame || i >= onTimeFrom) {
                EXPECT_EQ(at, due) << "frame " << i;
            }
            EXPECT_EQ(back.video[i].time.elapsedMs, int(i + 1) * 40);
        }
    }
}

} // namespace
