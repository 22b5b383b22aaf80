// The PTZ-union commands of the hub driving the real linkage library.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ptzlink/qn_ptzlink.h"
#include "support/this_process.h"
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
