#include "aimer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "colour_convert.h"

namespace ostrels::ddshow {
namespace {

constexpr int kDefaultU[kAimerCount] = {160, 80, 80, 180, 80, 128, 128, 255};
constexpr int kDefaultV[kAimerCount] = {80, 160, 80, 180, 128, 80, 255, 128};

struct Glyph {
    int side = 0, stride = 0;
    std::vector<uint8_t> mask;
};

Glyph bigGlyph, smallGlyph;
bool glyphsReady = false;

constexpr double kPi = 3.14159265358979323846;
constexpr double kLevel = 230.0;
constexpr double kSoftEdge = 4.0;

// Distance (pixels) from a point at radius r and polar angle a (degrees) to the
// nearest stroke of the reticle, in the glyph's own 505-unit design.
double strokeDistance(double r, double angle, double unit)
{
    double nearest = 1e9;
    for (double ring : {140.0, 180.0, 200.0, 220.0, 250.0})
        nearest = std::min(nearest, std::abs(r - ring * unit) - 1.0 * unit);
    // Tick marks every 5 degrees across the outer band.
    const double inner = 220 * unit, outer = 250 * unit;
    const double radialOutside = std::max({0.0, inner - r, r - outer});
    const double offTick = std::abs(angle - 5.0 * std::round(angle / 5.0)) * kPi / 180.0 * r;
    nearest = std::min(nearest, std::max(radialOutside, offTick - 0.8 * unit));
    // Filled arcs between 180 and 200 in every other 60-degree sector.
    const double arcRadial = std::max({0.0, 180 * unit - r, r - 200 * unit});
    const double inSector = std::fmod(angle, 120.0);
    const double offSector = inSector < 60.0 ? 0.0 : std::min(inSector - 60.0, 120.0 - inSector) * kPi / 180.0 * r;
    nearest = std::min(nearest, std::max(arcRadial, offSector));
    return std::max(0.0, nearest);
}

void buildGlyph(Glyph& glyph, int side, int stride)
{
    glyph.side = side;
    glyph.stride = stride;
    glyph.mask.assign(size_t(stride) * side, 0);
    const double centre = (side - 1) / 2.0, unit = side / 505.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double dx = x - centre, dy = centre - y;
            const double r = std::hypot(dx, dy);
            if (r > 256 * unit) continue;
            double angle = std::atan2(dy, dx) * 180.0 / kPi;
            if (angle < 0) angle += 360.0;
            const double d = strokeDistance(r, angle, unit);
            const double level = kLevel * std::clamp(1.0 - d / kSoftEdge, 0.0, 1.0);
            glyph.mask[size_t(y) * stride + x] = uint8_t(std::lround(level));
        }
}

int sample(const Glyph& g, int64_t gx, int64_t gy)
{
    const int64_t ix = gx >> 7, iy = gy >> 7;
    if (ix < 0 || iy < 0 || ix + 1 >= g.side || iy + 1 >= g.side) return 0;
    const int fx = int(gx & 127), fy = int(gy & 127);
    const uint8_t* row0 = &g.mask[size_t(iy) * g.stride + size_t(ix)];
    const uint8_t* row1 = row0 + g.stride;
    const int top = row0[0] * (128 - fx) + row0[1] * fx;
    const int bottom = row1[0] * (128 - fx) + row1[1] * fx;
    return (top * (128 - fy) + bottom * fy) >> 14;
}

} // namespace

int defaultAimerU(int index) { return kDefaultU[index & 7]; }
int defaultAimerV(int index) { return kDefaultV[index & 7]; }

void buildAimerGlyphs()
{
    buildGlyph(bigGlyph, 513, 516);
    buildGlyph(smallGlyph, 385, 388);
    glyphsReady = true;
}

bool aimerGlyphsReady() { return glyphsReady; }

void drawAimer(Aimer& aimer, uint8_t* bits, int width, int height, int stride, int angleDegrees)
{
    if (!glyphsReady || !aimer.active || aimer.position.w <= 20 || aimer.position.h <= 20) return;
    const int shorter = std::min(width, height);
    const Glyph& glyph = bigGlyph.side * 7 < shorter ? bigGlyph : smallGlyph;
    const int cx = int(aimer.position.x * float(width) / float(aimer.position.w));
    const int cy = int(aimer.position.y * float(height) / float(aimer.position.h));
    const int side = (shorter / 8) & ~1;
    if (side <= 0) return;
    Rect square{std::max(0, cx - side / 2), std::max(0, cy - side / 2), std::min(width, cx + side / 2),
                std::min(height, cy + side / 2)};
    if (square.right < square.left) square.right = square.left;
    if (square.bottom < square.top) square.bottom = square.top;
    aimer.lastSquare = square;

    const double radians = angleDegrees * kPi / 180.0;
    const int s = int(std::lround(std::sin(radians) * 128)), c = int(std::lround(std::cos(radians) * 128));
    const int u = (aimer.colour & 0xff) - 128, v = ((aimer.colour >> 8) & 0xff) - 128;
    const int64_t half = int64_t(glyph.side) * 64; // the glyph's centre in 1/128 pixels
    for (int py = square.top; py < square.bottom; ++py) {
        uint8_t* row = bits + size_t(py) * stride;
        for (int px = square.left; px < square.right; ++px) {
            const int dx = px - cx, dy = py - cy;
            const int64_t rx = int64_t(dx) * c - int64_t(dy) * s;
            const int64_t ry = int64_t(dx) * s + int64_t(dy) * c;
            const int m = sample(glyph, rx * glyph.side / side + half, ry * glyph.side / side + half);
            if (m <= 10 || m >= 230) continue;
            uint8_t* pixel = row + size_t(px) * 4;
            const int luma = (9617 * pixel[1] + 4899 * pixel[2] + 1868 * pixel[0] + 8192) >> 14;
            const int tinted = ((255 - m) * luma + m * m) >> 8;
            const uint32_t rgb = fullRangePixel(tinted << 14, u, v);
            pixel[0] = uint8_t(rgb);
            pixel[1] = uint8_t(rgb >> 8);
            pixel[2] = uint8_t(rgb >> 16);
        }
    }
}

int findAimerAt(const Aimer (&aimers)[kAimerCount], int x, int y)
{
    int best = -1, bestDistance = 0;
    for (int i = 0; i < kAimerCount; ++i) {
        const Aimer& a = aimers[i];
        const Rect& sq = a.lastSquare;
        if (!a.active || !(x > sq.left && x < sq.right && y > sq.top && y < sq.bottom)) continue;
        const int distance = std::abs(x - (sq.left + sq.right) / 2) + std::abs(y - (sq.top + sq.bottom) / 2);
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace ostrels::ddshow
