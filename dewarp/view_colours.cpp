#include "view_colours.h"

namespace qn_dewarp {

bool colour_of_view_number(int n, Colour& colour)
{
    // Six hue patterns (B, G, R bits), then ever finer intensity levels:
    // 255, 128, 64, 192, 32, 96, 160, 224, 16, ...
    static constexpr uint8_t kPatterns[6][3] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0},
                                                {0, 1, 1}, {1, 1, 0}, {1, 0, 1}};
    static constexpr int kGroupSizes[8] = {1, 1, 2, 4, 8, 16, 32, 64};
    if (n < 0) return false;
    const uint8_t* pattern = kPatterns[n % 6];
    int remainder = n / 6, level = 0;
    while (remainder > 0 && remainder >= kGroupSizes[level]) {
        remainder -= kGroupSizes[level];
        if (++level == 8) return false;
    }
    int intensity = (1 << (8 - level)) * (2 * remainder + 1);
    if (intensity > 255) intensity = 255;
    colour = {uint8_t(pattern[0] * intensity), uint8_t(pattern[1] * intensity), uint8_t(pattern[2] * intensity)};
    return true;
}

}  // namespace qn_dewarp
