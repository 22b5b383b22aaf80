#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "stream_fixture.h"
#include "streams/tf_play_plan.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;

VQ_TF_DAY_MAP MapOf(std::initializer_list<int> minutes)
{
    VQ_TF_DAY_MAP map{};
    for (int minute : minutes) {
        for (int slot = 0; slot < 6; ++slot) map.slots[minute * 6 + slot] = kTfSlotRecorded;
    }
    return map;
}

TEST(TfPlayPlan, StartsAtTheNearestRecordedMinuteTiesGoingForward)
{
    const VQ_TF_DAY_MAP map = MapOf({600, 610, 1439});
    const struct {
        int asked, start;
    } cases[] = {{600, 600}, {605, 610}, {604, 600}, {606, 610}, {620, 610}, {0, 600}, {1439, 1439}, {1200, 1439}};
    for (const auto& c : cases) EXPECT_EQ(NearestTfStartMinute(map, c.asked), c.start) << c.asked;
    EXPECT_EQ(NearestTfStartMinute(VQ_TF_DAY_MAP{}, 600), -1);

    // 10:00 to 10:05 holds the five minutes 10:00 to 10:04.
    const VQ_TF_DAY_MAP hour = MapOf({600, 601, 602, 603, 604, 605});
    EXPECT_EQ(CountTfMinuteFiles(hour, 600, 605), 5);
    EXPECT_EQ(CountTfMinuteFiles(hour, 590, 2000), 6);

    TfSpan backwards = RepairTfSpan({2024, 5, 1, 10, 0, 7, 9, 0, 8});
    EXPECT_EQ(backwards.startHour * 60 + backwards.startMinute, 0);
    EXPECT_EQ(backwards.endHour * 60 + backwards.endMinute, 23 * 60 + 59);
    EXPECT_EQ(backwards.startSecond, 7);
    TfSpan fine = RepairTfSpan({2024, 5, 1, 10, 0, 0, 10, 5, 0});
    EXPECT_EQ(fine.endMinute, 5);
}

TEST(TfPlayPlan, ConversionNamesStayInTheFolderAndNeverRepeat)
{
    std::set<std::string> taken;
    auto exists = [&](const std::string& name) { return taken.count(name) != 0; };
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        names.push_back(TfConvertFileName("/out", "../../x y", "20240501_100000", exists));
        taken.insert(names.back());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"/out/______x_y_20240501_100000.mp4", "/out/______x_y_20240501_100000_1.mp4",
                                               "/out/______x_y_20240501_100000_2.mp4"}));
}

TEST(TfPlayPlan, FrameScanReadsTimeAndPanoramaOfThePrivateSei)
{
    testing_support::TempFolder temp;
    const std::string sei = temp.Path() + "/q3.bin";
    // 2024-05-01 10:01:02 as a packed date.
    const uint32_t packed = 2u | 1u << 6 | 10u << 12 | 1u << 17 | 5u << 22 | 24u << 26;
    ASSERT_EQ(streams_test::RunFixture("sei 3 " + sei + " time=1 time_value=" + std::to_string(packed) +
                                       " rate1=30 rate2=0 width=1920")
                  .exitCode,
              0);
    std::vector<uint8_t> payload = streams_test::ReadFile(sei);
    const std::size_t sliceAt = payload.size();
    const uint8_t slice[] = {0, 0, 0, 1, 0x65, 0x88, 0x84};
    payload.insert(payload.end(), slice, slice + sizeof slice);
    payload.resize(payload.size() + 300, 0x55);

    VQ_PANO_PARAM pano{};
    TfFrameScan scan = ScanTfFrame(payload.data(), payload.size(), &pano);
    ASSERT_TRUE(scan.haveTime);
    EXPECT_EQ(scan.time.year, 2024);
    EXPECT_EQ(scan.time.month, 5);
    EXPECT_EQ(scan.time.minute, 1);
    EXPECT_EQ(scan.time.second, 2);
    EXPECT_TRUE(scan.slice);
    EXPECT_EQ(scan.frameStart, sliceAt);
    EXPECT_EQ(scan.frameRate, 30);
    EXPECT_EQ(pano.valid, 1);
    EXPECT_EQ(pano.panorama, 1);
    EXPECT_EQ(pano.sourceWidth, 1920);
    EXPECT_EQ(pano.frameRate, 30);
    EXPECT_NE(pano.type[0], 0);
    // The first panorama record is kept.
    pano.centerX = -1;
    ScanTfFrame(payload.data(), payload.size(), &pano);
    EXPECT_EQ(pano.centerX, -1);
    // Payloads too short for the window are read as having none.
    EXPECT_FALSE(ScanTfFrame(payload.data(), 10, &pano).slice);
}

TEST(TfPlayPlan, PacingFallsBackTo25FramesPerSecond)
{
    EXPECT_EQ(TfFrameIntervalMs(0), 40);
    EXPECT_EQ(TfFrameIntervalMs(-3), 40);
    EXPECT_EQ(TfFrameIntervalMs(20), 50);
    EXPECT_EQ(TfLagMs(50, 25, 0), 1000);
    EXPECT_EQ(TfLagMs(25, 50, 25), 0);
    EXPECT_FLOAT_EQ(TfPaceFactor(0), 1.0f);
    EXPECT_FLOAT_EQ(TfPaceFactor(300), 1.5f);
    EXPECT_FLOAT_EQ(TfPaceFactor(2999), 2.0f);
    EXPECT_FLOAT_EQ(TfPaceFactor(3001), 20.0f);
    EXPECT_EQ(TfAudioDurationMs(160, 1.0f), 20);
    EXPECT_EQ(TfAudioDurationMs(160, 0), 20);
}

} // namespace
