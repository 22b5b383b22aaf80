#include "streams/frame_decrypt.h"

namespace streams {
namespace {

constexpr uint32_t kMinFrameLength = 33;
constexpr uint32_t kMinRecordLength = 513;
constexpr int kSingleBlockKind = 8;
constexpr int64_t kStepBase = 512;
constexpr int kBlocksPerInterval = 8;
constexpr int64_t kBlockSpacing = 16;
constexpr int64_t kRecordBlockBase = 256;

int64_t Step(uint32_t info) { return static_cast<int64_t>(info & crypt_info::kIntervalMask) + kStepBase; }

int64_t ClearLength(uint32_t info)
{
    return static_cast<int64_t>(info >> crypt_info::kClearShift & crypt_info::kClearMask);
}

} // namespace

// The walk is done in signed 64-bit arithmetic: the clear length comes from
// the stream and may exceed the frame, which must then decrypt nothing.
int qnStreamDecrypt(SecurityKeys& keys, const CryptBuffer& frame, int kind, uint32_t low, uint32_t high)
{
    if (frame.data == nullptr || frame.length < kMinFrameLength) return kQnpsBufferShort;
    return keys.WithMatchingKey(low, high, [&](const QnKeySlots& table, const QnKeySlot& slot) {
        const uint32_t kinds = (low & key_slot::kKindMask) >> key_slot::kKindShift;
        if ((static_cast<uint32_t>(kind) & kinds) == 0) return static_cast<int>(QNPS_RETURN_VAL_IGNORE_BY_LV);
        const int64_t length = frame.length;
        const int64_t start = (ClearLength(frame.info) + 15) / 16 * 16;
        if (start >= length) return static_cast<int>(QNPS_RETURN_VAL_OK);
        const int64_t span = length - start;
        const int64_t step = Step(frame.info);
        if (kind == kSingleBlockKind) {
            for (int64_t f = 0; f + 64 < span; f += step) DesDecryptBlock(slot.schedules[0], frame.data + start + f);
            return static_cast<int>(QNPS_RETURN_VAL_OK);
        }
        for (int64_t f = 0; f < span; f += step) {
            for (int i = 0; i < kBlocksPerInterval; ++i) {
                const int64_t offset = table.blockOffsets[i];
                const int64_t at = start + f + kBlockSpacing * offset;
                if (offset < 30 && at < span - 16) DesDecryptBlock(slot.schedules[i], frame.data + at);
            }
        }
        return static_cast<int>(QNPS_RETURN_VAL_OK);
    });
}

int qnRecordDecrypt(SecurityKeys& keys, const CryptBuffer& record, uint32_t low, uint32_t high)
{
    if (record.data == nullptr || record.length < kMinRecordLength) return kQnpsBufferShort;
    return keys.WithMatchingKey(low, high, [&](const QnKeySlots& table, const QnKeySlot& slot) {
        const int64_t span = static_cast<int64_t>(record.length) - ClearLength(record.info);
        const int64_t step = Step(record.info);
        for (int64_t g = 0; g < span - 258; g += step) {
            for (int i = 0; i < kBlocksPerInterval; ++i) {
                const int64_t at = g + kBlockSpacing * table.blockOffsets[i] + kRecordBlockBase;
                if (at < span - 274) DesDecryptBlock(slot.schedules[i], record.data + at);
            }
        }
        return static_cast<int>(QNPS_RETURN_VAL_OK);
    });
}

} // namespace streams
