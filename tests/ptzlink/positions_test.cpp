// Position planning, the picture hand-over and the sub-images of a run.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps.h"
#include "engine_steps_internal.h"
#include "event_recorder.h"
#include "qn_ptzlink.h"
#include "sub_image.h"
#include "support/ptz_shots.h"
#include "test_support.h"

namespace {

namespace flag = qnpl::flag;
namespace progress = qnpl::progress;
using ptzlink_test::EventRecorder;

// A PTZ panorama type of layout 3: view angle (tenths), width / 8 and the
// aspect num / den.
uint64_t ptz_type(uint64_t angle, uint64_t width8, uint64_t num, uint64_t den, uint64_t lens_kind = 1)
{
    return 3 | lens_kind << 4 | angle << 44 | width8 << 33 | num << 28 | den << 23;
}

// The hub's tail record for a picture at (pan, tilt) in degrees.
_qnpl_ptz_jpg_tail_ tail_for(double pan, double tilt, uint64_t type)
{
    const uint64_t pan10 = uint64_t(std::lround(pan * 10)) & 0xfff;
    const uint64_t tilt10 = uint64_t(std::lround(tilt * 10 + 1800)) & 0xfff;
    _qnpl_ptz_jpg_tail_ t{};
    t.word0 = (pan10 << 18) | (tilt10 << 30) | 0x3;
    t.word1 = type;
    return t;
}

class Positions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.Create(), 1);
        ctx = qnpl::engine_instance();
        ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
    }
    void TearDown() override { link.Destory(); }
    void set(const char* key, const char* value) { ASSERT_EQ(link.SetInfo(key, value), 1) << key; }

    EventRecorder events;
    QN_PTZLINK link;
    qnpl_context* ctx = nullptr;
};

TEST_F(Positions, PlanningClampsTheGridAndCentresTheColumns)
{
    const struct {
        const char* columns;
        const char* rows;
        int planned_columns, planned_rows;
    } grids[] = {{"40", "0", 36, 1}, {"5", "7", 8, 6}, {"15", "2", 15, 2}};
    for (const auto& g : grids) {
        set("hon_count", g.columns);
        set("ver_count", g.rows);
        ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
        EXPECT_EQ(ctx->columns(), g.planned_columns) << g.columns;
        EXPECT_EQ(ctx->row_count(), g.planned_rows) << g.rows;
    }
    EXPECT_EQ(ctx->flags.get(flag::kPanStep), 24u);
    for (int c = 0; c < 15; ++c) EXPECT_EQ(ctx->cells[c].pan_code, (128 * c + 64) * 24) << c;
    EXPECT_EQ(ctx->cells[0].pan_code, 1536);
    EXPECT_EQ(ctx->cells[1].pan_code, 4608);
    EXPECT_EQ(ctx->cells[16].row, 1);
    EXPECT_EQ(ctx->cells[16].column, 1);
    EXPECT_EQ(ctx->cells[3].byte_table[2][200], 200);
    EXPECT_EQ(ctx->cells[3].gains[11], 1.0f);

    set("tilt_down", "y");
    set("trust_start", "0");
    set("tilt_inter", "30");
    set("ver_count", "4");
    ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
    EXPECT_EQ(ctx->rows[3].tilt0, 12800) << "-90 degrees is held at -80";
    EXPECT_EQ(ctx->rows[1].tilt0, 23040 - 30 * 128 + 1) << "adding 0.5 truncates toward zero";
    set("tilt_down", "n");
    set("trust_start", "200");
    ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
    EXPECT_EQ(ctx->rows[0].tilt0, 23040 + 80 * 128) << "a start beyond 80 degrees is held too";
}

TEST_F(Positions, TiltStepAndOverlapComeFromTheViewAngle)
{
    set("hon_count", "15");
    set("hon_view_angle", "60");
    set("def_width", "640");
    set("def_height", "360");
    ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
    // f = 320 / tan 30 = 554.3; V = 2 atan(180 / 554.3) = 35.98; 2 x (9 + 0.5).
    EXPECT_EQ(ctx->flags.get(flag::kTiltStep), 18u);
    EXPECT_EQ(ctx->progress.get(progress::kPanOverlap), 28u) << "(60 - 24) x 0.8";
    set("hon_view_angle", "10");
    ASSERT_EQ(qnpl::PrepareProcess(*ctx), 1);
    EXPECT_EQ(ctx->progress.get(progress::kPanOverlap), 0u) << "no overlap is not a negative one";
}

TEST_F(Positions, NextPositionsLeadIntoEachRow)
{
    set("hon_count", "15");
    set("ver_count", "2");
    set("tilt_inter", "15");
    set("def_width", "640");
    set("def_height", "360");
    __tag_point3D p{};
    EXPECT_EQ(link.GetNextPTZ("next", &p), QNPL_NEXT_REFUSED) << "not running";
    ASSERT_EQ(link.LaunchProcess(), 1);
    EXPECT_EQ(link.GetNextPTZ("Next", &p), QNPL_NEXT_REFUSED);
    EXPECT_EQ(link.GetNextPTZ(nullptr, &p), QNPL_NEXT_REFUSED);
    std::vector<__tag_point3D> got;
    while (link.GetNextPTZ("next", &p) == QNPL_NEXT_POSITION && got.size() < 100) got.push_back(p);
    ASSERT_EQ(got.size(), 2u + 15 + 2 + 15);
    EXPECT_EQ(got[0].z, 0);
    EXPECT_EQ(got[1].z, 0);
    EXPECT_EQ(got[1].x, 24 * 48 / 128) << "the second lead-in point: 48 pan steps in codes";
    EXPECT_EQ(got[2].x, 12);
    EXPECT_EQ(got[2].y, 0);
    EXPECT_EQ(got[2].z, 1);
    EXPECT_EQ(got[16].x, 348);
    EXPECT_EQ(got[17].z, 0);
    EXPECT_EQ(got[17].y, 15);
    EXPECT_EQ(got[19].y, 15);
    EXPECT_EQ(got[19].z, 1);
    EXPECT_EQ(link.GetNextPTZ("next", &p), QNPL_NEXT_ALL_HANDED_OUT);

    // A tilt code below tilt 0 rounds toward minus infinity.
    ASSERT_EQ(link.ShutDownProcess(), 1);
    set("tilt_down", "y");
    set("trust_start", "0");
    set("ver_count", "1");
    ASSERT_EQ(link.LaunchProcess(), 1);
    ctx->cells[0].tilt_code = 22940;
    ctx->progress.put(progress::kLeadInPoint, 2);
    ASSERT_EQ(link.GetNextPTZ("next", &p), QNPL_NEXT_POSITION);
    EXPECT_EQ(p.x, 12);
    EXPECT_EQ(p.y, -1);
    EXPECT_EQ(p.z, 1);
}

TEST(SubImageGeometry, DirectionsToPanAndTilt)
{
    const struct {
        float d[3];
        float pan, tilt;
    } cases[] = {{{0, 0, 1}, 0, 90}, {{0, 0, -1}, 0, -90}, {{1, 0, 0}, 360, 0}, {{0, 1, 0}, 90, 0},
                 {{0, -1, 0}, 270, 0}, {{-1, 0, 0}, 180, 0}, {{1, 1, 0}, 45, 0}, {{1, 0, 1}, 360, 45}};
    for (const auto& c : cases) {
        float pan = -1, tilt = -1;
        qnpl::VectorToPanTilt(c.d, &pan, &tilt);
        EXPECT_NEAR(pan, c.pan, 1e-4) << c.d[0] << "," << c.d[1] << "," << c.d[2];
        EXPECT_NEAR(tilt, c.tilt, 1e-4) << c.d[0] << "," << c.d[1] << "," << c.d[2];
    }
    qnpl::VectorToPanTilt(cases[0].d, nullptr, nullptr);
}

TEST(SubImageGeometry, LevelPictureFootprint)
{
    qnpl::PtzPicture picture;
    picture.view_angle = 60.0f;
    picture.width = 640;
    picture.height = 360;
    picture.pan = 36.0f;
    picture.tilt = 0.0f;
    qnpl::PositionCell cell;
    ASSERT_EQ(qnpl::MeasurePictureFootprint(&picture, &cell), 1);
    EXPECT_EQ(cell.tilt_code, 23040);
    EXPECT_EQ(cell.pan_code, 36 * 128);
    // Level: the corners bound the tilt (they lie lower than the middle of
    // the top edge), and every column keeps its pan from top to bottom.
    const double f = 320 / std::tan(M_PI / 6);
    const double corner_tilt = std::atan(180 / std::hypot(f, 320.0)) * 180 / M_PI;
    EXPECT_NEAR(cell.tilt_extent / 128.0, 2 * corner_tilt, 0.02);
    EXPECT_NEAR(cell.pan_extent / 128.0, 60.0, 0.01);
    EXPECT_EQ(qnpl::MeasurePictureFootprint(nullptr, &cell), 0);
}

TEST_F(Positions, InputDecodesTheTailAndRefusesWhatItCannotTake)
{
    set("hon_count", "8");
    set("ver_count", "1");
    // The panorama camera's type: lens 77 (no record stored), 64 x 36.
    const uint64_t pano = 3 | (5 << 4) | (uint64_t(77) << 7) | (uint64_t(16) << 23) | (uint64_t(9) << 28) |
                          (uint64_t(8) << 33) | (uint64_t(600) << 44);
    set("panotype_ex", std::to_string(pano).c_str());
    ASSERT_EQ(ctx->def_width, 64);
    ASSERT_EQ(ctx->def_height, 36);
    set("pixel_per_degree", "10");
    std::vector<uint8_t> bgr(64 * 36 * 3, 90);
    _vm_screen pic{};
    pic.width = 64;
    pic.height = 36;
    pic.format = VM_FMT_BGR24;
    pic.packed.stride = 64 * 3;
    pic.packed.pixels = bgr.data();
    const uint64_t type = ptz_type(600, 8, 9, 16);
    _qnpl_ptz_jpg_tail_ tail = tail_for(123.4, 30.0, type);
    EXPECT_EQ(link.InputPTZImage(&pic, &tail), 0) << "not running";
    ASSERT_EQ(link.LaunchProcess(), 1);

    _qnpl_ptz_jpg_tail_ zero_kind = tail_for(10, 0, ptz_type(600, 8, 9, 16, 0));
    EXPECT_EQ(link.InputPTZImage(&pic, &zero_kind), 0);
    EXPECT_TRUE(events.contains("ullPanoTypePT is error "));
    _qnpl_ptz_jpg_tail_ no_angle = tail_for(10, 0, ptz_type(0, 8, 9, 16));
    EXPECT_EQ(link.InputPTZImage(&pic, &no_angle), 0);
    EXPECT_EQ(link.InputPTZImage(nullptr, &tail), 0);
    EXPECT_TRUE(events.contains("pstPTZImage is Null "));
    EXPECT_EQ(link.InputPTZImage(&pic, nullptr), 0);
    EXPECT_TRUE(ctx->flags.test(flag::kReadyForInput)) << "every refusal hands input back";
    _vm_screen bad = pic;
    bad.format = 99;
    EXPECT_EQ(link.InputPTZImage(&bad, &tail), 0);

    // Hold the projection thread off the picture to read the record.
    ctx->flags.set(flag::kProjectionFinished);
    EXPECT_EQ(link.InputPTZImage(&pic, &tail), 0) << "every position has its picture";
    ASSERT_TRUE(events.wait_for({"PROJECT_FINISH"})) << "the projection thread ends on the finished flag";
    ctx->flags.clear(flag::kProjectionFinished);
    ASSERT_EQ(link.InputPTZImage(&pic, &tail), 1);
    EXPECT_FLOAT_EQ(ctx->ptz.pan, 123.4f);
    EXPECT_FLOAT_EQ(ctx->ptz.tilt, 30.0f);
    EXPECT_FLOAT_EQ(ctx->ptz.view_angle, 60.0f);
    EXPECT_EQ(ctx->ptz.width, 64);
    EXPECT_EQ(ctx->ptz.height, 36);
    EXPECT_EQ(ctx->progress.get(progress::kPicturesTaken), 1u);
    EXPECT_TRUE(ctx->flags.test(flag::kPictureWaiting));
    EXPECT_EQ(link.InputPTZImage(&pic, &tail), 0) << "the previous picture is still being taken over";
    EXPECT_TRUE(events.contains("Cache image"));
    EXPECT_TRUE(events.contains("need lens correct")) << "no lens record for the panorama type";
    EXPECT_TRUE(events.contains("SAVEBMP32_TEST"));
    const _vm_screen* cached = ctx->ptz.cached.get();
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(cached->packed.pixels)[5], 0x005a5a5au);
}

TEST_F(Positions, UnionTailCarriesTheCoveredTilts)
{
    set("def_width", "64");
    set("def_height", "36");
    _qnpl_jpg_tail_ptz_pano_ tail{};
    EXPECT_EQ(link.GetUnionImage(nullptr, &tail), nullptr) << "not running";
    ASSERT_EQ(link.LaunchProcess(), 1);
    EXPECT_EQ(link.GetUnionImage(nullptr, &tail), nullptr) << "not ready";
    std::vector<uint8_t> pixels(40 * 16 * 4, 7);
    ctx->spare.width = 40;
    ctx->spare.height = 16;
    ctx->spare.stride = 160;
    ctx->spare.pixels = pixels.data();
    ctx->spare.tilt_code = 26880;
    ctx->spare.tilt_extent = 7680;
    ctx->spare.set_ready();
    ctx->flags.set(flag::kUnionFinished);
    _vm_screen* u = link.GetUnionImage(nullptr, &tail);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(tail.tag, 0x05A02003u);
    EXPECT_EQ(tail.upper_tilt, 2400);
    EXPECT_EQ(tail.lower_tilt, 1800);
    EXPECT_EQ(u->width, 40);
    EXPECT_EQ(u->format, VM_FMT_BGRX32);
    EXPECT_EQ(u->packed.pixels, pixels.data());
    EXPECT_EQ(link.GetUnionImage(nullptr, nullptr), u) << "no tail needed";
    ctx->spare.pixels = nullptr;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, const std::vector<bool>& use, int* used)
{
    double sum = 0;
    *used = 0;
    for (size_t i = 0; i < use.size(); ++i) {
        if (!use[i]) continue;
        ++*used;
        for (int c = 0; c < 3; ++c) {
            const double d = double(a[3 * i + c]) - double(b[3 * i + c]);
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * std::max(*used, 1));
    return 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-9));
}

// The host's loop over one row of a scene shot by an independent camera
// model: every sub-image must show what the panorama shows there.
TEST_F(Positions, ProjectedSubImagesMatchTheScene)
{
    ptzlink_test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string error;
    ptzlink_test::run_python("ptz_scene.py", "pano " + dir.file("pano.raw"), &error);
    ASSERT_TRUE(error.empty()) << error;

    const uint64_t type = ptz_type(600, 80, 9, 16);  // 640 x 360, 60 degrees
    set("hon_count", "15");
    set("ver_count", "1");
    set("pixel_per_degree", "10");
    set("tilt_inter", "15");
    set("trust_start", "5");
    set("panotype_ex", std::to_string(type).c_str());
    ASSERT_EQ(ctx->def_width, 640);
    ASSERT_EQ(ctx->def_height, 360);
    // The union thread stays off the sub-images: matching rewrites them in
    // place, and this test compares them as projected.
    static qnpl::EngineSteps projection_only = qnpl::matching_engine_steps();
    projection_only.balance_colours = [](qnpl_context&) { return 1; };
    ctx->steps = &projection_only;
    ASSERT_EQ(link.LaunchProcess(), 1);

    std::vector<__tag_point3D> cells;
    __tag_point3D p{};
    while (link.GetNextPTZ("next", &p) == QNPL_NEXT_POSITION)
        if (p.z == 1) cells.push_back(p);
    ASSERT_EQ(cells.size(), 15u);
    std::vector<std::pair<double, double>> aims;
    for (const auto& cell : cells) aims.emplace_back(cell.x, cell.y);
    error = ptzlink_test::shoot(dir.file(""), dir.file("pano.raw"), aims);
    ASSERT_TRUE(error.empty()) << error;

    for (size_t i = 0; i < cells.size(); ++i) {
        auto bgr = ptzlink_test::read_raw<uint8_t>(dir.file("p" + std::to_string(i) + ".raw"));
        ASSERT_EQ(bgr.size(), 640u * 360 * 3);
        _vm_screen pic = ptzlink_test::shot_picture(bgr);
        ASSERT_EQ(ptzlink_test::wait_ready_for_input(link), "y") << "picture " << i;
        _qnpl_ptz_jpg_tail_ tail = tail_for(cells[i].x, cells[i].y, type);
        ASSERT_EQ(link.InputPTZImage(&pic, &tail), 1) << "picture " << i;
        if (i == 0) {
            EXPECT_GE(link.CheckDuplicate(&tail), -1.0f);
        }
    }
    ASSERT_TRUE(events.wait_for({"PROJECT_FINISH"}, std::chrono::seconds(120)));
    // The smaller of the pan and the tilt difference to the last picture.
    const qnpl::PositionCell& last = ctx->cells[14];
    _qnpl_ptz_jpg_tail_ again = tail_for(cells[14].x + 1, last.tilt_code / 128.0 - 180 + 3, type);
    EXPECT_NEAR(link.CheckDuplicate(&again), 1.0f, 0.01f) << "one degree of pan from the last picture";
    _qnpl_ptz_jpg_tail_ far = tail_for(cells[14].x - 20, cells[14].y + 30, type);
    EXPECT_EQ(link.CheckDuplicate(&far), -1.0f);
    EXPECT_EQ(link.GetNextPTZ("next", &p), QNPL_NEXT_REFUSED) << "projection finished";

    uint32_t count = 0;
    _qnpl_progect_res_info_* table = link.GetProjectImage(&count);
    ASSERT_EQ(count, 15u);
    double worst = 1e9;
    for (uint32_t i = 0; i < count; ++i) {
        const _qnpl_progect_res_info_& r = table[i];
        const qnpl::PositionCell& cell = ctx->cells[i];
        EXPECT_NEAR(r.pan, cells[i].x, 0.01);
        // The measured middle of a picture tilted up lies below its centre.
        EXPECT_NEAR(r.tilt, cell.tilt_code / 128.0 - 180, 1e-4);
        EXPECT_NEAR(r.tilt, 5.0, 1.0);
        std::ostringstream args;
        args << "subimage " << dir.file("pano.raw") << ' ' << cell.pan_code << ' ' << cell.tilt_code << ' '
             << cell.pan_extent << ' ' << cell.tilt_extent << ' ' << r.picture.width << ' ' << r.picture.height
             << ' ' << dir.file("expected.raw");
        ptzlink_test::run_python("ptz_scene.py", args.str(), &error);
        ASSERT_TRUE(error.empty()) << error;
        const auto expected = ptzlink_test::read_raw<uint8_t>(dir.file("expected.raw"));
        ASSERT_EQ(expected.size(), size_t(r.picture.width) * r.picture.height * 3);
        std::vector<uint8_t> ours(expected.size());
        std::vector<bool> use(size_t(r.picture.width) * r.picture.height);
        for (int y = 0; y < r.picture.height; ++y)
            for (int x = 0; x < r.picture.width; ++x) {
                const uint32_t px =
                    reinterpret_cast<const uint32_t*>(r.picture.packed.pixels + y * r.picture.packed.stride)[x];
                const size_t at = size_t(y) * r.picture.width + x;
                ours[3 * at] = uint8_t(px);
                ours[3 * at + 1] = uint8_t(px >> 8);
                ours[3 * at + 2] = uint8_t(px >> 16);
                use[at] = px != 0;
            }
        int used = 0;
        const double db = psnr(ours, expected, use, &used);
        EXPECT_GT(used, int(use.size()) * 9 / 10) << "the sub-image covers the picture";
        EXPECT_GE(db, 25.0) << "cell " << i;
        worst = std::min(worst, db);
        EXPECT_GT(cell.mean_brightness, 60);
        EXPECT_LT(cell.low_cut[1], cell.channel_mean[1]);
        EXPECT_GT(cell.high_cut[1], cell.channel_mean[1]);
    }
    RecordProperty("worst_subimage_psnr_db", std::to_string(worst));
    std::printf("worst sub-image PSNR against the scene: %.1f dB\n", worst);
    EXPECT_EQ(ctx->cells[0].width, int(ctx->cells[0].pan_extent / 128.0f * 10.0f));
    ASSERT_EQ(link.ShutDownProcess(), 1);
}

TEST_F(Positions, SubImageSizesAndPyramidPlanes)
{
    set("pixel_per_degree", "10");
    set("def_width", "640");
    set("def_height", "360");
    set("hon_count", "8");
    set("ver_count", "1");
    ASSERT_EQ(link.LaunchProcess(), 1);
    ASSERT_EQ(ctx->flags.get(flag::kPyramidLevels), 3u);
    ASSERT_EQ(link.ShutDownProcess(), 1);  // the test drives the step itself
    ctx->flags.set(flag::kRunning);
    ctx->ptz.cached.reset(qnpl::NewPictureBuffer(640, 360));
    ctx->ptz.view_angle = 30.0f;  // level: the pan extent is the view angle, 3840 codes
    ctx->ptz.width = 640;
    ctx->ptz.height = 360;
    ctx->progress.put(progress::kPicturesTaken, 1);
    ASSERT_EQ(qnpl::SetUpSubImage(*ctx), 1);
    qnpl::PositionCell& cell = ctx->cells[0];
    EXPECT_TRUE(cell.ready());
    EXPECT_EQ(cell.pan_extent, 3840);
    EXPECT_EQ(cell.width, 300);
    EXPECT_EQ(cell.padded_width, 300u);
    EXPECT_EQ(cell.stride, 1200);
    EXPECT_EQ(cell.work, cell.pixels + size_t(cell.height) * 1200);
    EXPECT_EQ(cell.levels[0][1].width, 150);
    EXPECT_EQ(cell.levels[0][1].row_length, 152);
    EXPECT_EQ(cell.levels[1][1].height, cell.height / 2);
    EXPECT_EQ(cell.levels[0][2].size, 320);
    EXPECT_NE(cell.levels[1][0].plane, nullptr) << "three levels: all used";
    EXPECT_EQ(cell.levels[1][0].plane, cell.levels[0][0].plane + cell.levels[0][0].row_length * cell.height);
    EXPECT_EQ(cell.levels[0][1].plane, cell.levels[1][0].plane + cell.levels[1][0].row_length * cell.height);
    EXPECT_TRUE(events.contains("Sub image create 300 & " + std::to_string(cell.height)));
    EXPECT_TRUE(ctx->flags.test(flag::kReadyForInput));
    EXPECT_FALSE(ctx->flags.test(flag::kPictureWaiting));
    ctx->flags.clear(flag::kRunning);
}

}  // namespace
