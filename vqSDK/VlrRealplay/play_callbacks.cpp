#include "vqSDK/VlrRealplay/play_callbacks.h"

#include <cstdarg>
#include <cstdio>

#include "streams/key_slots.h"

namespace realplay {

int32_t PasswordStateOf(int decryptResult)
{
    switch (decryptResult) {
    case streams::QNPS_RETURN_VAL_OK:
    case streams::QNPS_RETURN_VAL_IGNORE_BY_LV:
        return PLAY_STATE_PASSWORD_OK;
    case streams::QNPS_RETURN_VAL_NEED_DEF_CODE:
    case streams::kQnpsNoKeyTable:
        return PLAY_STATE_NEED_DEFAULT;
    case streams::QNPS_RETURN_VAL_NEED_CUS_CODE:
        return PLAY_STATE_NEED_CUSTOM;
    case streams::QNPS_RETURN_VAL_CODE_DEF_ERR:
        return PLAY_STATE_DEFAULT_WRONG;
    case streams::QNPS_RETURN_VAL_CODE_CUS_ERR:
        return PLAY_STATE_CUSTOM_WRONG;
    default:
        return PLAY_STATE_NONE;
    }
}

void PlayCallbacks::SetFrame(MONT_FRAME_CALLBACK function, void* user, int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    frame_ = {function, user, value};
}

void PlayCallbacks::SetMessage(MONT_MSG_CALLBACK function, void* user, int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    message_ = {function, user, value};
}

void PlayCallbacks::SetEvent(MONT_EVENT_CALLBACK function, void* user, int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    event_ = {function, user, value};
}

void PlayCallbacks::SetState(MONT_STATE_CALLBACK function, void* user, int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = {function, user, value};
}

bool PlayCallbacks::HasFrame() const
{
    return Take(frame_).function != nullptr;
}

void PlayCallbacks::Frame(uint8_t* data, int32_t length, const MontFrameInfo& info) const
{
    const auto slot = Take(frame_);
    if (slot.function != nullptr) slot.function(data, length, &info, slot.user, slot.value);
}

void PlayCallbacks::Message(const char* text, int32_t first, int32_t second) const
{
    const auto slot = Take(message_);
    if (slot.function != nullptr) slot.function(first, second, text, slot.user, slot.value);
}

void PlayCallbacks::MessageF(const char* format, ...) const
{
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    Message(text);
}

void PlayCallbacks::Event(int32_t event, const char* text) const
{
    const auto slot = Take(event_);
    if (slot.function != nullptr) slot.function(event, 0, text, slot.user, slot.value);
}

void PlayCallbacks::State(int32_t state, uint32_t keyType) const
{
    const auto slot = Take(state_);
    if (slot.function != nullptr) slot.function(state, 0, &keyType, slot.user, slot.value);
}

} // namespace realplay
