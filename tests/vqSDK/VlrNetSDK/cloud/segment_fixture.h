// ffmpeg-made segment fixtures shared by the segment tests: an H.264 stream
// with B frames and access unit delimiters, A-law audio, and both wrapped as
// private units.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/cloud_test_support.h"

namespace cloud_test {

inline constexpr int kFrames = 60;
inline constexpr std::size_t kAudioChunk = 160;

inline std::string FixtureScript()
{
    return "/usr/bin/python3 " + Quote(SourcePath("tools/cloudsim/segment_fixture.py"));
}

inline int FfprobeFrameCount(const std::string& path)
{
    std::string output;
    Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 " +
            Quote(path),
        &output);
    return output.empty() ? -1 : std::stoi(output);
}

class SegmentFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new TempFolder;
        const std::string video = folder_->File("live_bf.264");
        const std::string audio = folder_->File("tone.alaw");
        ok_ = cloud_test::Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 -frames:v " +
                  std::to_string(kFrames) + " -c:v libx264 -bf 2 -g 30 -x264-params aud=1 -f h264 " + Quote(video)) ==
                  0 &&
              cloud_test::Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=8000 -t 1.2 "
                  "-ac 1 -c:a pcm_alaw -f alaw " +
                  Quote(audio)) == 0 &&
              cloud_test::Run(FixtureScript() + " private " + Quote(video) + " " + Quote(audio) + " " +
                      Quote(folder_->File("private.264")),
                  &privateCounts_) == 0;
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(ok_) << "ffmpeg or the fixture writer failed (ffmpeg with libx264 on PATH)"; }

    static std::string Path(const std::string& name) { return folder_->File(name); }

    static inline TempFolder* folder_ = nullptr;
    static inline bool ok_ = false;
    static inline std::string privateCounts_;
};

} // namespace cloud_test
