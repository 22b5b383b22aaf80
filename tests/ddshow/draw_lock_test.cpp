// Several threads drawing into their own windows at once: the library's draw
// lock lets one draw (and its callback) run at a time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "qn_ddshow.h"
#include "test_window.h"
#include "support/x_test_support.h"

using namespace ddshow_test;

namespace {

std::atomic<int> inCallback{0};
std::atomic<int> overlaps{0};
std::atomic<int> callbacks{0};

void countingCallback(void*, QN_DDR_CANVAS* canvas, int, int, int, int)
{
    if (inCallback.fetch_add(1) != 0) overlaps.fetch_add(1);
    canvas->bits[0] = 0xff;
    std::this_thread::yield();
    callbacks.fetch_add(1);
    inCallback.fetch_sub(1);
}

} // namespace

TEST(DrawLock, ConcurrentExDrawsAreSerialisedCallbacksIncluded)
{
    XvfbServer server("1280x1024x24");
    ASSERT_TRUE(server.running()) << "Xvfb is needed";
    constexpr int kThreads = 4, kFrames = 25;
    std::vector<std::unique_ptr<TestWindow>> windows;
    std::vector<QN_DDR_EX_PARAM> records(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        windows.push_back(std::make_unique<TestWindow>(t * 160, 0, 160, 120));
        ASSERT_TRUE(windows.back()->ok());
        QN_DDR_EX_PARAM& p = records[t];
        p = {};
        p.hWnd = windows.back()->id();
        p.nWidth = 64;
        p.nHeight = 48;
        p.nMode = t % 2 ? 7 : 1;
        p.pfnDraw = countingCallback;
        ASSERT_EQ(0, qn_ddrInit_Ex(&p));
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            YuvPicture picture(64, 48);
            picture.fill(uint8_t(60 + 30 * t), 128, 128);
            QN_DDR_EX_PARAM p = records[t];
            p.pImage = &picture.record();
            for (int i = 0; i < kFrames; ++i)
                if (qn_ddrDrawImage_Ex(&p) != 0) failures.fetch_add(1);
        });
    }
    for (auto& thread : threads) thread.join();
    for (auto& p : records) EXPECT_EQ(0, qn_ddrUnInit_Ex(&p));
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(0, overlaps.load());
    EXPECT_EQ(kThreads * kFrames, callbacks.load());
}

TEST(DrawLock, MultiPictureCallsFromSeveralThreadsShareTheFamilyLock)
{
    XvfbServer server("1280x1024x24");
    ASSERT_TRUE(server.running()) << "Xvfb is needed";
    TestWindow window(0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    QN_DDR_MUTI_PARAM p{};
    p.hWnd = window.id();
    p.nMode = 0;
    ASSERT_EQ(0, qn_ddrInit_Muti(&p));
    YuvPicture picture(64, 48);
    picture.fill(126, 128, 128);
    std::atomic<bool> drawing{true};
    std::atomic<int> failures{0};
    std::thread drawer([&] {
        QN_DDR_MUTI_ITEM item{};
        item.pImage = &picture.record();
        item.nRight = item.nRefWidth = 320;
        item.nBottom = item.nRefHeight = 240;
        item.nBorderWidth = 3;
        for (int i = 0; i < 30; ++i)
            if (qn_ddrDrawImage_Muti(&p, &item, 1) != 0) failures.fetch_add(1);
        drawing = false;
    });
    std::thread aimers([&] {
        const QN_DDR_FRAME_POINT point{160.0f, 120.0f, 320, 240};
        int rounds = 0;
        while (drawing.load() || rounds < 3) {
            if (rounds++ % 10 == 0) qn_ddrInitAimer_Muti(); // glyphs rebuilt while frames are drawn
            qn_ddrSetAimer_Muti(&p, rounds % 8, &point, 0, 0, 1);
            int found = 0;
            qn_ddrFindAimer_Muti(&p, &point, &found);
        }
    });
    drawer.join();
    aimers.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(0, qn_ddrUnInit_Muti(&p));
}
