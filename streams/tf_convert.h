// Conversion of a span of copied TF-card minutes into MP4 files: the minute
// segments are read in order, their packets parsed, and video and audio
// written through the TF record stream, a new file every `filesPerPart`
// minute files.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "streams/qn_tf.h"
#include "streams/tf_card_layout.h"

namespace platform {
class Clock;
class Event;
} // namespace platform

namespace streams {

class SecurityKeys;

struct TfConvertRequest {
    std::string cardFolder; // ends in "/"
    int year = 0, month = 0, day = 0;
    int startMinute = 0; // of the day
    int endMinute = 0;   // not converted
    std::string outputFolder;
    std::string deviceId;
    int filesPerPart = 60;
    // (done, total) before the first file, after each file and at the end.
    std::function<void(int done, int total)> progress;
    // Called with 11 for every key frame written.
    std::function<void(int code)> recordCallback;
    // Protected video is decrypted with these keys before it is written
    // (event 21 "ok"); while a password is wanted `event` hears 19 and the
    // frame is tried again every second on `clock` (the system clock when
    // null) until it decrypts or the run ends. Setting `wake` ends a wait.
    SecurityKeys* keys = nullptr;
    std::function<void(int code, const char* text)> event;
    const platform::Clock* clock = nullptr;
    platform::Event* wake = nullptr;
    // Hears 3001 when the packet parser cannot be had; nothing is converted then.
    std::function<void(int code, const char* text)> error;
    std::size_t parserSize = 0; // the packet parser's buffer; 0 for its smallest
    // Hears the panorama record of the stream's private SEI when the frame
    // scan takes or changes it (the first panorama record is kept).
    std::function<void(const VQ_PANO_PARAM&)> panorama;
};

struct TfConvertResult {
    int minuteFiles = 0;
    std::vector<std::string> files; // the MP4 files written, in order
    bool failed = false;            // a file could not be opened or closed
};

// Runs while `run` stays set.
TfConvertResult ConvertTfSpan(const TfConvertRequest& request, const VQ_TF_DAY_MAP& map, const std::atomic<int>& run);

} // namespace streams
