#include "vqSDK/VlrNetSDK/cloud/segment_unit.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "vqSDK/VlrNetSDK/cloud/nal_frame_type.h"

namespace qn_cloud {
namespace {

constexpr std::size_t kLookAhead = 16;
constexpr std::size_t kScanChunk = 64 * 1024;
constexpr uint32_t kShortestPrivatePayload = 17;
constexpr uint32_t kLongestPrivatePayload = (1u << 20) - 1;

struct PrivateForm {
    std::size_t headLength;
    int frameType;
};

bool PrivateFormOf(uint8_t typeByte, PrivateForm& form)
{
    switch (typeByte) {
    case 0xFC: form = {16, 0}; return true;
    case 0xFD: form = {8, 1}; return true;
    case 0xFA: form = {8, 2}; return true;
    default: return false;
    }
}

uint32_t PayloadLength(const uint8_t* head)
{
    auto le32 = [](const uint8_t* p) {
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    };
    switch (head[3]) {
    case 0xFC: return le32(head + 12);
    case 0xFD: return le32(head + 4);
    default: return static_cast<uint32_t>(head[6]) | static_cast<uint32_t>(head[7]) << 8;
    }
}

// Index of the first 00 00 01 at or after `from` that ends within `length`.
std::size_t FindStartCode(const uint8_t* bytes, std::size_t from, std::size_t length)
{
    for (std::size_t i = from; i + 3 <= length; ++i) {
        if (bytes[i + 2] > 1) {
            i += 2; // no start code can end at i + 2 or begin before i + 3
            continue;
        }
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) return i;
    }
    return length;
}

// Moves the source to the first start code at or after its position; false
// when there is none.
bool SkipToStartCode(ByteSource& source, uint8_t* window, std::size_t capacity)
{
    int64_t base = source.Position();
    const std::size_t chunk = std::min(capacity, kScanChunk);
    for (;;) {
        const std::size_t got = source.Read(window, chunk);
        const std::size_t at = FindStartCode(window, 0, got);
        if (at < got) {
            const std::size_t begin = (at > 0 && window[at - 1] == 0) ? at - 1 : at;
            return source.Seek(base + static_cast<int64_t>(begin));
        }
        if (got < chunk) return false;
        // Keep two bytes so a start code across the chunk border is found.
        base += static_cast<int64_t>(got - 2);
        if (!source.Seek(base)) return false;
    }
}

int FinishScannedUnit(const uint8_t* buffer, std::size_t length, std::size_t codeLength, SegmentUnit& unit)
{
    unit.kind = UnitKind::Scanned;
    unit.frameType = NalFrameType(buffer + codeLength, length - codeLength);
    return static_cast<int>(length);
}

bool AtEnd(ByteSource& source)
{
    uint8_t probe;
    const int64_t position = source.Position();
    if (source.Read(&probe, 1) == 0) return true;
    source.Seek(position);
    return false;
}

// A scanned unit from the start code at the source's position up to the next
// start code or the end.
int ReadScannedUnit(ByteSource& source, uint8_t* buffer, std::size_t capacity, SegmentUnit& unit)
{
    const int64_t begin = source.Position();
    std::size_t filled = 0;
    std::size_t codeLength = 0;
    std::size_t searchFrom = 0;
    for (;;) {
        const std::size_t want = std::min(kScanChunk, capacity - filled);
        if (want == 0) {
            if (codeLength != 0 && AtEnd(source)) return FinishScannedUnit(buffer, filled, codeLength, unit);
            return kUnitTooLong;
        }
        const std::size_t got = source.Read(buffer + filled, want);
        filled += got;
        if (codeLength == 0) {
            codeLength = static_cast<std::size_t>(StartCodeLength(buffer, filled));
            if (codeLength == 0 && (got < want || filled >= 4)) return kUnitEnd;
            searchFrom = codeLength;
        }
        if (codeLength != 0) {
            const std::size_t next = FindStartCode(buffer, searchFrom, filled);
            if (next < filled) {
                // A zero before the next 00 00 01 is the first byte of its
                // four-byte start code.
                const std::size_t end = (next > codeLength && buffer[next - 1] == 0) ? next - 1 : next;
                if (!source.Seek(begin + static_cast<int64_t>(end))) return kUnitEnd;
                return FinishScannedUnit(buffer, end, codeLength, unit);
            }
            searchFrom = std::max(codeLength, filled - 2);
        }
        if (got < want) {
            if (codeLength == 0 || filled <= codeLength) return kUnitEnd;
            return FinishScannedUnit(buffer, filled, codeLength, unit);
        }
    }
}

} // namespace

int PrivateUnitTest(const uint8_t* bytes, std::size_t length)
{
    if (length < 4) return -1;
    PrivateForm form;
    return StartCodeLength(bytes, length) == 3 && PrivateFormOf(bytes[3], form) ? 3 : 0;
}

int StartCodeLength(const uint8_t* bytes, std::size_t length)
{
    if (length >= 3 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1) return 3;
    if (length >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 1) return 4;
    return 0;
}

int ReadSegmentUnit(ByteSource& source, uint8_t* buffer, std::size_t capacity, SegmentUnit& unit)
{
    if (buffer == nullptr || capacity < kLookAhead) return kUnitTooLong;
    // Lengths are returned as int.
    capacity = std::min<std::size_t>(capacity, INT_MAX);
    const int64_t begin = source.Position();
    uint8_t head[kLookAhead];
    // Fewer than 16 bytes left end the segment: a tail that short is a unit
    // cut off by the recorder (a private head without its payload, or an
    // end-of-stream mark), never a frame to hand over.
    const std::size_t got = source.Read(head, sizeof head);
    if (got < kLookAhead) return kUnitEnd;

    const int codeLength = StartCodeLength(head, got);
    PrivateForm form;
    if (codeLength == 3 && PrivateFormOf(head[3], form)) {
        const uint32_t payload = PayloadLength(head);
        if (payload >= kShortestPrivatePayload && payload <= kLongestPrivatePayload) {
            if (payload > capacity) return kUnitTooLong;
            const std::size_t inHead = kLookAhead - form.headLength;
            std::memcpy(buffer, head + form.headLength, inHead);
            const std::size_t rest = payload - inHead;
            if (source.Read(buffer + inHead, rest) != rest) return kUnitTruncated;
            unit.kind = UnitKind::Private;
            unit.frameType = form.frameType;
            return static_cast<int>(payload);
        }
    }

    if (!source.Seek(begin)) return kUnitEnd;
    if (codeLength != 0) return ReadScannedUnit(source, buffer, capacity, unit);
    // Bytes before the first start code are skipped; the unit found there
    // may be of either form.
    if (!SkipToStartCode(source, buffer, capacity)) return kUnitNoStartCode;
    return ReadSegmentUnit(source, buffer, capacity, unit);
}

} // namespace qn_cloud
