#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"

namespace {

using qn_net::frame_pool;
using qn_net::frame_record;

class FakeClock : public platform::Clock {
public:
    int64_t MonotonicMs() const override { return now.load(); }
    std::atomic<int64_t> now{1'000'000};
};

class NetSdkFramePool : public ::testing::Test {
protected:
    // Puts a frame with a small buffer; the put's result.
    int Put(uint32_t number, int32_t type)
    {
        frame_record* record = pool.take_record();
        if (record == nullptr) return -2;
        record->frame_number = number;
        record->type = type;
        record->buffer = frame_pool::allocate_buffer(8);
        return pool.put(record);
    }
    // The numbers take_next hands out now, each record released.
    std::vector<uint32_t> Drain()
    {
        std::vector<uint32_t> numbers;
        while (frame_record* record = pool.take_next()) {
            numbers.push_back(record->frame_number);
            pool.release_record(record);
        }
        return numbers;
    }

    FakeClock clock;
    frame_pool pool{clock};
};

TEST_F(NetSdkFramePool, OrdersFramesOnceAKeyFrameHasCome)
{
    EXPECT_EQ(Put(7, 1), 0);
    EXPECT_EQ(Put(6, 1), 0);
    EXPECT_TRUE(Drain().empty()) << "nothing leaves before a key frame";
    EXPECT_EQ(Put(5, 0), 0);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{5, 6, 7}));
    EXPECT_EQ(Put(7, 1), -1) << "late";
    EXPECT_EQ(Put(3, 0), -1) << "late";
    EXPECT_EQ(Put(9, 1), 0);
    EXPECT_EQ(Put(9, 1), -1) << "duplicate";
    EXPECT_EQ(pool.queued(), 1);
    pool.reset();
    EXPECT_EQ(pool.queued(), 0);
    EXPECT_EQ(pool.handed_out(), 0) << "refused and reset records all went back";
}

TEST_F(NetSdkFramePool, AGapIsSkippedAfterFiveSecondsOrWhenAKeyFrameWaitsBehindIt)
{
    Put(10, 0);
    EXPECT_EQ(Drain(), std::vector<uint32_t>{10});
    Put(12, 1);
    clock.now += 4999;
    EXPECT_TRUE(Drain().empty());
    clock.now += 1;
    EXPECT_EQ(Drain(), std::vector<uint32_t>{12});

    Put(14, 1);
    clock.now += 1;
    EXPECT_TRUE(Drain().empty()) << "13 is missing and nothing waits behind it";
    // A key frame behind the gaps: the frames before it would not decode
    // anyway, so both gaps are skipped at once.
    Put(20, 4);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{14, 20}));
    // A type-4 key frame is counted out when it leaves, so the next gap
    // waits again instead of being skipped for ever after.
    Put(22, 1);
    EXPECT_TRUE(Drain().empty());
    clock.now += 5000;
    EXPECT_EQ(Drain(), std::vector<uint32_t>{22});
}

TEST_F(NetSdkFramePool, TheDelayIsTheTimeSinceTheDeliveryBefore)
{
    Put(1, 0);
    Put(2, 1);
    frame_record* first = pool.take_next();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->delay, 0);
    clock.now += 40;
    frame_record* second = pool.take_next();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->delay, 40);
    pool.release_record(first);
    pool.release_record(second);
}

TEST_F(NetSdkFramePool, RecordsWithoutBuffersReturnAndAFullPoolRecoversOnAKeyFrame)
{
    frame_record* bare = pool.take_record();
    ASSERT_NE(bare, nullptr);
    pool.release_record(bare);
    EXPECT_EQ(pool.handed_out(), 0);

    // Without a key frame only half the pool waits; the rest stays free for it.
    int refused = 0;
    for (uint32_t n = 2; n < 2 + frame_pool::kRecords; ++n) refused += Put(n, 1) == -1 ? 1 : 0;
    EXPECT_EQ(refused, frame_pool::kRecords - frame_pool::kHoldWithoutKey);
    EXPECT_EQ(Put(1, 0), 0);
    std::vector<uint32_t> out = Drain();
    ASSERT_EQ(out.size(), static_cast<std::size_t>(frame_pool::kHoldWithoutKey + 1));
    EXPECT_EQ(out.front(), 1u);
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end()));
    EXPECT_EQ(pool.handed_out(), 0);

    std::vector<frame_record*> all;
    while (frame_record* record = pool.take_record()) all.push_back(record);
    EXPECT_EQ(all.size(), static_cast<std::size_t>(frame_pool::kRecords));
    for (frame_record* record : all) pool.return_record(record);
}

TEST(NetSdkFramePoolBuffers, SizeClasses)
{
    const struct {
        std::size_t length, size;
    } cases[] = {{0, 256}, {256, 256}, {257, 512}, {1000, 1024}, {2048, 2048}, {4096, 4096}, {4097, 8192},
                 {8191, 8192}, {8192, 12288}};
    for (const auto& c : cases) EXPECT_EQ(frame_pool::buffer_class(c.length), c.size) << c.length;
}

// Access units of an Annex B stream: every slice NAL with the parameter sets
// and SEI in front of it; type 0 for IDR slices, 1 otherwise.
struct AccessUnit {
    std::vector<uint8_t> bytes;
    int32_t type = 1;
};

std::vector<AccessUnit> SplitAccessUnits(const std::vector<uint8_t>& stream)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            starts.push_back(i > 0 && stream[i - 1] == 0 ? i - 1 : i);
            i += 2;
        }
    }
    std::vector<AccessUnit> units;
    AccessUnit current;
    for (std::size_t n = 0; n < starts.size(); ++n) {
        std::size_t begin = starts[n];
        std::size_t end = n + 1 < starts.size() ? starts[n + 1] : stream.size();
        std::size_t header = stream[begin + 2] == 1 ? begin + 3 : begin + 4;
        int nalType = stream[header] & 0x1F;
        current.bytes.insert(current.bytes.end(), stream.begin() + static_cast<long>(begin),
                             stream.begin() + static_cast<long>(end));
        if (nalType == 1 || nalType == 5) {
            current.type = nalType == 5 ? 0 : 1;
            units.push_back(std::move(current));
            current = AccessUnit();
        }
    }
    return units;
}

// An encoder's stream, cut into frames, shuffled within each group of
// pictures and put by one thread while another takes them out, comes back
// byte for byte and decodes.
TEST(NetSdkFramePoolStream, ShuffledH264FramesComeBackInOrderAndDecode)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    testing_support::TempFolder folder;
    const std::string source = folder.Path() + "/s.h264";
    const std::string output = folder.Path() + "/out.h264";
    ASSERT_EQ(testing_support::RunCommand("ffmpeg -v error -f lavfi -i testsrc2=size=320x180:rate=25 -t 4 "
                                          "-c:v libx264 -g 25 -bf 0 -f h264 " + source).exitCode,
              0);
    std::ifstream in(source, std::ios::binary);
    std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), {});
    std::vector<AccessUnit> units = SplitAccessUnits(stream);
    ASSERT_EQ(units.size(), 100u);

    platform::Clock clock;
    frame_pool pool(clock);
    std::thread producer([&] {
        std::mt19937 random(5);
        for (std::size_t gop = 0; gop < units.size(); gop += 25) {
            std::vector<std::size_t> order;
            for (std::size_t i = gop; i < std::min(units.size(), gop + 25); ++i) order.push_back(i);
            std::shuffle(order.begin(), order.end(), random);
            for (std::size_t index : order) {
                frame_record* record = nullptr;
                while ((record = pool.take_record()) == nullptr) std::this_thread::yield();
                record->frame_number = static_cast<uint32_t>(index + 1);
                record->type = units[index].type;
                record->total_length = static_cast<int32_t>(units[index].bytes.size());
                record->buffer = frame_pool::allocate_buffer(units[index].bytes.size());
                std::memcpy(record->buffer, units[index].bytes.data(), units[index].bytes.size());
                ASSERT_EQ(pool.put(record), 0);
            }
        }
    });
    std::vector<uint8_t> delivered;
    std::size_t count = 0;
    int64_t deadline = platform::MonotonicMs() + 20000;
    while (count < units.size() && platform::MonotonicMs() < deadline) {
        frame_record* record = pool.take_next();
        if (record == nullptr) {
            std::this_thread::yield();
            continue;
        }
        EXPECT_EQ(record->frame_number, count + 1);
        delivered.insert(delivered.end(), record->buffer, record->buffer + record->total_length);
        ++count;
        pool.release_record(record);
    }
    producer.join();
    ASSERT_EQ(count, units.size());
    EXPECT_EQ(pool.handed_out(), 0);
    std::ofstream(output, std::ios::binary).write(reinterpret_cast<const char*>(delivered.data()),
                                                  static_cast<std::streamsize>(delivered.size()));
    EXPECT_EQ(testing_support::RunCommand("cmp " + source + " " + output).exitCode, 0);
    auto probe = testing_support::RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 " +
        output + " 2>&1");
    EXPECT_EQ(testing_support::Chomp(probe.output), "100");
}

} // namespace
