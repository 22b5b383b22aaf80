// The hub's packet ring and its play worker: packets go out oldest first, a
// slot still being fed drops the packet put on it, and the worker feeds the
// "single" source in frame order from the first key frame on.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "streams/montage.h"
#include "streams/stream_fixture.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

std::vector<uint8_t> Bytes(int length, uint8_t fill)
{
    return std::vector<uint8_t>(static_cast<std::size_t>(length), fill);
}

TEST(PacketRing, TakesTheOldestAndDropsWhatLandsOnASlotBeingFed)
{
    PacketRing ring;
    for (int i = 0; i < 3; ++i) {
        const auto data = Bytes(10 + i, static_cast<uint8_t>(i));
        ASSERT_TRUE(ring.Put(data.data(), static_cast<int32_t>(data.size()), i == 0 ? 0 : 1, 100 + i));
    }
    EXPECT_FALSE(ring.Put(nullptr, 5, 1, 1));
    EXPECT_FALSE(ring.Put(Bytes(1, 0).data(), 0, 1, 1));
    bool reset = true;
    const int first = ring.TakeOldest(&reset);
    ASSERT_EQ(first, 0);
    EXPECT_FALSE(reset);
    EXPECT_EQ(ring.Slot(first).number, 100);
    EXPECT_EQ(ring.Slot(first).type, 0);
    EXPECT_EQ(ring.Slot(first).length, 10);

    // 22 more fill the ring; the 26th put lands on slot 0, still being fed.
    const auto large = Bytes(PacketRing::kInitialCapacity + 500, 0xAB);
    for (int i = 3; i < 25; ++i) {
        ASSERT_TRUE(ring.Put(large.data(), static_cast<int32_t>(large.size()), 1, 100 + i)) << i;
    }
    EXPECT_FALSE(ring.Put(large.data(), 10, 1, 125));
    ring.Release(first);
    EXPECT_EQ(ring.Waiting(), 24);
    // Slot 1 is overwritten by the 27th put: the ring keeps the newest.
    ASSERT_TRUE(ring.Put(large.data(), 20, 1, 126));
    const int second = ring.TakeOldest(&reset);
    EXPECT_EQ(ring.Slot(second).number, 102);
    ring.Release(second);
    const int third = ring.TakeOldest(&reset);
    const PacketRing::Packet& grown = ring.Slot(third);
    EXPECT_EQ(grown.number, 103);
    ASSERT_EQ(grown.length, PacketRing::kInitialCapacity + 500);
    EXPECT_GE(grown.buffer.size(), static_cast<std::size_t>(grown.length));
    EXPECT_EQ(std::vector<uint8_t>(grown.buffer.begin(), grown.buffer.begin() + grown.length), large);

    // A reset forgets what waits; the slot being fed is cleared on release.
    ring.Reset();
    EXPECT_EQ(ring.Waiting(), 0);
    ring.Release(third);
    EXPECT_EQ(ring.Slot(third).buffer.size(), static_cast<std::size_t>(PacketRing::kInitialCapacity));
    ASSERT_TRUE(ring.Put(large.data(), 30, 3, 7));
    const int after = ring.TakeOldest(&reset);
    EXPECT_TRUE(reset);
    EXPECT_EQ(ring.Slot(after).number, 7);
    ring.Release(after);
    ring.Stop();
    EXPECT_EQ(ring.TakeOldest(&reset), -1);
}

// Access units of an Annex B stream with 4-byte start codes, each behind the
// 4-byte head the SDK's live frames carry: a unit ends where the next one's
// first parameter set or slice begins.
std::vector<std::vector<uint8_t>> AccessUnits(const std::vector<uint8_t>& stream)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 4 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 0 && stream[i + 3] == 1) starts.push_back(i);
    }
    std::vector<std::vector<uint8_t>> units;
    bool haveSlice = false;
    for (std::size_t n = 0; n < starts.size(); ++n) {
        const int type = stream[starts[n] + 4] & 0x1F;
        const std::size_t end = n + 1 < starts.size() ? starts[n + 1] : stream.size();
        const bool slice = type == 1 || type == 5;
        if (units.empty() || (haveSlice && (slice || type == 6 || type == 7 || type == 9))) {
            units.emplace_back(4, 0);
            haveSlice = false;
        }
        units.back().insert(units.back().end(), stream.begin() + starts[n], stream.begin() + end);
        haveSlice = haveSlice || slice;
    }
    return units;
}

struct Output {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> kinds;
    int notices = 0;
    static void OnFrame(const uint8_t*, int, const streams::MontOutputFrame* frame, void* user, int)
    {
        auto* self = static_cast<Output*>(user);
        if (std::strcmp(frame->kind, "h264_I") != 0 && std::strcmp(frame->kind, "h264_P") != 0) return;
        std::lock_guard<std::mutex> lock(self->mutex);
        self->kinds.emplace_back(frame->kind);
        self->changed.notify_all();
    }
    static void OnEvent(int32_t kind, void* data, int32_t, void* user, int32_t)
    {
        auto* self = static_cast<Output*>(user);
        if (kind != 1111 || std::strcmp(static_cast<const char*>(data), "StreamFromNet ") != 0) return;
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->notices;
    }
    bool WaitFor(std::size_t frames)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return kinds.size() >= frames; });
    }
};

TEST(HubPlayWorker, FeedsTheSingleSourceFromTheFirstKeyFrameInFrameOrder)
{
    testing_support::TempFolder folder;
    const std::string path = streams_test::MakeStream(
        folder.Path(), "ring", "-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 4 -pix_fmt yuv420p -c:v libx264 "
                               "-preset ultrafast -g 2 -bf 0");
    ASSERT_FALSE(path.empty()) << "ffmpeg could not make the test stream";
    const auto units = AccessUnits(streams_test::ReadFile(path));
    ASSERT_EQ(units.size(), 4u);  // key, other, key, other

    Output output;
    VLR_SYSTEM hub;
    hub.SetNetEventCallBack(&Output::OnEvent, &output, 0);
    const auto put = [&](int unit, int32_t type, int32_t number) {
        return hub.PutPacket(units[unit].data(), static_cast<int32_t>(units[unit].size()), type, number);
    };
    for (const char* step : {"data_base", "init_netsdk"}) ASSERT_EQ(hub.Init(step, "127.0.0.1"), 1);
    auto* built = static_cast<RESPACK*>(hub.GetSourcePack("file_play"));
    ASSERT_NE(built, nullptr);
    ASSERT_EQ(built->platform->qn_mp_SetStreamCallBack(built->source, &Output::OnFrame, &output, 0), 1);
    ASSERT_EQ(built->platform->qn_mp_Play(built->source), 1);

    ASSERT_EQ(put(1, 1, 5), 1);   // before any key frame: dropped
    ASSERT_EQ(put(0, 0, 10), 1);  // fed
    ASSERT_EQ(put(1, 1, 11), 1);  // fed
    ASSERT_EQ(put(1, 1, 9), 1);   // older than the last: dropped
    ASSERT_EQ(put(1, 1, 11), 1);  // as old as the last: fed
    ASSERT_EQ(put(2, 0, 12), 1);  // fed, and the last
    ASSERT_TRUE(output.WaitFor(4));
    hub.Init("clean_up", nullptr);
    std::lock_guard<std::mutex> lock(output.mutex);
    const std::vector<std::string> expected = {"h264_I", "h264_P", "h264_P", "h264_I"};
    EXPECT_EQ(output.kinds, expected);
    EXPECT_EQ(output.notices, 2) << "one notice after each key frame fed";
}

} // namespace
