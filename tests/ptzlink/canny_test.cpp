#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "canny.h"
#include "test_support.h"

namespace {

using namespace qnpl;

// A record prepared for a width x height picture of the given direction.
void prepare(CannyRecord& rec, int width, int height, int direct)
{
    rec.width = width;
    rec.height = height;
    rec.stride = width;
    rec.canny_direct = direct;
    rec.flags |= canny_flag::kSizeChanged | canny_flag::kPrepareRequested;
    ASSERT_EQ(CannyPrepare(rec), 1);
}

uint8_t& blurred_at(CannyRecord& rec, int x, int y) { return rec.blurred[y * rec.stride + x]; }

TEST(Canny, ReciprocalTableIsQ14)
{
    const auto& r = canny_reciprocals();
    EXPECT_EQ(r[0], 16384);
    EXPECT_EQ(r[1], 16384);
    EXPECT_EQ(r[2], 8192);
    EXPECT_EQ(r[3], 5461);
    EXPECT_EQ(r[127], 129);
    EXPECT_EQ(r[128], 128);
}

TEST(Canny, SettingsAreAppliedRefusedOrIgnored)
{
    CannyRecord rec;
    EXPECT_EQ(CannySetParam(rec, "canny_direct", 3), 1);
    EXPECT_EQ(CannySetParam(rec, "canny_direct", 7), 1);
    EXPECT_EQ(rec.canny_direct, 3) << "an unknown direction keeps the old one";
    EXPECT_EQ(CannySetParam(rec, "threshold_low", 0x12345), 1);
    EXPECT_EQ(rec.threshold_low, 0x2345);
    EXPECT_EQ(CannySetParam(rec, "rate_high_100", 85), 1);
    EXPECT_FLOAT_EQ(rec.rate_high, 0.85f);
    EXPECT_EQ(CannySetParam(rec, "auto_threshold", 1), 1);
    EXPECT_TRUE(rec.flags & canny_flag::kAutoThreshold);
    EXPECT_EQ(CannySetParam(rec, "Canny_direct", 1), 0);
    EXPECT_EQ(CannySetParam(rec, nullptr, 1), 0);
    rec.flags |= canny_flag::kBusy;
    EXPECT_EQ(CannySetParam(rec, "canny_direct", 1), 0) << "refused during a detection";
    EXPECT_EQ(rec.canny_direct, 3);
}

TEST(Canny, PrepareSizesChainsAndRefusesUnusableSizes)
{
    CannyRecord rec;
    EXPECT_EQ(CannyPrepare(rec), 0) << "not requested";
    prepare(rec, 320, 16, 1);
    EXPECT_EQ(rec.min_chain(), 10);
    EXPECT_EQ(rec.chain_capacity, 2560);
    EXPECT_NE(rec.x_map.pixels, nullptr);
    EXPECT_NE(rec.y_map.pixels, nullptr);

    CannyRecord narrow;
    prepare(narrow, 200, 16, 3);
    EXPECT_EQ(narrow.min_chain(), 8);
    EXPECT_EQ(narrow.y_map.pixels, nullptr) << "direction 3 has the X map only";

    for (const auto& size : {std::array<int, 3>{2, 16, 2}, {16, 0, 16}, {16, 16, 8}, {-5, 16, 16}, {40000, 4, 40000}}) {
        CannyRecord bad;
        bad.width = size[0];
        bad.height = size[1];
        bad.stride = size[2];
        bad.flags |= canny_flag::kSizeChanged | canny_flag::kPrepareRequested;
        EXPECT_EQ(CannyPrepare(bad), 0) << size[0] << " x " << size[1];
    }
}

TEST(Canny, GradientDropsWeakMagnitudesAndClampsSteps)
{
    CannyRecord rec;
    prepare(rec, 8, 5, 0);
    // Left columns at `base + step`, right columns at `base`: gx = step.
    auto column_step = [&](int step) {
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x) blurred_at(rec, x, y) = uint8_t(x < 4 ? step : 0);
        CannyGradient(rec);
    };
    column_step(7);
    EXPECT_EQ(rec.magnitude[2 * 8 + 3], 0) << "magnitude 7 is dropped";
    EXPECT_EQ(rec.gradient_x[2 * 8 + 3], 0);
    column_step(8);
    EXPECT_EQ(rec.magnitude[2 * 8 + 3], 8);
    EXPECT_EQ(rec.gradient_x[2 * 8 + 3], 8);
    column_step(255);
    EXPECT_EQ(rec.gradient_x[2 * 8 + 3], 127) << "a full step is clamped";
    EXPECT_EQ(rec.magnitude[2 * 8 + 3], 127);
}

TEST(Canny, FlatPicturesGiveEmptyMaps)
{
    // The blur copies its border into every corner, so nothing of the frame
    // looks like an edge.
    for (int direct = 0; direct <= 4; ++direct) {
        CannyRecord rec;
        CannySetParam(rec, "canny_direct", direct);
        CannySetParam(rec, "auto_threshold", 1);
        std::vector<uint8_t> flat(64 * 48, 90);
        ASSERT_EQ(CannyDetect(rec, flat.data(), 64, 64, 48), 1);
        for (int i = 0; i < 64 * 48; ++i) {
            ASSERT_EQ(rec.magnitude[i], 0);
            if (rec.x_map.pixels) {
                ASSERT_EQ(rec.x_map.pixels[i], 0);
            }
            if (rec.y_map.pixels) {
                ASSERT_EQ(rec.y_map.pixels[i], 0);
            }
        }
    }
}

TEST(Canny, AutomaticThresholdsWithoutCandidates)
{
    CannyRecord rec;
    prepare(rec, 16, 16, 0);
    rec.rate_low = 0.6f;
    const CannyThresholds t = CannyAutoThreshold(rec, rec.x_map);
    EXPECT_EQ(t.high, 1);
    EXPECT_EQ(t.low, 1) << "0.6 rounded";
}

TEST(Canny, ShortChainsDisappearAndLongOnesStay)
{
    CannyRecord rec;
    prepare(rec, 64, 16, 0);
    ASSERT_EQ(rec.min_chain(), 8);
    rec.threshold_high = 50;
    rec.threshold_low = 20;
    // Two horizontal candidate chains of strong magnitude: 5 and 12 points.
    auto candidate = [&](int x, int y) {
        rec.x_map.pixels[y * 64 + x] = kCannyCandidate;
        rec.magnitude[y * 64 + x] = 100;
    };
    for (int x = 5; x < 10; ++x) candidate(x, 4);
    for (int x = 5; x < 17; ++x) candidate(x, 10);
    rec.x_map.pixels[4 * 64 + 30] = kCannyCandidate;  // a candidate too weak to start or join
    rec.magnitude[4 * 64 + 30] = 10;
    CannyHysteresis(rec);
    for (int x = 5; x < 10; ++x) EXPECT_EQ(rec.x_map.pixels[4 * 64 + x], 0) << x;
    for (int x = 5; x < 17; ++x) EXPECT_EQ(rec.x_map.pixels[10 * 64 + x], kCannyEdge) << x;
    EXPECT_EQ(rec.x_map.pixels[4 * 64 + 30], 0);
}

TEST(Canny, DirectionOneMergesTheYMapIntoTheXMap)
{
    CannyRecord rec;
    CannySetParam(rec, "canny_direct", 1);
    CannySetParam(rec, "threshold_low", 4);
    CannySetParam(rec, "threshold_high", 12);
    std::vector<uint8_t> picture(96 * 64, 20);
    for (int y = 16; y < 48; ++y)
        for (int x = 24; x < 72; ++x) picture[y * 96 + x] = 200;  // a bright box: both kinds of edge
    ASSERT_EQ(CannyDetect(rec, picture.data(), 96, 96, 64), 1);
    int x_edges = 0, y_only = 0;
    for (int i = 0; i < 96 * 64; ++i) {
        x_edges += rec.x_map.pixels[i] == kCannyEdge;
        y_only += rec.y_map.pixels[i] == kCannyEdge && rec.x_map.pixels[i] != kCannyEdge;
    }
    EXPECT_GT(x_edges, 2 * (32 + 48));
    EXPECT_EQ(y_only, 0);
}

TEST(Canny, DetectOnTopBytesOfThirtyTwoBitPixels)
{
    CannyRecord plain, packed;
    CannySetParam(packed, "canny_direct", 0);
    std::vector<uint8_t> gray(48 * 32), bgrx(48 * 32 * 4, 0x11);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) gray[y * 48 + x] = bgrx[(y * 48 + x) * 4 + 3] = uint8_t(x < 20 ? 30 : 220);
    plain.threshold_high = packed.threshold_high = 20;
    plain.threshold_low = packed.threshold_low = 10;
    packed.source_mode = kCannySource32;
    ASSERT_EQ(CannyDetect(plain, gray.data(), 48, 48, 32), 1);
    ASSERT_EQ(CannyDetect(packed, bgrx.data(), 48 * 4, 48, 32), 1);
    EXPECT_EQ(std::vector<uint8_t>(plain.x_map.pixels, plain.x_map.pixels + 48 * 32),
              std::vector<uint8_t>(packed.x_map.pixels, packed.x_map.pixels + 48 * 32));
    // A picture of another size lays the planes out anew; a failed one leaves
    // no map of the earlier picture behind.
    EXPECT_EQ(CannyDetect(plain, gray.data(), 48, 2, 32), 0);
    EXPECT_EQ(plain.x_map.pixels, nullptr);
}

// Edge pixels of `a` with an edge of `b` within one pixel, as a fraction.
double near_fraction(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int h)
{
    int total = 0, near = 0;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            if (!a[y * w + x]) continue;
            ++total;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) found = b[(y + dy) * w + x + dx] != 0;
            near += found;
        }
    return total ? double(near) / total : 0.0;
}

TEST(Canny, EdgeMapAgreesWithOpenCv)
{
    const int w = 320, h = 240;
    std::vector<uint8_t> picture(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t v = uint8_t(30 + x / 16);  // gentle shading, no edges
            if ((x - 160) * (x - 160) + (y - 120) * (y - 120) <= 60 * 60) v = 220;
            if (x >= 20 && x <= 80 && y >= 20 && y <= 200) v = 140;
            picture[y * w + x] = v;
        }
    CannyRecord rec;
    CannySetParam(rec, "auto_threshold", 1);
    CannySetParam(rec, "rate_low_100", 60);
    CannySetParam(rec, "rate_high_100", 85);
    CannySetParam(rec, "canny_direct", 0);
    rec.source = picture.data();
    rec.source_stride = w;
    prepare(rec, w, h, 0);
    CannyBlur(rec);
    CannyGradient(rec);
    CannySuppress(rec);
    const CannyThresholds t = CannyAutoThreshold(rec, rec.x_map);
    CannyHysteresis(rec);
    std::vector<uint8_t> ours(rec.x_map.pixels, rec.x_map.pixels + w * h);

    ptzlink_test::TempDir dir;
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("in.raw"), picture));
    std::ostringstream args;
    args << dir.file("in.raw") << ' ' << w << ' ' << h << ' ' << t.low << ' ' << t.high << ' ' << dir.file("cv.raw");
    std::string error;
    ptzlink_test::run_python("canny_reference.py", args.str(), &error);
    ASSERT_TRUE(error.empty()) << error;
    const auto theirs = ptzlink_test::read_raw<uint8_t>(dir.file("cv.raw"));
    ASSERT_EQ(theirs.size(), ours.size());

    const double ours_near = near_fraction(ours, theirs, w, h);
    const double theirs_near = near_fraction(theirs, ours, w, h);
    RecordProperty("thresholds", std::to_string(t.low) + "/" + std::to_string(t.high));
    RecordProperty("ours_near_opencv", std::to_string(ours_near));
    RecordProperty("opencv_near_ours", std::to_string(theirs_near));
    std::printf("thresholds %d/%d; our edges near OpenCV's: %.3f; OpenCV's near ours: %.3f\n", t.low, t.high,
                ours_near, theirs_near);
    EXPECT_GE(ours_near, 0.90);
    EXPECT_GE(theirs_near, 0.90);
}

}  // namespace
