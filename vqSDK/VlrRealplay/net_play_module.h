// What the live and the TF-card play modules share: the hub's model table and
// the resource pack it lends, the owner's callbacks, the stream heads, the key
// slots and the output step, the checks around locking and unlocking the pack,
// the error-output switches and the parsed frames' way into the stream heads.
// Each module adds its own commands, its pacing controller and its frame road.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "streams/key_slots.h"
#include "streams/mont_processor.h"
#include "vqSDK/VlrRealplay/mont_stream_head.h"
#include "vqSDK/VlrRealplay/play_callbacks.h"
#include "vqSDK/VlrRealplay/stream_output.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace realplay {

// Bits of the error-output switches: which inner texts are forwarded.
enum NetPlayErrorOutput : uint32_t {
    kOutCtrl = 1u << 0,  // the pacing controller's
    kOutQueue = 1u << 1, // the frame queue's
    kOutMont = 1u << 2,  // the stream platform's
};

class NetPlayModule {
public:
    // How one module differs in what it shares.
    struct Traits {
        int32_t user;                    // its RES_PACK_USER_* in the pack
        uint32_t initialState;           // the state word's marks until "start"
        StreamOutputStep::Rules output;
        const char* pacingTag;           // put before forwarded pacing texts
        const char* commandErrorFormat;  // for a failed command, with the command's name
        const char* headNotOwnerText;    // a head asked for without the pack
        const char* headNotPlayingText;  // ... while not playing; null: no text
    };

    // Bits of the state word the modules share.
    static constexpr uint32_t kPlaying = 1u << 0;
    static constexpr uint32_t kRecording = 1u << 5;

    NetPlayModule(const NetPlayModule&) = delete;
    NetPlayModule& operator=(const NetPlayModule&) = delete;

    // `table` is the hub's model table for this module (GetSourcePack).
    int SetSourcePack(void* table);
    int SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue);
    int SetEventCallBack(MONT_EVENT_CALLBACK callback, void* user, int32_t userValue);
    int SetStateCallBack(MONT_STATE_CALLBACK callback, void* user, int32_t userValue);
    int SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue);

    // The current stream head. Its addresses stay valid only until the next
    // key frame: follow them only from the frame callback.
    const MontStreamHead* GetStreamHead();
    // A copy of the current stream head for any thread; `bytes` (at least
    // kStreamHeadStoreBytes) receives the parameter sets and the copy points
    // there. 1 done, 0 as GetStreamHead.
    int CopyStreamHead(MontStreamHead* head, uint8_t* bytes, uint32_t capacity);

    uint32_t ChannelState() const { return state_.load(); }

protected:
    // What the pack lends the module while it holds it.
    struct Channel {
        streams::Montage* platform = nullptr;
        int32_t source = -1;
        streams::StreamQueue* queue = nullptr;
    };

    explicit NetPlayModule(const Traits& traits);
    ~NetPlayModule() = default;

    template <typename Function>
    Function Model(int position) const
    {
        return reinterpret_cast<Function>(table_[position]);
    }
    RESPACK* Pack() const { return table_ != nullptr ? static_cast<RESPACK*>(table_[0]) : nullptr; }
    bool OwnsPack() const;
    bool Playing() const { return (state_.load() & kPlaying) != 0; }
    // What the pack's callbacks and the pacing controller get as their user:
    // the module as the static callbacks below read it.
    void* Self() { return this; }

    // False, after a report, while no pack is set.
    bool HavePack() const;
    // The checks before a lock; on success the pack is this module's. False
    // after a report.
    bool ClaimPack();
    // The checks before an unlock. False after a report.
    bool MayReleasePack();
    // Pauses the platform's source and clears its queues and panorama
    // information; false (after a report) when it would not pause.
    bool PauseSource();
    // Makes the platform's source play again from empty queues with this
    // module's stream callback.
    bool ResetPlatform();
    // Takes the stream callback away; waits for a frame still in it.
    void StopListening();

    // The parsed frames of the platform's source, on the stream's thread.
    virtual void StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame) = 0;
    // Parameter sets into the collecting head, and the head switch at a key
    // frame. A private SEI that parses lands in `sei` and marks the output
    // step.
    void TrackHead(const char* kind, const uint8_t* data, uint32_t length, streams::MontSeiInfo& sei);

    // The error-output switch commands ("out_ctrl_err", "out_queue_err",
    // "out_mont_err"; "y"/"n").
    static bool IsSwitchCommand(const char* command);
    int SwitchCommand(const char* command, const char* value);
    // Reports a failed command and answers 0.
    int CommandFailed(const char* command) const;

    // For the pacing controller's message callback and the recorder's end.
    static void OnPacingMessage(int32_t first, int32_t second, const char* text, void* user, int32_t value);
    static void OnRecordEnd(int32_t code, int32_t detail, void* owner, int32_t value);

    const Traits traits_;
    void** table_ = nullptr;
    std::atomic<uint32_t> state_;
    std::atomic<uint32_t> errorOutput_{0};
    std::unique_ptr<Channel> channel_;
    PlayCallbacks callbacks_;
    StreamHeadPair heads_;
    streams::SecurityKeys keys_;
    StreamOutputStep output_{traits_.output, callbacks_, keys_};

private:
    int HeadCheck();
    static void OnStreamFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                              int userValue);
};

} // namespace realplay
