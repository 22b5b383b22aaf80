// What TF-card play and conversion decide before and while reading: the span
// actually played, its start minute, the number of minute files, the names of
// conversion files, and what a frame's private SEI tells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "streams/qn_tf.h"
#include "streams/record_stream.h"

namespace streams {

// The error callback's code when the packet parser cannot be had.
constexpr int kTfParserFailed = 3001;

// An invalid span (hours over 23, minutes over 59, end before start)
// becomes 00:00 to 23:59 of its day, seconds kept.
TfSpan RepairTfSpan(TfSpan span);

// The recorded minute nearest to `minute` (0-1439): the minute itself or an
// earlier one that holds it back, else the nearer of the two directions,
// ties going forward; -1 for a day without recordings.
int NearestTfStartMinute(const VQ_TF_DAY_MAP& map, int minute);

// Minutes from start up to (not including) end that hold a segment.
int CountTfMinuteFiles(const VQ_TF_DAY_MAP& map, int startMinute, int endMinute);

// "<folder>/<id>_<time>.mp4", or with "_1", "_2", ... before ".mp4" while
// `exists` says a name is taken.
std::string TfConvertFileName(const std::string& folder, const std::string& deviceId, const std::string& timeText,
                              const std::function<bool(const std::string&)>& exists);

// What the frame scan found in a video payload.
struct TfFrameScan {
    bool haveTime = false;
    TfDateTime time{};
    uint32_t timeWord = 0;        // the packed date the time was read from
    uint16_t ptz[3] = {0, 0, 10}; // PTZ values x 10 and the constant 10
    std::size_t frameStart = 0;   // the first unit that is not a private SEI
    bool slice = false;           // a slice (NAL 1 or 5) was reached
    float frameRate = 0;          // from the private SEI, 0 when none
    bool secure = false;
    uint32_t securityLow = 0, securityHigh = 0;
    uint32_t protectionInterval = 0, keyClearHeader = 0, otherClearHeader = 0;
};
// Scans the first 256 bytes (fewer for short payloads) for start codes; a
// panorama record fills `pano` while it is not valid yet. TF-card streams
// carry private SEI units of at least their kind's size, cloud streams of
// exactly that size.
TfFrameScan ScanTfFrame(const uint8_t* payload, std::size_t length, VQ_PANO_PARAM* pano,
                        RecordSeiSizes sizes = RecordSeiSizes::Minimum);

// Pacing: the A/V lag in ms from the carried values (video-frame units), the
// speed-up factor it asks for (20 above 3 s, which also means key frames
// only), and the frame interval; rates of 0 or less count as 25 fps.
int TfLagMs(uint32_t lastAudioValue, uint32_t videoValue, float frameRate);
float TfPaceFactor(int lagMs);
int TfFrameIntervalMs(float frameRate);
// The time an audio frame of `length` A-law bytes plays at pace `rate`.
int TfAudioDurationMs(int length, float rate);

} // namespace streams
