// Sizes of the matching pyramid: pixel_per_degree x 128, halved while at
// least 320, at most eight levels.
#ifndef OSTRELS_PTZLINK_PYRAMID_PLAN_H
#define OSTRELS_PTZLINK_PYRAMID_PLAN_H

#include <array>
#include <cstdint>

namespace qnpl {

inline constexpr int kMaxPyramidLevels = 8;
inline constexpr int32_t kSmallestPyramidSize = 320;

// Number of levels; their sizes go to `sizes` when given.
inline int plan_pyramid(float pixel_per_degree, std::array<uint16_t, kMaxPyramidLevels>* sizes)
{
    int32_t value = static_cast<int32_t>(pixel_per_degree * 128.0f);
    int levels = 0;
    while (levels < kMaxPyramidLevels && value >= kSmallestPyramidSize) {
        if (sizes) (*sizes)[levels] = static_cast<uint16_t>(value);
        value >>= 1;
        ++levels;
    }
    return levels;
}

// The first level the matching uses: the three smallest levels at most.
inline int first_pyramid_level(int levels) { return levels > 3 ? levels - 3 : 0; }

}  // namespace qnpl

#endif
