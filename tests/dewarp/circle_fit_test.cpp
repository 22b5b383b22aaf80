// Circle finding against numpy's least squares, and panorama proportions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

#include "dewarp_test_support.h"

using namespace dewarp_test;

namespace {

TEST(CircleFit, KnownCasesAndDegenerateInput)
{
    const int32_t frame[2] = {400, 400};
    float centre[2] = {-1, -1}, radius = -1;
    const QN_PRO_POINT four[4] = {{100, 0, 200, 200}, {0, 100, 200, 200}, {-100, 0, 200, 200}, {0, -100, 200, 200}};
    qn_pro_FindCincle_InScene(four, 4, frame, centre, &radius);
    EXPECT_NEAR(centre[0], 0, 1e-4);
    EXPECT_NEAR(centre[1], 0, 1e-4);
    EXPECT_NEAR(radius, 200, 1e-4);

    // Points past the 64th are not read.
    std::vector<QN_PRO_POINT> many;
    for (int i = 0; i < 64; ++i)
        many.push_back({float(50 + 30 * std::cos(i * 0.1)), float(60 + 30 * std::sin(i * 0.1)), 400, 400});
    for (int i = 0; i < 6; ++i) many.push_back({1000, 1000, 400, 400});
    qn_pro_FindCincle_InScene(many.data(), 70, frame, centre, &radius);
    EXPECT_NEAR(centre[0], 50, 1e-3);
    EXPECT_NEAR(radius, 30, 1e-3);

    struct Case {
        const char* what;
        std::vector<QN_PRO_POINT> points;
    };
    const Case degenerate[] = {
        {"two points", {{1, 2, 10, 10}, {3, 4, 10, 10}}},
        {"collinear", {{0, 0, 10, 10}, {1, 1, 10, 10}, {2, 2, 10, 10}, {3, 3, 10, 10}}},
        {"no reference size", {{0, 5, 0, 0}, {5, 0, 0, 0}, {0, -5, 0, 0}}},
    };
    for (const Case& c : degenerate) {
        centre[0] = centre[1] = radius = -1;
        qn_pro_FindCincle_InScene(c.points.data(), static_cast<int>(c.points.size()), frame, centre, &radius);
        EXPECT_EQ(centre[0], 0) << c.what;
        EXPECT_EQ(centre[1], 0) << c.what;
        EXPECT_EQ(radius, 0) << c.what;
    }
    qn_pro_FindCincle_InScene(four, 4, nullptr, centre, &radius);
    EXPECT_EQ(radius, 0);
    qn_pro_FindCincle_InScene(four, 4, frame, nullptr, nullptr);
}

// The same algebraic fit by numpy.linalg.lstsq on noisy rims.
TEST(CircleFit, AgreesWithNumpyLstsq)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1), noise(-0.5, 0.5);
    std::string script = "import numpy as np\n";
    std::vector<std::vector<QN_PRO_POINT>> sets;
    for (int k = 0; k < 200; ++k) {
        const double cx = 200 + 1800 * unit(random), cy = 200 + 1400 * unit(random), r = 100 + 900 * unit(random);
        const int n = 3 + static_cast<int>(unit(random) * 62);
        std::vector<QN_PRO_POINT> points;
        std::ostringstream xs, ys;
        xs.precision(9);
        ys.precision(9);
        for (int i = 0; i < n; ++i) {
            const double a = 2 * M_PI * unit(random);
            const float x = static_cast<float>(cx + r * std::cos(a) + noise(random));
            const float y = static_cast<float>(cy + r * std::sin(a) + noise(random));
            points.push_back({x, y, 2048, 2048});
            xs << double(x) << ",";
            ys << double(y) << ",";
        }
        sets.push_back(points);
        script += "x = np.array([" + xs.str() + "]); y = np.array([" + ys.str() + "])\n";
        script += "d, e, f = np.linalg.lstsq(np.c_[x, y, np.ones_like(x)], -(x*x + y*y), rcond=None)[0]\n";
        script += "print(-d / 2, -e / 2, np.sqrt(d*d + e*e - 4*f) / 2)\n";
    }
    const std::string path = testing::TempDir() + "/circle_oracle.py";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(script.c_str(), f);
    std::fclose(f);
    std::istringstream lines(run_capture("/usr/bin/python3 " + path));
    const int32_t frame[2] = {2048, 2048};
    for (const auto& points : sets) {
        double ex, ey, er;
        ASSERT_TRUE(lines >> ex >> ey >> er) << "/usr/bin/python3 with numpy is needed";
        float centre[2], radius;
        qn_pro_FindCincle_InScene(points.data(), static_cast<int>(points.size()), frame, centre, &radius);
        EXPECT_NEAR(centre[0], ex, 0.05);
        EXPECT_NEAR(centre[1], ey, 0.05);
        EXPECT_NEAR(radius, er, 0.05);
    }
}

TEST(ArcRate, PanoramaProportions)
{
    QN_PRO_ENGINE* engine = nullptr;
    QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, 640, 360, 360, 90);
    ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    int32_t size[2] = {1280, 0};
    ASSERT_EQ(qn_pro_Arc_GetRate(engine, size, 360, 0, 60), 0);
    EXPECT_EQ(size[1], 213);
    int32_t tall[2] = {0, 213};
    ASSERT_EQ(qn_pro_Arc_GetRate(engine, tall, 360, 0, 60), 0);
    EXPECT_EQ(tall[0], 1278);
    int32_t neither[2] = {0, 0};
    ASSERT_EQ(qn_pro_Arc_GetRate(engine, neither, 180, 5, 5), 0) << "an empty range shows all the lens sees";
    EXPECT_EQ(neither[0], 31416);
    EXPECT_EQ(neither[1], 10472);
    EXPECT_EQ(qn_pro_Arc_GetRate(engine, size, 360, 0, 60), 2) << "both sizes given";
    EXPECT_EQ(qn_pro_Arc_GetRate(engine, tall, 0, 0, 60), 2);
    EXPECT_EQ(qn_pro_Arc_GetRate(nullptr, tall, 360, 0, 60), 2);
    qn_pro_DestroyEngine(engine);
}

}  // namespace
