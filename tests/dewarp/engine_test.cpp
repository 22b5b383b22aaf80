// Engines, process-wide tables and pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "dewarp_test_support.h"
#include "engine.h"
#include "lens_model.h"
#include "picture.h"
#include "qn_dewarp.h"
#include "tables.h"

using namespace dewarp_test;
using namespace qn_dewarp;

namespace {

TEST(Engine, CreateRefusals)
{
    QN_PRO_ENGINE* e = nullptr;
    QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, 640, 360, 360);
    EXPECT_EQ(qn_pro_CreateEngine(nullptr, &p), 2);
    EXPECT_EQ(qn_pro_CreateEngine(&e, nullptr), 2);
    struct Case {
        const char* what;
        QN_PRO_ENGINE_PARA para;
        int result;
    };
    const Case cases[] = {
        {"no circle", engine_para(0x10000, 1280, 720, 640, 360, 0), 2},
        {"zero width", engine_para(0x10000, 0, 720, 640, 360, 360), 2},
        {"lens 5", engine_para(0x10050, 1280, 720, 640, 360, 360), 3},
        {"lens 255", engine_para(0x10ff0, 1280, 720, 640, 360, 360), 3},
        {"no reference frame", engine_para(0xb0000, 1280, 720, 640, 360, 360), 3},
    };
    for (const Case& c : cases) {
        e = nullptr;
        EXPECT_EQ(qn_pro_CreateEngine(&e, &c.para), c.result) << c.what;
        EXPECT_EQ(e, nullptr) << c.what;
    }
    EXPECT_EQ(qn_pro_DestroyEngine(nullptr), 2);
}

TEST(Engine, CreateClampsAndDerives)
{
    struct Case {
        int mount, zoom, stored_mount, stored_zoom;
    };
    for (const Case c : {Case{120, 0, 90, 8}, Case{-95, 25, -90, 20}, Case{-89, 12, -89, 12}}) {
        QN_PRO_ENGINE_PARA p = engine_para(0x10000, 640, 360, 320, 180, 180, c.mount);
        p.zoom_limit = c.zoom;
        QN_PRO_ENGINE* e = nullptr;
        ASSERT_EQ(qn_pro_CreateEngine(&e, &p), 0);
        EXPECT_EQ(e->mount_angle, c.stored_mount);
        EXPECT_EQ(e->zoom_limit, c.stored_zoom);
        // The circle is carried into the 1280 x 720 reference frame.
        EXPECT_FLOAT_EQ(e->ref_x, 640);
        EXPECT_FLOAT_EQ(e->ref_y, 360);
        EXPECT_FLOAT_EQ(e->ref_r, 360);
        qn_pro_DestroyEngine(e);
    }
    // A reference circle alone is enough.
    QN_PRO_ENGINE_PARA p = engine_para(0x2200, 1280, 1024, 0, 0, 0);
    p.ref_circle_x = 640;
    p.ref_circle_y = 512;
    p.ref_circle_r = 500;
    QN_PRO_ENGINE* e = nullptr;
    ASSERT_EQ(qn_pro_CreateEngine(&e, &p), 0);
    EXPECT_EQ(e->lens, 32);
    EXPECT_EQ(e->ref_width, 1280);
    EXPECT_EQ(e->ref_height, 1024);
    EXPECT_FLOAT_EQ(e->ref_r, 500);
    // Ceiling mount: the identity and its inverse.
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(e->mount_inverse[i], (i % 4 == 0) ? 1.0f : 0.0f, 1e-6);
    qn_pro_DestroyEngine(e);
}

TEST(Engine, WarmUpAndSharedTables)
{
    EXPECT_EQ(qn_pro_SpeedInit(), 0);
    const int32_t* before = projection_table(2);
    for (int32_t code : {0x10000, 0x10020, 0x2200}) {
        QN_PRO_ENGINE_PARA p = engine_para(code, 1280, 720, 640, 360, 360);
        QN_PRO_ENGINE* e = nullptr;
        ASSERT_EQ(qn_pro_CreateEngine(&e, &p), 0) << std::hex << code;
        EXPECT_EQ(e->projection, projection_table(lens_code_of_camera(code)));
        EXPECT_EQ(qn_pro_DestroyEngine(e), 0);
    }
    EXPECT_EQ(projection_table(2), before) << "one table per lens for the whole process";
}

TEST(Engine, PackedCodeEngines)
{
    EXPECT_EQ(qn_pro_SpeedInitEx(), 0);
    QN_PRO_ENGINE_PARA_EX p{};
    p.width = 2048;
    p.height = 1536;
    p.code_low = 0x400641;
    p.code_high = 1u << 4; // family 1, variant 0
    p.mount_angle = 90;
    p.circle_x = 1024;
    p.circle_y = 768;
    p.circle_r = 760;
    QN_PRO_ENGINE* e = nullptr;
    ASSERT_EQ(qn_pro_CreateEngineEx(&e, &p), 0);
    EXPECT_EQ(e->ref_width, 2048);
    EXPECT_EQ(e->ref_height, 1536);
    // The shared table of the preset: radius of 45 degrees at (1, 1).
    EXPECT_NEAR(e->projection[1 * kProjectionSize + 1] / 8192.0, e->holder->RadiusOfElevation(45), 1.0 / 8192);
    qn_pro_DestroyEngine(e);

    // An incomplete code takes the caller's frame and polynomial.
    p.code_high = 2u << 4; // family 2: no preset
    p.frame_width = 1000;
    p.frame_height = 800;
    const float radius[2] = {9, -1}; // 10 r = 9 - e / 10
    p.radius_coef_count = 2;
    p.radius_coefs = radius;
    EXPECT_EQ(qn_pro_CreateEngineEx(&e, &p), 3) << "family 2 has no lens curve";
    p.code_high = 5u << 7; // family 0, variant 5: not a preset
    ASSERT_EQ(qn_pro_CreateEngineEx(&e, &p), 0);
    EXPECT_EQ(e->ref_width, 1000);
    EXPECT_EQ(e->ref_height, 800);
    EXPECT_NE(e->projection, nullptr);
    // 45 degrees: 10 r = 9 - 4.5.
    EXPECT_NEAR(e->projection[1 * kProjectionSize + 1] / 8192.0, 0.45, 1.0 / 8192);
    qn_pro_DestroyEngine(e);
    p.code_low = 0x400640; // version 0
    EXPECT_EQ(qn_pro_CreateEngineEx(&e, &p), 3);
}

// Table entries against libm in long double, on random samples.
TEST(Tables, EntriesAgreeWithLibm)
{
    const CoreTables* t = core_tables();
    ASSERT_NE(t, nullptr);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> small(0, kRootSize - 1), large(0, kArctanSize - 1),
        sine(0, kSineEntries - 1);
    EXPECT_EQ(t->reciprocal[0], 1 << 20);
    for (int k = 0; k < 100000; ++k) {
        const int a = small(random), i = small(random);
        const long double length = std::sqrt((long double)i * i + (long double)a * a);
        EXPECT_NEAR(t->root[a * kRootSize + i], length * 1024, 1);
        if (length > 0) {
            EXPECT_NEAR(t->reciprocal[a * kRootSize + i], 1048576 / length, 1);
        }
        const int b = large(random) | 1, j = large(random);
        EXPECT_NEAR(t->arctangent[size_t(b) * kArctanSize + j], std::atan((long double)j / b) * 180 / M_PIl, 1e-4);
        const int s = sine(random);
        EXPECT_NEAR(t->sine[s], std::sin(s / 1024.0L * M_PIl / 180) * 32768, 1);
    }
    const int32_t* projection = projection_table(0);
    ASSERT_NE(projection, nullptr);
    std::uniform_int_distribution<int> row(1, kProjectionSize - 1), column(0, kProjectionSize - 1);
    for (int k = 0; k < 100000; ++k) {
        const int a = row(random), i = column(random);
        const float r = lens_radius_of_angle(static_cast<float>(std::atan(double(i) / a)), 0);
        EXPECT_NEAR(projection[size_t(a) * kProjectionSize + i], r * 8192.0, 1);
    }
    EXPECT_EQ(projection[5], 0) << "row 0 is zero";
    EXPECT_EQ(projection_table(7), nullptr);
}

TEST(Pictures, AllocationForEveryFormat)
{
    struct Case {
        int format, w, h;
        int32_t strides[3];
        int32_t chroma_rows;
    };
    const Case cases[] = {
        {VM_FMT_GRAY8, 641, 3, {644, 0, 0}, 0},   {VM_FMT_BGR24, 641, 3, {1924, 0, 0}, 0},
        {VM_FMT_BGRX32, 641, 3, {2564, 0, 0}, 0}, {VM_FMT_BGR24_B, 5, 3, {16, 0, 0}, 0},
        {VM_FMT_RGB16_A, 5, 3, {12, 0, 0}, 0},    {VM_FMT_RGB16_B, 5, 3, {12, 0, 0}, 0},
        {VM_FMT_YUV420, 642, 5, {644, 324, 324}, 2}, {VM_FMT_YVU420, 642, 5, {644, 324, 324}, 2},
        {VM_FMT_YUV422, 642, 5, {644, 324, 324}, 5},
    };
    for (const Case& c : cases) {
        _vm_screen* s = nullptr;
        ASSERT_EQ(picture_allocate(&s, c.w, c.h, c.format), 0) << c.format;
        EXPECT_EQ(s->base, static_cast<void*>(s));
        if (vm_is_planar(c.format)) {
            for (int p = 0; p < 3; ++p) EXPECT_EQ(s->planar.stride[p], c.strides[p]) << c.format;
            EXPECT_EQ(s->planar.plane[1], s->planar.plane[0] + c.strides[0] * c.h);
            EXPECT_EQ(s->planar.plane[2], s->planar.plane[1] + c.strides[1] * c.chroma_rows);
            EXPECT_EQ(picture_chroma_rows(s), c.chroma_rows);
        } else {
            EXPECT_EQ(s->packed.stride, c.strides[0]) << c.format;
        }
        _vm_screen* again = s;
        EXPECT_EQ(picture_allocate(&again, c.w, c.h, c.format), 2) << "the pointer must be empty";
        picture_release(&s);
        EXPECT_EQ(s, nullptr);
    }
    _vm_screen* s = nullptr;
    EXPECT_EQ(picture_allocate(&s, 0, 4, VM_FMT_YUV420), 2);
    EXPECT_EQ(picture_allocate(&s, 4, 4, 99), 2);
}

// The planes of an allocated picture, dumped without padding, are what
// FFmpeg reads as yuv420p or yuv422p.
TEST(Pictures, PlaneLayoutAgreesWithFfmpeg)
{
    const std::string dir = testing::TempDir();
    for (int format : {VM_FMT_YUV420, VM_FMT_YUV422}) {
        const int w = 640, h = 480;
        _vm_screen* s = nullptr;
        ASSERT_EQ(picture_allocate(&s, w, h, format), 0);
        std::string dump;
        for (int p = 0; p < 3; ++p) {
            const int pw = p ? w / 2 : w, rows = picture_chroma_rows(s) * (p != 0) + h * (p == 0);
            for (int y = 0; y < rows; ++y) {
                uint8_t* row = s->planar.plane[p] + y * s->planar.stride[p];
                for (int x = 0; x < pw; ++x) row[x] = static_cast<uint8_t>(p * 80 + x / 4 + y / 8);
                dump.append(reinterpret_cast<char*>(row), pw);
            }
        }
        const std::string path = dir + "/plane_dump.yuv";
        std::ofstream(path, std::ios::binary) << dump;
        const char* pix_fmt = format == VM_FMT_YUV420 ? "yuv420p" : "yuv422p";
        const std::string v_plane = run_capture("ffmpeg -v error -f rawvideo -pix_fmt " + std::string(pix_fmt) +
                                                " -s 640x480 -i " + path +
                                                " -vf extractplanes=v -f rawvideo -pix_fmt gray - 2>/dev/null");
        const int rows = picture_chroma_rows(s);
        ASSERT_EQ(v_plane.size(), size_t(w / 2) * rows) << pix_fmt;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < w / 2; ++x)
                ASSERT_EQ(static_cast<uint8_t>(v_plane[y * (w / 2) + x]), s->planar.plane[2][y * s->planar.stride[2] + x]);
        picture_release(&s);
    }
}

}  // namespace

#include "map_slots.h"

namespace {

TEST(MapSlots, WritersTakeTheOldestReadersTheNewest)
{
    ViewRecord v;
    v.width = 4;
    v.height = 3;
    ASSERT_TRUE(maps_allocate(v, true));
    ASSERT_EQ(v.maps.size(), 3u);
    EXPECT_EQ(v.maps[0].entries.size(), 2u * 4 * 4) << "rows rounded up to 4";
    EXPECT_EQ(map_begin_read(v), nullptr) << "nothing written yet";
    CoordinateMap* first = map_begin_write(v);
    EXPECT_EQ(first, &v.maps[0]);
    map_end_write(v, first);
    CoordinateMap* second = map_begin_write(v);
    EXPECT_EQ(second, &v.maps[1]) << "never-written maps first";
    map_end_write(v, second);
    CoordinateMap* reading = map_begin_read(v);
    EXPECT_EQ(reading, &v.maps[1]) << "the newest";
    CoordinateMap* third = map_begin_write(v);
    EXPECT_EQ(third, &v.maps[2]);
    map_end_write(v, third);
    CoordinateMap* fourth = map_begin_write(v);
    EXPECT_EQ(fourth, &v.maps[0]) << "the oldest not being read";
    CoordinateMap* fifth = map_begin_write(v);
    EXPECT_EQ(fifth, &v.maps[2]) << "map 1 is being read, map 0 written";
    EXPECT_EQ(map_begin_write(v), nullptr) << "all three busy";
    map_end_write(v, fourth);
    map_end_write(v, fifth);
    map_end_read(reading);
    EXPECT_EQ(map_begin_read(v), &v.maps[2]);
}

// With the triple-buffer flag maps are built in the calling thread and a
// frame renders them at once, without a nearest-neighbour frame.
TEST(MapSlots, TripleBufferedEngineRendersAtOnce)
{
    QN_PRO_ENGINE_PARA p = engine_para(0x10000, 1280, 720, 640, 360, 360);
    p.triple_buffer = 1;
    QN_PRO_ENGINE* e = nullptr;
    ASSERT_EQ(qn_pro_CreateEngine(&e, &p), 0);
    Yuv source(1280, 720);
    for (size_t i = 0; i < source.y.size(); ++i) source.y[i] = static_cast<uint8_t>(i % 1280 / 5);
    _vm_screen* view = nullptr;
    QN_PRO_DST_CONFIG c = zoom_config(64, 64, nullptr);
    c.posi.zoom.whole = 1;
    ASSERT_EQ(qn_pro_AddDstImage(e, &c, &view), 0);
    EXPECT_FALSE(e->view(0)->dirty) << "built when added";
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    ASSERT_EQ(qn_pro_ProcessVideo(e, &source.screen, &table, &records), 0);
    EXPECT_EQ(view->planar.plane[0][32 * view->planar.stride[0]], 280 / 5) << "source column 280, no forced border";
    qn_pro_DestroyEngine(e);
}

}  // namespace
