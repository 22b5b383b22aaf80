// The record stream parsers: video of TF-card and cloud play is split into
// NAL units, classified, and written as typed frames into the MP4
// recording; the camera's private SEI of the stream gives the security
// values and the picture's rate. Each play module has its own copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "streams/private_sei.h"
#include "vqSDK/QnMp4Helper/mp4_frame_types.h"

namespace streams {

class SecurityKeys;

// Which private SEI units a copy accepts: TF-card recordings carry units of
// at least the kind's size, cloud recordings units of exactly that size.
enum class RecordSeiSizes { Minimum, Exact };
SeiKind ClassifyRecordSei(const uint8_t* unit, std::size_t length, RecordSeiSizes sizes);

// One frame as the parser hands it to the writer.
struct RecordFrame {
    const char* kind = nullptr; // "h264_I", "h264_P", ..., "g711a"
    uint8_t* data = nullptr;
    int length = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    float frameRate = 0;
    uint16_t audioValue = 0;
    // The frame was decrypted before it reached the parser.
    bool plaintext = false;
};

// The MP4 frame code of a kind name (17 for an unknown one).
int RecordFrameCode(const char* kind);

// What a play module lends its copy.
struct RecordOwner {
    // Defaults to the process-wide MP4 recording.
    std::function<bool(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info)> write;
    // The module's key slots for frames that are still encrypted; none leaves them as they are.
    SecurityKeys* keys = nullptr;
    // Called with 11 once per key frame written.
    std::function<void(int code)> recordCallback;
};

struct RecordSecurity {
    bool valid = false; // a valid private SEI was met
    uint32_t low = 0;   // the security flag
    uint32_t high = 0;
    uint32_t interval = 0;
    uint32_t keyClearHeader = 0;
    uint32_t otherClearHeader = 0;
    uint32_t limit = 0; // bytes to decrypt at most, 0 for the whole frame
};

class RecordStream {
public:
    explicit RecordStream(RecordSeiSizes sizes) : sizes_(sizes) {}

    // Splits an Annex-B buffer and writes every recognised unit; 1.
    int ParseVideo(uint8_t* buffer, int length, RecordFrame* frame, const RecordOwner& owner);
    // Writes one frame; the writer's result, or non-zero for a frame of
    // length 0, which is not written.
    int Write(RecordFrame* frame, const RecordOwner& owner);

    RecordSecurity Security() const;

private:
    void TakeSei(uint8_t* unit, std::size_t length, RecordFrame* frame);
    void TakeSps(const uint8_t* unit, std::size_t length, RecordFrame* frame);
    int WriteLocked(RecordFrame* frame, const RecordOwner& owner);
    void WriteHeldParameterSets(RecordFrame* frame, const RecordOwner& owner);

    const RecordSeiSizes sizes_;
    // Output threads and the reader share a copy.
    mutable std::recursive_mutex lock_;
    RecordSecurity security_;
    uint16_t width_ = 0;
    uint16_t height_ = 0;
    float frameRate_ = 0;
    // The SPS and PPS met before the stream's first private SEI, which
    // cameras put behind them in the same access unit.
    std::vector<uint8_t> heldSps_;
    std::vector<uint8_t> heldPps_;
};

// The copy of cloud play and the copy of TF-card play.
RecordStream& CloudRecordStream();
RecordStream& TfRecordStream();
int ParseVideoFrame_H264(uint8_t* buffer, int length, RecordFrame* frame, const RecordOwner& owner);
int TfParseH264Frame(uint8_t* buffer, int length, RecordFrame* frame, const RecordOwner& owner);

} // namespace streams
