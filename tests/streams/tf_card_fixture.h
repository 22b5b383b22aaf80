// Copied TF cards laid out by the stream fixture tool from ffmpeg's test
// source: 1 s of 320 x 240 H.264 at 25 fps (one key frame) and 1 s of
// A-law per minute segment.
#pragma once

#include <string>

#include "stream_fixture.h"

namespace streams_test {

struct TfSource {
    std::string video; // 4-byte start codes, access unit delimiters
    std::string alaw;
};

// `cameraSeiOnly` leaves out the encoder's own SEI, so that a key frame's
// private SEI comes within its first bytes, where cameras put it.
inline TfSource MakeTfSource(const std::string& folder, bool cameraSeiOnly = false)
{
    TfSource source;
    source.video = MakeStream(folder, "tf_source",
                              std::string("-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v libx264 -g 25 "
                                          "-bf 0 -bsf:v ") +
                                  (cameraSeiOnly ? "filter_units=remove_types=6,h264_metadata=aud=insert"
                                                 : "h264_metadata=aud=insert"));
    source.alaw = folder + "/tf_source.alaw";
    auto made = testing_support::RunCommand("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=8000:duration=1 "
                                            "-c:a pcm_alaw -f alaw " + source.alaw + " 2>&1");
    if (made.exitCode != 0) source.alaw.clear();
    return source;
}

// Writes the minutes ("HH:MM,...") of `day` into `card`; the tool's output
// (one "<video> <key> <audio>" line per minute) or "" on failure.
inline std::string LayOutTfCard(const TfSource& source, const std::string& card, const std::string& day,
                                const std::string& minutes, const std::string& values = "")
{
    auto result = RunFixture("tf-card " + source.video + " " + source.alaw + " " + card + " " + day + " " + minutes +
                             " " + values);
    return result.exitCode == 0 ? result.output : "";
}

} // namespace streams_test
