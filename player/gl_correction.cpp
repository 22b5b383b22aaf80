#include "gl_correction.h"

namespace {

float Reciprocal(float numerator, float divisor)
{
    return divisor == 0.0f ? 0.0f : numerator / divisor;
}

} // namespace

qnVirProjectUniforms qnGLCorrectionUniforms(const qnVirProjectParam& param)
{
    qnVirProjectUniforms u{};
    for (int i = 0; i < 6; ++i) u.para[i] = param.P[i];
    for (int i = 0; i < 10; ++i) {
        u.virRi[2 * i] = param.X[i];
        u.virRi[2 * i + 1] = param.Y[i];
    }
    u.rec[0] = Reciprocal(10.0f, param.P[2]);
    u.rec[1] = Reciprocal(1.0f, param.P[4]);
    u.rec[2] = Reciprocal(1.0f, param.P[5]);
    u.rec[3] = param.P[2] * 0.1f;
    return u;
}

void qnGLCorrectCoordinate(const qnVirProjectUniforms& u, float s, float t, float& outS, float& outT)
{
    float x = (s - 0.5f) * u.para[0] * u.rec[0];
    float y = (t - 0.5f) * u.para[1] * u.rec[0];
    const float terms[10] = {1, x, x * x, y, y * y, x * y, x * x * y, x * y * y, x * x * x, y * y * y};
    float rdx = 0, rdy = 0;
    for (int i = 0; i < 10; ++i) {
        rdx += u.virRi[2 * i] * terms[i];
        rdy += u.virRi[2 * i + 1] * terms[i];
    }
    rdx *= u.rec[3];
    rdy *= u.rec[3];
    outS = rdx * u.rec[1] + 0.5f;
    outT = rdy * u.rec[2] + 0.5f;
}
