// Collects what the stream-data callback delivers: video frames with their
// 4-byte number prefix checked and removed, and audio frames as copies.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace media_test {

struct DeliveredFrame {
    int32_t type = 0;
    uint32_t number = 0;
    bool prefixMatches = false;
    std::string data;  // without the 4-byte prefix
};

class FrameSink {
public:
    static constexpr int kMaxSinks = 8;

    FrameSink()
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        for (int i = 0; i < kMaxSinks; ++i) {
            if (Registry()[i] == nullptr) {
                Registry()[i] = this;
                value_ = i;
                return;
            }
        }
        std::abort();
    }
    ~FrameSink()
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry()[value_] = nullptr;
    }
    FrameSink(const FrameSink&) = delete;
    FrameSink& operator=(const FrameSink&) = delete;

    // The registration value to give with OnData.
    int32_t Value() const { return value_; }

    static int OnData(char* data, int32_t type, int32_t number, int32_t length, int32_t value)
    {
        FrameSink* sink = nullptr;
        {
            std::lock_guard<std::mutex> lock(RegistryMutex());
            if (value >= 0 && value < kMaxSinks) sink = Registry()[value];
        }
        if (sink != nullptr) sink->Take(data, type, number, length);
        if (type != QN_NET_FRAME_AUDIO_G711A) QN_NET_Free(data);
        return 0;
    }

    std::vector<DeliveredFrame> Video() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return video_;
    }
    std::vector<DeliveredFrame> Audio() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return audio_;
    }
    // Waits until `done` holds for the video frames, at most `ms`.
    template <typename Done>
    bool WaitVideo(Done done, int ms) const
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done(video_); });
    }
    template <typename Done>
    bool WaitAudio(Done done, int ms) const
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done(audio_); });
    }

    // Runs inside the callback, after the frame is recorded.
    std::function<void(const DeliveredFrame&)> onFrame;

private:
    void Take(const char* data, int32_t type, int32_t number, int32_t length)
    {
        DeliveredFrame frame;
        frame.type = type;
        frame.number = static_cast<uint32_t>(number);
        if (type == QN_NET_FRAME_AUDIO_G711A) {
            frame.data.assign(data, static_cast<std::size_t>(length));
            frame.prefixMatches = true;
        } else if (length >= 4) {
            frame.prefixMatches = qn_net::ReadU32(data) == frame.number;
            frame.data.assign(data + 4, static_cast<std::size_t>(length - 4));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            (type == QN_NET_FRAME_AUDIO_G711A ? audio_ : video_).push_back(frame);
        }
        changed_.notify_all();
        if (onFrame) onFrame(frame);
    }

    static std::mutex& RegistryMutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static FrameSink** Registry()
    {
        static FrameSink* sinks[kMaxSinks] = {};
        return sinks;
    }

    int32_t value_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<DeliveredFrame> video_;
    std::vector<DeliveredFrame> audio_;
};

} // namespace media_test
