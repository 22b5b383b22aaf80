// The callback set every play module offers its owner: frames, failure
// texts, events and password states. Each is registered as a function, a user
// pointer and a user value, which every call passes last. Callbacks may be
// replaced from any thread while frames flow; a call always uses one whole
// registration, and no lock is held while the owner's function runs.
#pragma once

#include <cstdint>
#include <mutex>

#include "Depend/qn_log.h"
#include "vqSDK/VlrRealplay/mont_frame_info.h"

// (frame, length, record): the frame is the module's own copy, decrypted
// where it could be. The result is not used.
typedef int (*MONT_FRAME_CALLBACK)(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user,
                                   int32_t userValue);
// (0, 0, text) for refusals and failures; forwarded pacing texts pass the
// pacing controller's two integers.
typedef void (*MONT_MSG_CALLBACK)(int32_t first, int32_t second, const char* text, void* user, int32_t userValue);
// (event, 0, text): see PlayEvent; the text may be null.
typedef void (*MONT_EVENT_CALLBACK)(int32_t event, int32_t zero, const char* text, void* user, int32_t userValue);
// (state, 0, address of the stream's key type: 0 none, 1 default, 2 custom, 3 temporary).
typedef void (*MONT_STATE_CALLBACK)(int32_t state, int32_t zero, const uint32_t* keyType, void* user,
                                    int32_t userValue);

enum PlayEvent : int32_t {
    PLAY_EVENT_RECORD_FRAME = 11,    // a frame is about to be recorded in the clear (empty text)
    PLAY_EVENT_KEY_FRAME = 12,       // a key frame arrived for output ("NetStreamOutQue")
    PLAY_EVENT_RECORD_END = 13,      // the recorder ended the recording (null text)
    PLAY_EVENT_RECORD_DECRYPT = 14,  // a frame to be recorded did not decrypt (null text)
};

enum PlayPasswordState : int32_t {
    PLAY_STATE_NONE = 0,
    PLAY_STATE_PASSWORD_OK = 15,      // decrypted, or not protected
    PLAY_STATE_NEED_DEFAULT = 16,     // no default password, or no key table at all
    PLAY_STATE_DEFAULT_WRONG = 17,
    PLAY_STATE_NEED_CUSTOM = 18,
    PLAY_STATE_CUSTOM_WRONG = 19,
};

namespace realplay {

// The password state a decryption result raises; PLAY_STATE_NONE for the
// results that raise none (temporary password, buffer too short).
int32_t PasswordStateOf(int decryptResult);

template <typename Function>
struct CallbackSlot {
    Function function = nullptr;
    void* user = nullptr;
    int32_t value = 0;
};

class PlayCallbacks {
public:
    void SetFrame(MONT_FRAME_CALLBACK function, void* user, int32_t value);
    void SetMessage(MONT_MSG_CALLBACK function, void* user, int32_t value);
    void SetEvent(MONT_EVENT_CALLBACK function, void* user, int32_t value);
    void SetState(MONT_STATE_CALLBACK function, void* user, int32_t value);

    bool HasFrame() const;
    void Frame(uint8_t* data, int32_t length, const MontFrameInfo& info) const;
    void Message(const char* text, int32_t first = 0, int32_t second = 0) const;
    // The text built in a 256-byte buffer, cut where it would not fit.
    void MessageF(const char* format, ...) const QN_PRINTF_FORMAT(2, 3);
    void Event(int32_t event, const char* text) const;
    void State(int32_t state, uint32_t keyType) const;

private:
    template <typename Function>
    CallbackSlot<Function> Take(const CallbackSlot<Function>& slot) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return slot;
    }

    mutable std::mutex mutex_;
    CallbackSlot<MONT_FRAME_CALLBACK> frame_;
    CallbackSlot<MONT_MSG_CALLBACK> message_;
    CallbackSlot<MONT_EVENT_CALLBACK> event_;
    CallbackSlot<MONT_STATE_CALLBACK> state_;
};

} // namespace realplay
