// The pixel routines against FFmpeg's conversions and the fixed points of the
// coefficients.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "colour_convert.h"
#include "support/x_test_support.h"

using namespace ostrels::ddshow;
using ddshow_test::Bgr24Image;
using ddshow_test::YuvPicture;

namespace {

// Luma random per pixel; chroma constant over 8 x 8 pixel patches, so that
// FFmpeg's chroma interpolation agrees with ours inside each patch.
void fillPatches(YuvPicture& p, unsigned seed)
{
    std::mt19937 rng(seed);
    for (auto& s : p.y) s = uint8_t(16 + rng() % 220);
    const int cw = p.width / 2;
    for (int py = 0; py < p.height / 2; py += 4)
        for (int px = 0; px < cw; px += 4) {
            const uint8_t u = uint8_t(rng() % 256), v = uint8_t(rng() % 256);
            for (int y = py; y < py + 4; ++y)
                for (int x = px; x < px + 4; ++x) {
                    p.u[size_t(y) * cw + x] = u;
                    p.v[size_t(y) * cw + x] = v;
                }
        }
}

bool insidePatch(int x, int y) { return x % 8 >= 2 && x % 8 <= 5 && y % 8 >= 2 && y % 8 <= 5; }

YuvPlanes planesOf(YuvPicture& p, int format = VM_FMT_YUV420)
{
    YuvPlanes planes;
    EXPECT_TRUE(yuvPlanesOf(p.record(format), planes));
    return planes;
}

} // namespace

TEST(UyvyPacker, MatchesFfmpegByteForByteWhenChromaVariesOnlyAcross)
{
    ddshow_test::TempDir dir;
    YuvPicture p(64, 32);
    std::mt19937 rng(7);
    for (auto& s : p.y) s = uint8_t(rng());
    for (int x = 0; x < 32; ++x) {
        const uint8_t u = uint8_t(rng()), v = uint8_t(rng());
        for (int y = 0; y < 16; ++y) {
            p.u[y * 32 + x] = u;
            p.v[y * 32 + x] = v;
        }
    }
    ASSERT_TRUE(ddshow_test::writeFile(dir.file("in.yuv"), p.fileBytes()));
    ASSERT_TRUE(ddshow_test::run("ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 64x32 -i " + dir.file("in.yuv") +
                                 " -f rawvideo -pix_fmt uyvy422 " + dir.file("ref.uyvy")))
        << "ffmpeg is needed";
    std::vector<uint8_t> reference;
    ASSERT_TRUE(ddshow_test::readFile(dir.file("ref.uyvy"), reference));
    std::vector<uint8_t> ours(64 * 2 * 32);
    packUyvy(64, p.y.data(), p.u.data(), p.v.data(), ours.data(), 64, 32, 32, 128, 32);
    EXPECT_EQ(ours, reference);
}

TEST(UyvyPacker, EachChromaRowServesTwoLumaRowsAndNothingPastThePitchIsWritten)
{
    YuvPicture p(6, 4); // three pixel pairs
    for (int i = 0; i < 24; ++i) p.y[i] = uint8_t(i);
    for (int i = 0; i < 6; ++i) {
        p.u[i] = uint8_t(100 + i);
        p.v[i] = uint8_t(200 + i);
    }
    std::vector<uint8_t> out(16 * 4, 0xee); // pitch 16 > 12 bytes per row
    packUyvy(6, p.y.data(), p.u.data(), p.v.data(), out.data(), 6, 3, 3, 16, 4);
    const uint8_t row3[] = {103, 18, 203, 19, 104, 20, 204, 21, 105, 22, 205, 23};
    EXPECT_EQ(0, std::memcmp(out.data() + 48, row3, 12));
    const uint8_t row0[] = {100, 0, 200, 1};
    EXPECT_EQ(0, std::memcmp(out.data(), row0, 4));
    for (int row = 0; row < 4; ++row)
        for (int i = 12; i < 16; ++i) EXPECT_EQ(0xee, out[row * 16 + i]);
}

TEST(Rgb24Converter, IsWithinThreeOfFfmpegBt601AndWritesBottomUp)
{
    ddshow_test::TempDir dir;
    YuvPicture p(64, 64);
    fillPatches(p, 11);
    ASSERT_TRUE(ddshow_test::writeFile(dir.file("in.yuv"), p.fileBytes()));
    Bgr24Image reference;
    ASSERT_TRUE(ddshow_test::ffmpegToBgr24(dir.file("in.yuv"), 64, 64,
                                           "-sws_flags bilinear+accurate_rnd+full_chroma_int", dir.file("ref.bgr"),
                                           reference, 64, 64));
    std::vector<uint8_t> ours(64 * 3 * 64);
    convertToBgr24(planesOf(p), ours.data(), 64 * 3, -64);
    int worst = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            if (!insidePatch(x, y)) continue;
            const uint8_t* a = &ours[(size_t(63 - y) * 64 + x) * 3];
            const uint8_t* b = reference.at(x, y);
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(a[c]) - int(b[c])));
        }
    EXPECT_LE(worst, 3);
}

TEST(Rgb24Converter, LimitedRangeEndPointsAndSaturation)
{
    struct Case {
        uint8_t y, u, v;
        uint8_t b, g, r;
    } cases[] = {
        {16, 128, 128, 0, 0, 0},
        {235, 128, 128, 255, 255, 255},
        {0, 128, 128, 0, 0, 0},        // below 16 counts as 16
        {255, 255, 255, 255, 125, 255}, // clamped high, green pulled down by both chroma terms
        {16, 0, 0, 0, 154, 0},          // clamped low; green 50 + 104
        {100, 127, 127, 95, 98, 96},    // negative products round down, not toward zero
    };
    for (const Case& c : cases) {
        YuvPicture p(2, 2);
        p.fill(c.y, c.u, c.v);
        uint8_t out[12];
        convertToBgr24(planesOf(p), out, 6, -2);
        EXPECT_EQ(c.b, out[0]) << int(c.y) << "," << int(c.u) << "," << int(c.v);
        EXPECT_EQ(c.g, out[1]) << int(c.y) << "," << int(c.u) << "," << int(c.v);
        EXPECT_EQ(c.r, out[2]) << int(c.y) << "," << int(c.u) << "," << int(c.v);
    }
}

TEST(Rgb24Converter, OddSizesReadTheEdgeChromaAndStayInsideExactPlanes)
{
    // Planes allocated to the byte, so that a read one past a chroma plane is
    // caught by the address sanitizer.
    const int w = 13, h = 7, cw = 6, ch = 3;
    auto* y = new uint8_t[w * h];
    auto* u = new uint8_t[cw * ch];
    auto* v = new uint8_t[cw * ch];
    std::fill(y, y + w * h, 128);
    std::fill(u, u + cw * ch, 128);
    std::fill(v, v + cw * ch, 128);
    u[cw * ch - 1] = 255; // last chroma sample: bluer
    YuvPlanes planes{y, u, v, w, cw, cw, w, h};
    std::vector<uint8_t> out(size_t(w) * 3 * h + 3, 0xee);
    convertToBgr24(planes, out.data(), w * 3, -h);
    // Memory row 0 is the picture's bottom row; its last pixel uses the last sample.
    const uint8_t* corner = &out[size_t(w - 1) * 3];
    EXPECT_GT(corner[0], corner[2]);
    EXPECT_EQ(0xee, out[size_t(w) * 3 * h]); // nothing past the last row
    delete[] y;
    delete[] u;
    delete[] v;
}

TEST(FullRangeFormula, FixedPoints)
{
    EXPECT_EQ(0x00000000u, fullRangePixel(0 << 14, 0, 0));
    EXPECT_EQ(0x00FFFFFFu, fullRangePixel(255 << 14, 0, 0));
    EXPECT_EQ(255u, (fullRangePixel(128 << 14, 0, 255 - 128) >> 16) & 0xff);
}

TEST(ScaledConverters, FullSizeMemberIsWithinOneOfFfmpegFullRange)
{
    ddshow_test::TempDir dir;
    YuvPicture p(64, 64);
    fillPatches(p, 5);
    ASSERT_TRUE(ddshow_test::writeFile(dir.file("in.yuv"), p.fileBytes()));
    Bgr24Image reference;
    ASSERT_TRUE(ddshow_test::ffmpegToBgr24(dir.file("in.yuv"), 64, 64,
                                           "-vf scale=in_range=full:out_range=full -sws_flags "
                                           "bilinear+accurate_rnd+full_chroma_int",
                                           dir.file("ref.bgr"), reference, 64, 64));
    std::vector<uint8_t> bits(64 * 4 * 64);
    DibTarget target{64, 64, 256, bits.data()};
    ASSERT_TRUE(convertScaled(p.record(), 1, 1, target));
    int worst = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            if (!insidePatch(x, y)) continue;
            const uint8_t* a = &bits[(size_t(63 - y) * 64 + x) * 4];
            const uint8_t* b = reference.at(x, y);
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(a[c]) - int(b[c])));
            EXPECT_EQ(0, a[3]);
        }
    EXPECT_LE(worst, 1);
}

// Every member's taps: with neutral chroma the output grey is the mean of the
// luma (or pixel) samples the member averages, so a picture whose samples are
// all different shows which ones were taken.
TEST(ScaledConverters, EveryMemberAveragesItsOwnTaps)
{
    struct Member {
        int h, v;
        std::vector<std::pair<int, int>> taps; // offsets from (h*j, v*i)
        bool truncatedMean;                    // format 3 truncates; planar rounds in Q14
    };
    const std::vector<Member> planar = {
        {1, 1, {{0, 0}}, false},
        {1, 2, {{0, 0}}, false},
        {2, 1, {{0, 0}, {1, 0}}, false},
        {2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, false},
        {2, 4, {{0, 0}, {1, 0}, {0, 3}, {1, 3}}, false},
        {4, 2, {{0, 0}, {3, 0}, {0, 1}, {3, 1}}, false},
        {4, 4, {{0, 0}, {3, 0}, {0, 3}, {3, 3}}, false},
    };
    const std::vector<Member> packed = {
        {1, 2, {{0, 0}, {0, 1}}, true},
        {2, 1, {{0, 0}, {1, 0}}, true},
        {2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, true},
        {2, 4, {{0, 0}, {1, 0}, {0, 3}, {1, 3}}, true},
        {4, 2, {{0, 0}, {3, 0}, {0, 1}, {3, 1}}, true},
        {4, 4, {{0, 0}, {3, 0}, {0, 3}, {3, 3}}, true},
    };
    const int W = 32, H = 32;
    auto sample = [](int x, int y) { return (x * 7 + y * 29) % 251; };
    YuvPicture yuv(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) yuv.y[size_t(y) * W + x] = uint8_t(sample(x, y));
    std::fill(yuv.u.begin(), yuv.u.end(), 128);
    std::fill(yuv.v.begin(), yuv.v.end(), 128);
    std::vector<uint8_t> rgb(size_t(W) * H * 4);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint8_t* px = &rgb[(size_t(y) * W + x) * 4];
            px[0] = px[1] = px[2] = uint8_t(sample(x, y));
            px[3] = 0x55;
        }
    _vm_screen rgbScreen{};
    rgbScreen.width = W;
    rgbScreen.height = H;
    rgbScreen.format = VM_FMT_BGRX32;
    rgbScreen.packed.stride = W * 4;
    rgbScreen.packed.pixels = rgb.data();

    auto check = [&](const Member& m, _vm_screen& picture) {
        const int tw = W / m.h, th = H / m.v;
        std::vector<uint8_t> bits(size_t(tw) * th * 4, 0xee);
        DibTarget target{tw, th, tw * 4, bits.data()};
        ASSERT_TRUE(convertScaled(picture, m.h, m.v, target)) << picture.format << " " << m.h << "x" << m.v;
        int maxDx = 0, maxDy = 0;
        for (auto [dx, dy] : m.taps) maxDx = std::max(maxDx, dx), maxDy = std::max(maxDy, dy);
        for (int i = 0; i < th; ++i)
            for (int j = 0; j < tw; ++j) {
                const uint8_t* out = &bits[(size_t(th - 1 - i) * tw + j) * 4];
                if (j * m.h + maxDx >= W || i * m.v + maxDy >= H) {
                    EXPECT_EQ(0xee, out[0]) << "taps outside the source are not converted";
                    continue;
                }
                int sum = 0;
                for (auto [dx, dy] : m.taps) sum += sample(j * m.h + dx, i * m.v + dy);
                const int n = int(m.taps.size());
                const int expected = m.truncatedMean ? sum / n : (sum * 16384 / n + 8192) >> 14;
                ASSERT_EQ(expected, out[0]) << picture.format << " member " << m.h << "x" << m.v << " at " << j
                                            << "," << i;
                EXPECT_EQ(out[0], out[1]);
                EXPECT_EQ(out[0], out[2]);
                EXPECT_EQ(0, out[3]);
            }
    };
    for (const Member& m : planar) check(m, yuv.record());
    for (const Member& m : packed) check(m, rgbScreen);
}

TEST(ScaledConverters, FactorPairsWithoutAMemberConvertNothing)
{
    YuvPicture p(16, 16);
    std::vector<uint8_t> bits(16 * 16 * 4, 0xee);
    DibTarget target{16, 16, 64, bits.data()};
    for (auto [h, v] : {std::pair{1, 4}, {4, 1}, {3, 3}, {1, 3}, {0, 1}}) {
        EXPECT_FALSE(convertScaled(p.record(), h, v, target)) << h << "x" << v;
    }
    EXPECT_EQ(std::vector<uint8_t>(16 * 16 * 4, 0xee), bits);
}

TEST(ScaledConverters, Format274GivesTheSameBytesAs273WithChromaExchanged)
{
    // One set of planes, described once as 273 (Y, U, V) and once as 274
    // (Y, V, U): every routine must show the same colours.
    YuvPicture a(32, 16);
    fillPatches(a, 3);
    for (auto [h, v] : {std::pair{1, 1}, {1, 2}, {2, 1}, {2, 2}, {2, 4}, {4, 2}, {4, 4}}) {
        std::vector<uint8_t> outA(32 * 16 * 4), outB(32 * 16 * 4);
        DibTarget ta{32 / h, 16 / v, 128, outA.data()}, tb{32 / h, 16 / v, 128, outB.data()};
        ASSERT_TRUE(convertScaled(a.record(VM_FMT_YUV420), h, v, ta));
        ASSERT_TRUE(convertScaled(a.record(VM_FMT_YVU420), h, v, tb));
        EXPECT_EQ(outA, outB) << h << "x" << v;
    }
    std::vector<uint8_t> rgbA(32 * 16 * 3), rgbB(32 * 16 * 3);
    convertToBgr24(planesOf(a, VM_FMT_YUV420), rgbA.data(), 96, -16);
    convertToBgr24(planesOf(a, VM_FMT_YVU420), rgbB.data(), 96, -16);
    EXPECT_EQ(rgbA, rgbB);
    EXPECT_NE(std::vector<uint8_t>(rgbA.size(), 0), rgbA);
}

TEST(ScaledConverters, FullSizeRowCopyIsBottomUpAndBoundedByTheSmallerSize)
{
    const int W = 8, H = 6;
    std::vector<uint8_t> pixels(W * 4 * H);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i);
    _vm_screen picture{};
    picture.width = W;
    picture.height = H;
    picture.format = VM_FMT_BGRX32;
    picture.packed.stride = W * 4;
    picture.packed.pixels = pixels.data();
    // A bitmap smaller than the picture: the copy must not run past it.
    std::vector<uint8_t> bits(4 * 4 * 3);
    DibTarget target{4, 3, 16, bits.data()};
    copyRowsBottomUp(picture, target);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(0, std::memcmp(&bits[size_t(2 - i) * 16], &pixels[size_t(i) * W * 4], 16)) << i;
}
