// Every row kernel this processor runs must give the C kernel's bytes, in
// every block position, with grey samples, taps on both sides of the wide
// limit and phases at both ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "row_kernels.h"

namespace {

using namespace qn_dewarp;

struct Plane {
    int width, rows;
    int32_t stride;
    std::vector<uint8_t> bytes;
    Plane(int w, int h, int32_t s, std::mt19937& random) : width(w), rows(h), stride(s), bytes(size_t(s) * (h - 1) + w)
    {
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    }
    RowSource source() const { return {bytes.data(), stride, wide_read_limit(rows, width, stride)}; }
};

// Offsets of top-left taps anywhere a bilinear render may read (a tap and its
// right and lower neighbours inside the plane), grey runs, and taps pushed to
// the plane's last two rows and columns where wide reads are not allowed.
std::vector<int32_t> random_offsets(const Plane& plane, int n, std::mt19937& random)
{
    std::uniform_int_distribution<int> col(0, plane.width - 2), row(0, plane.rows - 2), pick(0, 15);
    std::vector<int32_t> offsets(n);
    for (int32_t& offset : offsets) {
        const int kind = pick(random);
        if (kind == 0) offset = kGreyOffset;
        else if (kind == 1) offset = (plane.rows - 2) * plane.stride + plane.width - 2; // the last tap
        else if (kind == 2 && plane.width >= 4) offset = plane.source().wide_limit; // the last wide tap
        else offset = row(random) * plane.stride + col(random);
    }
    return offsets;
}

std::vector<uint16_t> random_phases(int n, std::mt19937& random)
{
    std::uniform_int_distribution<int> phase(0, 128), edge(0, 3);
    std::vector<uint16_t> phases(n);
    for (uint16_t& p : phases) {
        const int fx = edge(random) == 0 ? 128 : phase(random), fy = edge(random) == 0 ? 0 : phase(random);
        p = static_cast<uint16_t>(fx | (fy << 8));
    }
    return phases;
}

TEST(RowKernels, EveryKernelGivesTheCKernelsBytes)
{
    const RowKernelList kernels = available_row_kernels();
    ASSERT_GE(kernels.count, 1);
    EXPECT_EQ(kernels.items[0].bilinear_row, &bilinear_row_c);
    std::mt19937 random(2024);
    struct Shape {
        int width, rows, padding;
    };
    // Unpadded planes put the last taps' wide reads past the plane's end.
    const Shape shapes[] = {{64, 48, 0}, {37, 9, 3}, {2, 2, 0}, {5, 3, 1}, {1024, 6, 0}};
    for (const Shape& shape : shapes) {
        const Plane plane(shape.width, shape.rows, shape.width + shape.padding, random);
        for (int n : {0, 1, 7, 8, 15, 16, 17, 31, 33, 64, 100, 257}) {
            const std::vector<int32_t> offsets = random_offsets(plane, n, random);
            const std::vector<uint16_t> phases = random_phases(n, random);
            std::vector<uint8_t> expected(n + 1, 0xee);
            bilinear_row_c(plane.source(), offsets.data(), phases.data(), expected.data(), n);
            for (int k = 1; k < kernels.count; ++k) {
                std::vector<uint8_t> actual(n + 1, 0xee); // the byte past the row stays as it was
                kernels.items[k].bilinear_row(plane.source(), offsets.data(), phases.data(), actual.data(), n);
                EXPECT_EQ(expected, actual) << kernels.items[k].name << ", plane " << shape.width << "x"
                                            << shape.rows << ", " << n << " samples";
            }
        }
    }
}

TEST(RowKernels, TheChosenKernelIsAvailable)
{
    const RowKernelList kernels = available_row_kernels();
    EXPECT_EQ(row_kernels().bilinear_row, kernels.items[kernels.count - 1].bilinear_row);
}

// Samples with no source are 128 and taps read exactly the four samples.
TEST(RowKernels, CKernelBlendsTheFourTaps)
{
    const uint8_t pixels[] = {10, 200, 0, 0, 50, 90};
    const RowSource source{pixels, 4, wide_read_limit(2, 2, 4)};
    const int32_t offsets[] = {0, 0, 0, kGreyOffset, 0};
    const uint16_t phases[] = {0, 128, 128 << 8, 64, 64 | (64 << 8)};
    uint8_t out[5] = {};
    bilinear_row_c(source, offsets, phases, out, 5);
    // Mixed phases: top 10 + (190 x 64 >> 7) = 105, bottom 50 + 20 = 70,
    // then 105 + ((70 - 105) x 64 >> 7) = 105 - 18 = 87.
    const uint8_t expected[] = {10, 200, 50, 128, 87};
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), std::vector<uint8_t>(expected, expected + 5));
}

}  // namespace
