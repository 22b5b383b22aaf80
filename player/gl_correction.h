// The lens-correction record as the values the shaders take.
#ifndef OSTRELS_PLAYER_GL_CORRECTION_H
#define OSTRELS_PLAYER_GL_CORRECTION_H

#include "qnGLScene.h"

struct qnVirProjectUniforms {
    int para[6];      // "uParaArr": P0..P5
    float virRi[20];  // "upaVirRi": X0, Y0, X1, Y1, ..., X9, Y9
    float rec[4];     // "uParaArr_rec": 10 / P2, 1 / P4, 1 / P5, P2 x 0.1
};

// A zero divisor gives 0 (an owner that leaves the record empty must not
// feed NaN into every corrected coordinate).
qnVirProjectUniforms qnGLCorrectionUniforms(const qnVirProjectParam& param);

// The corrected texture coordinate of (s, t), as the vertex stage computes it.
void qnGLCorrectCoordinate(const qnVirProjectUniforms& u, float s, float t, float& outS, float& outT);

#endif
