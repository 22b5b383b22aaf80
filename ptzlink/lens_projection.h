// The two bivariate cubic polynomials of a locked lens-correction record and
// the positions they give, all in single precision as the camera computes
// them.
#ifndef OSTRELS_PTZLINK_LENS_PROJECTION_H
#define OSTRELS_PTZLINK_LENS_PROJECTION_H

#include <cstdint>

#include "lens_record.h"

namespace qnpl {

// Frames and coefficients of the locked record.
struct LensGeometry {
    int32_t input_width = 0, input_height = 0;  // corrected picture (virtual)
    int32_t scale = 0;                          // S
    int32_t output_width = 0, output_height = 0;  // camera picture
    float a[kLensCoefficients] = {};
    float b[kLensCoefficients] = {};
};

// Largest picture side the maps handle (sizes are kept in 14 bits).
inline constexpr int32_t kMaxMapSide = 16383;

// (px, py): input-frame pixels from the input frame's centre. Gives the
// camera position in output-frame pixels from the output frame's centre.
void lens_project(const LensGeometry& g, float px, float py, float* ox, float* oy);

// Raw polynomial values at normalised (x, y).
void lens_polynomials(const LensGeometry& g, float x, float y, float* X, float* Y);

// Fixed factors of a source -> destination map.
struct LensMapFactors {
    int32_t sw = 0, sh = 0, dw = 0, dh = 0;
    int64_t fx = 0, fy = 0, gx = 0, gy = 0;
};

// False when a size is outside 1 ... kMaxMapSide or the record has a zero
// frame (nothing could be mapped without dividing by zero).
bool lens_map_factors(const LensGeometry& g, int32_t sw, int32_t sh, int32_t dw, int32_t dh, LensMapFactors* f);

// Source position of destination pixel (c, r) in 1/1024 source pixel; true
// when it lies inside the source (whole part 0 ... size - 2 on both axes).
bool lens_source_position(const LensGeometry& g, const LensMapFactors& f, int32_t c, int32_t r, int32_t* sx,
                          int32_t* sy);

}  // namespace qnpl

#endif
