#include "lens_model.h"

#include <cmath>

#include "fixed_point.h"

namespace qn_dewarp {

namespace {

// A ray beyond the curve's domain lands well outside the circle.
constexpr float kBeyondRim = 10.0f;
// Radii this close to the centre are the optical axis (the curve divides by r).
constexpr float kAxisRadius = 1e-6f;
constexpr float kHalfPi = 1.5708f;

struct BuiltInLens {
    int X, Y;
    float a, b, c;
    // Derived once, in double precision.
    double l, h, g;
    double l2h2, h4, h2g2, gl, inv_l2_minus_h2;
};

struct LensTable {
    BuiltInLens rows[5];
    float custom_k;  // radius per radian of the custom lens
    double custom_s; // its slope in degrees per tenth of radius
};

LensTable build_table()
{
    struct Row { int X, Y; float a, b, c; };
    static constexpr Row kRows[5] = {
        {8000, 1839, 59.755f, 45.325f, 75.0f},
        {8000, 1838, 59.661f, 42.872f, 73.4673f},
        {8000, 1800, 58.6468f, 36.1523f, 68.8944f},
        {8000, 1800, 38.4f, 28.8f, 48.0f},
        {8000, 1800, 58.6468f, 36.1523f, 68.8944f},
    };
    LensTable t{};
    for (int i = 0; i < 5; ++i) {
        BuiltInLens& L = t.rows[i];
        L.X = kRows[i].X;
        L.Y = kRows[i].Y;
        L.a = kRows[i].a;
        L.b = kRows[i].b;
        L.c = kRows[i].c;
        double a = L.a, b = L.b, c = L.c;
        L.l = 2 * a * a + b * b;
        L.h = 2 * a * c;
        L.g = b * b;
        L.l2h2 = L.l * L.l * L.h * L.h;
        L.h4 = L.h * L.h * L.h * L.h;
        L.h2g2 = L.h * L.h * L.g * L.g;
        L.gl = L.g * L.l;
        L.inv_l2_minus_h2 = 1.0 / (L.l * L.l - L.h * L.h);
    }
    constexpr double kRimElevation = -2.5;
    t.custom_k = static_cast<float>(1.0 / ((90.0 - kRimElevation) * kRadiansPerDegree));
    t.custom_s = -18.0 / (t.custom_k * 3.1415926535);
    return t;
}

const LensTable& table()
{
    static const LensTable built = build_table();
    return built;
}

const BuiltInLens* built_in(int lens)
{
    return (lens >= 0 && lens <= 4) ? &table().rows[lens] : nullptr;
}

float built_in_radius_of_tan(const BuiltInLens& L, float t)
{
    double td = t;
    double S = std::sqrt((L.l2h2 - L.h4) + L.h2g2 * td * td);
    double denominator = S + L.gl * td;
    // Below the elevation where the inverse curve's denominator vanishes the
    // curve has no positive root: the ray cannot reach the picture.
    if (!(denominator > 0)) return kBeyondRim;
    return static_cast<float>((L.X / (denominator * L.inv_l2_minus_h2)) / L.Y);
}

}  // namespace

int lens_code_of_camera(int32_t code)
{
    int lens = (code >> 4) & 0xff;
    return (lens <= 4 || lens == kCustomLens) ? lens : -1;
}

int default_frame_size(int32_t code, FrameSize* size)
{
    static constexpr struct { int32_t field; FrameSize size; } kFrames[] = {
        {0x1000, {768, 576}},   {0x2000, {1280, 1024}}, {0x3000, {2048, 1536}},
        {0x4000, {1280, 960}},  {0x5000, {2448, 2048}}, {0x6000, {1920, 1080}},
        {0x7000, {1024, 1024}}, {0x8000, {1536, 1536}}, {0x9000, {2560, 1920}},
        {0xa000, {4000, 3000}}, {0x10000, {1280, 720}},
    };
    for (const auto& f : kFrames) {
        if ((code & 0xff000) == f.field) {
            if (size) *size = f.size;
            return 0;
        }
    }
    return 3;
}

float lens_angle_of_radius(float r, int lens)
{
    if (const BuiltInLens* L = built_in(lens)) {
        if (r <= kAxisRadius) return static_cast<float>(kPi / 2);
        float q = static_cast<float>(L->Y * r);
        float v = static_cast<float>(L->X / q);
        float v2p1 = static_cast<float>(v * v + 1.0f);
        float w = static_cast<float>(std::sqrt(v2p1));
        return static_cast<float>(std::atan((L->l * v - L->h * w) / L->g));
    }
    if (lens == kCustomLens) {
        return static_cast<float>((90.0 + 10.0 * table().custom_s * r) * kRadiansPerDegree);
    }
    return kNoLens;
}

float lens_radius_of_angle(float theta, int lens)
{
    if (const BuiltInLens* L = built_in(lens)) {
        float t = static_cast<float>(std::tan(theta));
        return built_in_radius_of_tan(*L, t);
    }
    if (lens == kCustomLens) return static_cast<float>((kHalfPi - theta) * table().custom_k);
    return kNoLens;
}

float lens_radius_of_tan(float t, int lens)
{
    if (const BuiltInLens* L = built_in(lens)) return built_in_radius_of_tan(*L, t);
    if (lens == kCustomLens) {
        float angle = static_cast<float>(std::atan(t));
        return static_cast<float>((kHalfPi - angle) * table().custom_k);
    }
    return kNoLens;
}

}  // namespace qn_dewarp
