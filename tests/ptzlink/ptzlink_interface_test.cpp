// The public life cycle of QN_PTZLINK, through the shared library as a host
// uses it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "event_recorder.h"
#include "qn_ptzlink.h"

namespace {

using ptzlink_test::EventRecorder;

// The host's set-up sequence up to LaunchProcess, with a picture size.
void configure_like_the_host(QN_PTZLINK& link)
{
    const char* settings[][2] = {{"hon_count", "15"},
                                 {"ver_count", "2"},
                                 {"pixel_per_degree", "10"},
                                 {"pixel_move_regis", "1"},
                                 {"res_range_enlarge", "365"},
                                 {"def_width", "704"},
                                 {"def_height", "576"},
                                 {"correct_range_pan_line", "30"},
                                 {"correct_range_tilt_line", "5"},
                                 {"correct_range_pan_row", "20"},
                                 {"correct_range_tilt_row", "10"},
                                 {"trust_rate", "1"},
                                 {"last_error_enlarge", "y"},
                                 {"tilt_inter", "15"},
                                 {"high_dynamic", "n"}};
    for (auto& s : settings) ASSERT_EQ(link.SetInfo(s[0], s[1]), 1) << s[0];
}

std::string ready_text(QN_PTZLINK& link)
{
    char* text = nullptr;
    if (link.GetInfo("ready_for_input", &text, nullptr) != 1 || !text) return "<none>";
    return text;
}

TEST(PtzlinkInterface, CallbacksCreateAndDestroyFollowTheHandle)
{
    QN_PTZLINK link;
    EventRecorder events;
    EXPECT_EQ(link.SetErrorCallBack(&EventRecorder::callback, events.user()), 1) << "valid before Create";
    EXPECT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 0);
    EXPECT_EQ(link.SetInfo("hon_count", "15"), 0);
    EXPECT_EQ(link.GetInfo("ready_for_input", nullptr, nullptr), 0);
    EXPECT_EQ(link.LaunchProcess(), 0);
    EXPECT_EQ(link.ShutDownProcess(), 0);
    EXPECT_EQ(link.Destory(), 0);
    EXPECT_NE(link.AddCorrectPara(nullptr, 96, 0), 0);

    ASSERT_EQ(link.Create(), 1);
    EXPECT_EQ(link.Create(), 0) << "one context per process";
    QN_PTZLINK other;
    EXPECT_EQ(other.Create(), 0) << "even on another object";
    EXPECT_EQ(other.SetInfo("hon_count", "15"), 0) << "the other object was never created";
    EXPECT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
    EXPECT_EQ(link.ShutDownProcess(), 0) << "not running";
    EXPECT_EQ(ready_text(link), "n");

    char* text = nullptr;
    EXPECT_EQ(link.GetInfo("anything", &text, nullptr), 1);
    EXPECT_STREQ(text, "n") << "other keys hand back the text unchanged";
    EXPECT_EQ(link.GetInfo(nullptr, &text, nullptr), 0);

    EXPECT_EQ(link.Destory(), 1);
    EXPECT_EQ(link.Destory(), 0);
    EXPECT_EQ(other.Create(), 1) << "the context is free again";
    EXPECT_EQ(other.Destory(), 1);
}

TEST(PtzlinkInterface, AddCorrectParaReportsRefusalsWithTheirCode)
{
    QN_PTZLINK link;
    ASSERT_EQ(link.Create(), 1);
    uint8_t record[96] = {};
    const uint64_t type = 3 | (5 << 4) | (uint64_t(300) << 7);
    EXPECT_EQ(link.AddCorrectPara(record, 95, type), QN_VPI_ERR_LENGTH);
    EXPECT_EQ(link.AddCorrectPara(nullptr, 96, type), QN_VPI_ERR_LENGTH);
    EXPECT_EQ(link.AddCorrectPara(record, 96, 0x14), QN_VPI_ERR_TYPE);
    // A zero record names lens 0 and has no scale: refused, not stored.
    EXPECT_EQ(link.AddCorrectPara(record, 96, type), QN_VPI_ERR_RECORD);
    EXPECT_EQ(link.Destory(), 1);
}

TEST(PtzlinkInterface, LaunchRunsUntilShutDownAndBothWorkersReportTheirStop)
{
    QN_PTZLINK link;
    EventRecorder events;
    ASSERT_EQ(link.Create(), 1);
    ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
    configure_like_the_host(link);

    ASSERT_EQ(link.LaunchProcess(), 1);
    EXPECT_EQ(ready_text(link), "y");
    EXPECT_EQ(link.LaunchProcess(), 0) << "already running";
    EXPECT_EQ(link.SetInfo("hon_count", "12"), 0) << "settings stay fixed during a run";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(events.contains("STOP_PROJECT"));

    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_TRUE(events.wait_for({"STOP_PROJECT", "STOP_UNION"}));
    EXPECT_EQ(link.ShutDownProcess(), 0);
    EXPECT_EQ(ready_text(link), "n");
    for (uint64_t code : events.codes()) EXPECT_EQ(code, 0u);
    EXPECT_EQ(events.texts().size(), 2u);

    // A second run on the same context.
    ASSERT_EQ(link.LaunchProcess(), 1);
    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_EQ(events.texts().size(), 4u);
    EXPECT_EQ(link.Destory(), 1);
}

TEST(PtzlinkInterface, LaunchNeedsAPictureSizeAndAPyramidLevel)
{
    QN_PTZLINK link;
    ASSERT_EQ(link.Create(), 1);
    EXPECT_EQ(link.LaunchProcess(), 0) << "no picture size yet";
    ASSERT_EQ(link.SetInfo("def_width", "704"), 1);
    ASSERT_EQ(link.SetInfo("def_height", "576"), 1);
    ASSERT_EQ(link.SetInfo("pixel_per_degree", "2"), 1);
    EXPECT_EQ(link.LaunchProcess(), 0) << "2 pixels a degree give no pyramid level";
    ASSERT_EQ(link.SetInfo("pixel_per_degree", "2.5"), 1);
    EXPECT_EQ(link.LaunchProcess(), 1);
    EXPECT_EQ(link.Destory(), 1) << "Destory stops the run itself";
}

TEST(PtzlinkInterface, StopStartAndDestroyCyclesEndEveryWorker)
{
    EventRecorder events;
    for (int cycle = 0; cycle < 8; ++cycle) {
        QN_PTZLINK link;
        ASSERT_EQ(link.Create(), 1);
        ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
        configure_like_the_host(link);
        ASSERT_EQ(link.LaunchProcess(), 1);
        switch (cycle % 3) {
        case 0:  // the host's way: stop, see both stop texts, destroy
            ASSERT_EQ(link.ShutDownProcess(), 1);
            ASSERT_TRUE(events.wait_for({"STOP_PROJECT", "STOP_UNION"}));
            ASSERT_EQ(link.Destory(), 1);
            break;
        case 1:  // destroyed while running
            ASSERT_EQ(link.Destory(), 1);
            break;
        default:  // the object goes away while running
            break;
        }
    }
    const auto texts = events.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "STOP_PROJECT"), 8);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "STOP_UNION"), 8);
    QN_PTZLINK after;
    EXPECT_EQ(after.Create(), 1) << "every cycle freed the context";
}

// A host that stops the engine from inside its own event callback.
struct StoppingHost {
    QN_PTZLINK* link = nullptr;
    EventRecorder events;
    static void callback(uint64_t code, const char* text, uint64_t user)
    {
        auto* self = reinterpret_cast<StoppingHost*>(user);
        EventRecorder::callback(code, text, self->events.user());
        self->link->ShutDownProcess();
        EXPECT_EQ(self->link->Destory(), 0) << "the context cannot go from under its own worker";
    }
};

TEST(PtzlinkInterface, CallbacksMayCallBackIntoTheLibrary)
{
    QN_PTZLINK link;
    StoppingHost host;
    host.link = &link;
    ASSERT_EQ(link.Create(), 1);
    ASSERT_EQ(link.SetEventCallBack(&StoppingHost::callback, reinterpret_cast<uint64_t>(&host)), 1);
    configure_like_the_host(link);
    ASSERT_EQ(link.LaunchProcess(), 1);
    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_TRUE(host.events.wait_for({"STOP_PROJECT", "STOP_UNION"}));
    EXPECT_EQ(link.Destory(), 1);
}

}  // namespace
