// The worker threads' protocol, driven by scripted matching steps: how the
// finish texts and the result steps follow the flags.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps.h"
#include "event_recorder.h"
#include "qn_ptzlink.h"
#include "support/wait_until.h"

namespace {

namespace flag = qnpl::flag;
using ptzlink_test::EventRecorder;

// What the scripted steps do, and the order in which they ran.
struct Script {
    std::atomic<int> pictures_to_finish{2};  // sub-images taken before projection finishes
    std::atomic<int> matches_to_finish{3};   // matching steps before union finishes
    std::atomic<int> create_result{1};
    std::atomic<int> render_high_dynamic{1};
    std::atomic<int> render_union{1};
    std::mutex lock;
    std::vector<std::string> calls;

    void note(const char* step)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (calls.empty() || calls.back() != step) calls.emplace_back(step);
    }
    std::vector<std::string> result_calls()
    {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c != "balance" && c != "match" && c != "sub_image") out.push_back(c);
        return out;
    }
};

Script* g_script = nullptr;

int prepare(qnpl_context& ctx) { return ctx.running() ? 0 : 1; }
int set_up_sub_image(qnpl_context& ctx)
{
    g_script->note("sub_image");
    ctx.flags.clear(flag::kPictureWaiting);
    ctx.flags.set(flag::kReadyForInput);
    const int taken = static_cast<int>(ctx.progress.add(qnpl::progress::kPicturesTaken, 1));
    if (taken >= g_script->pictures_to_finish) ctx.flags.set(flag::kProjectionFinished);
    return 1;
}
int balance_colours(qnpl_context& ctx)
{
    g_script->note("balance");
    if (ctx.flags.test(flag::kProjectionFinished)) ctx.progress.set(qnpl::progress::kUnionMatching);
    return 1;
}
int match_images(qnpl_context& ctx)
{
    g_script->note("match");
    if (--g_script->matches_to_finish <= 0) ctx.flags.set(flag::kUnionFinished);
    return 1;
}
int create_result(qnpl_context&) { g_script->note("create_result"); return g_script->create_result; }
int render_high_dynamic(qnpl_context&) { g_script->note("high_dynamic"); return g_script->render_high_dynamic; }
int render_union(qnpl_context&) { g_script->note("render_union"); return g_script->render_union; }
int finish_union(qnpl_context&) { g_script->note("finish_union"); return 1; }

const qnpl::EngineSteps kScriptedSteps{prepare,       set_up_sub_image,    balance_colours, match_images,
                                       create_result, render_high_dynamic, render_union,    finish_union};

class WorkerThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_script = &script;
        ASSERT_EQ(link.Create(), 1);
        ctx = qnpl::engine_instance();
        ctx->steps = &kScriptedSteps;
        ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
        ASSERT_EQ(link.SetInfo("def_width", "704"), 1);
        ASSERT_EQ(link.SetInfo("def_height", "576"), 1);
        ASSERT_EQ(link.SetInfo("pixel_per_degree", "10"), 1);
    }
    void TearDown() override
    {
        link.Destory();
        g_script = nullptr;
    }

    // The host's part of the picture hand-over.
    void feed_pictures(int count)
    {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(testing_support::WaitUntil([&] { return ctx->flags.test(flag::kReadyForInput); }, testing_support::kEventBoundMs, 1));
            ctx->flags.clear(flag::kReadyForInput);
            ctx->flags.set(flag::kPictureWaiting);
        }
    }

    Script script;
    EventRecorder events;
    QN_PTZLINK link;
    qnpl_context* ctx = nullptr;
};

TEST_F(WorkerThreads, AFullRunFinishesBothThreadsAndBuildsThePlainResult)
{
    ASSERT_EQ(link.SetInfo("high_dynamic", "n"), 1);
    ASSERT_EQ(link.LaunchProcess(), 1);
    feed_pictures(2);
    ASSERT_TRUE(events.wait_for({"PROJECT_FINISH", "UNION_FINISH"}));
    EXPECT_EQ(script.result_calls(), (std::vector<std::string>{"create_result", "render_union", "finish_union"}));
    EXPECT_TRUE(ctx->flags.test(flag::kRunning)) << "running lasts until ShutDownProcess";
    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_EQ(events.texts().size(), 2u) << "no stop texts after the finish texts";
}

TEST_F(WorkerThreads, HighDynamicReplacesThePlainRenderingUnlessItFails)
{
    ASSERT_EQ(link.SetInfo("high_dynamic", "y"), 1);
    ASSERT_EQ(link.LaunchProcess(), 1);
    feed_pictures(2);
    ASSERT_TRUE(events.wait_for({"PROJECT_FINISH", "UNION_FINISH"}));
    EXPECT_EQ(script.result_calls(), (std::vector<std::string>{"create_result", "high_dynamic", "finish_union"}));
    ASSERT_EQ(link.ShutDownProcess(), 1);

    script.calls.clear();
    script.render_high_dynamic = 0;
    script.matches_to_finish = 1;
    ctx->progress.store(0);
    EventRecorder second_run;
    ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, second_run.user()), 1);
    ASSERT_EQ(link.LaunchProcess(), 1);
    feed_pictures(2);
    ASSERT_TRUE(second_run.wait_for({"PROJECT_FINISH", "UNION_FINISH"}));
    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_EQ(script.result_calls(),
              (std::vector<std::string>{"create_result", "high_dynamic", "render_union", "finish_union"}));
}

TEST_F(WorkerThreads, AFailedResultStepStillReportsUnionFinish)
{
    script.create_result = 0;
    ASSERT_EQ(link.LaunchProcess(), 1);
    feed_pictures(2);
    ASSERT_TRUE(events.wait_for({"PROJECT_FINISH", "UNION_FINISH"}));
    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_EQ(script.result_calls(), (std::vector<std::string>{"create_result"}));
}

TEST_F(WorkerThreads, AStopInTheMiddleEndsWithStopTexts)
{
    script.pictures_to_finish = 5;
    ASSERT_EQ(link.LaunchProcess(), 1);
    feed_pictures(2);
    ASSERT_EQ(link.ShutDownProcess(), 1);
    const auto texts = events.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "STOP_PROJECT"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "STOP_UNION"), 1);
    EXPECT_FALSE(events.contains("PROJECT_FINISH"));
    EXPECT_EQ(script.result_calls(), std::vector<std::string>{});
}

}  // namespace
