// A whole run through the public interface on the library's own threads: a
// virtual PTZ camera with small pointing errors photographs a known scene at
// every position the library asks for, as the hub would feed it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine_context.h"
#include "engine_instance.h"
#include "event_recorder.h"
#include "qn_ptzlink.h"
#include "support/ptz_shots.h"
#include "test_support.h"
#include "platform/paths.h"

namespace {

using ptzlink_test::EventRecorder;

uint64_t ptz_type()  // layout 3: 60 degrees, 640 x 360
{
    return 3 | uint64_t(1) << 4 | uint64_t(600) << 44 | uint64_t(80) << 33 | uint64_t(9) << 28 | uint64_t(16) << 23;
}

_qnpl_ptz_jpg_tail_ tail_for(int pan, int tilt)
{
    _qnpl_ptz_jpg_tail_ t{};
    t.word0 = (uint64_t(pan * 10) & 0xfff) << 18 | (uint64_t(tilt * 10 + 1800) & 0xfff) << 30;
    t.word1 = ptz_type();
    return t;
}

// Pointing errors of the virtual camera, in degrees; the reference cell
// (row 0, column 7) points true so the union image keeps the scene's frame.
double pan_error(int cell) { return cell == 7 ? 0.0 : 0.6 * std::sin(cell * 2.1); }
double tilt_error(int cell) { return cell == 7 ? 0.0 : 0.3 * std::cos(cell * 1.7); }

// Runs the whole scene and checks the links and the union image; the union
// PSNR must reach `min_psnr` (the high-dynamic path brightens shadows, so it
// departs further from the scene).
void run_scene(const char* high_dynamic, double min_psnr, EventRecorder& events)
{
    ptzlink_test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string error;
    ptzlink_test::run_python("ptz_scene.py", "pano " + dir.file("pano.raw"), &error);
    ASSERT_TRUE(error.empty()) << error;

    QN_PTZLINK link;
    ASSERT_EQ(link.Create(), 1);
    ASSERT_EQ(link.SetEventCallBack(&EventRecorder::callback, events.user()), 1);
    const std::pair<const char*, std::string> settings[] = {
        {"hon_count", "15"}, {"ver_count", "2"}, {"pixel_per_degree", "10"}, {"pixel_move_regis", "1"},
        {"res_range_enlarge", "365"}, {"panotype_ex", std::to_string(ptz_type())},
        {"correct_range_pan_line", "30"}, {"correct_range_tilt_line", "5"}, {"correct_range_pan_row", "20"},
        {"correct_range_tilt_row", "10"}, {"trust_rate", "1"}, {"last_error_enlarge", "y"}, {"tilt_inter", "15"},
        {"high_dynamic", high_dynamic}};
    for (const auto& [key, value] : settings) ASSERT_EQ(link.SetInfo(key, value.c_str()), 1) << key;
    ASSERT_EQ(link.LaunchProcess(), 1);

    std::vector<__tag_point3D> cells;
    __tag_point3D p{};
    while (link.GetNextPTZ("next", &p) == QNPL_NEXT_POSITION)
        if (p.z == 1) cells.push_back(p);
    ASSERT_EQ(cells.size(), 30u);
    std::vector<std::pair<double, double>> aims;
    for (size_t i = 0; i < cells.size(); ++i)
        aims.emplace_back(cells[i].x + pan_error(int(i)), cells[i].y + tilt_error(int(i)));
    error = ptzlink_test::shoot(dir.file(""), dir.file("pano.raw"), aims);
    ASSERT_TRUE(error.empty()) << error;

    for (size_t i = 0; i < cells.size(); ++i) {
        auto bgr = ptzlink_test::read_raw<uint8_t>(dir.file("p" + std::to_string(i) + ".raw"));
        _vm_screen pic = ptzlink_test::shot_picture(bgr);
        ptzlink_test::wait_ready_for_input(link);
        _qnpl_ptz_jpg_tail_ tail = tail_for(cells[i].x, cells[i].y);
        ASSERT_EQ(link.InputPTZImage(&pic, &tail), 1) << "picture " << i;
    }
    ASSERT_TRUE(events.wait_for({"PROJECT_FINISH", "UNION_FINISH"}, std::chrono::seconds(120)));
    EXPECT_TRUE(events.contains("Match image"));

    // Neighbour links against the injected pointing errors.
    qnpl_context* ctx = qnpl::engine_instance();
    double worst_link = 0;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c + 1 < 15; ++c) {
            const int a = r * 15 + c, b = a + 1;
            const double truth = (cells[b].x + pan_error(b)) - (cells[a].x + pan_error(a));
            const double got = ctx->cells[b].links[qnpl::kLeftLink].dx / 128.0;
            worst_link = std::max(worst_link, std::fabs(got - truth));
        }
    for (int c = 0; c < 15; ++c) {
        const int a = c, b = 15 + c;
        const double truth = (cells[b].x + pan_error(b)) - (cells[a].x + pan_error(a));
        worst_link = std::max(worst_link, std::fabs(ctx->cells[b].links[qnpl::kUpperLink].dx / 128.0 - truth));
    }
    std::printf("worst neighbour link error: %.3f degrees\n", worst_link);
    ::testing::Test::RecordProperty("worst_link_error_degrees", std::to_string(worst_link));
    EXPECT_LE(worst_link, 0.25);

    // OpenCV's template matching on the same pairs agrees with our offsets.
    for (int a : {0, 5, 16}) {
        const qnpl::PositionCell& A = ctx->cells[a];
        const qnpl::PositionCell& B = ctx->cells[a + 1];
        if (!A.pixels || !B.pixels) continue;  // the high-dynamic path freed them
        for (const qnpl::PositionCell* c : {&A, &B}) {
            std::vector<uint8_t> bgr(size_t(c->width) * c->height * 3);
            for (int y = 0; y < c->height; ++y)
                for (int x = 0; x < c->width; ++x)
                    for (int ch = 0; ch < 3; ++ch)
                        bgr[(size_t(y) * c->width + x) * 3 + ch] = c->pixels[y * c->stride + 4 * x + ch];
            ASSERT_TRUE(ptzlink_test::write_raw(dir.file(c == &A ? "a.raw" : "b.raw"), bgr));
        }
        std::ostringstream margs;
        margs << dir.file("a.raw") << ' ' << A.width << ' ' << A.height << ' ' << dir.file("b.raw") << ' ' << B.width
              << ' ' << B.height;
        const std::string out = ptzlink_test::run_python("match_reference.py", margs.str(), &error);
        ASSERT_TRUE(error.empty()) << error;
        int cv_dx = 0, cv_dy = 0;
        std::istringstream(out) >> cv_dx >> cv_dy;
        const double ours = B.links[qnpl::kLeftLink].dx / 128.0;
        // Sub-images are laid out from their measured centres; OpenCV sees
        // pixels, ten to a degree.
        const double opencv = cv_dx / 10.0;
        std::printf("pair %d-%d: ours %.2f, OpenCV %.2f degrees\n", a, a + 1, ours, opencv);
        EXPECT_NEAR(ours, opencv, 0.25) << "pair " << a;
    }

    _qnpl_jpg_tail_ptz_pano_ tail{};
    _vm_screen* u = link.GetUnionImage(nullptr, &tail);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(tail.tag, 0x05A02003u);
    EXPECT_EQ(u->width, 3600);
    EXPECT_EQ(u->height % 16, 0);
    EXPECT_GT(tail.upper_tilt, tail.lower_tilt);

    // OSTRELS_PTZLINK_SAVE_UNION=<folder> keeps the union image (BGRX, with
    // its size in the name) for a look.
    if (const auto keep = platform::GetEnv("OSTRELS_PTZLINK_SAVE_UNION")) {
        std::ofstream out(*keep + "/union_" + high_dynamic + "_" + std::to_string(u->width) + "x" +
                              std::to_string(u->height) + ".bgrx",
                          std::ios::binary);
        for (int y = 0; y < u->height; ++y)
            out.write(reinterpret_cast<const char*>(u->packed.pixels + y * u->packed.stride), u->width * 4);
    }
    // The union image against the scene on the same grid.
    const qnpl::PositionCell& spare = ctx->spare;
    const double top = spare.tilt_code / 128.0 - 180 + spare.tilt_extent / 128.0 * 0.5;
    const double dt = spare.tilt_extent / 128.0 / u->height;
    const double dp = 365.0 / u->width, a0 = -2.5;
    std::ostringstream args;
    args << "union " << dir.file("pano.raw") << ' ' << u->width << ' ' << u->height << ' ' << a0 << ' ' << dp << ' '
         << top << ' ' << dt << ' ' << dir.file("union.raw");
    ptzlink_test::run_python("ptz_scene.py", args.str(), &error);
    ASSERT_TRUE(error.empty()) << error;
    const auto expected = ptzlink_test::read_raw<uint8_t>(dir.file("union.raw"));
    ASSERT_EQ(expected.size(), size_t(u->width) * u->height * 3);
    const int band = 2 * 10 + 2;
    double sum = 0;
    int64_t used = 0, covered = 0;
    for (int y = 0; y < u->height; ++y)
        for (int x = band; x < u->width - band; ++x) {
            const uint32_t px = reinterpret_cast<const uint32_t*>(u->packed.pixels + y * u->packed.stride)[x];
            if ((px & 0xffffff) == 0) continue;
            ++covered;
            for (int c = 0; c < 3; ++c) {
                const double d = double((px >> (8 * c)) & 0xff) - expected[(size_t(y) * u->width + x) * 3 + c];
                sum += d * d;
            }
            ++used;
        }
    ASSERT_GT(used, int64_t(u->width - 2 * band) * u->height * 8 / 10) << "the union covers its frame";
    const double psnr = 10 * std::log10(255.0 * 255.0 / (sum / (3.0 * used)));
    std::printf("union image PSNR against the scene: %.1f dB (%lld pixels)\n", psnr, (long long)used);
    ::testing::Test::RecordProperty("union_psnr_db", std::to_string(psnr));
    EXPECT_GE(psnr, min_psnr);

    ASSERT_EQ(link.ShutDownProcess(), 1);
    EXPECT_EQ(link.Destory(), 1);
}

TEST(UnionRun, TwoRowsOfPicturesBecomeTheScene)
{
    EventRecorder events;
    run_scene("n", 22.0, events);
    EXPECT_FALSE(events.contains("HD process"));
}

TEST(UnionRun, HighDynamicPathToneMapsTheUnion)
{
    EventRecorder events;
    run_scene("y", 15.0, events);
    const auto texts = events.texts();
    const auto codes = events.codes();
    std::vector<std::string> hd;
    for (const auto& t : texts)
        if (t.rfind("HD ", 0) == 0) hd.push_back(t);
    EXPECT_EQ(hd, (std::vector<std::string>{"HD process", "HD engine OK", "HD static OK", "HD prepare OK"}));
    // Every "Generate result" carries the address of the progress record.
    int generate = 0;
    for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == "Generate result") {
            ++generate;
            EXPECT_NE(codes[i], 0u);
            EXPECT_GT(codes[i], 1000u) << "an address, not thousandths";
        }
    EXPECT_GT(generate, 2);
}

}  // namespace
