// What the two pacing controllers hand on: the record that goes with every released frame, the callbacks that
// receive frames, texts and rate requests, and the plumbing both controllers share to call them from their threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "streams/stream_queue.h"

// With every released frame. State frames ("PAUSE_V", "PAUSE_A", "STOP_V", "STOP_A", "state") carry no data and
// a record that holds only the kind name, except "state", which also carries the queue words.
struct QN_STREAM_OUT_RECORD {
    const char* kind = nullptr; // "h264_I", "h264_P", "g711a" or a state name
    uint32_t reserved = 0;
    // Bit 0 set, bits 4-13 the queue's byte fill and bits 14-23 its entry fill (per mille), bits 24-31 the low
    // eight bits of its frame count.
    uint32_t queueWord = 0;
    // Bits 0-1 the next two bits of the frame count, bits 2-11 the queue's cache level.
    uint32_t queueWordHigh = 0;
    uint16_t writeKiB = 0;
    uint16_t readKiB = 0;
    uint32_t frameNumber = 0;
    uint32_t audioRate = 0; // audio: samples a second as released
    uint16_t width = 0;     // video
    uint16_t height = 0;
    float frameRate = 0; // video

    // The 64-bit sync id the play modules pass on with a frame: bits 0-9 byte fill, 10-19 entry fill, 20-29 the low
    // ten bits of the frame count, 30-39 the cache level.
    uint64_t SyncId() const { return ((static_cast<uint64_t>(queueWordHigh) << 32) | queueWord) >> 4; }
};

// Answers non-zero when the frame was taken; an audio frame answered 0 is offered again a few times.
using QN_STREAM_OUT_CALLBACK = int (*)(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record,
                                       void* user, int32_t userValue);
// Refusals and failures: (0, 0, text). Called on the caller's thread, inside the operation: it must not call the
// controller again.
using QN_STREAM_MSG_CALLBACK = void (*)(int32_t code, int32_t value, const char* text, void* user, int32_t userValue);

struct QN_STREAM_RATE_REQUEST {
    uint32_t reserved0 = 0;
    uint32_t reserved1 = 0;
    float frameRate = 0; // the rate to ask the camera for
};
// Answers 1 when the request went out.
using QN_STREAM_RATE_CALLBACK = int (*)(const QN_STREAM_RATE_REQUEST* request, void* user, int32_t userValue);

namespace realplay {

// The record of a frame read from the queue with `stats`.
QN_STREAM_OUT_RECORD OutRecord(const char* kind, const streams::StreamQueueStats& stats);

// Replaces bits [shift, shift + width) of `word` with `value`, leaving the other bits as other threads set them.
void StoreBits(std::atomic<uint32_t>& word, int shift, int width, uint32_t value);

// Setting values: "y" / "n", and a decimal number clamped to 0..`max`. False for anything else.
bool ParseYesNo(const char* value, bool* yes);
bool ParseClamped(const char* value, long max, uint32_t* number);

inline uint32_t LoadBits(const std::atomic<uint32_t>& word, int shift, int width)
{
    return (word.load() >> shift) & ((1u << width) - 1u);
}

// The frame queue a controller holds open under its owner id: bound and
// released by its callers, read by its threads.
class HeldQueue {
public:
    explicit HeldQueue(int owner) : owner_(owner) {}
    HeldQueue(const HeldQueue&) = delete;
    HeldQueue& operator=(const HeldQueue&) = delete;

    streams::StreamQueue* Get() const { return queue_.load(); }
    // Closes the queue held, if any.
    void Close();
    // Closes the queue held and opens `queue` in its place; false, holding
    // none, when another owner has `queue` open.
    bool Bind(streams::StreamQueue* queue);

private:
    const int owner_;
    std::atomic<streams::StreamQueue*> queue_{nullptr};
};

// The output and message callbacks of a controller. Set from the callers' threads and called from the controller's
// threads: each call takes the callback as it stands, and runs it outside the lock.
class StreamCtrlCallbacks {
public:
    void SetOutput(QN_STREAM_OUT_CALLBACK callback, void* user, int32_t userValue);
    void SetMessage(QN_STREAM_MSG_CALLBACK callback, void* user, int32_t userValue);
    void SetRate(QN_STREAM_RATE_CALLBACK callback, void* user, int32_t userValue);
    bool HaveOutput() const;
    bool HaveRate() const;

    // The output callback's answer, 0 without one.
    int Output(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD& record) const;
    void OutputState(const char* name) const;
    // The rate-request callback's answer, 0 without one.
    int RequestRate(float frameRate) const;
    // Reports a refusal or failure and answers 0, so that an operation can return it.
    int Fail(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    mutable std::mutex mutex_;
    QN_STREAM_OUT_CALLBACK output_ = nullptr;
    void* outputUser_ = nullptr;
    int32_t outputValue_ = 0;
    QN_STREAM_MSG_CALLBACK message_ = nullptr;
    void* messageUser_ = nullptr;
    int32_t messageValue_ = 0;
    QN_STREAM_RATE_CALLBACK rate_ = nullptr;
    void* rateUser_ = nullptr;
    int32_t rateValue_ = 0;
};

} // namespace realplay
