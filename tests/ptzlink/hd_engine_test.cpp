#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "hd_engine.h"
#include "picture_buffer.h"
#include "test_support.h"

namespace {

using namespace qnpl;

// A 12-bit B, G, R picture the engine can read and write.
struct Picture12 {
    int width, height;
    std::vector<uint16_t> pixels;
    Picture12(int w, int h, uint16_t fill = 0) : width(w), height(h), pixels(size_t(w) * h * 3, fill) {}
    HDPicture view() { return HDPicture{HDPicture::make_layout(width, height, 12), pixels.data()}; }
    uint16_t* at(int x, int y) { return &pixels[(size_t(y) * width + x) * 3]; }
};

std::unique_ptr<HDRecord> create(int w, int h, uint32_t configuration = 0, QNPL_CB_FUNC progress = nullptr,
                                 uint64_t user = 0)
{
    HDRequest request;
    request.width = uint16_t(w);
    request.height = uint16_t(h);
    request.configuration = configuration;
    request.end_column = w;
    request.end_row = h;
    request.progress = progress;
    request.user = user;
    std::unique_ptr<HDRecord> rec;
    EXPECT_EQ(HDCreate(&request, &rec), kHDOk);
    return rec;
}

TEST(PictureBuffer, HoldsAZeroedThirtyTwoBitPictureInOneAllocation)
{
    _vm_screen* p = NewPictureBuffer(10, 2);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->format, VM_FMT_BGRX32);
    EXPECT_EQ(p->packed.stride, 40);
    EXPECT_EQ(p->base, static_cast<void*>(p));
    EXPECT_EQ(p->packed.pixels, reinterpret_cast<uint8_t*>(p) + sizeof(_vm_screen));
    for (int i = 0; i < 80; ++i) EXPECT_EQ(p->packed.pixels[i], 0);
    FreePictureBuffer(p);
    EXPECT_EQ(NewPictureBuffer(0, 5), nullptr);
    EXPECT_EQ(NewPictureBuffer(5, -1), nullptr);
    EXPECT_EQ(NewPictureBuffer(INT32_MAX, 1), nullptr) << "the stride would not fit 32 bits";
}

std::map<std::string, double> expected_values()
{
    std::string error;
    const std::string out = ptzlink_test::run_python("hd_expected_values.py", "", &error);
    EXPECT_TRUE(error.empty()) << error;
    std::map<std::string, double> values;
    std::istringstream in(out);
    std::string name;
    double v;
    while (in >> name >> v) values[name] = v;
    return values;
}

TEST(HDEngine, TablesAndCurvesMatchAnIndependentFloat32Model)
{
    auto v = expected_values();
    ASSERT_EQ(v.size(), 23u);
    auto rec = create(3600, 480);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->log_length, 4096u);
    EXPECT_EQ(rec->exponent_length, 1024u);
    for (int i : {0, 1, 128, 1023}) EXPECT_EQ(rec->exponent_table[i], v["exp" + std::to_string(i)]) << i;
    EXPECT_EQ(rec->exponent_table[0], 4096u);
    EXPECT_EQ(rec->exponent_table[128], 1506u);
    for (int i : {0, 2048}) EXPECT_EQ(rec->log_table[i], float(v["log" + std::to_string(i)])) << i;
    EXPECT_FLOAT_EQ(rec->log_table[2048], -0.6931472f);
    for (int k : {0, 100, 200, 600, 800}) EXPECT_EQ(rec->weights[k], v["weight" + std::to_string(k)]) << k;
    EXPECT_EQ(rec->weights[100], 320u);
    EXPECT_EQ(hd_power_p1(), float(v["p1"]));
    EXPECT_EQ(hd_power_p2(), float(v["p2"]));
    EXPECT_EQ(hd_table_power(*rec, 2048, hd_power_p1()), 1965u);
    EXPECT_EQ(hd_table_power(*rec, 2048, hd_power_p2()), 3067u);

    // One zone with mean 2048 and maximum 4095.
    HDResetStatistics(*rec);
    rec->zones()[0].count = 2;
    rec->zones()[0].sum = 4096;
    rec->zones()[0].maximum = 4095;
    HDPrepareCurves(*rec);
    EXPECT_EQ(rec->zones()[0].exponent, float(v["zone_exponent"]));
    EXPECT_NEAR(rec->zones()[0].exponent, 1.4020f, 5e-5);
    EXPECT_EQ(rec->zones()[0].sum, 2048u) << "the mean replaces the sum";

    EXPECT_EQ(rec->half_size, v["grid_size"]);
    EXPECT_EQ(rec->spacing, v["grid_spacing"]);
    EXPECT_EQ(rec->zone_columns, v["grid_columns"]);
    EXPECT_EQ(rec->zone_rows, v["grid_rows"]);
    EXPECT_EQ(rec->origin_x, v["grid_origin_x"]);
    EXPECT_EQ(rec->origin_y, v["grid_origin_y"]);
    EXPECT_EQ(rec->zone_radius, v["grid_radius"]);
    EXPECT_EQ(rec->zone_count, 108);
    EXPECT_EQ(rec->records_to_reset, 109);
    EXPECT_EQ(rec->zones()[27].centre_y, 37 + 135) << "zone (1, 0)";
}

TEST(HDEngine, CreateChecksItsRequest)
{
    std::unique_ptr<HDRecord> rec;
    EXPECT_EQ(HDCreate(nullptr, &rec), kHDBadArgument);
    HDRequest request;
    request.width = 64;
    request.height = 48;
    request.configuration = 5 | (995u << 6) | (1020u << 16);
    ASSERT_EQ(HDCreate(&request, &rec), kHDOk);
    EXPECT_EQ(request.configuration & 0x3f, 12u) << "bits below 8 are written back as 12";
    EXPECT_EQ((request.configuration >> 6) & 0x3ff, 990u);
    EXPECT_EQ((request.configuration >> 16) & 0x3ff, 1000u);
    EXPECT_EQ(rec->black_override, uint32_t(990 * 4096 * 0.001 + 0.5));
    EXPECT_EQ(rec->white_override, 4096u);
    EXPECT_EQ(rec->end_column, 64) << "an empty region means the whole picture";
    request.configuration = 17;
    EXPECT_EQ(HDCreate(&request, &rec), kHDBadArgument) << "2^17 table entries";
    request.configuration = 16;
    ASSERT_EQ(HDCreate(&request, &rec), kHDOk);
    EXPECT_EQ(rec->exponent_length, 128u * 11);
    EXPECT_EQ(rec->exponent_table[0], 65536u);
}

TEST(HDEngine, GridsOfEveryShapeFitTheirStatistics)
{
    // Small pictures would get a zone spacing of 0; tall and square ones more
    // zones than a fixed area holds.
    const std::pair<int, int> sizes[] = {{99, 50}, {20, 3}, {1, 1}, {3600, 1000}, {2000, 2000}, {249, 100}};
    for (auto [w, h] : sizes) {
        auto rec = create(w, h);
        ASSERT_TRUE(rec) << w << " x " << h;
        EXPECT_GE(rec->spacing, 7) << w << " x " << h;
        EXPECT_EQ(rec->stats.size(), size_t(rec->zone_count) + 1);
        Picture12 pic(w, h, 1000);
        EXPECT_EQ(HDProcess(*rec, pic.view(), pic.view()), 1);
    }
    EXPECT_EQ(create(2000, 2000)->zone_count, 729);
    EXPECT_EQ(create(3600, 1000)->zone_count, 216);
}

TEST(HDEngine, StatisticsOfSinglePixels)
{
    auto rec = create(400, 300);
    Picture12 black(400, 300);
    HDResetStatistics(*rec);
    HDGatherStatistics(*rec, black.view());
    EXPECT_EQ(rec->valid_pixels, 0u);
    for (const HDStatRecord& r : rec->stats) {
        EXPECT_EQ(r.count, 0u);
        EXPECT_EQ(r.minimum, 65535u);
        EXPECT_EQ(r.maximum, 0u);
    }

    // A white pixel exactly on the radius of zone 0 (s pixels right and down).
    Picture12 one(400, 300);
    const HDStatRecord& z0 = rec->zones()[0];
    const int x = z0.centre_x + rec->half_size, y = z0.centre_y + rec->half_size;
    ASSERT_EQ(int64_t(rec->half_size) * rec->half_size * 2, int64_t(rec->zone_radius));
    uint16_t* p = one.at(x, y);
    p[0] = p[1] = p[2] = 4095;
    HDResetStatistics(*rec);
    HDGatherStatistics(*rec, one.view());
    EXPECT_EQ(rec->valid_pixels, 1u);
    EXPECT_EQ(rec->global().sum, 4095u);
    EXPECT_EQ(rec->histogram[255], 1u);
    EXPECT_EQ(rec->zones()[0].count, 1u) << "on the radius counts";
    EXPECT_EQ(rec->zones()[0].maximum, 4095u);
}

TEST(HDEngine, StatisticsAgreeWithAnIntegerReference)
{
    const int w = 300, h = 180;
    Picture12 pic(w, h);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> value(0, 4095);
    for (auto& c : pic.pixels) c = uint16_t(rng() % 8 == 0 ? 0 : value(rng));
    HDRequest request;
    request.width = w;
    request.height = h;
    request.first_column = 13;
    request.first_row = 7;
    request.end_column = 281;
    request.end_row = 170;
    std::unique_ptr<HDRecord> rec;
    ASSERT_EQ(HDCreate(&request, &rec), kHDOk);
    HDResetStatistics(*rec);
    HDGatherStatistics(*rec, pic.view());

    ptzlink_test::TempDir dir;
    ASSERT_TRUE(ptzlink_test::write_raw(dir.file("pic.raw"), pic.pixels));
    std::ostringstream args;
    args << dir.file("pic.raw") << ' ' << w << ' ' << h << ' ' << rec->first_column << ' ' << rec->first_row << ' '
         << rec->end_column << ' ' << rec->end_row << ' ' << rec->origin_x << ' ' << rec->origin_y << ' '
         << rec->spacing << ' ' << rec->zone_columns << ' ' << rec->zone_rows << ' ' << rec->zone_radius << ' '
         << dir.file("stats.txt");
    std::string error;
    ptzlink_test::run_python("hd_statistics_reference.py", args.str(), &error);
    ASSERT_TRUE(error.empty()) << error;
    std::ifstream in(dir.file("stats.txt"));
    for (size_t i = 0; i < rec->stats.size(); ++i) {
        uint64_t count, sum, mn, mx;
        ASSERT_TRUE(in >> count >> sum >> mn >> mx) << "record " << i;
        EXPECT_EQ(rec->stats[i].count, count) << "record " << i;
        EXPECT_EQ(rec->stats[i].sum, sum) << "record " << i;
        EXPECT_EQ(rec->stats[i].minimum, mn) << "record " << i;
        EXPECT_EQ(rec->stats[i].maximum, mx) << "record " << i;
    }
    for (int b = 0; b < 256; ++b) {
        uint64_t count;
        ASSERT_TRUE(in >> count);
        EXPECT_EQ(rec->histogram[b], count) << "bin " << b;
    }
}

TEST(HDEngine, LevelsComeFromTheHistogramTails)
{
    auto rec = create(64, 48);
    HDResetStatistics(*rec);
    rec->histogram[100] = 500;
    rec->valid_pixels = 500;
    HDPrepareCurves(*rec);
    EXPECT_EQ(rec->black_level, 0u);
    EXPECT_EQ(rec->white_level, 1600u);

    auto low = create(64, 48);
    HDResetStatistics(*low);
    low->histogram[0] = 10;
    low->valid_pixels = 10;
    HDPrepareCurves(*low);
    EXPECT_EQ(low->white_level, 1u) << "a white level of 0 would be a divisor";
}

TEST(HDEngine, LocalAdaptationClampsToTheGrid)
{
    auto rec = create(3600, 480);
    Picture12 pic(3600, 480, 1500);
    HDResetStatistics(*rec);
    HDGatherStatistics(*rec, pic.view());
    HDPrepareCurves(*rec);
    const HDLocal at_origin = HDLocalAdaptation(*rec, rec->zones(), rec->origin_x, 100);
    const HDLocal left = HDLocalAdaptation(*rec, rec->zones(), 0, 100);
    EXPECT_EQ(left.gamma, at_origin.gamma) << "left of the origin counts as dx = 0";
    EXPECT_EQ(left.black, at_origin.black);
    const HDLocal last = HDLocalAdaptation(*rec, rec->zones(), 3599, 479);
    EXPECT_TRUE(std::isfinite(last.gamma));
    // A uniform picture: every zone alike, so every blend gives the zones' values.
    EXPECT_NEAR(last.gamma, rec->zones()[0].exponent, 1e-4);
    EXPECT_NEAR(left.white, float(rec->zones()[0].maximum), 0.5f);
}

struct ProgressLog {
    std::vector<std::string> texts;
    std::vector<uint64_t> codes;
    static void callback(uint64_t code, const char* text, uint64_t user)
    {
        auto* self = reinterpret_cast<ProgressLog*>(user);
        self->texts.emplace_back(text);
        self->codes.push_back(code);
    }
};

TEST(HDEngine, ProcessBrightensOnlyAndReportsItsProgress)
{
    const int w = 360, h = 100;
    Picture12 pic(w, h);
    std::mt19937 rng(11);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // A dark half and a bright half with noise: a scene of high range.
            const int base = x < w / 2 ? 120 : 3000;
            for (int c = 0; c < 3; ++c) pic.at(x, y)[c] = uint16_t(std::clamp(base + int(rng() % 600) - 300, 0, 4095));
        }
    const std::vector<uint16_t> source = pic.pixels;
    ProgressLog log;
    auto rec = create(w, h, 0, &ProgressLog::callback, reinterpret_cast<uint64_t>(&log));
    ASSERT_EQ(HDProcess(*rec, pic.view(), pic.view()), 1);

    int brighter = 0;
    for (size_t i = 0; i < source.size(); ++i) {
        ASSERT_GE(pic.pixels[i], source[i]) << i;
        ASSERT_LE(pic.pixels[i], 4095) << i;
        brighter += pic.pixels[i] > source[i];
    }
    EXPECT_GT(brighter, int(source.size()) / 10) << "the dark half is lifted";

    ASSERT_GE(log.texts.size(), 3u);
    EXPECT_EQ(log.texts[0], "HD static OK");
    EXPECT_EQ(log.texts[1], "HD prepare OK");
    EXPECT_EQ(log.codes[0], 0u);
    // Rows 0, 16, ..., 96 and the last row 99.
    std::vector<uint64_t> progress(log.codes.begin() + 2, log.codes.end());
    EXPECT_EQ(progress, (std::vector<uint64_t>{10, 170, 330, 490, 650, 810, 970, 1000}));
    for (size_t i = 2; i < log.texts.size(); ++i) EXPECT_EQ(log.texts[i], "Generate result");
}

TEST(HDEngine, UniformAndBlackPicturesStayFinite)
{
    for (uint16_t value : {uint16_t(0), uint16_t(1), uint16_t(2048), uint16_t(4095)}) {
        Picture12 pic(200, 120, value);
        auto rec = create(200, 120);
        ASSERT_EQ(HDProcess(*rec, pic.view(), pic.view()), 1);
        for (uint16_t c : pic.pixels) {
            ASSERT_GE(c, value);
            ASSERT_LE(c, 4095);
        }
        for (int z = 0; z < rec->zone_count; ++z) ASSERT_TRUE(std::isfinite(rec->zones()[z].exponent));
    }
    auto rec = create(200, 120);
    Picture12 wrong(100, 120);
    EXPECT_EQ(HDProcess(*rec, wrong.view(), wrong.view()), 0) << "a picture of another size is refused";
}

}  // namespace
