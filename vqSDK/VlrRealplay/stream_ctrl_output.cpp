#include "vqSDK/VlrRealplay/stream_ctrl_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace realplay {

QN_STREAM_OUT_RECORD OutRecord(const char* kind, const streams::StreamQueueStats& stats)
{
    QN_STREAM_OUT_RECORD record;
    record.kind = kind;
    // The queue's gap and key bits give way to the "from the queue" mark; fills, count and level move down by two.
    const uint64_t words = (stats.word >> 2) | 1u;
    record.queueWord = static_cast<uint32_t>(words);
    record.queueWordHigh = static_cast<uint32_t>(words >> 32);
    record.writeKiB = stats.writeKiB;
    record.readKiB = stats.readKiB;
    record.frameNumber = stats.firstFrame;
    record.width = stats.width;
    record.height = stats.height;
    return record;
}

void HeldQueue::Close()
{
    if (streams::StreamQueue* held = queue_.exchange(nullptr)) held->Close(owner_);
}

bool HeldQueue::Bind(streams::StreamQueue* queue)
{
    Close();
    if (!queue->Open(owner_)) return false;
    queue_ = queue;
    return true;
}

bool ParseYesNo(const char* value, bool* yes)
{
    if (value == nullptr) return false;
    if (std::strcmp(value, "y") == 0) {
        *yes = true;
        return true;
    }
    if (std::strcmp(value, "n") == 0) {
        *yes = false;
        return true;
    }
    return false;
}

bool ParseClamped(const char* value, long max, uint32_t* number)
{
    if (value == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || errno == ERANGE) return false;
    *number = static_cast<uint32_t>(std::clamp(parsed, 0L, max));
    return true;
}

void StoreBits(std::atomic<uint32_t>& word, int shift, int width, uint32_t value)
{
    const uint32_t mask = ((1u << width) - 1u) << shift;
    uint32_t current = word.load();
    while (!word.compare_exchange_weak(current, (current & ~mask) | ((value << shift) & mask))) {
    }
}

void StreamCtrlCallbacks::SetOutput(QN_STREAM_OUT_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> hold(mutex_);
    output_ = callback;
    outputUser_ = user;
    outputValue_ = userValue;
}

void StreamCtrlCallbacks::SetMessage(QN_STREAM_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> hold(mutex_);
    message_ = callback;
    messageUser_ = user;
    messageValue_ = userValue;
}

void StreamCtrlCallbacks::SetRate(QN_STREAM_RATE_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> hold(mutex_);
    rate_ = callback;
    rateUser_ = user;
    rateValue_ = userValue;
}

bool StreamCtrlCallbacks::HaveRate() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return rate_ != nullptr;
}

int StreamCtrlCallbacks::RequestRate(float frameRate) const
{
    QN_STREAM_RATE_CALLBACK callback;
    void* user;
    int32_t value;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        callback = rate_;
        user = rateUser_;
        value = rateValue_;
    }
    QN_STREAM_RATE_REQUEST request;
    request.frameRate = frameRate;
    return callback != nullptr ? callback(&request, user, value) : 0;
}

bool StreamCtrlCallbacks::HaveOutput() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return output_ != nullptr;
}

int StreamCtrlCallbacks::Output(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD& record) const
{
    QN_STREAM_OUT_CALLBACK callback;
    void* user;
    int32_t value;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        callback = output_;
        user = outputUser_;
        value = outputValue_;
    }
    return callback != nullptr ? callback(data, length, &record, user, value) : 0;
}

void StreamCtrlCallbacks::OutputState(const char* name) const
{
    QN_STREAM_OUT_RECORD record;
    record.kind = name;
    Output(nullptr, 0, record);
}

int StreamCtrlCallbacks::Fail(const char* format, ...) const
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    QN_STREAM_MSG_CALLBACK callback;
    void* user;
    int32_t value;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        callback = message_;
        user = messageUser_;
        value = messageValue_;
    }
    if (callback != nullptr) callback(0, 0, text, user, value);
    return 0;
}

} // namespace realplay
