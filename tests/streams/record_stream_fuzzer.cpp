// Arbitrary video buffers through both record stream copies: every frame
// handed to the writer is readable whole (parameter sets held from an earlier
// buffer come from the stream's own copy, so the sanitizer checks the reads).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "streams/record_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<uint8_t> buffer(data, data + size);
    streams::RecordOwner owner;
    owner.write = [&](const uint8_t* frame, int length, int, const QnMp4FrameInfo*) {
        if (length <= 0 || frame == nullptr) std::abort();
        volatile uint8_t sum = 0;
        for (int i = 0; i < length; ++i) sum = sum + frame[i];
        return true;
    };
    for (auto* copy : {&streams::TfRecordStream(), &streams::CloudRecordStream()}) {
        streams::RecordFrame frame;
        copy->ParseVideo(buffer.data(), static_cast<int>(buffer.size()), &frame, owner);
    }
    for (std::size_t cut = 0; cut <= size && cut < 16; ++cut) {
        streams::ClassifyRecordSei(data, size - cut, streams::RecordSeiSizes::Exact);
        streams::ClassifyRecordSei(data, size - cut, streams::RecordSeiSizes::Minimum);
    }
    return 0;
}
