// The PTZ-union commands of the hub driving the real linkage library.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ptzlink/qn_ptzlink.h"
#include "support/ptz_shots.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

// A PTZ camera of type layout 4: 60 degrees across a 704 x 576 picture.
constexpr uint64_t kPtzType = 4u | (11ull << 13) | (9ull << 18) | (88ull << 23) | (60ull << 34);

struct Texts {
    std::vector<std::string> seen;
    static void On(int32_t, int32_t, const char* text, void* user, int32_t)
    {
        static_cast<Texts*>(user)->seen.emplace_back(text);
    }
};

VLR_PTZ_UNION_START StartRecord(int correctionLength)
{
    VLR_PTZ_UNION_START start{};
    start.correctionLength = correctionLength;
    start.panoType = kPtzType;
    start.rows = 2;
    return start;
}

TEST(HubPtzUnion, ARefusedLensRecordStillLaunchesAndStopEndsBothWorkers)
{
    const int threadsBefore = testing_support::SettledThreadCount();
    Texts texts;
    {
        VLR_SYSTEM hub;
        hub.SetMsgCallBack(&Texts::On, &texts, 0);
        // 95 bytes: one short of a lens record, refused with "LENG".
        const VLR_PTZ_UNION_START start = StartRecord(95);
        ASSERT_EQ(hub.SendCtrl("start_ptz_union", &start, nullptr), 1);
        __tag_point3D point{};
        EXPECT_EQ(hub.SendCtrl("get_next_ptz", nullptr, &point), 1);
        EXPECT_EQ(hub.SendCtrl("stop_ptz_union", nullptr, nullptr), 1);
        EXPECT_TRUE(texts.seen.empty()) << texts.seen.front();

        // A second run after the stop.
        ASSERT_EQ(hub.SendCtrl("start_ptz_union", &start, nullptr), 1);
        EXPECT_EQ(hub.SendCtrl("stop_ptz_union", nullptr, nullptr), 1);
    }
    EXPECT_EQ(testing_support::ThreadCount(), threadsBefore);
}

TEST(HubPtzUnion, BadCommandsAreReportedWithTheirTexts)
{
    Texts texts;
    VLR_SYSTEM hub;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    __tag_point3D point{};
    EXPECT_EQ(hub.SendCtrl(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(hub.SendCtrl("spin", nullptr, nullptr), 0);
    EXPECT_EQ(hub.SendCtrl("start_ptz_union", nullptr, nullptr), 0);
    EXPECT_EQ(hub.SendCtrl("get_next_ptz", nullptr, &point), 0);  // nothing running
    EXPECT_EQ(texts.seen, (std::vector<std::string>{"Input parameter error", "Non-support command",
                                                    "Input parameter error", "Command operate error"}));
}

} // namespace

namespace {

// The synthetic scene's PTZ camera: layout 3, 60 degrees across 640 x 360.
constexpr uint64_t kSceneType = 3 | uint64_t(1) << 4 | uint64_t(600) << 44 | uint64_t(80) << 33 | uint64_t(9) << 28 |
                                uint64_t(16) << 23;

_qnpl_ptz_jpg_tail_ HeadFor(int pan, int tilt)
{
    _qnpl_ptz_jpg_tail_ head{};
    head.word0 = (uint64_t(pan * 10) & 0xfff) << 18 | (uint64_t(tilt * 10 + 1800) & 0xfff) << 30;
    head.word1 = kSceneType;
    return head;
}

TEST(HubPtzUnion, AWholeRunThroughTheHubGivesTheUnionImageOfTheScene)
{
    testing_support::TempFolder folder;
    const std::string dir = folder.Path() + "/";
    ASSERT_EQ(ptzlink_test::run_scene("pano " + dir + "pano.raw"), "");

    Texts texts;
    VLR_SYSTEM hub;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    VLR_SYSTEM::UnionImage image;
    EXPECT_EQ(hub.GetUnionImage(&image), 0) << "no run yet";
    VLR_PTZ_UNION_START start{};
    start.panoType = kSceneType;
    start.rows = 2;
    ASSERT_EQ(hub.SendCtrl("start_ptz_union", &start, nullptr), 1);

    std::vector<__tag_point3D> cells;
    __tag_point3D point{};
    int next = 0;
    while ((next = hub.SendCtrl("get_next_ptz", nullptr, &point)) == 1) {
        if (point.z == 1) cells.push_back(point);
    }
    EXPECT_EQ(next, 2) << "every position handed out";
    ASSERT_EQ(cells.size(), 30u);
    std::vector<std::pair<double, double>> aims;
    for (const auto& cell : cells) aims.emplace_back(cell.x, cell.y);
    ASSERT_EQ(ptzlink_test::shoot(dir, dir + "pano.raw", aims), "");

    // Whatever the library is not yet ready for is refused with its text and
    // offered again, as the facade would.
    const auto input = [&](std::vector<uint8_t>& bgr, const _qnpl_ptz_jpg_tail_& head, int32_t* pan, int32_t* tilt) {
        _vm_screen picture = ptzlink_test::shot_picture(bgr);
        int result = 0;
        testing_support::WaitUntil(
            [&] {
                result = hub.InputPtzImage(&picture, &head, pan, tilt);
                if (result != 0 || texts.seen.empty() || texts.seen.back() != "ready_for_input error") return true;
                texts.seen.pop_back();
                return false;
            },
            testing_support::kEventBoundMs, 2);
        return result;
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE("picture " + std::to_string(i));
        auto bgr = ptzlink_test::read_shot(dir, i);
        ASSERT_EQ(bgr.size(), std::size_t(ptzlink_test::kShotWidth) * ptzlink_test::kShotHeight * 3);
        const _qnpl_ptz_jpg_tail_ head = HeadFor(cells[i].x, cells[i].y);
        if (i > 0) {
            int32_t pan = -1;
            EXPECT_EQ(input(bgr, HeadFor(cells[i - 1].x, cells[i - 1].y), &pan, nullptr), 2) << "the same shot again";
            EXPECT_EQ(pan, -1);
        }
        int32_t pan = -1, tilt = -1;
        ASSERT_EQ(input(bgr, head, &pan, &tilt), 1);
        EXPECT_EQ(pan, cells[i].x * 10);
        EXPECT_EQ(tilt, cells[i].y * 10);
        EXPECT_EQ(hub.CheckPtzDuplicate(&head), 0) << "a position is no duplicate of itself";
    }
    ASSERT_TRUE(testing_support::WaitUntil([&] { return hub.GetUnionImage(&image) == 1; }, 120000))
        << "the union did not finish";
    EXPECT_EQ(image.width, 3600);
    EXPECT_EQ(image.height % 16, 0);
    EXPECT_EQ(image.pixels.size(), std::size_t(image.width) * image.height);
    EXPECT_GT(image.upperTilt, image.lowerTilt);
    const auto covered = std::count_if(image.pixels.begin(), image.pixels.end(),
                                       [](uint32_t pixel) { return (pixel & 0xFFFFFF) != 0; });
    EXPECT_GT(covered, static_cast<long>(image.pixels.size() * 7 / 10)) << "the union covers its frame";
    EXPECT_EQ(hub.SendCtrl("stop_ptz_union", nullptr, nullptr), 1);
    // The copy outlives the library's picture.
    EXPECT_EQ(image.pixels.size(), std::size_t(image.width) * image.height);
    EXPECT_TRUE(texts.seen.empty()) << texts.seen.front();
}

TEST(HubPtzUnion, PictureOperationsRefuseMissingArgumentsAndAHubWithoutPack)
{
    Texts texts;
    VLR_SYSTEM hub;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    const _qnpl_ptz_jpg_tail_ head = HeadFor(10, 0);
    _vm_screen picture{};
    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xD9};
    EXPECT_EQ(hub.InputPtzImage(nullptr, &head, nullptr, nullptr), 0);
    EXPECT_EQ(hub.InputPtzImage(&picture, &head, nullptr, nullptr), 0);  // no union running
    EXPECT_EQ(hub.CheckPtzDuplicate(nullptr), 0);
    EXPECT_EQ(hub.GetUnionImage(nullptr), 0);
    EXPECT_EQ(hub.InputJpeg(nullptr, 4), 0);
    EXPECT_EQ(hub.InputJpeg(jpeg, sizeof jpeg), 0);
    EXPECT_EQ(texts.seen, (std::vector<std::string>{"Input parameter error", "ready_for_input error",
                                                    "Input parameter error", "Input parameter error",
                                                    "Input parameter error", "Not set source packet"}));
}

} // namespace
