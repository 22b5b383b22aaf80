// The 96-byte lens-correction record a camera supplies, and the panorama type
// bits that select it.
#ifndef OSTRELS_PTZLINK_LENS_RECORD_H
#define OSTRELS_PTZLINK_LENS_RECORD_H

#include <array>
#include <cstdint>

namespace qnpl {

inline constexpr int kLensRecordBytes = 96;
inline constexpr int kLensCoefficients = 10;
// Coefficients are signed 32-bit counts of 2^-26.
inline constexpr float kCoefficientUnit = 1.0f / 67108864.0f;

// Field values of one record, little-endian on the wire.
struct LensRecord {
    uint32_t kind = 0;          // must be 0
    uint32_t input_width = 0;   // nominal size of the corrected picture
    uint32_t input_height = 0;
    uint32_t scale = 0;         // S: the normalised unit is S / 10 input pixels
    uint32_t count = 0;         // N: coefficients used of each polynomial
    uint32_t output_width = 0;  // nominal size of the camera picture
    uint32_t output_height = 0;
    uint32_t lens_id = 0;
    std::array<int32_t, kLensCoefficients> a{};  // x polynomial
    std::array<int32_t, kLensCoefficients> b{};  // y polynomial
};

LensRecord decode_lens_record(const uint8_t* bytes);

// A type this projection accepts: bits 0-3 are 3 and bits 4-6 are 5.
inline bool pano_type_accepted(uint64_t type) { return (type & 0xf) == 3 && ((type >> 4) & 0x7) == 5; }
inline uint32_t pano_type_lens_id(uint64_t type) { return static_cast<uint32_t>((type >> 7) & 0xffff); }

// Whether the record's geometry can drive the polynomials without dividing
// by zero or reading past the coefficient arrays.
inline bool lens_record_usable(const LensRecord& r)
{
    return r.scale != 0 && r.input_width != 0 && r.input_height != 0 && r.output_width != 0 &&
           r.output_height != 0 && r.count <= kLensCoefficients;
}

}  // namespace qnpl

#endif
