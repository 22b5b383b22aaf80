// Rounding and range checks shared by the engine's fixed-point arithmetic.
#ifndef QN_DEWARP_FIXED_POINT_H
#define QN_DEWARP_FIXED_POINT_H

#include <cmath>
#include <cstdint>

namespace qn_dewarp {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kRadiansPerDegree = 0.01745329;  // the engine's own constant
inline constexpr double kDegreesPerRadian = 57.29578;

// The engine's "round": add one half and truncate toward zero. Negative
// values therefore round differently from lround, on purpose.
inline int32_t rnd(double x) { return static_cast<int32_t>(x + 0.5); }
inline int64_t rnd64(double x) { return static_cast<int64_t>(x + 0.5); }

// A conversion that is defined for every input: NaN and values outside int32
// give `fallback` instead of undefined behaviour.
inline bool fits_int32(double x) { return x > -2147483648.0 && x < 2147483647.0; }
inline int32_t rnd_checked(double x, int32_t fallback)
{
    double v = x + 0.5;
    return fits_int32(v) ? static_cast<int32_t>(v) : fallback;
}

inline int clamp_int(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline uint8_t clamp_u8(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace qn_dewarp

#endif
