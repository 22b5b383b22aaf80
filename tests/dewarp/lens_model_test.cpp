#include "lens_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "coordinate_model.h"
#include "geometry.h"

using namespace qn_dewarp;

namespace {

constexpr double kDeg = 180.0 / 3.14159265358979323846;

TEST(LensModel, CameraCodes)
{
    struct Case {
        int32_t code;
        int lens;
        int frame_result;
        FrameSize frame;
    };
    const Case cases[] = {
        {0x10000, 0, 0, {1280, 720}},  {0x10020, 2, 0, {1280, 720}}, {0x2200, 32, 0, {1280, 1024}},
        {0x1040, 4, 0, {768, 576}},    {0xa030, 3, 0, {4000, 3000}}, {0x50, -1, 3, {0, 0}},
        {0x210, -1, 3, {0, 0}},        {0xb000, 0, 3, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lens_code_of_camera(c.code), c.lens) << std::hex << c.code;
        FrameSize size{-1, -1};
        EXPECT_EQ(default_frame_size(c.code, &size), c.frame_result) << std::hex << c.code;
        if (c.frame_result == 0) {
            EXPECT_EQ(size.width, c.frame.width);
            EXPECT_EQ(size.height, c.frame.height);
        } else {
            EXPECT_EQ(size.width, -1) << "an unknown frame leaves the size untouched";
        }
    }
    EXPECT_EQ(default_frame_size(0x6000, nullptr), 0);
}

// Values recomputed outside the engine from the lens rows.
TEST(LensModel, BuiltInCurvesKnownValues)
{
    struct Case {
        int lens;
        double rim_degrees, half_degrees;
    };
    const Case cases[] = {{0, -0.163, 36.29}, {1, -5.112, 32.20}, {2, -18.257, 20.18},
                          {3, 0.000, 36.44},  {4, -18.257, 20.18}};
    for (const Case& c : cases) {
        EXPECT_NEAR(lens_angle_of_radius(1.0f, c.lens) * kDeg, c.rim_degrees, 0.01) << "lens " << c.lens;
        EXPECT_NEAR(lens_angle_of_radius(0.5f, c.lens) * kDeg, c.half_degrees, 0.01) << "lens " << c.lens;
        // The axis is at 90 degrees, with no NaN at the exact centre.
        EXPECT_FLOAT_EQ(lens_angle_of_radius(0.0f, c.lens), static_cast<float>(M_PI / 2));
        EXPECT_GT(lens_angle_of_radius(1e-4f, c.lens) * kDeg, 89.9);
    }
    for (float r = 0; r <= 1.0f; r += 0.05f)
        EXPECT_EQ(lens_angle_of_radius(r, 2), lens_angle_of_radius(r, 4));
}

TEST(LensModel, InverseCurvesRoundTrip)
{
    for (int lens : {0, 1, 2, 3, 4, 32}) {
        // The custom lens's inverse uses 1.5708 for the right angle.
        const double tolerance = lens == 32 ? 5e-6 : 2e-6;
        for (int i = 2; i <= 10; ++i) {
            const float r = i / 10.0f;
            const float theta = lens_angle_of_radius(r, lens);
            EXPECT_NEAR(lens_radius_of_angle(theta, lens), r, tolerance) << "lens " << lens << " r " << r;
            EXPECT_NEAR(lens_radius_of_tan(std::tan(theta), lens), r, tolerance) << "lens " << lens;
        }
    }
}

TEST(LensModel, RaysBeyondTheCurveLandOutsideTheCircle)
{
    // Below about -77 degrees the inverse of lens 0 has no positive root.
    for (double degrees : {-78.0, -85.0, -89.9}) {
        const float r = lens_radius_of_angle(static_cast<float>(degrees / kDeg), 0);
        EXPECT_GT(r, 1.0f) << degrees;
        EXPECT_TRUE(std::isfinite(r));
        EXPECT_NE(r, kNoLens);
    }
}

TEST(LensModel, UnknownLens)
{
    for (int lens : {-1, 5, 31, 33}) {
        EXPECT_EQ(lens_angle_of_radius(0.5f, lens), kNoLens);
        EXPECT_EQ(lens_radius_of_angle(0.5f, lens), kNoLens);
        EXPECT_EQ(lens_radius_of_tan(0.5f, lens), kNoLens);
    }
}

// The custom lens is the equidistant 185-degree fisheye: 90 degrees on the
// axis, falling linearly to -2.5 degrees on the rim.
TEST(LensModel, CustomLensIsEquidistant)
{
    for (int i = 0; i <= 100; ++i) {
        const float r = i / 100.0f;
        EXPECT_NEAR(lens_angle_of_radius(r, 32) * kDeg, 90.0 - 92.5 * r, 1e-3) << r;
    }
    EXPECT_NEAR(lens_radius_of_angle(0.0f, 32), 90.0 / 92.5, 1e-4);
}

TEST(CoordinateModel, PackedCode)
{
    const uint64_t code = 0x400641ull | 1ull << 36; // family 1, variant 0
    EXPECT_EQ(camera_code_version(code), 1);
    FrameSize frame{};
    ASSERT_EQ(camera_code_frame(code, &frame), 1);
    EXPECT_EQ(frame.width, 2048);
    EXPECT_EQ(frame.height, 1536);
    int family = -1, variant = -1;
    EXPECT_EQ(camera_code_lens_type(code, &family, &variant), 1);
    EXPECT_EQ(family, 1);
    EXPECT_EQ(variant, 0);
    EXPECT_EQ(camera_code_is_valid(code), 1);
    EXPECT_EQ(camera_code_is_valid(code | 3ull << 39), 0) << "variant 3";
    EXPECT_EQ(camera_code_is_valid(0x400641ull | 2ull << 36), 0) << "family 2";
    // An aspect field of 0 has no frame; version 2 is refused everywhere.
    EXPECT_EQ(camera_code_frame(0x400601ull, &frame), 0);
    EXPECT_EQ(frame.width, 0);
    const uint64_t v2 = (code & ~0xfull) | 2;
    EXPECT_EQ(camera_code_lens_type(v2, &family, &variant), 0);
    EXPECT_EQ(camera_code_frame(v2, &frame), 0);
    QN_COORDINATE_HOLDER holder;
    EXPECT_EQ(holder.Attach(v2), 0);
    EXPECT_EQ(holder.RadiusOfTan(1.0f), 0.0f);
}

TEST(CoordinateModel, PresetLens)
{
    QN_COORDINATE_HOLDER holder;
    ASSERT_EQ(holder.Attach(0x400641ull | 1ull << 36), 1);
    EXPECT_NEAR(holder.RadiusOfElevation(90), 0.0003, 1e-4);
    EXPECT_NEAR(holder.RadiusOfElevation(-2.5f), 0.9999, 1e-4);
    float outer = 0, inner = 0;
    ASSERT_EQ(holder.GetRadiusRange(&outer, &inner), 1);
    EXPECT_NEAR(outer, 0.9999, 1e-4);
    EXPECT_NEAR(inner, 0.0003, 1e-4);
    EXPECT_NEAR(holder.model()->ElevationOfRadius(1.0f) * kDeg, -2.5, 0.01);
    // Tangent 1 is 45 degrees.
    EXPECT_FLOAT_EQ(holder.RadiusOfTan(1.0f), holder.RadiusOfElevation(45.0f));

    // The elevation range is stored but leaves the radius range as it was.
    EXPECT_EQ(holder.SetElevationRange(70, 70), 0);
    EXPECT_EQ(holder.SetElevationRange(-20, 70), 1);
    ASSERT_EQ(holder.GetRadiusRange(&outer, &inner), 1);
    EXPECT_NEAR(outer, 0.9999, 1e-4);

    // Eight coefficients can be stored and read back.
    const float eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    QN_COORDINATE_EX01 object;
    EXPECT_EQ(object.SetRadiusCoefs(8, eight), 1);
    int count = 0;
    float back[8] = {};
    EXPECT_EQ(object.GetRadiusCoefs(&count, back), 1);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(back[7], 8.0f);
    EXPECT_EQ(object.SetRadiusCoefs(9, eight), 0);
}

// The polynomial is evaluated in single precision, power by power.
TEST(CoordinateModel, FloatEvaluation)
{
    QN_COORDINATE_EX01 object;
    const float coefs[4] = {9.47303f, -1.05217f, -9e-05f, 1e-05f};
    object.SetRadiusCoefs(4, coefs);
    object.SetLensType(0, 0);
    for (float degrees : {-20.0f, 0.0f, 33.3f, 70.0f}) {
        const float d = 0.1f * degrees;
        float sum = coefs[0], power = d;
        for (int k = 1; k < 4; ++k) {
            sum = sum + coefs[k] * power;
            power = power * d;
        }
        EXPECT_EQ(object.RadiusOfElevation(degrees), 0.1f * sum);
    }
    object.SetLensType(2, 0);
    EXPECT_EQ(object.RadiusOfElevation(10), kNoLens);
    EXPECT_EQ(object.ElevationOfRadius(0.5f), 0.0f);
}

TEST(CoordinateModel, MatrixProductClamped)
{
    const double left[6] = {1, 2, 3, 4, 5, 6};           // 2 x 3
    const double right[6] = {1, 0, 0, 1, 1e-9, -1e-9};   // 3 x 2
    double out[4] = {-1, -1, -1, -1};
    matrix_product_clamped(left, right, out, 2, 3, 2);
    EXPECT_DOUBLE_EQ(out[0], 1 + 3e-9);
    EXPECT_DOUBLE_EQ(out[1], 2 - 3e-9);
    const double tiny[1] = {1e-8};
    const double one[1] = {1};
    matrix_product_clamped(tiny, one, out, 1, 1, 1);
    EXPECT_EQ(out[0], 0.0);
    out[0] = 5;
    matrix_product_clamped(tiny, one, out, 0, 1, 1);
    EXPECT_EQ(out[0], 5.0);
}

TEST(Geometry, MountMatrixIsARotation)
{
    for (int m = -90; m <= 90; ++m) {
        float M[9];
        mount_matrix(m, M);
        double a[9], inverse[9];
        for (int i = 0; i < 9; ++i) a[i] = M[i];
        ASSERT_TRUE(gauss_jordan_solve(a, nullptr, inverse, 3, 3));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(inverse[r * 3 + c], M[c * 3 + r], 1e-6) << m;
    }
    float M[9];
    mount_matrix(90, M);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(M[i], identity[i], 1e-7);
}

TEST(Geometry, SolverEdgeCases)
{
    const double singular[9] = {1, 2, 3, 2, 4, 6, 0, 0, 0};
    double x[9];
    ASSERT_TRUE(gauss_jordan_solve(singular, nullptr, x, 3, 3));
    for (double v : x) EXPECT_EQ(v, 0.0);
    const double two[4] = {0, 2, 1, 0};
    ASSERT_TRUE(gauss_jordan_solve(two, nullptr, x, 2, 2));
    EXPECT_DOUBLE_EQ(x[0], 0);
    EXPECT_DOUBLE_EQ(x[1], 1);
    EXPECT_DOUBLE_EQ(x[2], 0.5);
    EXPECT_DOUBLE_EQ(x[3], 0);
    double big[17 * 17] = {};
    EXPECT_FALSE(gauss_jordan_solve(big, nullptr, big, 17, 17));
}

TEST(Geometry, Angles)
{
    EXPECT_FLOAT_EQ(angle_of(1, 0), 0);
    EXPECT_FLOAT_EQ(angle_of(0, 1), 90);
    EXPECT_FLOAT_EQ(angle_of(0, -1), 270);
    EXPECT_NEAR(angle_of(-1, 0), 180, 1e-4);
    EXPECT_NEAR(angle_of(1, -1), 315, 1e-4);
    const Angles up = direction_to_angles(0, 0, 1);
    EXPECT_FLOAT_EQ(up.elevation, 90);
    const Angles side = direction_to_angles(1, 1, 0);
    EXPECT_NEAR(side.azimuth, 45, 1e-4);
    EXPECT_NEAR(side.elevation, 0, 1e-6);
}

}  // namespace

#include "dewarp_test_support.h"

namespace {

// FFmpeg's v360 filter draws two rings of an equirectangular picture, at
// elevations 0 and 45 degrees, into a 185-degree equidistant fisheye; their
// radii must be those of the custom lens.
TEST(LensModel, CustomLensAgreesWithFfmpegV360)
{
    const std::string bytes = dewarp_test::run_capture(
        "ffmpeg -v error -f lavfi -i 'color=c=black:s=2048x1024,"
        "drawbox=x=0:y=511:w=2048:h=2:c=white:t=fill,drawbox=x=0:y=255:w=2048:h=2:c=white:t=fill' "
        "-vf v360=input=e:output=fisheye:h_fov=185:v_fov=185:pitch=90:w=1024:h=1024 "
        "-frames:v 1 -pix_fmt gray -f rawvideo - 2>/dev/null");
    ASSERT_EQ(bytes.size(), 1024u * 1024u) << "ffmpeg with the v360 filter is needed";
    struct Ring {
        double lo, hi, elevation;
    };
    for (const Ring ring : {Ring{0.4, 0.6, 45.0}, Ring{0.9, 1.0, 0.0}}) {
        double weighted = 0, total = 0;
        for (int y = 0; y < 1024; ++y) {
            for (int x = 0; x < 1024; ++x) {
                const double r = std::hypot(x - 511.5, y - 511.5) / 512;
                const int v = static_cast<uint8_t>(bytes[size_t(y) * 1024 + x]);
                if (r > ring.lo && r < ring.hi && v > 64) {
                    weighted += r * v;
                    total += v;
                }
            }
        }
        ASSERT_GT(total, 0);
        const double expected = lens_radius_of_angle(static_cast<float>(ring.elevation / kDeg), 32);
        EXPECT_NEAR(weighted / total, expected, 1e-3) << "elevation " << ring.elevation;
    }
}

}  // namespace

namespace {

// The solver against numpy.linalg.inv on random well-conditioned matrices.
TEST(Geometry, SolverAgreesWithNumpy)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> entry(-1, 1);
    std::string script = "import numpy as np\n";
    std::vector<std::vector<double>> matrices;
    for (int n = 3; n <= 16; ++n) {
        std::vector<double> a(n * n);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) a[r * n + c] = entry(random) + (r == c ? n : 0); // diagonally dominant
        matrices.push_back(a);
        script += "a = np.array([";
        for (double v : a) script += std::to_string(v) + ",";
        script += "]).reshape(" + std::to_string(n) + "," + std::to_string(n) + ")\n";
        script += "print(' '.join(repr(float(v)) for v in np.linalg.inv(a).ravel()))\n";
    }
    const std::string path = testing::TempDir() + "/solver_oracle.py";
    {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(script.c_str(), f);
        std::fclose(f);
    }
    const std::string out = dewarp_test::run_capture("/usr/bin/python3 " + path);
    std::istringstream lines(out);
    for (const auto& a : matrices) {
        const int n = static_cast<int>(std::lround(std::sqrt(a.size())));
        // Inputs as numpy saw them (printed with six decimals).
        std::vector<double> given(a.size());
        for (size_t i = 0; i < a.size(); ++i) given[i] = std::stod(std::to_string(a[i]));
        std::vector<double> ours(a.size());
        ASSERT_TRUE(gauss_jordan_solve(given.data(), nullptr, ours.data(), n, n));
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << "/usr/bin/python3 with numpy is needed";
        std::istringstream values(line);
        double error = 0, norm = 0;
        for (double v : ours) {
            double expected = 0;
            values >> expected;
            error = std::max(error, std::fabs(v - expected));
            norm = std::max(norm, std::fabs(expected));
        }
        EXPECT_LE(error / norm, 1e-9) << "n = " << n;
    }
}

}  // namespace
