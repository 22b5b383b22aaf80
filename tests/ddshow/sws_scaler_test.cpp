// The hardware-scaling stand-in writes its area and nothing beside or after it.
#include <gtest/gtest.h>

#include <vector>

#include "sws_scaler.h"
#include "support/x_test_support.h"

using ostrels::ddshow::SwsScaler;

TEST(SwsScaler, WritesOnlyTheGivenAreaForAnyWidth)
{
    ddshow_test::YuvPicture picture(64, 48);
    picture.fill(126, 128, 128);
    SwsScaler scaler;
    for (int width : {250, 251, 17, 9, 640}) {
        // The area ends at the buffer's very end: a block written past it would
        // land outside the allocation.
        const int stride = (width + 7) * 4, height = 30, left = 7;
        std::vector<uint8_t> buffer(size_t(stride) * height, 0xee);
        const uint8_t* const planes[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
        const int strides[3] = {64, 32, 32};
        ASSERT_TRUE(scaler.scaleYuv420(planes, strides, 64, 48, buffer.data() + left * 4, stride, width, height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width + 7; ++x) {
                const uint8_t* px = &buffer[size_t(y) * stride + size_t(x) * 4];
                if (x < left) {
                    ASSERT_EQ(0xee, px[0]) << "left of the area, width " << width;
                } else {
                    ASSERT_NEAR(128, px[1], 3) << "inside the area, width " << width << " at " << x << "," << y;
                }
            }
    }
}
