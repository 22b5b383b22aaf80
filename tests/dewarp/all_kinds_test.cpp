// All six kinds side by side in one work picture, as the video window lays
// them out: each view's planes point into the shared picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "dewarp_test_support.h"
#include "platform/paths.h"

using namespace dewarp_test;

namespace {

TEST(AllKinds, OneWorkPicture)
{
    Yuv work(1920, 1080);
    QN_PRO_ENGINE* engine = nullptr;
    QN_PRO_ENGINE_PARA p = engine_para(0x2200, 1280, 1024, 640, 512, 512, 90);
    ASSERT_EQ(qn_pro_CreateEngine(&engine, &p), 0);
    Yuv fisheye(1280, 1024);
    ASSERT_TRUE(ffmpeg_frame("testsrc2=s=2048x1024,v360=input=e:output=fisheye:h_fov=185:v_fov=185:pitch=90:"
                             "w=1024:h=1024,pad=1280:1024:128:0",
                             "yuv420p", fisheye));
    struct Layout {
        int kind, x, y, w, h;
    };
    const Layout layout[] = {{QN_PRO_DST_ORIGINAL, 0, 0, 640, 540},    {QN_PRO_DST_ZOOM, 640, 0, 640, 540},
                             {QN_PRO_DST_ROTATE_ZOOM, 1280, 0, 640, 540}, {QN_PRO_DST_PANORAMA, 0, 540, 1280, 270},
                             {QN_PRO_DST_DPTZ, 1280, 540, 640, 541 - 1}, {QN_PRO_DST_STRETCH, 0, 810, 1279, 270}};
    for (const Layout& l : layout) {
        QN_PRO_DST_CONFIG c{};
        c.id = l.kind;
        c.kind = l.kind;
        c.screen = sub_picture(work, l.x, l.y, l.w, l.h);
        c.effect.border = 1;
        c.effect.show_on_others = 1;
        c.effect.remap_mode = static_cast<int8_t>(l.kind % 3);
        if (l.kind == QN_PRO_DST_ZOOM) c.posi.zoom = {0, 3, 900, 400, 1280, 1024, 0, 0, 0, 0, 0, 0, 0};
        if (l.kind == QN_PRO_DST_ROTATE_ZOOM) c.posi.rotate_zoom = {3, 400, 700, 1280, 1024, 0, 0, 0, 0, 0, 0, 0};
        if (l.kind == QN_PRO_DST_PANORAMA) c.posi.panorama = {0, 360, 0, 60, 0};
        if (l.kind == QN_PRO_DST_DPTZ) c.posi.dptz = {60, 0, 0, 120, 40, 1.5f, 0, 0, 0, 0, 0, 0, 0};
        if (l.kind == QN_PRO_DST_STRETCH) c.posi.stretch = {1, 0, 0, 512, 512};
        ASSERT_EQ(qn_pro_AddDstImage(engine, &c, nullptr), 0) << l.kind;
    }
    QN_PRO_POINT aim{320, 270, 640, 540};
    ASSERT_EQ(qn_pro_SetDstAimerByNo(engine, &aim, 1, 1, 0), 0);
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    for (int frame = 0; frame < 5; ++frame) ASSERT_EQ(qn_pro_ProcessVideo(engine, &fisheye.screen, &table, &records), 0);
    EXPECT_EQ(records, 12);
    ASSERT_EQ(qn_pro_ProcessImage(engine, &fisheye.screen, &table, &records), 0);
    // Every view drew something of the scene.
    for (const Layout& l : layout) {
        long sum = 0;
        for (int y = l.y + 4; y < l.y + l.h - 4; ++y)
            for (int x = l.x + 4; x < l.x + l.w - 4; ++x) sum += std::abs(work.Y(x, y) - 128);
        EXPECT_GT(sum, 10L * (l.w - 8) * (l.h - 8)) << "kind " << l.kind;
    }
    if (const auto out = platform::GetEnv("DEWARP_SNAPSHOT")) {
        std::vector<uint8_t> bytes(work.y);
        bytes.insert(bytes.end(), work.u.begin(), work.u.end());
        bytes.insert(bytes.end(), work.v.begin(), work.v.end());
        const std::string raw = testing::TempDir() + "/all_kinds.yuv";
        ASSERT_TRUE(write_file(raw, bytes));
        run_capture("ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 1920x1080 -i " + raw + " " + *out);
    }
    qn_pro_DestroyEngine(engine);
}

}  // namespace
