#include "vqSDK/VlrNetSDK/alarm_picture.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

constexpr std::size_t kBlockHead = 32;
constexpr int kReportEvery = 10;

} // namespace

void alarm_picture_download::reset_locked()
{
    started_ = false;
    total_ = 0;
    received_ = 0;
    lastReport_ = 0;
    bytes_ = 0;
    got_.clear();
    picture_.reset();
}

void alarm_picture_download::reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reset_locked();
}

void alarm_picture_download::arm()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reset_locked();
    lastBlockMs_ = clock_.MonotonicMs();
    downloading_ = false;
}

bool alarm_picture_download::downloading() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return downloading_;
}

void alarm_picture_download::set_idle()
{
    std::lock_guard<std::mutex> lock(mutex_);
    downloading_ = false;
    lastBlockMs_ = 0;
}

int64_t alarm_picture_download::last_block_ms() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastBlockMs_;
}

void alarm_picture_download::take_block(const uint8_t* body, std::size_t length)
{
    if (length < kBlockHead) return;
    const uint16_t kind = ReadU16(body + 8);
    const int index = ReadU16(body + 20);
    const int count = ReadU16(body + 22);
    const std::size_t dataLength = ReadU32(body + 24);
    const uint32_t pictureId = ReadU32(body + 28);

    std::lock_guard<std::mutex> lock(mutex_);
    if (index == 0 && count >= 1 && count <= kMaxBlocks) {
        reset_locked();
        Trace("download alarm pic start  total blk = %d", count);
        picture_.reset(new uint8_t[static_cast<std::size_t>(count) * kBlockData]);
        got_.assign(static_cast<std::size_t>(count), false);
        total_ = count;
        started_ = true;
        downloading_ = true;
    }
    const bool accepted = started_ && count == total_ && dataLength <= kBlockData && count <= kMaxBlocks &&
                          index < total_ && kind == kPictureBlock && !got_[static_cast<std::size_t>(index)] &&
                          index == received_ && dataLength <= length - kBlockHead;
    if (!accepted) return;
    lastBlockMs_ = clock_.MonotonicMs();
    std::memcpy(picture_.get() + static_cast<std::size_t>(index) * kBlockData, body + kBlockHead, dataLength);
    bytes_ += dataLength;
    ++received_;
    got_[static_cast<std::size_t>(index)] = true;
    if (received_ - lastReport_ >= kReportEvery) {
        RaiseEvent(nullptr, QN_NET_EVENT_ALARM_PIC_PROGRESS, static_cast<int32_t>(pictureId), received_ * 100 / total_);
        lastReport_ = received_;
    }
    if (received_ == total_) {
        RaiseEvent(picture_.get(), QN_NET_EVENT_ALARM_PIC_DONE, static_cast<int32_t>(pictureId),
                   static_cast<int32_t>(bytes_));
        Trace("download  alarm\tpic  success ");
        reset_locked();
        downloading_ = false;
    }
}

} // namespace qn_net
