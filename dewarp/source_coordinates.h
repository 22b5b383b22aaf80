// Map entries are in 1/128 pixel of the reference frame; these bring them to
// the source picture actually rendered.
#ifndef QN_DEWARP_SOURCE_COORDINATES_H
#define QN_DEWARP_SOURCE_COORDINATES_H

#include <algorithm>
#include <cstdint>

#include "fixed_point.h"

namespace qn_dewarp {

// Source size over reference size, x 1024.
inline int32_t source_scale(int source_size, int reference_size)
{
    return rnd(source_size * 1024.0 / reference_size);
}

// A map coordinate scaled to the source (1/128 pixel) and held to
// 0..(size - 2) x 128, so that a tap and its right or lower neighbour are
// inside the source.
inline int64_t scaled_coordinate(int32_t v, int32_t scale) { return (int64_t(v) * scale) >> 10; }
inline int32_t held_coordinate(int64_t scaled, int size)
{
    const int64_t limit = int64_t(size - 2) * 128;
    return static_cast<int32_t>(std::clamp<int64_t>(scaled, 0, std::max<int64_t>(limit, 0)));
}

}  // namespace qn_dewarp

#endif
