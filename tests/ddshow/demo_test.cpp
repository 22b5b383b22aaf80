// The demo program shows a yuv file in its own window.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/x_test_support.h"

using namespace ddshow_test;

TEST(DdshowDemo, ShowsTheFileWithTheCallbacksProgressBar)
{
    XvfbServer server("1280x1024x24");
    ASSERT_TRUE(server.running()) << "Xvfb is needed";
    TempDir dir;
    const std::string yuv = dir.file("bars.yuv");
    ASSERT_TRUE(run("ffmpeg -v error -y -f lavfi -i smptebars=s=320x240 -frames:v 1 -f rawvideo -pix_fmt yuv420p " +
                    yuv));
    Bgr24Image reference;
    ASSERT_TRUE(ffmpegToBgr24(yuv, 320, 240, "", dir.file("ref.bgr"), reference, 320, 240));

    const std::string command = std::string(DDSHOW_DEMO) + " " + yuv + " 320x240 --mode 1 --hold-ms 3000";
    FILE* demo = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, demo);
    unsigned window = 0;
    ASSERT_EQ(1, std::fscanf(demo, "shown %u", &window));
    Bgr24Image shot;
    const bool grabbed = grabWindow(server.display(), window, dir.file("shot.xwd"), shot);
    EXPECT_EQ(0, pclose(demo));
    ASSERT_TRUE(grabbed);
    ASSERT_EQ(320, shot.width);
    // Above the bar the picture is FFmpeg's; the bar is white.
    Bgr24Image top = shot, topReference = reference;
    top.height = topReference.height = 234;
    top.bytes.resize(size_t(320) * 234 * 3);
    topReference.bytes.resize(top.bytes.size());
    EXPECT_GE(psnr(top, topReference), 30.0);
    EXPECT_EQ(255, shot.at(300, 238)[0]);
    EXPECT_EQ(255, shot.at(300, 238)[2]);
}
