// TF-card play: a reader thread walks the minute files of a span through the
// packet parser into a small frame queue, and a video and an audio output
// thread take the frames out, pace them on the injected clock and hand them
// to the callbacks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Depend/qn_thread.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "streams/qn_tf.h"
#include "streams/key_slots.h"
#include "streams/stream_queue.h"
#include "streams/tf_play_plan.h"

namespace streams {

struct TfPlayRequest {
    std::string cardFolder; // ends in "/"
    int year = 0, month = 0, day = 0;
    int startMinute = 0; // of the day
    int endMinute = 0;   // not played
    int deviceNumber = 0;
    const platform::Clock* clock = nullptr; // the system clock when null
    // The callbacks' answers: 1 busy (the same frame comes again), 2 drop
    // video up to the next key frame.
    std::function<int(VQ_FRAME_INFO*)> video;
    std::function<int(VQ_FRAME_INFO*)> audio;
    std::function<void()> finished; // after the last frame was handed on
    // Protected frames are decrypted with these keys before they are handed
    // on, once; `event` hears 21 "ok" or 19 with the password wanted.
    SecurityKeys* keys = nullptr;
    std::function<void(int code, const char* text)> event;
    // Hears 3001 when the packet parser cannot be had; nothing is played then.
    std::function<void(int code, const char* text)> error;
    std::size_t parserSize = 0; // the packet parser's buffer; 0 for its smallest
    // While this is set, every frame handed on is also written, plain, into
    // the MP4 recording through the TF record stream, whose key frames call
    // `recordCallback` with 11.
    const std::atomic<bool>* recording = nullptr;
    std::function<void(int code)> recordCallback;
};

class TfPlayer {
public:
    static constexpr int kQueueOwner = 2;

    TfPlayer();
    ~TfPlayer();
    TfPlayer(const TfPlayer&) = delete;
    TfPlayer& operator=(const TfPlayer&) = delete;

    // Starts playing `request` with `map`, the span's day; a play that is
    // still running is stopped first. False when a thread did not start.
    bool Start(const TfPlayRequest& request, const VQ_TF_DAY_MAP& map);
    // Stops and joins all three threads.
    void Stop();
    bool Playing() const { return reader_.exited == 0 || video_.exited == 0 || audio_.exited == 0; }

private:
    static void ReadThread(void* self);
    static void VideoThread(void* self);
    static void AudioThread(void* self);
    void ReadSpan();
    void Output(bool video);
    // The frame to hand on, decrypted when the stream is protected; null when
    // it cannot be for want of a password.
    const uint8_t* Plain(const uint8_t* data, uint32_t length);
    bool PutFrame(const StreamFrameRecord& record);
    void Record(const uint8_t* data, uint32_t length, bool video);
    // Waits until `change` or a stop, a short while at most, off the play clock.
    void Idle(platform::Event& change);
    // The video byte pool leaves room to read on.
    bool RoomToRead();
    void EndOfSpan();
    const platform::Clock& Clock() const { return request_.clock ? *request_.clock : platform::Clock::System(); }

    StreamQueue queue_{QueueCapacity::Small};
    QNThread reader_, video_, audio_;
    platform::Event wake_{true, false};
    // Set by the reader after each put, and by the output threads after each release.
    platform::Event videoPut_{false, false};
    platform::Event audioPut_{false, false};
    platform::Event roomMade_{false, false};
    TfPlayRequest request_;
    VQ_TF_DAY_MAP map_{};
    std::atomic<bool> readerDone_{false};
    std::atomic<uint32_t> lastAudioValue_{0};
    std::atomic<int> outputsLeft_{0};
    float frameRate_ = 25;
    TfFrameScan security_{}; // of the last key frame, read by the video thread only
    std::vector<uint8_t> plain_;
    std::vector<uint8_t> videoRecord_, audioRecord_; // copies the record stream may change
};

} // namespace streams
