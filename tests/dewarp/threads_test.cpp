// A render thread and a user-interface thread on one engine, as the video
// window drives it; ThreadSanitizer runs this test.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "dewarp_test_support.h"
#include "support/scoped_env.h"

using namespace dewarp_test;

namespace {

TEST(EngineThreads, RenderWhileViewsChange)
{
    QN_PRO_ENGINE* engine = nullptr;
    QN_PRO_ENGINE_PARA p = engine_para(0x10000, 640, 360, 320, 180, 180);
    ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    for (int i = 0; i < 3; ++i) {
        QN_PRO_DST_CONFIG c = zoom_config(240, 136, nullptr, i);
        ASSERT_EQ(qn_pro_AddDstImage(engine, &c, nullptr), 0);
    }
    Yuv source(640, 360);
    for (size_t i = 0; i < source.y.size(); ++i) source.y[i] = static_cast<uint8_t>(i * 7);

    std::atomic<bool> ui_done{false};
    std::atomic<int> frames{0};
    std::thread render([&] {
        // Bounded: the UI thread's work plus a few frames after it.
        for (int i = 0; i < 2000 && !(ui_done && i > 20); ++i) {
            QN_PRO_DST_INFO* table = nullptr;
            int records = 0;
            const int r = qn_pro_ProcessVideo(engine, &source.screen, &table, &records);
            EXPECT_TRUE(r == 0 || r == 2);
            EXPECT_EQ(records % 2, 0);
            ++frames;
        }
    });
    std::thread ui([&] {
        for (int step = 0; step < 150; ++step) {
            // Every kind in turn, with the positions each takes.
            QN_PRO_DST_CONFIG c = zoom_config(200 + step % 7, 120 + step % 5, nullptr, step);
            c.kind = 1 + step % 6;
            c.posi.zoom.exponent = static_cast<float>(step % 4);
            if (c.kind == QN_PRO_DST_PANORAMA) c.posi.panorama = {0, 360, 0, 60, float(step)};
            if (c.kind == QN_PRO_DST_DPTZ) c.posi.dptz = {90, 0, 0, float(step * 7), 30, 1, 0, 0, 0, 0, 0, 0, 0};
            qn_pro_AddDstImage(engine, &c, nullptr);
            QN_PRO_DST_POSI posi{};
            posi.zoom.exponent = 2;
            posi.zoom.x = static_cast<float>(100 + step);
            posi.zoom.y = 180;
            posi.zoom.frame_width = 1280;
            posi.zoom.frame_height = 720;
            qn_pro_SetDstPosiByNo(engine, &posi, 0);
            QN_PRO_POINT cursor{0.4f, 0.6f, 1, 1};
            qn_pro_ControlByDst(engine, step % 3, &cursor, step % 2, step % 5 == 0, 1);
            QN_PRO_POINT aim{0.5f, 0.5f, 1, 1};
            qn_pro_SetDstAimerByNo(engine, &aim, 1, 1, step % 3 - 1);
            QN_PRO_DST_EFFECT fx{};
            fx.remap_mode = static_cast<int8_t>(step % 4);
            fx.border = step & 1;
            qn_pro_SetDstEffectNo(engine, &fx, 0);
            QN_PRO_DST_INFO* table = nullptr;
            int views = 0;
            qn_pro_GetDstList(engine, &table, &views);
            if (views > 4) qn_pro_DelDstImage(engine, step % views);
        }
        ui_done = true;
    });
    ui.join();
    render.join();
    EXPECT_GT(frames.load(), 20);
    // Deleting view 0 until none is left always ends.
    QN_PRO_DST_INFO* table = nullptr;
    int views = 0;
    for (int guard = 0; guard < 200 && qn_pro_GetDstList(engine, &table, &views) == 0 && views > 0; ++guard)
        qn_pro_DelDstImage(engine, 0);
    EXPECT_EQ(views, 0);
    EXPECT_EQ(qn_pro_DestroyEngine(engine), 0);
}

// Every kind, blended, sharpened and with a companion, in one work picture:
// the work picture's bytes after each of a few video frames (maps settling,
// then settled) and a still frame.
std::vector<std::vector<uint8_t>> render_every_kind(const Yuv& fisheye)
{
    std::vector<std::vector<uint8_t>> frames;
    Yuv work(1280, 720);
    QN_PRO_ENGINE* engine = nullptr;
    QN_PRO_ENGINE_PARA p = engine_para(0x2200, fisheye.width, fisheye.height, fisheye.width / 2.0f,
                                       fisheye.height / 2.0f, fisheye.height / 2.0f, 90);
    if (qn_pro_CreateEngine(&engine, &p) != 0) return frames;
    struct Layout {
        int kind, x, y, w, h, remap_mode, blend;
    };
    const Layout layout[] = {{QN_PRO_DST_ORIGINAL, 0, 0, 426, 360, 0, 0},    {QN_PRO_DST_ZOOM, 426, 0, 426, 360, 1, 0},
                             {QN_PRO_DST_ROTATE_ZOOM, 852, 0, 428, 359, 3, 0}, {QN_PRO_DST_PANORAMA, 0, 360, 852, 180, 0, 90},
                             {QN_PRO_DST_DPTZ, 852, 360, 427, 360, 0, 0},     {QN_PRO_DST_STRETCH, 0, 540, 852, 180, 2, 0}};
    for (const Layout& l : layout) {
        QN_PRO_DST_CONFIG c{};
        c.id = l.kind;
        c.kind = l.kind;
        c.screen = sub_picture(work, l.x, l.y, l.w, l.h);
        c.effect.border = 1;
        c.effect.show_on_others = 1;
        c.effect.remap_mode = static_cast<int8_t>(l.remap_mode);
        c.effect.blend = static_cast<uint8_t>(l.blend);
        if (l.kind == QN_PRO_DST_PANORAMA) c.posi.panorama = {0, 360, 0, 60, 0};
        if (l.kind == QN_PRO_DST_DPTZ) c.posi.dptz = {60, 0, 0, 120, 40, 1.5f, 0, 0, 0, 0, 0, 0, 0};
        if (qn_pro_AddDstImage(engine, &c, nullptr) != 0) ADD_FAILURE() << "kind " << l.kind;
    }
    QN_PRO_POINT aim{200, 180, 426, 360};
    EXPECT_EQ(qn_pro_SetDstAimerByNo(engine, &aim, 1, 1, 0), 0);
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    for (int frame = 0; frame < 5; ++frame) {
        _vm_screen source = fisheye.screen;
        const int r = frame < 4 ? qn_pro_ProcessVideo(engine, &source, &table, &records)
                                : qn_pro_ProcessImage(engine, &source, &table, &records);
        EXPECT_EQ(r, 0) << "frame " << frame;
        std::vector<uint8_t> bytes(work.y);
        bytes.insert(bytes.end(), work.u.begin(), work.u.end());
        bytes.insert(bytes.end(), work.v.begin(), work.v.end());
        frames.push_back(std::move(bytes));
    }
    EXPECT_EQ(qn_pro_DestroyEngine(engine), 0);
    return frames;
}

// The render threads share a frame's views and rows out among themselves:
// the bytes must be those of the render on the caller's thread alone.
TEST(EngineThreads, SeveralThreadsRenderTheBytesOfOne)
{
    Yuv fisheye(1024, 768);
    for (size_t i = 0; i < fisheye.y.size(); ++i) fisheye.y[i] = static_cast<uint8_t>((i * 13) ^ (i >> 10));
    for (size_t i = 0; i < fisheye.u.size(); ++i) {
        fisheye.u[i] = static_cast<uint8_t>(i * 5 + (i >> 9));
        fisheye.v[i] = static_cast<uint8_t>(255 - i * 3);
    }
    std::vector<std::vector<uint8_t>> alone, shared;
    {
        testing_support::ScopedEnv one_thread("QN_DEWARP_THREADS", "1");
        alone = render_every_kind(fisheye);
    }
    {
        testing_support::ScopedEnv library_choice("QN_DEWARP_THREADS", nullptr);
        shared = render_every_kind(fisheye);
    }
    ASSERT_EQ(alone.size(), 5u);
    ASSERT_EQ(shared.size(), alone.size());
    for (size_t frame = 0; frame < alone.size(); ++frame) EXPECT_TRUE(alone[frame] == shared[frame]) << "frame " << frame;
}

// Many engines, created and destroyed: LeakSanitizer checks the ASan run.
TEST(EngineLifetime, ThousandCreateDestroyCycles)
{
    for (int i = 0; i < 1000; ++i) {
        QN_PRO_ENGINE* engine = nullptr;
        QN_PRO_ENGINE_PARA p = engine_para(i % 2 ? 0x10020 : 0x10000, 640, 360, 320, 180, 180);
        p.keep_source = i % 3 == 0;
        p.triple_buffer = i % 5 == 0;
        ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
        QN_PRO_DST_CONFIG c = zoom_config(220, 100, nullptr);
        ASSERT_EQ(qn_pro_AddDstImage(engine, &c, nullptr), 0);
        if (p.keep_source) {
            Yuv source(64, 36);
            ASSERT_EQ(qn_pro_InputSrcImage(engine, &source.screen), 0);
        }
        ASSERT_EQ(qn_pro_DestroyEngine(engine), 0);
    }
}

}  // namespace
