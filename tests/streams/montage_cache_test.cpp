// The input cache and its "buff_cache" thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "streams/mont_platform.h"
#include "streams/montage.h"
#include "support/this_process.h"

namespace {

using namespace streams;
using Bytes = std::vector<uint8_t>;

// Waits for a condition, checking it often, for at most `seconds`.
template <typename Condition>
bool WaitFor(Condition condition, int seconds = 30)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

struct Collector {
    std::mutex mutex;
    std::vector<std::string> kinds;
    Bytes audio;
    std::atomic<int> count{0};
    std::thread::id thread;
    Montage* clearOnFirst = nullptr;

    static void OnFrame(const uint8_t* data, int length, const MontOutputFrame* frame, void* user, int)
    {
        auto* self = static_cast<Collector*>(user);
        {
            std::lock_guard<std::mutex> hold(self->mutex);
            self->kinds.push_back(frame->kind);
            if (std::strcmp(frame->kind, "g711a") == 0) self->audio.insert(self->audio.end(), data, data + length);
            self->thread = std::this_thread::get_id();
        }
        if (self->clearOnFirst != nullptr) {
            // A callback on the cache thread may send controls to its own source.
            Montage* montage = self->clearOnFirst;
            self->clearOnFirst = nullptr;
            montage->qn_mp_Ctrl(frame->sourceId, "clear", "cache");
        }
        ++self->count;
    }
};

Bytes AudioPacket(uint8_t fill)
{
    Bytes packet = {0, 0, 1, 0xFA, 14, 2, 160, 0};
    packet.resize(8 + 160, fill);
    return packet;
}

// Audio packets only: each one comes out as one "g711a" frame.
Bytes AudioStream(int packets)
{
    Bytes stream;
    for (int i = 0; i < packets; ++i) {
        Bytes packet = AudioPacket(static_cast<uint8_t>(0x10 + i % 200));
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

int FeedAll(Montage& montage, int id, const Bytes& stream, std::size_t piece)
{
    int refused = 0;
    for (std::size_t at = 0; at < stream.size();) {
        std::size_t length = std::min(piece, stream.size() - at);
        if (montage.qn_mp_InputData(id, stream.data() + at, static_cast<int>(length), "mix_stream_qn1") == 1) {
            at += length;
            continue;
        }
        // The ring is full until the cache thread passes more on.
        ++refused;
        if (refused > 200000) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return refused;
}

TEST(MontageCache, TheCacheThreadPassesEveryByteOnInOrder)
{
    const int threadsBefore = testing_support::SettledThreadCount();
    Montage montage;
    ASSERT_EQ(montage.qn_mp_Create(), 1);
    int id = montage.qn_mp_AddSource("single", "h264&g711a");
    Collector out;
    montage.qn_mp_SetStreamCallBack(id, &Collector::OnFrame, &out, 0);
    ASSERT_EQ(montage.qn_mp_Ctrl(id, "buff_cache_size", "1048576"), 1);
    ASSERT_EQ(montage.qn_mp_Play(id), 1);
    EXPECT_EQ(montage.qn_mp_Ctrl(id, "buff_cache_size", "2000000"), 0) << "refused while playing";

    // 8000 packets of 168 bytes: more than the ring holds, so it laps.
    const int packets = 8000;
    Bytes stream = AudioStream(packets);
    ASSERT_GE(FeedAll(montage, id, stream, 3000), 0);
    ASSERT_TRUE(WaitFor([&] { return out.count.load() >= packets; }));
    {
        std::lock_guard<std::mutex> hold(out.mutex);
        Bytes expected;
        for (int i = 0; i < packets; ++i) expected.insert(expected.end(), 160, static_cast<uint8_t>(0x10 + i % 200));
        ASSERT_EQ(out.audio.size(), expected.size());
        auto mismatch = std::mismatch(out.audio.begin(), out.audio.end(), expected.begin());
        EXPECT_TRUE(mismatch.first == out.audio.end())
            << "first difference at byte " << (mismatch.first - out.audio.begin()) << " of " << expected.size();
        EXPECT_NE(out.thread, std::this_thread::get_id()) << "frames come from the cache thread";
    }
    EXPECT_EQ(testing_support::ThreadCount(), threadsBefore + 1);
    ASSERT_EQ(montage.qn_mp_Stop(id), 1);
    EXPECT_EQ(testing_support::ThreadCount(), threadsBefore) << "a stop joins the cache thread";
    ASSERT_EQ(montage.qn_mp_Ctrl(id, "buff_cache_size", "0"), 1) << "a stopped source may drop its cache";
}

TEST(MontageCache, RemovingOrDestroyingAPlayingSourceJoinsItsThreadFirst)
{
    const int threadsBefore = testing_support::SettledThreadCount();
    for (int round = 0; round < 5; ++round) {
        Montage montage;
        ASSERT_EQ(montage.qn_mp_Create(), 1);
        int id = montage.qn_mp_AddSource("single", "h264&g711a");
        int other = montage.qn_mp_AddSource("streamparse", "h264&g711a");
        Collector out;
        montage.qn_mp_SetStreamCallBack(id, &Collector::OnFrame, &out, 0);
        montage.qn_mp_SetStreamCallBack(other, &Collector::OnFrame, &out, 0);
        for (int source : {id, other}) {
            ASSERT_EQ(montage.qn_mp_Ctrl(source, "buff_cache_size", "1"), 1);
            ASSERT_EQ(montage.qn_mp_Play(source), 1);
        }
        Bytes stream = AudioStream(500);
        for (int source : {id, other}) {
            montage.qn_mp_InputData(source, stream.data(), static_cast<int>(stream.size()), "mix_stream_qn1");
        }
        ASSERT_TRUE(WaitFor([&] { return out.count.load() > 10; }));
        // The cache and processor are freed while their thread may be mid-piece.
        ASSERT_EQ(montage.qn_mp_RemoveSource(id), 1);
        ASSERT_EQ(montage.qn_mp_Destroy(), 1);
        EXPECT_EQ(testing_support::ThreadCount(), threadsBefore) << "round " << round;
    }
}

TEST(MontageCache, PauseHoldsTheCacheAndPlayResumesIt)
{
    Montage montage;
    ASSERT_EQ(montage.qn_mp_Create(), 1);
    int id = montage.qn_mp_AddSource("single", "h264&g711a");
    Collector out;
    out.clearOnFirst = &montage;
    montage.qn_mp_SetStreamCallBack(id, &Collector::OnFrame, &out, 0);
    ASSERT_EQ(montage.qn_mp_Ctrl(id, "buff_cache_size", "1048576"), 1);
    ASSERT_EQ(montage.qn_mp_Play(id), 1);
    Bytes first = AudioStream(3);
    ASSERT_EQ(montage.qn_mp_InputData(id, first.data(), static_cast<int>(first.size()), "mix_stream_qn1"), 1);
    // The first frame's callback clears the cache from the cache thread itself.
    ASSERT_TRUE(WaitFor([&] { return out.count.load() >= 1; }));
    ASSERT_EQ(montage.qn_mp_Pause(id), 1);
    Bytes more = AudioStream(3);
    EXPECT_EQ(montage.qn_mp_InputData(id, more.data(), static_cast<int>(more.size()), "mix_stream_qn1"), 0)
        << "a paused source takes no input";
    ASSERT_EQ(montage.qn_mp_Play(id), 1);
    ASSERT_EQ(montage.qn_mp_InputData(id, more.data(), static_cast<int>(more.size()), "mix_stream_qn1"), 1);
    ASSERT_TRUE(WaitFor([&] { return out.count.load() >= 3; }));
    // A buffer as large as the cache is refused with a warning.
    Bytes huge(1048576, 0);
    EXPECT_EQ(montage.qn_mp_InputData(id, huge.data(), static_cast<int>(huge.size()), "mix_stream_qn1"), 0);
}

TEST(InputCacheRing, WrapsIntoANewLapOnlyWhenTheReaderIsFarEnoughAhead)
{
    InputCache cache(1);
    ASSERT_EQ(cache.Size(), InputCache::kMinimumSize);
    Bytes block(400000, 0xAB);
    ASSERT_EQ(cache.Store(block.data(), block.size(), BufferType::MixStreamQn1), InputCache::StoreResult::Stored);
    ASSERT_EQ(cache.Store(block.data(), block.size(), BufferType::MixStreamQn1), InputCache::StoreResult::Stored);
    // A third block does not fit behind the second; a new lap would overwrite unread bytes.
    EXPECT_EQ(cache.Store(block.data(), block.size(), BufferType::MixStreamQn1), InputCache::StoreResult::Blocked);
    std::size_t read = 0;
    InputCache::Piece piece;
    while (read < 400000 + InputCache::kGap + 1 && cache.NextPiece(&piece)) {
        EXPECT_LE(piece.length, InputCache::kMaxPiece);
        cache.Consumed(piece);
        read += piece.length;
    }
    EXPECT_EQ(cache.Store(block.data(), block.size(), BufferType::MixStreamQn1), InputCache::StoreResult::Stored);
    while (cache.NextPiece(&piece)) {
        cache.Consumed(piece);
        read += piece.length;
    }
    EXPECT_EQ(read, 3u * 400000) << "every byte once, across the lap";
    EXPECT_EQ(cache.Store(block.data(), InputCache::kMinimumSize, BufferType::MixStreamQn1),
              InputCache::StoreResult::TooLarge);
}

} // namespace
