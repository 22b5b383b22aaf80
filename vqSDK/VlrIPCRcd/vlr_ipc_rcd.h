// The TF-card record play module: plays a camera's card recording over the
// network. It locks the camera in the hub's shared resource pack as the
// TF-card user, takes the frames the hub's TF-card model receives, lets the
// playback pacing controller release them in time back into the stream
// platform, and turns what the platform parses out of them into frames for its
// owner, as the live play module does: in order, decrypted with the module's
// key slots, audio held back while video cannot be decrypted, each with its
// MontFrameInfo, which here also tells how full the pacing queue was. While
// recording it hands every frame to the hub's recorder as well. One object
// per process, owned by the client facade.
//
// Frames reach the module on the SDK's thread (only queued there), leave the
// pacing controller on its video and audio threads, and go through the
// platform and the output step on those threads, one frame at a time.
// Commands come from the owner's thread; none may be sent from a callback.
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
#include "vqSDK/VlrRealplay/stream_play_back_ctrl.h"
#include "vqSDK/VlrSystem/vlr_system.h"

// Bits of the channel state word.
enum IpcRcdStateBit : uint32_t {
    IPCRCD_PLAYING = 1u << 0,
    IPCRCD_MARKS = 0x3Eu, // cleared by "start"
    IPCRCD_RECORDING = 1u << 5,
};

// Bits of the error-output switches: which inner texts are forwarded.
enum IpcRcdErrorOutput : uint32_t {
    IPCRCD_OUT_CTRL = 1u << 0,  // the pacing controller's ("PlayCtrl")
    IPCRCD_OUT_QUEUE = 1u << 1, // the frame queue's
    IPCRCD_OUT_MONT = 1u << 2,  // the stream platform's
};

class VlrIPCRcd {
public:
    explicit VlrIPCRcd(const platform::Clock& clock = platform::Clock::System());
    ~VlrIPCRcd();
    VlrIPCRcd(const VlrIPCRcd&) = delete;
    VlrIPCRcd& operator=(const VlrIPCRcd&) = delete;

    // `table` is the hub's TF-card model table (GetSourcePack "ipc_rcd").
    int SetSourcePack(void* table);
    int SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue);
    int SetEventCallBack(MONT_EVENT_CALLBACK callback, void* user, int32_t userValue);
    int SetStateCallBack(MONT_STATE_CALLBACK callback, void* user, int32_t userValue);
    int SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue);

    // The camera by its decimal id text.
    int LockCamera(const char* camera);
    int UnlockCamera();

    // Commands: "start" (`argument`: the QN_NET_REMOTE_FILE to play), "stop",
    // "repos" (`value` the decimal position), "set_quality", "start_record"
    // (`value` the MP4 path), "stop_record" (`argument`: the int64_t that
    // receives the recorder's frame count, may be null), "out_speed" (`value`
    // "fps", "no_fps" or "i_only"), "out_ctrl_err", "out_queue_err",
    // "out_mont_err" ("y"/"n"), "security_default", "security_default_old" and
    // "security_custom" (`value` the password). 1 done, 0 after a report.
    int SendCtrl(const char* command, const char* value, void* argument);

    // The current stream head. Its addresses stay valid only until the next
    // key frame: follow them only from the frame callback.
    const MontStreamHead* GetStreamHead();
    // A copy of the current stream head for any thread (see VLR_REALPLAY).
    int CopyStreamHead(MontStreamHead* head, uint8_t* bytes, uint32_t capacity);

    uint32_t ChannelState() const { return state_.load(); }

private:
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
    bool StartPacing();
    bool StopPacing();
    int HeadCheck();

    int OwnerCommand(const char* command, const char* value, void* argument);
    int SwitchCommand(const char* command, const char* value);
    int KeyCommand(const char* command, const char* value);

    // The hub's TF-card model hands each frame here (the SDK's thread).
    static int OnPlaybackData(char* data, int64_t type, int64_t number, int64_t length, void* owner, int32_t value);
    // The pacing controller releases frames, texts and rate requests here.
    static int OnPacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user,
                              int32_t value);
    static void OnPacingMessage(int32_t first, int32_t second, const char* text, void* user, int32_t value);
    static int OnRateRequest(const QN_STREAM_RATE_REQUEST* request, void* user, int32_t value);
    int PacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD& record);

    static void OnStreamFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                              int userValue);
    void StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);
    void Record(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);
    static void OnRecordEnd(int32_t code, int32_t detail, void* owner, int32_t value);

    void** table_ = nullptr;
    std::atomic<uint32_t> state_{IPCRCD_MARKS};
    std::atomic<uint32_t> errorOutput_{0};
    std::unique_ptr<Channel> channel_;
    realplay::PlayCallbacks callbacks_;
    realplay::StreamHeadPair heads_;
    streams::SecurityKeys keys_;
    realplay::StreamOutputStep output_{{false, false}, callbacks_, keys_};
    QN_STREAM_PLAY_BACK_CTRL pacing_;

    // A released frame goes into the platform and through the output step
    // whole under this lock, so that the output step sees it with its own
    // frame number and sync id; the controller's two threads take turns.
    std::mutex released_;
    uint32_t releasedNumber_ = 0;
    uint64_t releasedSyncId_ = 0;
    // The released frames' own, under `released_`.
    streams::MontSeiInfo sei_{}; // the last private SEI, for output and recording alike
    std::vector<uint8_t> outputCopy_;
    std::vector<uint8_t> recordCopy_;
};
