// Quarter turns, transposes and mirrors of planar 4:2:0 pictures, shared by
// the video pictures and the TF-card utilities.
#ifndef OSTRELS_PLAYER_YUV_ROTATE_H
#define OSTRELS_PLAYER_YUV_ROTATE_H

#include "vm_screen.h"

enum {
    QN_ROTATE_COUNTER_CLOCKWISE = 0,
    QN_ROTATE_CLOCKWISE = 1,
    QN_ROTATE_TRANSPOSE = 2,
    QN_ROTATE_ANTI_TRANSPOSE = 3,
    QN_ROTATE_HALF_TURN = 10,
    QN_ROTATE_UPSIDE_DOWN = 11,
    QN_ROTATE_MIRROR = 12
};

/* Kinds 0-3 need a destination of the source's height x width, kinds 10-12
 * one of the same size, both 273 or both 274. 1 when done; 0 (nothing
 * written) for sizes that do not fit, another kind or a missing plane. */
int RotateYuvPicture(const _vm_screen* source, _vm_screen* destination, int kind);

#endif
