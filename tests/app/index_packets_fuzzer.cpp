// Arbitrary bytes as a run of index packets from the network: whatever they
// hold, intake writes only the 20 slots and the join stays within 1500 bytes
// and decodes into well-formed spans of the searched day.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/record_search.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int64_t kDayStart = 1796774400; // a local midnight is not needed: any value

void Require(bool condition)
{
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    IndexPackets packets;
    // The first packet's day start is the one searched, so the rest are
    // often taken.
    int64_t day = kDayStart;
    if (size >= 12) {
        day = static_cast<uint32_t>(data[8] | (data[9] << 8) | (data[10] << 16) | (uint32_t(data[11]) << 24));
    }
    packets.Begin(day);
    bool last = false;
    for (std::size_t at = 0; at < size; at += kIndexPacketBytes) {
        const std::size_t length = size - at < kIndexPacketBytes ? size - at : kIndexPacketBytes;
        last = packets.Take(data + at, length) || last;
    }
    const std::vector<uint8_t> joined = packets.Join();
    Require(joined.size() <= kIndexJoinLimit);
    if (!last) Require(joined.empty());
    std::vector<qn_cloud::MinuteIndexEntry> spans(kIndexJoinLimit);
    const int found = qn_cloud::parse_day_index_minutes(spans.data(), static_cast<int>(spans.size()), joined.data(),
                                                        joined.size(), day);
    Require(found <= static_cast<int>(kIndexJoinLimit));
    for (int i = 0; i < found; ++i) Require(spans[i].end == spans[i].start + 60);
    return 0;
}
