#include "lens_record.h"

namespace qnpl {
namespace {

uint64_t load_le64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

int32_t load_le32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

uint32_t bits(uint64_t word, int first, int count)
{
    return static_cast<uint32_t>((word >> first) & ((uint64_t(1) << count) - 1));
}

}  // namespace

LensRecord decode_lens_record(const uint8_t* bytes)
{
    LensRecord r;
    const uint64_t w0 = load_le64(bytes);
    const uint64_t w1 = load_le64(bytes + 8);
    r.kind = bits(w0, 0, 4);
    r.input_width = bits(w0, 4, 14);
    r.input_height = bits(w0, 18, 14);
    r.scale = bits(w0, 43, 14);
    r.count = bits(w0, 57, 4);
    r.output_width = bits(w1, 0, 14);
    r.output_height = bits(w1, 14, 14);
    r.lens_id = bits(w1, 28, 16);
    for (int i = 0; i < kLensCoefficients; ++i) {
        r.a[i] = load_le32(bytes + 16 + 4 * i);
        r.b[i] = load_le32(bytes + 56 + 4 * i);
    }
    return r;
}

}  // namespace qnpl
