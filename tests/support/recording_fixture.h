// A camera-like recording for the MP4 writers: ffmpeg's H.264 cut into the
// frames a camera sends (SPS, PPS, private SEI, key frame, P frames, each
// behind a 4-byte start code) and A-law audio in 320-byte blocks.
#pragma once

#include <functional>
#include <string>

#include "support/media_fixtures.h"
#include "vqSDK/QnMp4Helper/mp4_frame_types.h"

namespace mp4_test {

struct CameraFrame {
    int code = 0;
    Bytes data;
};

struct Recording {
    std::string h264Path; // the stream the frames came from
    std::vector<CameraFrame> frames;
    int videoFrames = 0;
    int keyFrames = 0;
};

// `seconds` at 25 frames a second, 320x240, a key frame a second; audio
// frames interleaved with the video in time order.
bool MakeRecording(const std::string& folder, int seconds, Recording& recording);

// A private SEI as the camera sends it, with a start code; `tag` marks it.
Bytes PrivateSei(uint8_t tag, std::size_t payload = 20);

inline Bytes WithStartCode(const Bytes& unit)
{
    Bytes out{0, 0, 0, 1};
    out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

constexpr QnMp4FrameInfo kPicture{320, 240, 25};

} // namespace mp4_test
