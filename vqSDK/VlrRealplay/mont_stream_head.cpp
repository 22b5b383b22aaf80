#include "vqSDK/VlrRealplay/mont_stream_head.h"

#include <cstring>

#include "Depend/qn_log.h"

namespace realplay {

namespace {

constexpr uint32_t kField = 0x3FF;

void SetField(uint32_t& word, int shift, uint32_t value)
{
    word = (word & ~(kField << shift)) | (value & kField) << shift;
}

} // namespace

bool StreamHeadStore::Append(HeadPart part, const uint8_t* data, uint32_t length)
{
    const uint32_t used = HeadUsed(head_);
    if (data == nullptr || length == 0 || length > kStreamHeadStoreBytes - used) return false;
    uint8_t* at = bytes_ + used;
    std::memcpy(at, data, length);
    switch (part) {
    case HeadPart::Sps:
        head_.sps = at;
        SetField(head_.lengths, 10, length);
        break;
    case HeadPart::Pps:
        head_.pps = at;
        SetField(head_.lengths, 20, length);
        break;
    case HeadPart::PrivateSei: {
        // Several private SEIs lie back to back; the address stays on the first.
        if (head_.sei == nullptr) head_.sei = at;
        const uint32_t sei = HeadSeiLength(head_) + length;
        head_.lengths = (head_.lengths & 0x3FFFFFFF) | (sei & 3) << 30;
        head_.seiHigh = sei >> 2 & 0xFF;
        break;
    }
    }
    SetField(head_.lengths, 0, used + length);
    return true;
}

void StreamHeadStore::Clear()
{
    head_.sps = nullptr;
    head_.pps = nullptr;
    head_.sei = nullptr;
    head_.lengths = 0;
    head_.seiHigh = 0;
}

void StreamHeadPair::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    current_.store(-1);
    heads_[0].Clear();
    heads_[1].Clear();
}

void StreamHeadPair::SwitchAtKeyFrame(int entryIndex)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (entryIndex == 0) {
        heads_[0].Clear();
        current_.store(1);
    } else {
        heads_[1].Clear();
        current_.store(0);
    }
}

bool StreamHeadPair::Collect(int entryIndex, HeadPart part, const uint8_t* data, uint32_t length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    StreamHeadStore& collecting = heads_[entryIndex == 0 ? 1 : 0];
    if (collecting.Append(part, data, length)) return true;
    if (!overflowLogged_) {
        overflowLogged_ = true;
        QNLogPrint("%s(%d) stream head full: %u of %u bytes used, %u refused\n", __FUNCTION__, __LINE__,
                   HeadUsed(collecting.Head()), kStreamHeadStoreBytes, length);
    }
    return false;
}

bool StreamHeadPair::CurrentSei(streams::MontSeiInfo* out) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int index = current_.load();
    if (index < 0 || out == nullptr) return false;
    const MontStreamHead& head = heads_[index].Head();
    const uint32_t length = HeadSeiLength(head);
    if (head.sei == nullptr || length == 0) return false;
    return streams::ParseSeiPacked(head.sei, length, out) == 1;
}

const MontStreamHead* StreamHeadPair::Current() const
{
    const int index = current_.load();
    return index < 0 ? nullptr : &heads_[index].Head();
}

bool StreamHeadPair::CopyCurrent(MontStreamHead* head, uint8_t* bytes, uint32_t capacity) const
{
    if (head == nullptr || bytes == nullptr || capacity < kStreamHeadStoreBytes) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const int index = current_.load();
    if (index < 0) return false;
    const MontStreamHead& source = heads_[index].Head();
    std::memcpy(bytes, source.store, kStreamHeadStoreBytes);
    auto rebase = [&](const uint8_t* at) { return at == nullptr ? nullptr : bytes + (at - source.store); };
    *head = source;
    head->store = bytes;
    head->sps = rebase(source.sps);
    head->pps = rebase(source.pps);
    head->sei = rebase(source.sei);
    return true;
}

} // namespace realplay
