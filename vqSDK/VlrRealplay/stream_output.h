// What the network play modules do with each parsed frame before their owner
// sees it: keep video in order, decrypt protected frames with the parameters
// of the stream's private SEI, hold audio back while video cannot be
// decrypted, report the password state, and hand the frame on with its
// MontFrameInfo. Also the decryption that recording does on its own copy.
//
// Everything here runs on the stream's thread, except Reset, which a start
// command makes from its caller's thread; the shared marks are atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "streams/key_slots.h"
#include "streams/private_sei.h"
#include "vqSDK/VlrRealplay/play_callbacks.h"

namespace realplay {

// The decryption kinds of the network streams' frames.
constexpr int kKeyFrameCryptKind = 2;
constexpr int kOtherFrameCryptKind = 4;

bool SeiProtected(const streams::MontSeiInfo& sei);
// 0 none, 1 default, 2 custom, 3 temporary.
uint32_t SeiKeyType(const streams::MontSeiInfo& sei);

// One decryption request: how much of the frame and with which interval and
// clear header (bits 0-15 and 16-25 of the control word).
struct FrameCrypt {
    uint32_t length;
    uint32_t control;
    int kind;
};
// A key frame: only the SEI's protected length when it is shorter than the frame.
FrameCrypt KeyFrameCrypt(const streams::MontSeiInfo& sei, uint32_t frameLength);
// Another frame: its interval and clear header only once a private SEI was seen.
FrameCrypt OtherFrameCrypt(const streams::MontSeiInfo& sei, bool seiSeen, uint32_t frameLength);

// Decrypts in place with the SEI's security flag; the key test's or the
// decryption's result. A stream whose flag is zero is not protected and
// gives 0 without a look at the frame, however short it is.
int DecryptVideoFrame(streams::SecurityKeys& keys, uint8_t* data, const FrameCrypt& crypt,
                      const streams::MontSeiInfo& sei);

// What recording does with a video frame before it is written.
enum class RecordCrypt {
    Clear,     // the stream is not protected
    NoSeiYet,  // protected, but no private SEI has told how: written as it came
    Decrypted,
    Failed,    // written as it came
};
// `result` (may be null) receives the decryption's own result when one ran.
RecordCrypt DecryptForRecord(streams::SecurityKeys& keys, uint8_t* data, uint32_t length, bool key,
                             const streams::MontSeiInfo& sei, bool seiSeen, int* result = nullptr);

// The record-frame type code of a parsed frame kind; 0 for kinds not recorded.
uint32_t RecordTypeCodeOf(const char* kind);

// A parsed frame as the stream platform describes it.
struct StreamFrame {
    uint8_t* data; // the module's own copy
    uint32_t length;
    uint32_t number;
    uint16_t width;
    uint16_t height;
    float frameRate;
    // The TF-card module's queue fill, spread over the frame's record.
    bool carriesSyncId = false;
    uint64_t syncId = 0;
};

// The output step of the live and TF-card play modules.
class StreamOutputStep {
public:
    struct Rules {
        bool dropOlderFrames; // a video frame numbered below the last accepted one is dropped
        bool keyFrameEvent;   // every key frame raises PLAY_EVENT_KEY_FRAME first
    };

    StreamOutputStep(const Rules& rules, const PlayCallbacks& callbacks, streams::SecurityKeys& keys)
        : rules_(rules), callbacks_(callbacks), keys_(keys)
    {
    }
    StreamOutputStep(const StreamOutputStep&) = delete;
    StreamOutputStep& operator=(const StreamOutputStep&) = delete;

    // A new stream: no last frame, audio held back until video decrypts, no
    // private SEI seen, the key-frame SEI forgotten.
    void Reset();

    bool SeiSeen() const { return seiSeen_.load(); }
    void MarkSeiSeen() { seiSeen_.store(true); }
    void ClearSeiSeen() { seiSeen_.store(false); }
    bool AudioGated() const { return audioGate_.load(); }

    // A key frame with the private SEI that describes it (null: the stream
    // has none yet, and the frame is not output). The decryption result, or
    // -1 when the frame was not output.
    int KeyFrame(const StreamFrame& frame, const streams::MontSeiInfo* sei);
    // A P frame; decrypted with the last key frame's SEI. The result, or -1.
    int OtherFrame(const StreamFrame& frame);
    // Audio; false while held back.
    bool Audio(const StreamFrame& frame);

private:
    bool Ordered(uint32_t number, bool key);
    void Decided(int result, bool key, MontFrameInfo& info, uint32_t keyType);

    const Rules rules_;
    const PlayCallbacks& callbacks_;
    streams::SecurityKeys& keys_;
    std::atomic<int64_t> lastNumber_{-1};
    std::atomic<bool> audioGate_{true};
    std::atomic<bool> seiSeen_{false};
    std::atomic<bool> resetPending_{false};
    streams::MontSeiInfo keySei_{}; // the stream thread's own
};

} // namespace realplay
