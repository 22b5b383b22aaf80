// Small H.264 and AAC streams made by ffmpeg for the MP4 tests, cut into
// the units our writer takes: NAL units and raw AAC frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/run_command.h"

namespace mp4_test {

using Bytes = std::vector<uint8_t>;

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// The NAL units of an Annex-B stream, without their start codes.
std::vector<Bytes> SplitNalUnits(const Bytes& stream);
inline int NalType(const Bytes& unit) { return unit.empty() ? -1 : unit[0] & 0x1F; }

struct AdtsFrame {
    int objectType = 0; // profile + 1
    int frequencyIndex = 0;
    int channels = 0;
    Bytes payload; // the raw frame behind the header
    Bytes whole;   // header and payload
};
// The frames of an ADTS stream; stops at the first header that does not parse.
std::vector<AdtsFrame> SplitAdtsFrames(const Bytes& stream);

// Runs ffmpeg quietly with `arguments`; true when it succeeded.
bool Ffmpeg(const std::string& arguments);

// The picture hashes of the first video stream of `input` as ffmpeg decodes
// it (`options` go before the input), one after the other; empty on failure.
std::string VideoFrameMd5s(const std::string& input, const std::string& options = "");

// `seconds` of a 25 frame-a-second test picture, no B-frames, a key frame
// every 25 frames, as Annex-B H.264 in `path`.
bool MakeH264(const std::string& path, int seconds, const std::string& size = "320x240");
// `seconds` of a 1 kHz tone at 8000 Hz mono as ADTS AAC in `path`.
bool MakeAdts(const std::string& path, int seconds);

} // namespace mp4_test
