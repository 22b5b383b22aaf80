// The OpenGL window's parts that need no GL context: batches, matrices,
// correction values, the picture ring and the wheel pinch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gl_batches.h"
#include "gl_correction.h"
#include "gl_matrices.h"
#include "picture_ring.h"
#include "qn_imageprocess.h"
#include "wheel_pinch.h"

namespace {

// Vertex i of a group has position (i, 10 + i, 20 + i) and coordinate (i, -i),
// so each batch entry names the vertex it came from.
struct Group {
    std::vector<float> positions, coords;
    qnGLPrimGroup record{};
    Group(uint32_t kind, int n, uint32_t packed = 0)
    {
        for (int i = 0; i < n; ++i) {
            positions.insert(positions.end(), {float(i), 10.0f + i, 20.0f + i});
            coords.insert(coords.end(), {float(i), -float(i)});
        }
        record.kind = kind;
        record.packedCount = packed != 0 ? packed : (1u << 24) | (1u << 12) | uint32_t(n);
        record.positions = n > 0 ? positions.data() : nullptr;
        record.texCoords[0] = n > 0 ? coords.data() : nullptr;
    }
};

qnGLModel ModelOf(std::vector<qnGLPrimGroup>& groups, int layers = 1)
{
    qnGLModel model{};
    model.flags = uint64_t(layers) << 17;
    model.groupCount = int(groups.size());
    model.groups = groups.data();
    return model;
}

std::vector<int> VertexOrder(const qnGLBatch& batch)
{
    std::vector<int> order;
    for (size_t i = 0; i < batch.filled; ++i) {
        EXPECT_EQ(batch.positions[i * 3 + 1], batch.positions[i * 3] + 10);
        EXPECT_EQ(batch.texCoords[0][i * 2], batch.positions[i * 3]);
        order.push_back(int(batch.positions[i * 3]));
    }
    return order;
}

TEST(GLBatches, KindsOpenIntoTheirBatchesInTheStatedOrder)
{
    struct Case {
        uint32_t kind;
        int n;
        int mode;
        std::vector<int> order;
    } cases[] = {
        {QN_GL_LINE_LOOP, 4, 1, {0, 1, 1, 2, 2, 3, 3, 0}},
        {QN_GL_LINE_STRIP, 3, 1, {0, 1, 1, 2}},
        {QN_GL_TRIANGLE_STRIP, 5, 4, {0, 1, 2, 2, 1, 3, 2, 3, 4}},
        {QN_GL_TRIANGLE_FAN, 4, 4, {0, 1, 2, 0, 2, 3}},
        {QN_GL_TRIANGLES, 3, 4, {0, 1, 2}},
        {QN_GL_POINTS, 2, 0, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind);
        Group g(c.kind, c.n);
        std::vector<qnGLPrimGroup> groups = {g.record};
        std::vector<qnGLBatch> batches = qnGLBuildBatches(ModelOf(groups));
        ASSERT_EQ(batches.size(), 1u);
        EXPECT_EQ(batches[0].mode, c.mode);
        EXPECT_EQ(batches[0].total, c.order.size());
        EXPECT_EQ(batches[0].filled, batches[0].total);
        EXPECT_EQ(VertexOrder(batches[0]), c.order);
    }
}

TEST(GLBatches, PackedCountIsTheProductOfItsThreeFields)
{
    EXPECT_EQ(qnGLVertexCount((1u << 24) | (2u << 12) | 3u), 6u);
    EXPECT_EQ(qnGLVertexCount((255u << 24) | (4095u << 12) | 4095u), 255u * 4095u * 4095u);
}

// Groups too small for one primitive of their kind, and kinds beyond 6, would
// shrink a batch's size below what is copied into it; they add nothing, and
// the batches of the whole groups beside them stay exact.
TEST(GLBatches, GroupsThatFormNoPrimitiveAddNothing)
{
    Group strip2(QN_GL_TRIANGLE_STRIP, 2), fan1(QN_GL_TRIANGLE_FAN, 1), lineStrip1(QN_GL_LINE_STRIP, 1);
    Group odd(9, 6), empty(QN_GL_TRIANGLES, 0, 1u << 24), strip4(QN_GL_TRIANGLE_STRIP, 4), lines2(QN_GL_LINES, 2);
    std::vector<qnGLPrimGroup> groups = {strip2.record, fan1.record, odd.record,  lineStrip1.record,
                                         empty.record,  strip4.record, lines2.record};
    std::vector<qnGLBatch> batches = qnGLBuildBatches(ModelOf(groups));
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].mode, 4);
    EXPECT_EQ(VertexOrder(batches[0]), (std::vector<int>{0, 1, 2, 2, 1, 3}));
    EXPECT_EQ(batches[1].mode, 1);
    EXPECT_EQ(VertexOrder(batches[1]), (std::vector<int>{0, 1}));
    for (const auto& b : batches) EXPECT_EQ(b.filled, b.total);
}

TEST(GLBatches, LayersBeyondTwoAreNotCarried)
{
    Group tri(QN_GL_TRIANGLES, 3);
    tri.record.texCoords[1] = tri.coords.data();
    std::vector<qnGLPrimGroup> groups = {tri.record};
    qnGLModel model = ModelOf(groups, 7);
    EXPECT_EQ(qnGLLayerCount(model), 2);
    std::vector<qnGLBatch> batches = qnGLBuildBatches(model);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].layerCount, 2);
    EXPECT_EQ(batches[0].texCoords[1], batches[0].texCoords[0]);
}

// An independent 4 x 4 algebra (row-major, column vectors) to check the
// matrices against.
struct M4 {
    double m[4][4] = {};
    static M4 Identity()
    {
        M4 r;
        for (int i = 0; i < 4; ++i) r.m[i][i] = 1;
        return r;
    }
    M4 operator*(const M4& o) const
    {
        M4 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k) r.m[i][j] += m[i][k] * o.m[k][j];
        return r;
    }
};

M4 Rotation(double degrees, double x, double y, double z)
{
    double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
    M4 r = M4::Identity();
    r.m[0][0] = t * x * x + c;     r.m[0][1] = t * x * y - s * z; r.m[0][2] = t * x * z + s * y;
    r.m[1][0] = t * x * y + s * z; r.m[1][1] = t * y * y + c;     r.m[1][2] = t * y * z - s * x;
    r.m[2][0] = t * x * z - s * y; r.m[2][1] = t * y * z + s * x; r.m[2][2] = t * z * z + c;
    return r;
}

M4 Translation(double x, double y, double z)
{
    M4 r = M4::Identity();
    r.m[0][3] = x;
    r.m[1][3] = y;
    r.m[2][3] = z;
    return r;
}

M4 Scaling(double x, double y, double z)
{
    M4 r = M4::Identity();
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

void ExpectSame(const QMatrix4x4& actual, const M4& expected)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(actual(i, j), expected.m[i][j], 1e-5) << i << "," << j;
}

TEST(GLMatrices, CameraIsAFrustumAndRotationsXThenZThenY)
{
    qnGLSceneInfo scene{};
    scene.fieldOfView = 60;
    scene.nearPlane = 0.5f;
    scene.farPlane = 40;
    scene.rotateX = 20;
    scene.rotateZ = -35;
    scene.rotateY = 70;
    scene.translateX = 1;
    scene.translateY = -2;
    scene.translateZ = -6;
    double h = std::tan(60 * 0.5 * 0.01745329) * 0.5, v = 480.0 / 640.0 * h, n = 0.5, f = 40;
    M4 frustum;
    frustum.m[0][0] = 2 * n / (2 * h);
    frustum.m[1][1] = 2 * n / (2 * v);
    frustum.m[2][2] = -(f + n) / (f - n);
    frustum.m[2][3] = -2 * f * n / (f - n);
    frustum.m[3][2] = -1;
    ExpectSame(qnGLProjectionMatrix(640, 480, scene), frustum);
    ExpectSame(qnGLViewMatrix(scene),
               Rotation(20, 1, 0, 0) * Rotation(-35, 0, 0, 1) * Rotation(70, 0, 1, 0) * Translation(1, -2, -6));
}

TEST(GLMatrices, ModelOperationsGoFromTheHighestPlaceDown)
{
    qnGLTransform t{};
    t.rotateX = 30;
    t.rotateY = 45;
    t.rotateZ = 60;
    t.translateX = 2;
    t.translateY = 3;
    t.translateZ = 4;
    t.scaleX = 2;
    t.scaleY = 3;
    t.scaleZ = 4;
    // Rotation x at place 2, translation x at place 1: the vertex is translated first.
    t.order = (2u << 0) | (1u << 12);
    ExpectSame(qnGLModelMatrix(t), Rotation(30, 1, 0, 0) * Translation(2, 0, 0));
    // Every operation, three of them sharing place 5 (rotation y, scale z, translation y in that order).
    t.order = (uint64_t(3) << 0) | (uint64_t(5) << 4) | (uint64_t(9) << 8) | (uint64_t(1) << 12) |
              (uint64_t(5) << 16) | (uint64_t(0) << 20) | (uint64_t(7) << 24) | (uint64_t(2) << 28) |
              (uint64_t(5) << 32);
    ExpectSame(qnGLModelMatrix(t), Rotation(60, 0, 0, 1) * Scaling(2, 1, 1) * Rotation(45, 0, 1, 0) *
                                       Scaling(1, 1, 4) * Translation(0, 3, 0) * Rotation(30, 1, 0, 0) *
                                       Scaling(1, 3, 1) * Translation(2, 0, 0));
}

TEST(GLCorrection, UniformsInterleaveTheCoefficientsAndNeverDivideByZero)
{
    qnVirProjectParam p{};
    p.P[0] = 100; p.P[1] = 80; p.P[2] = 20; p.P[3] = 7; p.P[4] = 50; p.P[5] = 40;
    for (int i = 0; i < 10; ++i) {
        p.X[i] = float(i);
        p.Y[i] = -float(i);
    }
    qnVirProjectUniforms u = qnGLCorrectionUniforms(p);
    EXPECT_EQ(std::vector<int>(u.para, u.para + 6), (std::vector<int>{100, 80, 20, 7, 50, 40}));
    EXPECT_EQ(u.virRi[6], 3.0f);
    EXPECT_EQ(u.virRi[7], -3.0f);
    EXPECT_FLOAT_EQ(u.rec[0], 0.5f);
    EXPECT_FLOAT_EQ(u.rec[1], 0.02f);
    EXPECT_FLOAT_EQ(u.rec[2], 0.025f);
    EXPECT_FLOAT_EQ(u.rec[3], 2.0f);

    qnVirProjectUniforms zero = qnGLCorrectionUniforms(qnVirProjectParam{});
    for (float r : zero.rec) EXPECT_EQ(r, 0.0f);
    float s = -1, t = -1;
    qnGLCorrectCoordinate(zero, 0.3f, 0.8f, s, t);
    EXPECT_FALSE(std::isnan(s) || std::isnan(t));
}

TEST(GLCorrection, PolynomialTermsInTheirOrder)
{
    qnVirProjectParam p{};
    p.P[0] = p.P[1] = 10; p.P[2] = 10; p.P[4] = p.P[5] = 10;
    // x = (s - 0.5) x 10, y = (t - 0.5) x 10; one term at a time.
    const float s = 0.7f, t = 0.4f, x = 2.0f, y = -1.0f;
    const float terms[10] = {1, x, x * x, y, y * y, x * y, x * x * y, x * y * y, x * x * x, y * y * y};
    for (int k = 0; k < 10; ++k) {
        qnVirProjectParam one = p;
        one.X[k] = 1.0f;
        one.Y[k] = 2.0f;
        float cs = 0, ct = 0;
        qnGLCorrectCoordinate(qnGLCorrectionUniforms(one), s, t, cs, ct);
        EXPECT_NEAR(cs, terms[k] / 10 + 0.5f, 1e-5) << k;
        EXPECT_NEAR(ct, 2 * terms[k] / 10 + 0.5f, 1e-5) << k;
    }
}

struct OwnedPicture {
    _vm_screen* p = nullptr;
    OwnedPicture(int w, int h, uint8_t luma)
    {
        EXPECT_EQ(qnCreateImage(&p, w, h, VM_FMT_YUV420), QN_IMG_OK);
        std::memset(p->planar.plane[0], luma, size_t(p->planar.stride[0]) * h);
    }
    ~OwnedPicture() { qnReleaseImage(&p); }
};

TEST(PictureRing, WriterNeverReusesItsLastSlotAndTheDrawerItsLast)
{
    PictureRing ring;
    OwnedPicture a(16, 8, 1), b(16, 8, 2);
    ASSERT_TRUE(ring.put(*a.p));
    EXPECT_EQ(ring.lastWritten(), 0);
    ASSERT_TRUE(ring.put(*b.p));
    EXPECT_EQ(ring.lastWritten(), 1);
    int drawn = ring.takeForDrawing();
    EXPECT_EQ(drawn, 0);
    // Drawer holds 0, the writer's last is 1: the third slot is used.
    ASSERT_TRUE(ring.put(*a.p));
    EXPECT_EQ(ring.lastWritten(), 2);
    // Slot 0 is busy, 2 was just written: slot 1 is free again.
    ASSERT_TRUE(ring.put(*b.p));
    EXPECT_EQ(ring.lastWritten(), 1);
    ring.releaseDrawn(drawn);
    EXPECT_EQ(ring.takeForDrawing(), 1);
    EXPECT_EQ(ring.picture(1)->planar.plane[0][0], 2);
    ring.releaseDrawn(1);

    // A new size clears the ring first.
    OwnedPicture big(32, 16, 3);
    ASSERT_TRUE(ring.put(*big.p));
    EXPECT_EQ(ring.lastWritten(), 0);
    EXPECT_EQ(ring.picture(1), nullptr);
    EXPECT_EQ(ring.width(), 32);

    // The owner's clear goes instead of the ring's own when it has more to do.
    int ownerClears = 0;
    ASSERT_TRUE(ring.put(*a.p, [&] {
        ++ownerClears;
        ring.clear();
    }));
    EXPECT_EQ(ownerClears, 1);
    EXPECT_EQ(ring.picture(0)->width, 16);
}

// A play forgets the ring's size but keeps the slots: a picture of another
// size then gets slots of its own size instead of a copy into the old ones.
TEST(PictureRing, SlotsOfAForgottenSizeAreMadeAfresh)
{
    PictureRing ring;
    OwnedPicture small(16, 8, 1), big(32, 16, 2);
    ASSERT_TRUE(ring.put(*small.p));
    ASSERT_TRUE(ring.put(*small.p));
    ring.forgetSize();
    int clears = 0;
    // The writer alternates between the two slots it used before.
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(ring.put(*big.p, [&] { ++clears; }));
    EXPECT_EQ(clears, 0) << "a forgotten size does not clear";
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(ring.picture(i), nullptr);
        EXPECT_EQ(ring.picture(i)->width, 32) << i;
        EXPECT_EQ(ring.picture(i)->height, 16) << i;
    }
    const int slot = ring.takeForDrawing();
    ASSERT_GE(slot, 0);
    const _vm_screen& shown = *ring.picture(slot);
    EXPECT_EQ(shown.planar.plane[0][size_t(shown.planar.stride[0]) * 15 + 31], 2);
    ring.releaseDrawn(slot);
}

TEST(PictureRing, OnlyAllZeroSamplesMeanAnEmptyPicture)
{
    OwnedPicture picture(16, 8, 0);
    EXPECT_TRUE(PictureLooksEmpty(*picture.p));
    // Bytes that cancel out as signed values are still a picture.
    uint8_t* luma = picture.p->planar.plane[0];
    size_t half = size_t(picture.p->planar.stride[0]) * 8 / 2;
    luma[half] = 0x01;
    luma[half + 4] = 0xff;
    EXPECT_FALSE(PictureLooksEmpty(*picture.p));
    // The upper half is not looked at.
    std::memset(luma, 0, size_t(picture.p->planar.stride[0]) * 8);
    luma[0] = 200;
    EXPECT_TRUE(PictureLooksEmpty(*picture.p));
}

TEST(WheelPinch, ForwardTurnsSpreadThePointsAndAPauseStartsAgain)
{
    WheelPinch pinch;
    std::vector<qnTouchPoints> sent;
    auto send = [&](const qnTouchPoints& r) { sent.push_back(r); };
    pinch.onWheel(120, 10000, send);
    pinch.onWheel(120, 10300, send);
    pinch.onWheel(120, 10600, send);
    ASSERT_EQ(sent.size(), 4u);
    const int expected[4][3] = {{0, 450, 550}, {0, 450, 550}, {2, 430, 570}, {2, 410, 590}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sent[i].count, expected[i][0]) << i;
        EXPECT_EQ(sent[i].points[0].x, expected[i][1]) << i;
        EXPECT_EQ(sent[i].points[1].x, expected[i][2]) << i;
        EXPECT_EQ(sent[i].points[0].y, 500);
        EXPECT_EQ(sent[i].points[1].width, 1000);
    }
    sent.clear();
    pinch.onWheel(-120, 11200, send); // more than 500 ms later: a new, backward gesture
    pinch.onWheel(-120, 11400, send);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].points[0].x, 100);
    EXPECT_EQ(sent[1].points[1].x, 900);
    EXPECT_EQ(sent[2].points[0].x, 140);
    EXPECT_EQ(sent[2].points[1].x, 860);
}

} // namespace
