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

#include <cstdint>
#include <vector>

#include "vqSDK/VlrRealplay/net_play_module.h"
#include "vqSDK/VlrRealplay/stream_real_ctrl.h"

// Bits of the channel state word.
enum RealplayStateBit : uint32_t {
    REALPLAY_PLAYING = realplay::NetPlayModule::kPlaying,
    REALPLAY_MARKS = 0x1Eu,       // pause and stop marks, set until "start"
    REALPLAY_QUALITY_MARKS = 0x6u, // cleared by "set_quality" as well
    REALPLAY_RECORDING = realplay::NetPlayModule::kRecording,
};

// Bits of the error-output switches: which inner texts are forwarded.
enum RealplayErrorOutput : uint32_t {
    REALPLAY_OUT_CTRL = realplay::kOutCtrl,   // the pacing controller's ("RealCtrl")
    REALPLAY_OUT_QUEUE = realplay::kOutQueue, // the frame queue's
    REALPLAY_OUT_MONT = realplay::kOutMont,   // the stream platform's
};

// The pack (SetSourcePack: the hub's live model table, GetSourcePack
// "realplay"), the owner's callbacks and the stream head are the shared
// NetPlayModule's.
class VLR_REALPLAY : public realplay::NetPlayModule {
public:
    VLR_REALPLAY();
    ~VLR_REALPLAY();

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

private:
    void ReleaseCamera();

    int OwnerCommand(const char* command, const char* value, void* argument);
    int KeyCommand(const char* command, const char* value);

    void StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame) override;
    void Record(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);

    // The pacing controller's part in lock, quality change and unlock.
    bool StartPacing();
    void PausePacing();
    void ResumePacing();
    bool StopPacing();
    static int OnPacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user,
                              int32_t value);

    // The stream thread's own.
    streams::MontSeiInfo recordSei_{};
    uint32_t lastAudioNumber_ = 0;
    std::vector<uint8_t> outputCopy_;
    std::vector<uint8_t> recordCopy_;

    // Last, so that its threads end before anything they use goes.
    QN_STREAM_REAL_CTRL pacing_;
};
