// TF-card play: a reader thread walks the minute files of a span through the
// packet parser into a small frame queue, and a video and an audio output
// thread take the frames out, pace them on the injected clock and hand them
// to the callbacks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_thread.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "streams/qn_tf.h"
#include "streams/key_slots.h"
#include "streams/stream_queue.h"
#include "streams/tf_packet_parser.h"
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
    // Hears the panorama record of the stream's private SEI when the frame
    // scan takes or changes it (the first panorama record is kept).
    std::function<void(const VQ_PANO_PARAM&)> panorama;
};

class TfPlayer {
public:
    static constexpr int kQueueOwner = 2;

    TfPlayer();
    ~TfPlayer();
    TfPlayer(const TfPlayer&) = delete;
    TfPlayer& operator=(const TfPlayer&) = delete;

    // Starts playing `request` with `map`, the span's day. A play that is
    // running on the same clock goes on in place with the new request, its
    // queue emptied; otherwise the old threads are stopped first. False when
    // a thread did not start. After a span the threads wait for the next one.
    bool Start(const TfPlayRequest& request, const VQ_TF_DAY_MAP& map);
    // Stops and joins all three threads.
    void Stop();
    bool Playing() const { return reader_.exited == 0 || video_.exited == 0 || audio_.exited == 0; }

private:
    static void ReadThread(void* self);
    static void VideoThread(void* self);
    static void AudioThread(void* self);
    void ReadSpan(clQnhParse& parser);
    bool RestartAsked();
    // The reader takes the asked-for span over, with the output threads held.
    void TakeSpan();
    void Output(bool video);
    // The frame to hand on, decrypted when the stream is protected; null when
    // it cannot be for want of a password.
    const uint8_t* Plain(const uint8_t* data, uint32_t length);
    bool PutFrame(const StreamFrameRecord& record);
    void Record(const uint8_t* data, uint32_t length, bool video);
    // Waits until `change` or a stop, `ms` at most, off the play clock.
    void Idle(platform::Event& change, int64_t ms);
    // The video byte pool leaves room to read on.
    bool RoomToRead();
    void EndOfSpan();
    const platform::Clock& Clock() const { return clock_ ? *clock_ : platform::Clock::System(); }

    StreamQueue queue_{QueueCapacity::Small};
    QNThread reader_, video_, audio_;
    platform::Event wake_{true, false};
    // Set by the reader after each put, and by the output threads after each release.
    platform::Event videoPut_{false, false};
    platform::Event audioPut_{false, false};
    platform::Event roomMade_{false, false};
    const platform::Clock* clock_ = nullptr; // kept while the threads run
    // The request being played; changed by the reader only while it holds
    // both output threads' handing locks, which they hold from taking a
    // frame to releasing it.
    TfPlayRequest request_;
    VQ_TF_DAY_MAP map_{};
    std::mutex videoHanding_, audioHanding_;
    bool endReported_[2] = {false, false}; // video, audio: the span's end was counted
    // A span asked for while the threads run.
    std::mutex pendingLock_;
    TfPlayRequest pending_;
    VQ_TF_DAY_MAP pendingMap_{};
    bool restart_ = false;
    platform::Event restartSet_{false, false};
    std::atomic<bool> readerDone_{false};
    std::atomic<uint32_t> lastAudioValue_{0};
    std::atomic<int> outputsLeft_{0};
    std::atomic<float> frameRate_{25};
    TfFrameScan security_{}; // of the last key frame, read by the video thread only
    VQ_PANO_PARAM pano_{};   // the video thread's, kept from the play's first start
    std::vector<uint8_t> plain_;
    std::vector<uint8_t> videoRecord_, audioRecord_; // copies the record stream may change
};

} // namespace streams
