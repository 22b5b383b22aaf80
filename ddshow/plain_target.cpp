#include "plain_target.h"

#include <algorithm>
#include <cstdint>

namespace ostrels::ddshow {
namespace {

int targetSide(int recordSide, int windowSide)
{
    const int shown = std::min(recordSide, windowSide);
    if (recordSide / 2 < shown) return recordSide;
    if (recordSide / 4 < shown) return recordSide / 2;
    return recordSide / 4;
}

int factor(int pictureSide, int targetSide)
{
    if (targetSide <= 0) return 0;
    if (int64_t(targetSide) * 4 == int64_t(pictureSide) * 3) return 3;
    return pictureSide / targetSide;
}

} // namespace

PlainTarget plainTargetFor(int recordWidth, int recordHeight, int pictureWidth, int pictureHeight, int windowWidth,
                           int windowHeight)
{
    PlainTarget t;
    t.width = targetSide(recordWidth, windowWidth);
    t.height = targetSide(recordHeight, windowHeight);
    t.horizontal = factor(pictureWidth, t.width);
    t.vertical = factor(pictureHeight, t.height);
    // No converter reduces by 1 and 4: halve the side that was kept whole.
    if (t.horizontal == 1 && t.vertical == 4) {
        t.width = recordWidth / 2;
        t.horizontal = factor(pictureWidth, t.width);
    } else if (t.horizontal == 4 && t.vertical == 1) {
        t.height = recordHeight / 2;
        t.vertical = factor(pictureHeight, t.height);
    }
    return t;
}

} // namespace ostrels::ddshow
