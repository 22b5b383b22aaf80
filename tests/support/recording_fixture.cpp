#include "support/recording_fixture.h"

namespace mp4_test {

Bytes PrivateSei(uint8_t tag, std::size_t payload)
{
    Bytes unit{0x06, 0x05, uint8_t(payload)};
    for (std::size_t i = 0; i < payload; ++i) unit.push_back(uint8_t(tag + i));
    unit.push_back(0x80);
    return WithStartCode(unit);
}

bool MakeRecording(const std::string& folder, int seconds, Recording& recording)
{
    recording.h264Path = folder + "/camera.h264";
    std::string alawPath = folder + "/camera.alaw";
    if (!MakeH264(recording.h264Path, seconds) ||
        !Ffmpeg("-f lavfi -i sine=frequency=1000:sample_rate=8000 -t " + std::to_string(seconds) +
                " -ac 1 -f alaw " + alawPath)) {
        return false;
    }
    Bytes alaw = ReadFileBytes(alawPath);
    std::size_t alawAt = 0;
    Bytes sps, pps;
    for (const Bytes& unit : SplitNalUnits(ReadFileBytes(recording.h264Path))) {
        int type = NalType(unit);
        if (type == 7) sps = unit;
        if (type == 8) pps = unit;
        if (type != 5 && type != 1) continue;
        if (type == 5) {
            recording.frames.push_back({QN_MP4_STREAM_FRAME_TYPE_SPS, WithStartCode(sps)});
            recording.frames.push_back({QN_MP4_STREAM_FRAME_TYPE_PPS, WithStartCode(pps)});
            recording.frames.push_back({QN_MP4_STREAM_FRAME_TYPE_SEI_QN, PrivateSei(uint8_t(recording.keyFrames))});
            recording.frames.push_back({QN_MP4_STREAM_FRAME_TYPE_I, WithStartCode(unit)});
            ++recording.keyFrames;
        } else {
            recording.frames.push_back({QN_MP4_STREAM_FRAME_TYPE_P, WithStartCode(unit)});
        }
        ++recording.videoFrames;
        // 40 ms of video: 320 A-law bytes.
        std::size_t take = std::min<std::size_t>(320, alaw.size() - alawAt);
        if (take > 0) {
            recording.frames.push_back(
                {QN_MP4_STREAM_FRAME_TYPE_A_G711, Bytes(alaw.begin() + long(alawAt), alaw.begin() + long(alawAt + take))});
            alawAt += take;
        }
    }
    return recording.keyFrames > 0;
}

} // namespace mp4_test
