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

#include <cstdint>
#include <mutex>
#include <vector>

#include "vqSDK/VlrRealplay/net_play_module.h"
#include "vqSDK/VlrRealplay/stream_play_back_ctrl.h"

// Bits of the channel state word.
enum IpcRcdStateBit : uint32_t {
    IPCRCD_PLAYING = realplay::NetPlayModule::kPlaying,
    IPCRCD_MARKS = 0x3Eu, // cleared by "start"
    IPCRCD_RECORDING = realplay::NetPlayModule::kRecording,
};

// Bits of the error-output switches: which inner texts are forwarded.
enum IpcRcdErrorOutput : uint32_t {
    IPCRCD_OUT_CTRL = realplay::kOutCtrl,   // the pacing controller's ("PlayCtrl")
    IPCRCD_OUT_QUEUE = realplay::kOutQueue, // the frame queue's
    IPCRCD_OUT_MONT = realplay::kOutMont,   // the stream platform's
};

// The pack (SetSourcePack: the hub's TF-card model table, GetSourcePack
// "ipc_rcd"), the owner's callbacks and the stream head are the shared
// NetPlayModule's.
class VlrIPCRcd : public realplay::NetPlayModule {
public:
    explicit VlrIPCRcd(const platform::Clock& clock = platform::Clock::System());
    ~VlrIPCRcd();

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

private:
    void ReleaseCamera();
    bool StartPacing();
    bool StopPacing();

    int OwnerCommand(const char* command, const char* value, void* argument);
    int KeyCommand(const char* command, const char* value);

    // The hub's TF-card model hands each frame here (the SDK's thread).
    static int OnPlaybackData(char* data, int64_t type, int64_t number, int64_t length, void* owner, int32_t value);
    // The pacing controller releases frames and rate requests here.
    static int OnPacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user,
                              int32_t value);
    static int OnRateRequest(const QN_STREAM_RATE_REQUEST* request, void* user, int32_t value);
    int PacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD& record);

    void StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame) override;
    void Record(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);

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
