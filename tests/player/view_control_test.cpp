// The projection mode's engine: the windows' lens table, gestures turned into
// PTZ requests, and projected pictures checked against numpy and OpenCV.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ViewControl.h"
#include "picture_files.h"
#include "qn_imageprocess.h"
#include "qn_ptzlink.h"
#include "support/lens_record_builder.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "view_lens_table.h"

namespace {

using ptzlink_test::build_record;
using ptzlink_test::kCoefficientOne;
using ptzlink_test::LensFields;

// Form 5: width / 8 in bits 14-24, height / 8 in bits 25-34, field of view in
// tenths of a degree in bits 35-45; bits 4-6 are 5.
// Bits 7-13 are free and tell lenses apart: the linkage library keeps the
// first record of a lens for the life of the process.
uint64_t Form5Type(int width, int height, int fov_tenths, uint64_t lens_low = 0)
{
    return 5 | (uint64_t(5) << 4) | lens_low << 7 | uint64_t(width / 8) << 14 | uint64_t(height / 8) << 25 |
           uint64_t(fov_tenths) << 35;
}

uint32_t LensIdOf(uint64_t type) { return uint32_t((type >> 7) & 0xffff); }

// Form 3 with lens id 0x1234 and extra bits that set nothing.
uint64_t Form3Type(uint32_t lens_id, uint64_t width, uint64_t num, uint64_t den, uint64_t fov_tenths)
{
    return 3 | (uint64_t(5) << 4) | uint64_t(lens_id) << 7 | den << 23 | num << 28 | (width / 8) << 33 |
           fov_tenths << 44;
}

struct Event {
    std::string name;
    float data[3];
};

void Record(const float* data, const char* name, void* user)
{
    static_cast<std::vector<Event>*>(user)->push_back(Event{name, {data[0], data[1], data[2]}});
}

class LensTable : public ::testing::Test {
protected:
    void SetUp() override { player::ClearViewLensTable(); }
    void TearDown() override { player::ClearViewLensTable(); }
};

TEST_F(LensTable, RefusesBadLengthsTypesAndRecords)
{
    const uint64_t type = Form3Type(0x1234, 640, 3, 4, 900);
    std::vector<uint8_t> good = build_record(ptzlink_test::identity_lens(0x1234));
    LensFields nonzero_kind = ptzlink_test::identity_lens(0x1234);
    nonzero_kind.kind = 1;
    LensFields no_scale = ptzlink_test::identity_lens(0x1234);
    LensFields other = ptzlink_test::identity_lens(0x1234);
    other.a[0] = kCoefficientOne;
    no_scale.scale = 0;
    struct Case {
        const char* what;
        std::vector<uint8_t> record;
        int length;
        uint64_t type;
        int expected;
    } cases[] = {
        {"95 bytes", good, 95, type, QN_VPI_ERR_LENGTH},
        {"97 bytes", std::vector<uint8_t>(97), 97, type, QN_VPI_ERR_LENGTH},
        {"form 4", good, 96, (type & ~0xfull) | 4, QN_VPI_ERR_TYPE},
        {"bits 4-6 not 5", good, 96, type & ~0x70ull, QN_VPI_ERR_TYPE},
        {"first bits not 0", build_record(nonzero_kind), 96, type, QN_VPI_ERR_RECORD},
        {"other lens id", build_record(ptzlink_test::identity_lens(0x1235)), 96, type, QN_VPI_ERR_RECORD},
        {"zero scale", build_record(no_scale), 96, type, QN_VPI_ERR_RECORD},
        {"good", good, 96, type, 0},
        {"same lens again", build_record(other), 96, type, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ViewControl::addLensRecord(c.record.data(), c.length, c.type, 0), c.expected) << c.what;
    EXPECT_EQ(ViewControl::addLensRecord(nullptr, 96, type, 0), QN_VPI_ERR_LENGTH);
    uint32_t lens_id = 0, uses = 9;
    ASSERT_TRUE(player::ViewLensEntry(0, &lens_id, &uses));
    EXPECT_EQ(lens_id, 0x1234u);
    EXPECT_EQ(uses, 0u);
    EXPECT_FALSE(player::ViewLensEntry(1, &lens_id, &uses));
    // The first record of a lens stays.
    player::ViewLensRecord kept;
    ASSERT_TRUE(player::UseViewLensRecord(type, &kept));
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), good.begin()));
}

TEST_F(LensTable, FormFiveCodesKeepTheirLensBitsAndAFullTableReplacesTheLeastUsed)
{
    std::vector<uint64_t> types;
    for (uint32_t i = 0; i < 32; ++i) {
        const uint64_t type = Form3Type(100 + i, 640, 3, 4, 900);
        types.push_back(type);
        ASSERT_EQ(ViewControl::addLensRecord(build_record(ptzlink_test::identity_lens(100 + i)).data(), 96, type, 0), 0);
    }
    // Every entry used twice, except entry 7 (once) and entry 3 (three times).
    player::ViewLensRecord record;
    for (uint32_t i = 0; i < 32; ++i) {
        const int uses = i == 7 ? 1 : i == 3 ? 3 : 2;
        for (int k = 0; k < uses; ++k) ASSERT_TRUE(player::UseViewLensRecord(types[i], &record));
    }
    uint32_t lens_id = 0, uses = 0;
    ASSERT_TRUE(player::ViewLensEntry(3, &lens_id, &uses));
    EXPECT_EQ(uses, 3u);

    const uint64_t plain = Form5Type(768, 576, 900);
    ASSERT_EQ(ViewControl::addLensRecord(build_record(ptzlink_test::identity_lens(LensIdOf(plain))).data(), 96,
                                         plain, 0),
              0);
    ASSERT_TRUE(player::ViewLensEntry(7, &lens_id, &uses));
    EXPECT_EQ(lens_id, LensIdOf(plain));
    EXPECT_EQ(uses, 0u);
    EXPECT_FALSE(player::UseViewLensRecord(types[7], &record)) << "the least used lens made room";
    for (uint32_t i = 0; i < 32; ++i)
        if (i != 7) {
            EXPECT_TRUE(player::UseViewLensRecord(types[i], &record)) << i;
        }
}

// A distorted lens between a 768 x 576 corrected picture and a 640 x 480
// camera picture, most of it inside.
LensFields DistortedLens(uint32_t lens_id)
{
    LensFields f;
    f.lens_id = lens_id;
    f.input_width = 768;
    f.input_height = 576;
    f.output_width = 640;
    f.output_height = 480;
    f.scale = 1000;
    const double a[10] = {0.05, 0.78, 0.004, 0.01, 0.003, 0.006, -0.002, 0.0015, -0.004, 0.0008};
    const double b[10] = {-0.03, 0.008, 0.002, 0.8, -0.004, 0.005, 0.003, -0.002, 0.0007, -0.003};
    for (int i = 0; i < 10; ++i) {
        f.a[i] = int32_t(std::lround(a[i] * kCoefficientOne));
        f.b[i] = int32_t(std::lround(b[i] * kCoefficientOne));
    }
    return f;
}

// An open engine on a 640 x 480 source: the output is 768 x 576 by default,
// the reference frame a 640 x 480 stream is projected into.
class Engine : public ::testing::Test {
protected:
    void SetUp() override { player::ClearViewLensTable(); }
    void TearDown() override { player::ClearViewLensTable(); }

    void Open(int out_w, int out_h, int fov_tenths, const LensFields* lens = nullptr, uint64_t lens_low = 0)
    {
        const uint64_t type = Form5Type(out_w, out_h, fov_tenths, lens_low);
        LensFields fields = lens ? *lens : ptzlink_test::identity_lens(0);
        fields.lens_id = LensIdOf(type);
        ASSERT_EQ(ViewControl::addLensRecord(build_record(fields).data(), 96, type, 0), 0);
        view.setEventCallback(Record, &events);
        ASSERT_TRUE(view.setSourceSize(640, 480));
        ASSERT_TRUE(view.setPanoType(type));
        ASSERT_TRUE(view.open());
        ASSERT_TRUE(view.setCurrentAngles(pan, tilt));
    }

    ViewPoint At(int x, int y) const { return ViewPoint{x, y, view.outputWidth(), view.outputHeight()}; }

    std::vector<Event> events;
    ViewControl view;
    float pan = 0.0f, tilt = 0.0f;
};

double Deg(double r) { return r * 180.0 / M_PI; }

// Horizontal angle at 90 degrees of a point on the 0 ... 10,000 scale, after
// the round trip through a 768-pixel window.
double AngleAt(int x)
{
    const int64_t pixel = int64_t(x) * 768 / 10000;
    const double offset = (double(pixel * 10000 / 768) - 5000.0) / 10000.0;
    return Deg(std::atan(2.0 * offset));
}

TEST_F(Engine, GesturesBecomePtzRequests)
{
    const ViewPoint none{};
    struct Step {
        int state;
        int x, y;  // on the 0 ... 10,000 scale; -1: the window's press without a position
        int t;
    };
    struct Case {
        const char* what;
        float pan, tilt;
        int fov_tenths;
        std::vector<Step> steps;
        std::vector<std::string> names;
        float goto_pan, goto_tilt;  // of "ptz_goto" when named
    };
    const double f90 = 0.5;  // focal length over width at 90 degrees
    const std::vector<Case> cases = {
        {"press and release without a position", 0, 0, 900, {{1, -1, -1, 0}, {0, -1, -1, 10}}, {"3d_ctrl_clear"}, 0,
         0},
        {"click right of centre", 0, 0, 900, {{1, -1, -1, 0}, {1, 7500, 5000, 50}, {0, -1, -1, 60}},
         {"3d_ctrl_clear", "ptz_goto", "3d_ctrl_goto"}, float(Deg(std::atan(0.25 / f90))), 0},
        {"click at the centre", 0, 0, 900, {{1, -1, -1, 0}, {1, 5000, 5000, 50}, {0, -1, -1, 60}},
         {"3d_ctrl_clear"}, 0, 0},
        {"click wraps the pan past 360", 350, 0, 900, {{1, -1, -1, 0}, {1, 7500, 5000, 50}, {0, -1, -1, 60}},
         {"3d_ctrl_clear", "ptz_goto", "3d_ctrl_goto"}, float(350 + Deg(std::atan(0.5)) - 360), 0},
        // Output 768 x 576: a click at the top edge under a tilt of 30 adds atan(288 / 384).
        {"click above under a tilt", 10, 30, 900, {{1, -1, -1, 0}, {1, 5000, 0, 50}, {0, -1, -1, 60}},
         {"3d_ctrl_clear", "ptz_goto", "3d_ctrl_goto"}, 10, float(30 + Deg(std::atan(288.0 / 384.0)))},
        // Past the pole the camera turns round: 80 + 36.87 reflects to 63.13.
        {"click above under a tilt of 80", 20, 80, 900, {{1, -1, -1, 0}, {1, 5000, 0, 50}, {0, -1, -1, 60}},
         {"3d_ctrl_clear", "ptz_goto", "3d_ctrl_goto"}, 200, float(180 - 80 - Deg(std::atan(288.0 / 384.0)))},
        {"a throw moves the camera and goes nowhere", 0, 0, 900,
         {{1, -1, -1, 0}, {1, 5000, 5000, 40}, {1, 5500, 5000, 80}, {1, 6000, 5000, 120}, {0, -1, -1, 130}},
         {"3d_ctrl_clear", "ptz_move_prepare", "ptz_move"}, 0, 0},
        // No speed without time between events: not a throw, so the last point is a target too.
        {"events in the same millisecond", 0, 0, 900,
         {{1, -1, -1, 40}, {1, 5000, 5000, 40}, {1, 5500, 5000, 40}, {1, 6000, 5000, 40}, {0, -1, -1, 40}},
         {"3d_ctrl_clear", "ptz_move_prepare", "ptz_move", "ptz_goto", "3d_ctrl_goto"}, float(AngleAt(6000)), 0},
        {"a field of view past 180 is kept below it", 0, 0, 2000,
         {{1, -1, -1, 0}, {1, 7500, 2500, 50}, {0, -1, -1, 60}}, {"3d_ctrl_clear", "ptz_goto", "3d_ctrl_goto"},
         float(Deg(std::atan2(0.25, 0.5 / std::tan(179.9 * M_PI / 360.0)))), -999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        player::ClearViewLensTable();
        view.reset();
        pan = c.pan;
        tilt = c.tilt;
        Open(768, 576, c.fov_tenths);
        for (const Step& s : c.steps) {
            const ViewPoint p = s.x < 0 ? none : At(s.x * 768 / 10000, s.y * 576 / 10000);
            EXPECT_EQ(view.onGesture(p, s.state, s.t), 0);
        }
        std::vector<std::string> names;
        for (const Event& e : events) {
            names.push_back(e.name);
            for (float v : e.data) EXPECT_TRUE(std::isfinite(v)) << e.name;
        }
        EXPECT_EQ(names, c.names);
        for (const Event& e : events) {
            if (e.name == "ptz_goto" || e.name == "3d_ctrl_goto") {
                EXPECT_NEAR(e.data[0], c.goto_pan, 0.01);
                if (c.goto_tilt != -999) {
                    EXPECT_NEAR(e.data[1], c.goto_tilt, 0.01);
                }
                EXPECT_GE(e.data[1], -90.0f);
                EXPECT_LE(e.data[1], 90.0f);
                EXPECT_EQ(e.data[2], 1.0f);
            }
            if (e.name == "ptz_move_prepare" || e.name == "ptz_move") {
                // The last step, 5500 -> 6000: to the left by the angle between.
                EXPECT_NEAR(e.data[0], -(AngleAt(6000) - AngleAt(5500)), 0.01);
                EXPECT_EQ(e.data[1], 0.0f);
            }
        }
        EXPECT_EQ(view.state() & ViewControl::kBusy, 0u);
    }
}

TEST_F(Engine, GesturesWaitForAnglesAndAnOpenProjection)
{
    ViewControl idle;
    EXPECT_EQ(idle.onGesture(ViewPoint{1, 1, 2, 2}, 1, 0), 1);
    Open(768, 576, 900);
    view.close();
    EXPECT_EQ(view.onGesture(At(10, 10), 1, 0), 1);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(view.setCurrentAngles(361, 0));
    EXPECT_FALSE(view.setCurrentAngles(0, -90.5f));
    EXPECT_FALSE(view.setCurrentAngles(NAN, 0));
}

TEST_F(Engine, WheelAndPinchZoomAndAZoomedDragShiftsTheCrop)
{
    Open(768, 576, 900);
    view.zoomIn(1);
    view.zoomIn(1);
    EXPECT_NEAR(view.zoomLevel(), 0.2f, 1e-6);
    view.zoomIn(7);  // at most three steps
    EXPECT_NEAR(view.zoomLevel(), 0.5f, 1e-6);
    view.zoomOut(3);
    view.zoomOut(3);
    EXPECT_EQ(view.zoomLevel(), 0.0f);
    for (int i = 0; i < 12; ++i) view.zoomIn(1);
    EXPECT_EQ(view.zoomLevel(), 1.0f);

    // Two points 100 scaled units apart, then 130: (30 - 0.1) / 1.5 above the
    // base, kept in [0, 1].
    view.zoomOut(3);
    view.zoomOut(3);
    view.zoomOut(3);
    view.zoomOut(1);
    const ViewPoint a{0, 0, 10000, 10000};
    EXPECT_EQ(view.onGesture(a, 2, 0, &a), 0);
    const ViewPoint b{0, 100, 10000, 10000};
    view.onGesture(a, 2, 10, &b);  // 0.83 scaled units: (0.83 - 0.1) / 1.5
    EXPECT_NEAR(view.zoomLevel(), (0.83f - 0.1f) / 1.5f, 1e-4);
    const ViewPoint c{0, 500, 10000, 10000};
    view.onGesture(a, 2, 20, &c);
    EXPECT_EQ(view.zoomLevel(), 1.0f);
    view.onGesture(a, 0, 30);
    EXPECT_EQ(events.size(), 1u) << "only the clear that began the pinch";

    // Zoomed to 1: a quarter of the picture shows, the crop can move 3/8.
    _vm_screen source{};
    _vm_screen* picture = nullptr;
    ASSERT_EQ(qnCreateImage(&picture, 640, 480, VM_FMT_YUV420), 0);
    std::memset(picture->planar.plane[0], 90, size_t(picture->planar.stride[0]) * 480);
    ASSERT_TRUE(view.inputFrame(picture, 1));
    ViewCrop crop;
    ASSERT_EQ(view.outputFrame(&source, &crop), 1);
    EXPECT_EQ(crop.left, 288);
    EXPECT_EQ(crop.right, 480);
    EXPECT_EQ(crop.top, 216);
    EXPECT_EQ(crop.bottom, 360);
    events.clear();
    view.onGesture(ViewPoint{}, 1, 100);
    view.onGesture(At(384, 288), 1, 140);
    view.onGesture(At(430, 288), 1, 180);
    view.onGesture(At(480, 288), 1, 220);  // right: the crop follows left, the camera stays
    EXPECT_LT(view.panOffset(), 0.0f);
    EXPECT_EQ(view.tiltOffset(), 0.0f);
    for (const Event& e : events) EXPECT_NE(e.name, "ptz_move_prepare");
    ASSERT_EQ(view.outputFrame(&source, &crop), 1);
    EXPECT_LT(crop.left, 288);
    EXPECT_EQ(crop.right - crop.left, 192);
    qnReleaseImage(&picture);
}

TEST_F(Engine, RefusesTypeCodesItCannotProject)
{
    ViewControl v;
    EXPECT_FALSE(v.setPanoType(Form3Type(1, 640, 3, 0, 900))) << "zero denominator";
    EXPECT_FALSE(v.setPanoType(Form3Type(1, 0, 3, 4, 900))) << "zero width";
    EXPECT_FALSE(v.setPanoType(Form5Type(640, 480, 0))) << "no field of view";
    EXPECT_FALSE(v.setPanoType((Form5Type(640, 480, 900) & ~0xfull) | 4)) << "form 4";
    EXPECT_TRUE(v.setPanoType(Form3Type(1, 640, 3, 4, 2047)));
    EXPECT_EQ(v.outputWidth(), 640);
    EXPECT_EQ(v.outputHeight(), 480);
    EXPECT_FALSE(v.open()) << "no source size";
    EXPECT_TRUE(v.setSourceSize(640, 480));
    EXPECT_FALSE(v.open()) << "no lens record";
}

bool HavePythonOracles()
{
    return testing_support::RunCommand("/usr/bin/python3 -c 'import numpy, cv2' 2>/dev/null").exitCode == 0;
}

std::string Script(const char* name) { return std::string(OSTRELS_SOURCE_DIR) + "/tests/ptzlink/" + name; }

template <typename T>
std::vector<T> ReadRaw(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (!player_test::ReadFileBytes(path, bytes)) return {};
    std::vector<T> out(bytes.size() / sizeof(T));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

TEST_F(Engine, ProjectsA640x480StreamAsNumpyAndOpenCvDo)
{
    if (!HavePythonOracles()) GTEST_SKIP() << "needs python3-numpy and python3-opencv for /usr/bin/python3";
    testing_support::TempFolder dir;
    const std::string base = dir.Path() + "/";
    const LensFields lens = DistortedLens(0);
    Open(768, 576, 900, &lens, 21);
    const int sw = 640, sh = 480, dw = 768, dh = 576;
    const __tag_point* map = view.projectionMap();
    ASSERT_NE(map, nullptr);

    std::ostringstream params;
    params << lens.input_width << ' ' << lens.input_height << ' ' << lens.scale << ' ' << lens.output_width << ' '
           << lens.output_height << ' ' << sw << ' ' << sh << ' ' << dw << ' ' << dh;
    for (int32_t v : lens.a) params << ' ' << v;
    for (int32_t v : lens.b) params << ' ' << v;
    std::ofstream(base + "params.txt") << params.str();
    auto run = testing_support::RunCommand("/usr/bin/python3 " + Script("lens_map_reference.py") + " " + base +
                                           "params.txt " + base + "map.raw 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto expected_map = ReadRaw<int32_t>(base + "map.raw");
    ASSERT_EQ(expected_map.size(), size_t(dw) * dh * 2);
    int exact = 0, inside = 0, far = 0;
    for (int i = 0; i < dw * dh; ++i) {
        if (expected_map[2 * i] == map[i].x && expected_map[2 * i + 1] == map[i].y) ++exact;
        if (expected_map[2 * i] >= 0) ++inside;
        if (std::abs(expected_map[2 * i] - map[i].x) > 2 || std::abs(expected_map[2 * i + 1] - map[i].y) > 2) ++far;
    }
    EXPECT_GT(inside, dw * dh / 2);
    EXPECT_LT(inside, dw * dh) << "the lens must reach past the source somewhere";
    EXPECT_EQ(far, 0);
    EXPECT_GE(exact, dw * dh * 99 / 100);

    // Smooth luma with texture and chroma ramps: OpenCV's 5-bit weights stay
    // within 2 of ours only where neighbours differ little.
    player_test::RawYuv raw;
    raw.width = sw;
    raw.height = sh;
    raw.bytes.resize(raw.FrameSize());
    for (int r = 0; r < sh; ++r)
        for (int c = 0; c < sw; ++c)
            raw.bytes[size_t(r) * sw + c] = uint8_t(128 + 90 * std::sin(c * 0.07) * std::cos(r * 0.05));
    for (size_t i = 0; i < raw.ChromaSize(); ++i) {
        raw.bytes[raw.LumaSize() + i] = uint8_t(i % (sw / 2));
        raw.bytes[raw.LumaSize() + raw.ChromaSize() + i] = uint8_t(255 - i / (sw / 2));
    }
    _vm_screen* picture = nullptr;
    ASSERT_EQ(qnCreateImage(&picture, sw, sh, VM_FMT_YUV420), 0);
    player_test::FillFromRaw(raw, *picture);
    ASSERT_TRUE(view.inputFrame(picture, 7));
    qnReleaseImage(&picture);
    _vm_screen out{};
    ViewCrop crop;
    ASSERT_EQ(view.outputFrame(&out, &crop), 1);
    EXPECT_EQ(out.format, VM_FMT_YUV420);
    EXPECT_EQ(out.width, dw);
    EXPECT_EQ(out.height, dh);
    EXPECT_EQ(out.base, nullptr);
    EXPECT_EQ(crop.left, 0);
    EXPECT_EQ(crop.right, dw);

    std::vector<uint8_t> luma(raw.bytes.begin(), raw.bytes.begin() + sw * sh);
    ASSERT_TRUE(player_test::WriteFileBytes(base + "y.raw", luma));
    std::vector<uint8_t> map_bytes(size_t(dw) * dh * sizeof(__tag_point));
    std::memcpy(map_bytes.data(), map, map_bytes.size());
    ASSERT_TRUE(player_test::WriteFileBytes(base + "map_ours.raw", map_bytes));
    std::ostringstream args;
    args << base << "y.raw " << sw << ' ' << sh << ' ' << base << "map_ours.raw " << dw << ' ' << dh << ' ' << base
         << "out.raw";
    run = testing_support::RunCommand("/usr/bin/python3 " + Script("remap_reference.py") + " " + args.str() +
                                      " 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto expected = ReadRaw<uint8_t>(base + "out.raw");
    ASSERT_EQ(expected.size(), size_t(dw) * dh);
    int worst = 0;
    for (int r = 0; r < dh; ++r)
        for (int c = 0; c < dw; ++c) {
            const int ours = out.planar.plane[0][size_t(r) * out.planar.stride[0] + c];
            worst = std::max(worst, std::abs(ours - int(expected[size_t(r) * dw + c])));
            if (map[r * dw + c].x < 0 && (r & 1) && (c & 1)) {
                EXPECT_EQ(out.planar.plane[1][size_t(r / 2) * out.planar.stride[1] + c / 2], 128);
            }
        }
    EXPECT_LE(worst, 2) << "OpenCV interpolates with 5-bit fractions, we with 10";
}

// A lens that only scales (P = a u, Q = a v) makes the projection a centred
// crop and resize: with a = 3/4, a 768 x 576 view of a 640 x 480 picture
// shows its middle 576 x 432 (from 32, 24) enlarged, as FFmpeg's crop and
// bilinear scale of the same picture do.
TEST_F(Engine, APureScaleLensCropsAndScalesAsFfmpegDoes)
{
    if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    testing_support::TempFolder dir;
    const std::string source = dir.Path() + "/source.yuv", ours = dir.Path() + "/ours.yuv",
                      theirs = dir.Path() + "/theirs.yuv";
    const int sw = 640, sh = 480, dw = 768, dh = 576;
    const auto ffmpeg = [](const std::string& arguments) {
        const std::string command = "ffmpeg -hide_banner -nostdin -loglevel error -y " + arguments;
        return testing_support::RunCommand(command).exitCode == 0;
    };
    // FFmpeg's bilinear scale samples pixel centres, ours pixel corners: an eighth of a pixel apart here,
    // which a slightly softened picture hides and a wrong crop or scale does not.
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i testsrc2=size=640x480,gblur=sigma=1.5 -frames:v 1 -pix_fmt yuv420p -f rawvideo " + source));
    std::vector<uint8_t> file;
    ASSERT_TRUE(player_test::ReadFileBytes(source, file));
    const player_test::RawYuv raw = player_test::FrameOf(file, sw, sh, 0);

    LensFields lens;
    lens.input_width = dw;
    lens.input_height = dh;
    lens.output_width = sw;
    lens.output_height = sh;
    lens.a[1] = kCoefficientOne / 4 * 3;
    lens.b[3] = kCoefficientOne / 4 * 3;
    Open(dw, dh, 900, &lens, 22);
    _vm_screen* picture = nullptr;
    ASSERT_EQ(qnCreateImage(&picture, sw, sh, VM_FMT_YUV420), 0);
    player_test::FillFromRaw(raw, *picture);
    ASSERT_TRUE(view.inputFrame(picture, 1));
    qnReleaseImage(&picture);
    _vm_screen out{};
    ViewCrop crop;
    ASSERT_EQ(view.outputFrame(&out, &crop), 1);
    ASSERT_EQ(out.width, dw);
    ASSERT_EQ(out.height, dh);
    ASSERT_TRUE(player_test::WriteFileBytes(ours, player_test::ToRaw(out).bytes));

    const auto cropAndScale = [&](int left) {
        return ffmpeg("-f rawvideo -pix_fmt yuv420p -s 640x480 -i " + source + " -vf crop=576:432:" +
                      std::to_string(left) + ":24,scale=768:576:flags=bilinear -f rawvideo -pix_fmt yuv420p " + theirs);
    };
    ASSERT_TRUE(cropAndScale(32));
    const std::string format = "-f rawvideo -pix_fmt yuv420p -s 768x576 -i ";
    const double psnr = player_test::FfmpegPsnr(format + ours, format + theirs);
    EXPECT_GE(psnr, 40.0);
    // The same crop two pixels to the side (FFmpeg crops 4:2:0 at even places) falls well below.
    ASSERT_TRUE(cropAndScale(34));
    EXPECT_LT(player_test::FfmpegPsnr(format + ours, format + theirs), 35.0) << "PSNR " << psnr;
}

}  // namespace
