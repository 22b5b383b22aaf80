// The live play module: locks a camera in the hub's shared resource pack,
// starts and stops its live stream through the hub's live model, and turns
// the frames the stream platform parses out of it into frames for its owner:
// in order, decrypted with the module's key slots, audio held back while the
// video cannot be decrypted, each with its MontFrameInfo; while recording it
// hands every frame to the hub's recorder as well. One object per process,
// owned by the client facade.
//
// The frames arrive on the thread that feeds the platform's "single" source
// (the hub's live worker), never on the SDK's receive thread; commands come
// from the owner's thread. No command may be sent from a callback. The
// module goes before the hub whose pack it holds: its destructor stops and
// unlocks through the hub.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "streams/key_slots.h"
#include "streams/mont_processor.h"
#include "vqSDK/VlrRealplay/mont_stream_head.h"
#include "vqSDK/VlrRealplay/play_callbacks.h"
#include "vqSDK/VlrRealplay/stream_output.h"
#include "vqSDK/VlrRealplay/stream_real_ctrl.h"
#include "vqSDK/VlrSystem/vlr_system.h"

// Bits of the channel state word.
enum RealplayStateBit : uint32_t {
    REALPLAY_PLAYING = 1u << 0,
    REALPLAY_MARKS = 0x1Eu,       // pause and stop marks, set until "start"
    REALPLAY_QUALITY_MARKS = 0x6u, // cleared by "set_quality" as well
    REALPLAY_RECORDING = 1u << 5,
};

// Bits of the error-output switches: which inner texts are forwarded.
enum RealplayErrorOutput : uint32_t {
    REALPLAY_OUT_CTRL = 1u << 0,  // the pacing controller's ("RealCtrl")
    REALPLAY_OUT_QUEUE = 1u << 1, // the frame queue's
    REALPLAY_OUT_MONT = 1u << 2,  // the stream platform's
};

class VLR_REALPLAY {
public:
    VLR_REALPLAY();
    ~VLR_REALPLAY();
    VLR_REALPLAY(const VLR_REALPLAY&) = delete;
    VLR_REALPLAY& operator=(const VLR_REALPLAY&) = delete;

    // `table` is the hub's live model table (GetSourcePack "realplay").
    int SetSourcePack(void* table);
    int SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue);
    int SetEventCallBack(MONT_EVENT_CALLBACK callback, void* user, int32_t userValue);
    int SetStateCallBack(MONT_STATE_CALLBACK callback, void* user, int32_t userValue);
    int SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue);

    // The camera by its decimal id text.
    int LockCamera(const char* camera);
    int UnlockCamera();

    // Commands: "start" (`argument`: the int32_t that receives the play
    // route, may be null), "stop", "set_quality" (`value` "hd" or
    // "fluency"), "start_record" (`value` the MP4 path), "stop_record"
    // (`argument`: the int64_t that receives the recorder's frame count, may
    // be null), "out_ctrl_err", "out_queue_err", "out_mont_err" ("y"/"n"),
    // "security_default", "security_default_old", "security_custom" (`value`
    // the password) and "no_security". 1 done, 0 after a report.
    int SendCtrl(const char* command, const char* value, void* argument);

    // The current stream head. Its addresses stay valid only until the next
    // key frame: follow them only from the frame callback.
    const MontStreamHead* GetStreamHead();
    // A copy of the current stream head for any thread; `bytes` (at least
    // kStreamHeadStoreBytes) receives the parameter sets and the copy points
    // there. 1 done, 0 as GetStreamHead.
    int CopyStreamHead(MontStreamHead* head, uint8_t* bytes, uint32_t capacity);

    uint32_t ChannelState() const { return state_.load(); }

private:
    // What the pack lends the module while it holds it.
    struct Channel {
        streams::Montage* platform = nullptr;
        int32_t source = -1;
        streams::StreamQueue* queue = nullptr;
    };

    template <typename Function>
    Function Model(int position) const
    {
        return reinterpret_cast<Function>(table_[position]);
    }
    RESPACK* Pack() const { return table_ != nullptr ? static_cast<RESPACK*>(table_[0]) : nullptr; }
    bool OwnsPack() const;
    void ReleaseCamera();
    bool ResetPlatform();
    int HeadCheck();

    int OwnerCommand(const char* command, const char* value, void* argument);
    int SwitchCommand(const char* command, const char* value);
    int KeyCommand(const char* command, const char* value);

    static void OnStreamFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                              int userValue);
    void StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);
    void Record(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);
    static void OnRecordEnd(int32_t code, int32_t detail, void* owner, int32_t value);

    // The pacing controller's part in lock, quality change and unlock.
    bool StartPacing();
    void PausePacing();
    void ResumePacing();
    bool StopPacing();
    static void OnPacingMessage(int32_t first, int32_t second, const char* text, void* user, int32_t value);
    static int OnPacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user,
                              int32_t value);

    void** table_ = nullptr;
    std::atomic<uint32_t> state_{REALPLAY_MARKS};
    std::atomic<uint32_t> errorOutput_{0};
    std::unique_ptr<Channel> channel_;
    realplay::PlayCallbacks callbacks_;
    realplay::StreamHeadPair heads_;
    streams::SecurityKeys keys_;
    realplay::StreamOutputStep output_{{true, true}, callbacks_, keys_};

    // The stream thread's own.
    streams::MontSeiInfo recordSei_{};
    uint32_t lastAudioNumber_ = 0;
    std::vector<uint8_t> outputCopy_;
    std::vector<uint8_t> recordCopy_;

    // Last, so that its threads end before anything they use goes.
    QN_STREAM_REAL_CTRL pacing_;
};
