// Files written by our MP4 writer, read by ffprobe and decoded by ffmpeg.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/media_fixtures.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/QnMp4Helper/mp4_file_writer.h"

namespace {

using mp4_test::Bytes;
using testing_support::RunCommand;

// The key=value lines ffprobe prints for one stream's entries.
std::map<std::string, std::string> ProbeStream(const std::string& file, const std::string& stream)
{
    auto result = RunCommand("ffprobe -v error -select_streams " + stream +
                             " -show_entries stream=codec_name,time_base,duration_ts,nb_frames,width,height,"
                             "sample_rate,channels -of default=nw=1 " +
                             file);
    std::map<std::string, std::string> entries;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        auto equals = line.find('=');
        if (equals != std::string::npos) entries[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return entries;
}

// The size and hash columns of ffmpeg's framemd5 output: timestamps differ
// between a raw stream and an MP4 of the same frames.
std::vector<std::string> FrameHashes(const std::string& input)
{
    auto result = RunCommand("ffmpeg -nostdin -v error " + input + " -f framemd5 -");
    std::vector<std::string> hashes;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        auto size = line.rfind(',', line.rfind(',') - 1);
        hashes.push_back(line.substr(size + 1));
    }
    return hashes;
}

struct Recording {
    uint32_t videoSamples = 0;
    uint32_t keySamples = 0;
    uint32_t audioSamples = 0;
};

// Writes the H.264 units (one slice per frame, each behind a 4-byte length)
// and the AAC frames, interleaved as a recorder would meet them.
Recording WriteRecording(const std::string& path, const std::vector<Bytes>& units,
                         const std::vector<mp4_test::AdtsFrame>& audio)
{
    Recording written;
    qn_mp4::MovieOptions movie;
    movie.profiles = {.audioProfileLevel = 2, .videoProfileLevel = 127};
    qn_mp4::Mp4FileWriter writer;
    EXPECT_TRUE(writer.Create(path, movie));

    qn_mp4::AudioTrackOptions sound;
    sound.entry.decoderSpecificInfo = qn_mp4::AudioSpecificConfig(2, 8000, 1);
    uint32_t audioTrack = writer.AddAudioTrack(sound);

    qn_mp4::VideoTrackOptions picture;
    picture.entry.width = 320;
    picture.entry.height = 240;
    for (const Bytes& unit : units) {
        if (mp4_test::NalType(unit) == 7 && picture.entry.sequenceParameterSets.empty()) {
            picture.entry.sequenceParameterSets.push_back(unit);
        }
        if (mp4_test::NalType(unit) == 8 && picture.entry.pictureParameterSets.empty()) {
            picture.entry.pictureParameterSets.push_back(unit);
        }
    }
    uint32_t videoTrack = writer.AddVideoTrack(picture);

    std::size_t nextAudio = 0;
    for (const Bytes& unit : units) {
        int type = mp4_test::NalType(unit);
        if (type != 1 && type != 5) continue;
        Bytes sample{uint8_t(unit.size() >> 24), uint8_t(unit.size() >> 16), uint8_t(unit.size() >> 8),
                     uint8_t(unit.size())};
        sample.insert(sample.end(), unit.begin(), unit.end());
        EXPECT_TRUE(writer.WriteSample(videoTrack, sample.data(), sample.size(), type == 5));
        ++written.videoSamples;
        written.keySamples += type == 5;
        // 40 ms of video carry 320 audio samples: a 1024-sample frame every 3.2 pictures.
        bool last = &unit == &units.back();
        while (nextAudio < audio.size() && (last || nextAudio * 1024 <= written.videoSamples * 320)) {
            const Bytes& frame = audio[nextAudio++].payload;
            EXPECT_TRUE(writer.WriteSample(audioTrack, frame.data(), frame.size(), true));
            ++written.audioSamples;
        }
    }
    EXPECT_EQ(written.audioSamples, audio.size());
    EXPECT_EQ(writer.SampleCount(videoTrack), written.videoSamples);
    EXPECT_TRUE(writer.Close());
    return written;
}

// One source stream and one recording of it serve every check.
class Mp4WriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) return;
        folder_ = new testing_support::TempFolder;
        h264_ = folder_->Path() + "/v.h264";
        adts_ = folder_->Path() + "/a.aac";
        out_ = folder_->Path() + "/out.mp4";
        if (!mp4_test::MakeH264(h264_, 2) || !mp4_test::MakeAdts(adts_, 2)) return;
        units_ = mp4_test::SplitNalUnits(mp4_test::ReadFileBytes(h264_));
        audio_ = mp4_test::SplitAdtsFrames(mp4_test::ReadFileBytes(adts_));
        written_ = WriteRecording(out_, units_, audio_);
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override
    {
        if (folder_ == nullptr) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
        ASSERT_FALSE(units_.empty());
        ASSERT_FALSE(audio_.empty());
        ASSERT_EQ(written_.videoSamples, 50u);
    }

    static inline testing_support::TempFolder* folder_ = nullptr;
    static inline std::string h264_;
    static inline std::string adts_;
    static inline std::string out_;
    static inline std::vector<Bytes> units_;
    static inline std::vector<mp4_test::AdtsFrame> audio_;
    static inline Recording written_;
};

TEST_F(Mp4WriterTest, FfprobeSeesBothTracksWithTheirTimeScalesAndCounts)
{
    const std::string& out = out_;
    const Recording& written = written_;

    auto video = ProbeStream(out, "v:0");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["width"], "320");
    EXPECT_EQ(video["height"], "240");
    EXPECT_EQ(video["time_base"], "1/90000");
    EXPECT_EQ(video["nb_frames"], std::to_string(written.videoSamples));
    EXPECT_EQ(video["duration_ts"], std::to_string(written.videoSamples * 3600));

    auto audio = ProbeStream(out, "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "8000");
    EXPECT_EQ(audio["channels"], "1");
    EXPECT_EQ(audio["time_base"], "1/8000");
    EXPECT_EQ(audio["nb_frames"], std::to_string(written.audioSamples));
    EXPECT_EQ(audio["duration_ts"], std::to_string(written.audioSamples * 1024));

    auto keys =
        RunCommand("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 " + out + " | grep -c K");
    EXPECT_EQ(testing_support::Chomp(keys.output), std::to_string(written.keySamples));
}

TEST_F(Mp4WriterTest, VideoDecodesToTheSourceFramesAndAudioToTheSourceSamples)
{
    const std::string& out = out_;

    auto ours = FrameHashes("-i " + out + " -map 0:v");
    auto source = FrameHashes("-f h264 -i " + h264_);
    ASSERT_EQ(ours.size(), 50u);
    EXPECT_EQ(ours, source);

    auto decoded = RunCommand("ffmpeg -nostdin -v error -i " + out + " -map 0:a -f s16le -ac 1 - | md5sum");
    auto reference = RunCommand("ffmpeg -nostdin -v error -i " + adts_ + " -f s16le -ac 1 - | md5sum");
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.output, reference.output);
}

TEST_F(Mp4WriterTest, BoxTreeHoldsTheMovieTimeScaleDescriptorAndAvcProfile)
{
    const std::string& out = out_;
    auto trace = RunCommand("ffprobe -v trace " + out + " 2>&1").output;
    for (const char* box :
         {"type:'ftyp'", "type:'mdat'", "type:'moov'", "type:'mvhd'", "type:'iods'", "type:'trak'", "type:'tkhd'",
          "type:'mdhd'", "type:'hdlr'", "type:'vmhd'", "type:'smhd'", "type:'dinf'", "type:'stsd'", "type:'avcC'",
          "type:'esds'", "type:'stts'", "type:'stss'", "type:'stsc'", "type:'stsz'", "type:'stco'"}) {
        EXPECT_NE(trace.find(box), std::string::npos) << box;
    }
    EXPECT_NE(trace.find("time scale = 90000"), std::string::npos);
    const Bytes& sps = units_[0];
    ASSERT_EQ(mp4_test::NalType(sps), 7);
    auto profile =
        RunCommand("ffprobe -v error -select_streams v -show_entries stream=profile,level -of csv=p=0 " + out);
    auto sourceProfile = RunCommand("ffprobe -v error -show_entries stream=profile,level -of csv=p=0 -f h264 " + h264_);
    EXPECT_EQ(profile.output, sourceProfile.output);
}

} // namespace
