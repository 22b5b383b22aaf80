#include "vqSDK/VlrFilePlay/file_stream_head.h"

#include <cstring>

namespace fileplay {

bool FileStreamHead::Set(realplay::HeadPart part, const uint8_t* data, uint32_t length)
{
    if (data == nullptr || length == 0 || length > kParameterStoreBytes) return false;
    std::lock_guard<std::mutex> hold(mutex_);
    Store& store = part == realplay::HeadPart::Sps ? sps_ : part == realplay::HeadPart::Pps ? pps_ : sei_;
    std::memcpy(store.bytes, data, length);
    store.length = length;
    Join();
    return true;
}

void FileStreamHead::Clear()
{
    std::lock_guard<std::mutex> hold(mutex_);
    sps_.length = pps_.length = sei_.length = 0;
    head_ = MontStreamHead{};
}

void FileStreamHead::Join()
{
    head_.sps = sps_.length != 0 ? sps_.bytes : nullptr;
    head_.pps = pps_.length != 0 ? pps_.bytes : nullptr;
    head_.sei = sei_.length != 0 ? sei_.bytes : nullptr;
    uint32_t used = 0;
    if (sps_.length != 0 && pps_.length != 0 && sei_.length != 0) {
        for (const Store* store : {&sei_, &sps_, &pps_}) {
            std::memcpy(joined_ + used, store->bytes, store->length);
            used += store->length;
        }
        head_.store = joined_;
    }
    head_.lengths = used | sps_.length << 10 | pps_.length << 20 | (sei_.length & 0x3) << 30;
    head_.seiHigh = sei_.length >> 2 & 0xFF;
}

const MontStreamHead* FileStreamHead::Head()
{
    std::lock_guard<std::mutex> hold(mutex_);
    return sps_.length != 0 && head_.pps != nullptr ? &head_ : nullptr;
}

} // namespace fileplay
