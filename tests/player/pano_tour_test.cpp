// The preset tour of one view, stepped by hand: dwell, the short way round,
// and the way home after the last preset.
#include <gtest/gtest.h>

#include "pano_tour.h"

namespace {

QnViewPresets TwoPresets()
{
    QnViewPresets p{};
    p.home.dptz.pan = 350;
    p.home.dptz.tilt = 40;
    p.home.dptz.zoom = 1;
    p.count = 2;
    p.positions[0].dptz.pan = 35; // 45 degrees away through 0
    p.positions[0].dptz.tilt = 40;
    p.positions[0].dptz.zoom = 2;
    p.dwell_seconds[0] = 5;
    p.speed[0] = 10; // 0.09 degrees and 0.01 zoom per ms
    p.positions[1].dptz.pan = 80;
    p.positions[1].dptz.tilt = 31;
    p.positions[1].dptz.zoom = 2;
    p.dwell_seconds[1] = 1;
    p.speed[1] = 100;
    return p;
}

TEST(PanoTour, DwellsMovesOnAndReturnsHome)
{
    QnTourState tour;
    QnTourLoad(tour, TwoPresets(), 0);
    EXPECT_FALSE(QnTourStep(tour, QN_PRO_DST_DPTZ, 10)) << "off until switched on";
    QnTourSwitch(tour, true, 1000);

    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 1250));
    EXPECT_NEAR(tour.position.dptz.pan, 12.5f, 1e-3) << "350 + 22.5, the short way round";
    EXPECT_NEAR(tour.position.dptz.zoom, 2.0f, 1e-4) << "zoom arrived first and stays";
    EXPECT_EQ(tour.current, -1);

    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 1500));
    EXPECT_FLOAT_EQ(tour.position.dptz.pan, 35.0f);
    EXPECT_EQ(tour.current, 0);
    EXPECT_TRUE(tour.dwelling);

    EXPECT_FALSE(QnTourStep(tour, QN_PRO_DST_DPTZ, 6499)) << "still dwelling";
    EXPECT_FALSE(QnTourStep(tour, QN_PRO_DST_DPTZ, 6500)) << "dwell ends, the move starts";
    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 6510));
    EXPECT_NEAR(tour.position.dptz.pan, 44.0f, 1e-3);
    EXPECT_NEAR(tour.position.dptz.tilt, 31.0f, 1e-3);
    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 6600));
    EXPECT_EQ(tour.current, 1);
    EXPECT_FLOAT_EQ(tour.position.dptz.pan, 80.0f);

    // After the last preset: home, and then the tour starts over.
    EXPECT_FALSE(QnTourStep(tour, QN_PRO_DST_DPTZ, 7600));
    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 9000));
    EXPECT_EQ(tour.current, -1);
    EXPECT_FLOAT_EQ(tour.position.dptz.pan, 350.0f);
    EXPECT_FLOAT_EQ(tour.position.dptz.zoom, 1.0f);
    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 9100));
    EXPECT_NEAR(tour.position.dptz.pan, 359.0f, 1e-3);

    // A clock that went back restarts the move instead of jumping.
    QnTourState back;
    QnTourLoad(back, TwoPresets(), 0);
    QnTourSwitch(back, true, 5000);
    ASSERT_TRUE(QnTourStep(back, QN_PRO_DST_DPTZ, 4000));
    EXPECT_FLOAT_EQ(back.position.dptz.pan, 350.0f);
}

TEST(PanoTour, SinglePresetHoldsOnceReached)
{
    QnViewPresets one = TwoPresets();
    one.count = 1;
    one.dwell_seconds[0] = 0;
    QnTourState tour;
    QnTourLoad(tour, one, 0);
    QnTourSwitch(tour, true, 0);
    ASSERT_TRUE(QnTourStep(tour, QN_PRO_DST_DPTZ, 10000));
    EXPECT_EQ(tour.current, 0);
    EXPECT_FALSE(QnTourStep(tour, QN_PRO_DST_DPTZ, 20000));
    EXPECT_FALSE(QnTourStep(tour, QN_PRO_DST_DPTZ, 30000));
    EXPECT_FLOAT_EQ(tour.position.dptz.pan, 35.0f);
}

}  // namespace
