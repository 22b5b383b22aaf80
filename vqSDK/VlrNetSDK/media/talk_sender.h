// Talk audio towards a camera: bytes handed in by the caller are buffered and
// sent by a sender thread as 40023 packets of at most 320 audio bytes, with a
// sequence number counted from 0. Packets of 320 bytes go out as soon as they
// are full; a shorter rest goes out when talk stops.
//
// One sender serves one connection; the connection decides how a packet
// travels (a TCP message under its send lock, or one datagram).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "vqSDK/VlrNetSDK/media/debug_line.h"

namespace qn_net {

class talk_sender {
public:
    static constexpr std::size_t kBufferSize = 204800;
    // How long stop waits for the buffered bytes to go out.
    static constexpr int64_t kFlushBudgetMs = 1500;

    // (camera of the talk, 40023 body, body length)
    using transport = std::function<void(uint32_t camera, const uint8_t* body, std::size_t length)>;

    // `exitLine`, when given, goes to the debug line as the thread ends.
    talk_sender(transport send, const debug_line& debug, const char* exitLine);
    ~talk_sender();
    talk_sender(const talk_sender&) = delete;
    talk_sender& operator=(const talk_sender&) = delete;

    // Starts a talk with a fresh buffer and sequence; a talk under way is
    // stopped first.
    void start(uint32_t camera);
    // Appends audio; false when no talk runs. Bytes that do not fit are
    // dropped (the call still succeeds).
    bool data(const void* bytes, std::size_t length);
    // Sends what is buffered (within the flush budget) and ends the thread.
    void stop();

    bool running() const;
    uint32_t camera() const;

private:
    void run();

    transport send_;
    const debug_line& debug_;
    const char* exitLine_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;      // data or stop for the thread
    std::condition_variable finished_;  // the thread has sent everything
    std::unique_ptr<uint8_t[]> buffer_;
    std::size_t read_ = 0;
    std::size_t write_ = 0;
    uint32_t camera_ = 0;
    uint32_t sequence_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    bool abort_ = false;
    bool done_ = false;
    std::mutex lifeMutex_;  // start and stop, one at a time
    std::thread thread_;
};

} // namespace qn_net
