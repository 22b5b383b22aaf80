// Arbitrary bytes as a downloaded ".264" segment. The unit reader must stay
// inside its buffer, move forward with every unit, and end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vqSDK/VlrNetSDK/cloud/byte_source.h"
#include "vqSDK/VlrNetSDK/cloud/segment_unit.h"

namespace {

void Require(bool condition)
{
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    // The first byte picks a buffer size, so that long units meet its end.
    const std::size_t capacity = data[0] < 128 ? 16 + data[0] * 8u : qn_cloud::kUnitBufferSize;
    qn_cloud::MemoryByteSource source(data + 1, size - 1);
    static std::vector<uint8_t> buffer(qn_cloud::kUnitBufferSize);
    int64_t position = source.Position();
    for (;;) {
        qn_cloud::SegmentUnit unit;
        const int length = qn_cloud::ReadSegmentUnit(source, buffer.data(), capacity, unit);
        if (length <= 0) {
            Require(length == qn_cloud::kUnitEnd || length == qn_cloud::kUnitNoStartCode ||
                    length == qn_cloud::kUnitTooLong || length == qn_cloud::kUnitTruncated);
            break;
        }
        Require(static_cast<std::size_t>(length) <= capacity);
        Require(source.Position() > position);
        position = source.Position();
        if (unit.kind == qn_cloud::UnitKind::Scanned) {
            Require(qn_cloud::StartCodeLength(buffer.data(), static_cast<std::size_t>(length)) > 0);
        } else {
            Require(unit.frameType >= 0 && unit.frameType <= 2);
        }
    }
    return 0;
}
