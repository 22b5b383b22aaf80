// The picture ring between a writer and a drawer on threads of their own:
// neither waits for the other, the drawer never goes back to an older frame
// nor takes the same slot twice in a row, and the writer never reuses the
// slot it wrote last.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "picture_ring.h"
#include "qn_imageprocess.h"
#include "support/this_process.h"

namespace {

uint32_t Stamp(const _vm_screen& picture)
{
    uint32_t value = 0;
    std::memcpy(&value, picture.planar.plane[0], sizeof value);
    return value;
}

TEST(PictureRingThreads, WriterAndDrawerOnlyTryAndNeverGoBack)
{
    const int baseline = testing_support::SettledThreadCount();
    constexpr uint32_t kPuts = 3000;
    _vm_screen* frame = nullptr;
    ASSERT_EQ(qnCreateImage(&frame, 64, 32, VM_FMT_YUV420), QN_IMG_OK);
    std::memset(frame->planar.plane[0], 0, size_t(frame->planar.stride[0]) * 32);
    PictureRing ring;
    std::atomic<bool> writing{true};
    uint32_t accepted = 0, sameSlotTwice = 0;

    std::thread writer([&] {
        int previous = -1;
        for (uint32_t n = 1; n <= kPuts; ++n) {
            std::memcpy(frame->planar.plane[0], &n, sizeof n);
            if (!ring.put(*frame)) continue;
            ++accepted;
            sameSlotTwice += ring.lastWritten() == previous;
            previous = ring.lastWritten();
            if (n % 16 == 0) std::this_thread::yield();
        }
        writing = false;
    });

    uint32_t drawn = 0, newest = 0, backwards = 0, repeatedSlot = 0;
    int previousSlot = -1;
    auto drawOnce = [&] {
        const int slot = ring.takeForDrawing();
        if (slot < 0) return false;
        const uint32_t stamp = Stamp(*ring.picture(slot));
        backwards += stamp < newest;
        newest = std::max(newest, stamp);
        repeatedSlot += slot == previousSlot;
        previousSlot = slot;
        ++drawn;
        ring.releaseDrawn(slot);
        return true;
    };
    while (writing) {
        drawOnce();
        std::this_thread::yield();
    }
    writer.join();
    while (drawOnce()) {
    }

    EXPECT_EQ(sameSlotTwice, 0u);
    EXPECT_EQ(backwards, 0u);
    EXPECT_EQ(repeatedSlot, 0u);
    EXPECT_GT(accepted, 0u);
    EXPECT_GT(drawn, 0u);
    EXPECT_LE(drawn, accepted);
    EXPECT_EQ(testing_support::SettledThreadCount(), baseline);
    qnReleaseImage(&frame);
}

} // namespace
