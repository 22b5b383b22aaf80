#include "vqSDK/VlrNetSDK/media/talk_sender.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/media/camera_messages.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace qn_net {

talk_sender::talk_sender(transport send, const debug_line& debug, const char* exitLine)
    : send_(std::move(send)), debug_(debug), exitLine_(exitLine), buffer_(new uint8_t[kBufferSize])
{
}

talk_sender::~talk_sender() { stop(); }

bool talk_sender::running() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

uint32_t talk_sender::camera() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return camera_;
}

void talk_sender::start(uint32_t camera)
{
    if (running()) {
        debug_.write("talking  stop talk first");
        stop();
    }
    std::lock_guard<std::mutex> life(lifeMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        read_ = write_ = 0;
        sequence_ = 0;
        camera_ = camera;
        running_ = true;
        stopping_ = abort_ = done_ = false;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        QNLogPrint("%s(%d) talk thread not started\n", "talk_sender::start", __LINE__);
    }
}

bool talk_sender::data(const void* bytes, std::size_t length)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_ || stopping_) return false;
    if (bytes == nullptr || length == 0) return true;
    if (write_ + length > kBufferSize) {
        const std::size_t unread = write_ - read_;
        if (unread + length >= kBufferSize) return true;  // no room: dropped
        std::memmove(buffer_.get(), buffer_.get() + read_, unread);
        read_ = 0;
        write_ = unread;
    }
    std::memcpy(buffer_.get() + write_, bytes, length);
    write_ += length;
    const bool full = write_ - read_ >= kTalkPacketData;
    lock.unlock();
    if (full) wake_.notify_one();
    return true;
}

void talk_sender::stop()
{
    std::lock_guard<std::mutex> life(lifeMutex_);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_) return;
    stopping_ = true;
    wake_.notify_one();
    if (!finished_.wait_for(lock, std::chrono::milliseconds(kFlushBudgetMs), [this] { return done_; })) {
        QNLogPrint("%s(%d) talk flush took longer than %lld ms, unsent bytes dropped\n", "talk_sender::stop",
                   __LINE__, static_cast<long long>(kFlushBudgetMs));
        abort_ = true;
        wake_.notify_one();
    }
    lock.unlock();
    if (thread_.joinable()) thread_.join();
    lock.lock();
    running_ = false;
}

void talk_sender::run()
{
    uint8_t body[kTalkHeadSize + kTalkPacketData];
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return abort_ || stopping_ || write_ - read_ >= kTalkPacketData; });
        const std::size_t pending = write_ - read_;
        if (abort_ || (pending == 0 && stopping_)) break;
        const std::size_t n = std::min(pending, kTalkPacketData);
        write_talk_head(body, static_cast<uint32_t>(global_set().connection_value.load()), camera_, sequence_);
        std::memcpy(body + kTalkHeadSize, buffer_.get() + read_, n);
        read_ += n;
        ++sequence_;
        const uint32_t camera = camera_;
        lock.unlock();
        send_(camera, body, kTalkHeadSize + n);
        lock.lock();
    }
    done_ = true;
    lock.unlock();
    finished_.notify_all();
    if (exitLine_ != nullptr) debug_.write("%s", exitLine_);
}

} // namespace qn_net
