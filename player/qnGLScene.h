// The records an owner hands to the OpenGL video window: the scene (camera
// and models), the models with their primitive groups, and the per-frame
// lens-correction polynomial. They live in the owner's memory and carry
// native pointers; the renderer only reads them.
#ifndef OSTRELS_PLAYER_QNGLSCENE_H
#define OSTRELS_PLAYER_QNGLSCENE_H

#include <cstdint>

// Number of texture layers a model may carry into the shaders.
constexpr int kGLMaxLayers = 2;

// Primitive kinds, the OpenGL mode numbers.
enum qnGLPrimKind {
    QN_GL_POINTS = 0,
    QN_GL_LINES = 1,
    QN_GL_LINE_LOOP = 2,
    QN_GL_LINE_STRIP = 3,
    QN_GL_TRIANGLES = 4,
    QN_GL_TRIANGLE_STRIP = 5,
    QN_GL_TRIANGLE_FAN = 6
};

struct qnGLPrimGroup {
    uint32_t kind;               // bits 0-3: qnGLPrimKind
    uint32_t packedCount;        // n = bits 24-31 x bits 12-23 x bits 0-11
    const float* positions;      // n x (x, y, z)
    const float* texCoords[4];   // per layer, n x (s, t)
};

// The vertex count a group's packed word stands for.
inline uint32_t qnGLVertexCount(uint32_t packedCount)
{
    return ((packedCount >> 24) & 0xff) * ((packedCount >> 12) & 0xfff) * (packedCount & 0xfff);
}

// The model's transform: each operation has a 4-bit place in `order` (bits
// 0-3 rotation x, 4-7 rotation y, 8-11 rotation z, 12-23 translation x, y, z,
// 24-35 scale x, y, z); place 0 leaves it out.
struct qnGLTransform {
    uint64_t order;
    float rotateX, rotateY, rotateZ; // degrees
    float translateX, translateY, translateZ;
    float scaleX, scaleY, scaleZ;
};

struct qnGLModel {
    uint32_t source[8];      // per layer: "FRAM", "PANO", "LOCL"/"ORIN" or the current frame
    uint64_t flags;          // bits 0-7 transparency, 8-15 its luma threshold, 17-19 layer count
    uint32_t reserved0;
    uint8_t outline[2];      // per layer: mark the layer's edges
    uint8_t reserved1[2];
    uint8_t correction[2];   // per layer: sample through the lens polynomial
    uint8_t reserved2[6];
    qnGLTransform transform;
    uint32_t reserved3;
    int32_t groupCount;
    const qnGLPrimGroup* groups;
    uint32_t reserved4[2];
};

inline int qnGLTransparency(const qnGLModel& m) { return int(m.flags & 0xff); }
inline int qnGLTransparencyThreshold(const qnGLModel& m) { return int((m.flags >> 8) & 0xff); }
// Layers drawn: the model's count, at most kGLMaxLayers.
inline int qnGLLayerCount(const qnGLModel& m)
{
    int layers = int((m.flags >> 17) & 0x7);
    return layers > kGLMaxLayers ? kGLMaxLayers : layers;
}

struct qnGLSceneInfo {
    uint32_t reserved0;
    float fieldOfView;        // degrees
    float nearPlane, farPlane;
    float rotateZ, rotateX, rotateY; // degrees
    float translateX, translateY, translateZ;
    uint32_t reserved1;
    int32_t modelCount;
    const qnGLModel* models;
    uint32_t reserved2;
    const qnGLModel* furtherModel;
    int32_t overlayCount;
    const qnGLModel* overlays; // drawn with blending
};

// The lens-correction polynomial. Terms of both polynomials, in order:
// 1, x, x^2, y, y^2, x y, x^2 y, x y^2, x^3, y^3.
struct qnVirProjectParam {
    uint16_t P[6];
    float X[10];
    float Y[10];
};

#endif
