// Arbitrary frame sequences through the play modules' stream heads and output
// step: records of (kind byte, 16-bit length, bytes). Parameter sets must
// never grow a head past its store, and every frame and head handed out must
// stay inside its own bytes whatever the private SEIs claim.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vqSDK/VlrRealplay/mont_stream_head.h"
#include "vqSDK/VlrRealplay/stream_output.h"

namespace {

int OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void*, int32_t)
{
    if (data == nullptr || length <= 0 || info == nullptr || info->kind == nullptr) std::abort();
    volatile uint8_t last = data[length - 1];
    (void)last;
    return 1;
}

void CheckHead(const realplay::StreamHeadPair& heads)
{
    MontStreamHead head{};
    uint8_t bytes[realplay::kStreamHeadStoreBytes];
    if (!heads.CopyCurrent(&head, bytes, sizeof bytes)) return;
    const uint32_t used = realplay::HeadUsed(head);
    if (used > realplay::kStreamHeadStoreBytes) std::abort();
    const auto inside = [&](const uint8_t* at, uint32_t length) {
        return at == nullptr || (at >= bytes && at + length <= bytes + used);
    };
    if (!inside(head.sps, realplay::HeadSpsLength(head)) || !inside(head.pps, realplay::HeadPpsLength(head)) ||
        !inside(head.sei, realplay::HeadSeiLength(head))) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    realplay::PlayCallbacks callbacks;
    callbacks.SetFrame(&OnFrame, nullptr, 0);
    streams::SecurityKeys keys;
    streams::qnSetSecurityKey(keys, "fuzz code", "custom");
    realplay::StreamHeadPair heads;
    realplay::StreamOutputStep step({true, true}, callbacks, keys);
    step.Reset();
    streams::MontSeiInfo recordSei{};
    uint32_t number = 0;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const uint8_t kind = data[at] % 6;
        const std::size_t length = std::min<std::size_t>(data[at + 1] | data[at + 2] << 8, size - at - 3);
        // An exact-size heap copy, so that a read one byte past the frame is caught.
        std::vector<uint8_t> frame(data + at + 3, data + at + 3 + length);
        at += 3 + length;
        const int index = heads.CurrentIndex();
        const realplay::StreamFrame out{frame.data(), static_cast<uint32_t>(frame.size()), ++number, 64, 64, 25.0f};
        switch (kind) {
        case 0: heads.Collect(index, realplay::HeadPart::Sps, frame.data(), static_cast<uint32_t>(frame.size())); break;
        case 1: heads.Collect(index, realplay::HeadPart::Pps, frame.data(), static_cast<uint32_t>(frame.size())); break;
        case 2:
            heads.Collect(index, realplay::HeadPart::PrivateSei, frame.data(), static_cast<uint32_t>(frame.size()));
            if (streams::ParseSeiPacked(frame.data(), frame.size(), &recordSei) == 1) step.MarkSeiSeen();
            break;
        case 3: {
            heads.SwitchAtKeyFrame(index);
            streams::MontSeiInfo sei;
            if (!frame.empty()) step.KeyFrame(out, heads.CurrentSei(&sei) ? &sei : nullptr);
            std::vector<uint8_t> record = frame;
            if (!record.empty()) {
                realplay::DecryptForRecord(keys, record.data(), static_cast<uint32_t>(record.size()), true, recordSei,
                                           step.SeiSeen());
            }
            break;
        }
        case 4:
            if (!frame.empty()) step.OtherFrame(out);
            break;
        default:
            if (!frame.empty()) step.Audio(out);
            break;
        }
        CheckHead(heads);
    }
    return 0;
}
