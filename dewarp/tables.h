// Process-wide lookup tables: built once, on first use, from any thread, and
// kept until the process ends.
#ifndef QN_DEWARP_TABLES_H
#define QN_DEWARP_TABLES_H

#include <cstdint>

namespace qn_dewarp {

inline constexpr int kRootSize = 1024;       // root and reciprocal: 1024 x 1024
inline constexpr int kArctanSize = 4096;     // arctangent: 4096 x 4096
inline constexpr int kSineEntries = 92161;   // 0..90 degrees in 1/1024 degree
inline constexpr int kProjectionSize = 4096; // projection: 4096 x 4096
inline constexpr int kLensSlots = 33;        // lens indexes 0..32
inline constexpr int kRingSize = 505;        // colour ring: 505 x 505
inline constexpr int kRingStride = 508;

struct CoreTables {
    const int32_t* root;       // (a, i) at a * 1024 + i: round(sqrt(i^2 + a^2) x 1024)
    const int32_t* reciprocal; // round(2^20 / sqrt(i^2 + a^2)); (0, 0) is 2^20
    const float* arctangent;   // (a, i) at a * 4096 + i: atan(i / a) in degrees; row 0 zero
    const int32_t* sine;       // round(sin(i / 1024 degree) x 32768)
};

// Null when memory ran out.
const CoreTables* core_tables();

// The projection table of a lens index (0..4 or 32): row a (planar length),
// column i (height) holds round(radius of elevation atan(i / a) x 8192).
// Null for another index or when memory ran out.
const int32_t* projection_table(int lens);

// A projection table for any lens curve: `radius_of_ray` gives the
// normalised radius of the ray of that height over that planar length.
// Null when memory ran out; the caller owns the result (delete[]).
using RadiusOfRay = float (*)(const void* model, int height, int planar);
int32_t* build_projection_table(RadiusOfRay radius_of_ray, const void* model);

// The 505 x 505 colour ring of the aimer overlay (rows kRingStride apart).
const uint8_t* colour_ring();

}  // namespace qn_dewarp

#endif
