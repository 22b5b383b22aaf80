// Aimers: rotating reticles tinted into a composed 32-bit picture. The two
// grey-level glyphs are process-wide and built on request; until then no
// aimer is drawn.
#ifndef OSTRELS_DDSHOW_AIMER_H
#define OSTRELS_DDSHOW_AIMER_H

#include <cstdint>

#include "display_devices.h"
#include "qn_ddshow.h"

namespace ostrels::ddshow {

constexpr int kAimerCount = 8;

struct Aimer {
    bool active = false;
    QN_DDR_FRAME_POINT position{};
    int colour = 0; // U in bits 0-7, V in bits 8-15
    Rect lastSquare;
};

// The colour an aimer index has unless told otherwise.
int defaultAimerU(int index);
int defaultAimerV(int index);

// Builds both glyphs (again, if they exist). Not thread-safe: the caller holds
// the family lock, which every drawing of aimers also holds.
void buildAimerGlyphs();
bool aimerGlyphsReady();

// Tints one active aimer into a top-down B, G, R, X picture, rotated by
// `angleDegrees`, and remembers the square it covered.
void drawAimer(Aimer& aimer, uint8_t* bits, int width, int height, int stride, int angleDegrees);

// The active aimer whose last square holds the point (in the composed
// picture's pixels) and whose centre is nearest; -1 when none.
int findAimerAt(const Aimer (&aimers)[kAimerCount], int x, int y);

} // namespace ostrels::ddshow

#endif
