// Arbitrary bytes as camera packets in arbitrary cuts, then as single
// access units: every frame handed out must lie inside what was input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "streams/mont_processor.h"

namespace {

// Where frames of single buffers must lie; frames of packet input point into
// the processor's own packet buffer, which ASan watches instead.
struct Bounds {
    const uint8_t* begin = nullptr;
    const uint8_t* end = nullptr;
};

void Check(const uint8_t* data, int length, const streams::MontOutputFrame*, void* user, int)
{
    auto* bounds = static_cast<Bounds*>(user);
    if (length < 0) std::abort();
    if (bounds->begin != nullptr && (data < bounds->begin || data + length > bounds->end)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    streams::MontProcessor processor(0, 0);
    Bounds bounds;
    processor.SetFrameCallback(&Check, &bounds, 0);
    std::size_t at = 0;
    while (at < size) {
        std::size_t step = std::min<std::size_t>(size - at, 1 + data[at] * 17u);
        std::vector<uint8_t> piece(data + at, data + at + step);
        processor.Input(streams::BufferType::MixStreamQn1, piece.data(), piece.size());
        at += step;
    }
    std::vector<uint8_t> whole(data, data + size);
    bounds.begin = whole.data();
    bounds.end = whole.data() + whole.size();
    processor.Input(streams::BufferType::VideoH264Single, whole.data(), whole.size());
    processor.Input(streams::BufferType::VideoH264SingleQn1, whole.data(), whole.size());
    processor.Input(streams::BufferType::AudioG711aQn1, whole.data(), whole.size());
    processor.SetUnionNal(true);
    processor.Input(streams::BufferType::VideoH264SingleQn2, whole.data(), whole.size());
    return 0;
}
