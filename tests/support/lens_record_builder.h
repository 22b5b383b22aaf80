// Builds 96-byte lens-correction records field by field, the way a camera
// lays them out, for the tests.
#ifndef OSTRELS_TESTS_SUPPORT_LENS_RECORD_BUILDER_H
#define OSTRELS_TESTS_SUPPORT_LENS_RECORD_BUILDER_H

#include <array>
#include <cstdint>
#include <vector>

namespace ptzlink_test {

struct LensFields {
    uint64_t kind = 0;
    uint64_t input_width = 640, input_height = 480;
    uint64_t scale = 1000;
    uint64_t count = 10;
    uint64_t output_width = 640, output_height = 480;
    uint64_t lens_id = 77;
    std::array<int32_t, 10> a{};
    std::array<int32_t, 10> b{};
};

inline constexpr int32_t kCoefficientOne = 1 << 26;

// A lens that maps every point to itself.
inline LensFields identity_lens(uint32_t lens_id)
{
    LensFields f;
    f.lens_id = lens_id;
    f.a[1] = kCoefficientOne;
    f.b[3] = kCoefficientOne;
    return f;
}

inline std::vector<uint8_t> build_record(const LensFields& f)
{
    std::vector<uint8_t> r(96, 0);
    const uint64_t w0 = f.kind | f.input_width << 4 | f.input_height << 18 | f.scale << 43 | f.count << 57;
    const uint64_t w1 = f.output_width | f.output_height << 14 | f.lens_id << 28;
    for (int i = 0; i < 8; ++i) {
        r[i] = uint8_t(w0 >> (8 * i));
        r[8 + i] = uint8_t(w1 >> (8 * i));
    }
    for (int i = 0; i < 10; ++i)
        for (int k = 0; k < 4; ++k) {
            r[16 + 4 * i + k] = uint8_t(uint32_t(f.a[i]) >> (8 * k));
            r[56 + 4 * i + k] = uint8_t(uint32_t(f.b[i]) >> (8 * k));
        }
    return r;
}

// An accepted panorama type (bits 0-3 = 3, bits 4-6 = 5) for a lens id, with
// extra high bits that make it distinct.
inline uint64_t pano_type_for(uint32_t lens_id, uint64_t high = 0)
{
    return 3 | (uint64_t(5) << 4) | (uint64_t(lens_id) << 7) | (high << 23);
}

}  // namespace ptzlink_test

#endif
