// StreamQueue against the Python reference model: a long seeded random run of
// puts, reads, releases and commands on each capacity set is traced, and the
// model replays the trace and must give every answer the queue gave.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "queue_bytes.h"
#include "streams/stream_queue.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;
using queue_test::Crc32;

// Calls the queue and writes each call with its answers.
class TracedQueue {
public:
    TracedQueue(QueueCapacity capacity, std::ostream& out) : queue_(capacity), out_(out)
    {
        out_ << "set " << (capacity == QueueCapacity::Large ? "large" : "small") << "\n";
    }

    StreamQueue& Queue() { return queue_; }

    void Open(int owner) { out_ << "open " << owner << " | " << queue_.Open(owner) << "\n"; }
    void Close(int owner) { out_ << "close " << owner << " | " << queue_.Close(owner) << "\n"; }
    void Clear(int owner) { out_ << "clear " << owner << " | " << queue_.Clear(owner) << "\n"; }

    void Put(int owner, int kind, uint32_t number, bool key, uint32_t length, uint32_t seed, uint32_t value,
             uint32_t rateByte, int32_t width, int32_t height)
    {
        std::vector<uint8_t>& data = buffer_;
        data.resize(length);
        for (uint32_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed + i);
        StreamQueueStats stats;
        int result;
        if (queue_.Capacity() == QueueCapacity::Large) {
            StreamFrameHead head{(key ? 0x10u : 0u) | ((seed & 0x3FFu) << 5) | (rateByte << 15), number, width, height};
            result = queue_.Put(owner, data.data(), length, head, kind, &stats);
        } else {
            StreamFrameRecord record{key ? 1u : 0u, number, data.data(), length, kind, value};
            result = queue_.Put(owner, record, &stats);
        }
        out_ << "put " << owner << " " << kind << " " << number << " " << key << " " << length << " " << seed << " "
             << value << " " << rateByte << " " << width << " " << height << " | " << result;
        if (result == 1) Write(stats);
        out_ << "\n";
    }

    void Read(int owner, int kind)
    {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        StreamQueueStats stats;
        int result = queue_.Read(owner, &data, &length, &stats, kind);
        out_ << "read " << owner << " " << kind << " | " << result;
        if (result == 1) {
            out_ << " " << length << " " << Crc32(data, data == nullptr ? 0 : length);
            Write(stats);
        }
        out_ << "\n";
    }

    void Release(int owner, int kind)
    {
        out_ << "release " << owner << " " << kind << " | " << queue_.Release(owner, kind) << "\n";
    }

    void State(int owner)
    {
        StreamQueueStats stats;
        int result = queue_.State(owner, &stats);
        out_ << "state " << owner << " | " << result;
        if (result == 1) Write(stats);
        out_ << "\n";
    }

    void Command(int owner, const char* name, const char* value)
    {
        out_ << "command " << owner << " " << name << " " << value << " | " << queue_.Command(owner, name, value)
             << "\n";
    }

private:
    void Write(const StreamQueueStats& s)
    {
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.6g", static_cast<double>(s.frameRate));
        out_ << " " << s.word << " " << s.writeKiB << " " << s.readKiB << " " << s.firstFrame << " " << s.lastFrame
             << " " << s.width << " " << s.height << " " << rate << " " << s.value;
    }

    StreamQueue queue_;
    std::ostream& out_;
    std::vector<uint8_t> buffer_;
};

// A random run in phases that lean towards putting or towards taking, so that
// the rings and pools fill, wrap and drain again and again.
void RandomRun(TracedQueue& q, uint32_t seed, int calls)
{
    std::mt19937 random(seed);
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    auto upTo = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(1, n)(random); };
    const int owner = 3;
    const uint32_t maxVideo = q.Queue().MaxFrameLength(QueueKind::Video);
    const uint32_t maxAudio = q.Queue().MaxFrameLength(QueueKind::Audio);
    uint32_t videoNumber = 100, audioNumber = 100, putCount = 0;
    q.Open(owner);
    for (int call = 0; call < calls; ++call) {
        bool filling = (call / 400) % 2 == 0;
        double r = std::uniform_real_distribution<double>(0, 1)(random);
        double put = filling ? 0.75 : 0.3, read = filling ? 0.08 : 0.25, release = read, pair = filling ? 0.04 : 0.15;
        if (r < put) {
            bool video = chance(0.5);
            uint32_t length;
            if (video) {
                videoNumber += chance(0.05) ? upTo(5) + 1 : (chance(0.02) ? 0 : 1);
                length = chance(0.85) ? upTo(8192) : chance(0.9) ? upTo(maxVideo / 6) : maxVideo - 20 + upTo(40);
            } else {
                audioNumber += chance(0.4) ? 0 : (chance(0.05) ? upTo(4) + 1 : 1);
                length = chance(0.7) ? upTo(1024) : chance(0.9) ? upTo(8192) : maxAudio - 20 + upTo(40);
            }
            int kind = video ? (chance(0.5) ? 1 : 3) : 2;
            int putter = chance(0.01) ? owner + 1 : owner;
            if (chance(0.005)) length = 0;
            q.Put(putter, kind, video ? videoNumber : audioNumber, chance(0.1), length, ++putCount,
                  static_cast<uint32_t>(random()), upTo(60) - 1, static_cast<int32_t>(upTo(70000)),
                  static_cast<int32_t>(upTo(70000)));
        } else if ((r -= put) < read) {
            q.Read(owner, chance(0.5) ? 1 : 2);
        } else if ((r -= read) < release) {
            q.Release(owner, chance(0.5) ? 3 : 2);
        } else if ((r -= release) < pair) {
            int kind = chance(0.5) ? 1 : 2;
            q.Read(owner, kind);
            q.Release(owner, kind);
        } else if (chance(0.85)) {
            q.State(chance(0.9) ? owner : 5);
        } else if (chance(0.65)) {
            q.Command(owner, "need_cache", chance(0.5) ? "y" : (chance(0.8) ? "n" : "x"));
        } else if (chance(0.15)) {
            q.Command(owner, chance(0.7) ? "clear_all" : "clear_none", "-");
        } else if (chance(0.1)) {
            q.Clear(owner);
        } else {
            q.Read(owner, 4);
        }
    }
    q.Close(owner);
    q.Open(owner + 1);
    q.Read(owner + 1, 1);
}

void CheckWithModel(QueueCapacity capacity, uint32_t seed, int calls)
{
    if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is missing: the queue model cannot run";
    testing_support::TempFolder folder;
    std::string trace = folder.Path() + "/trace.txt";
    {
        std::ofstream out(trace);
        TracedQueue queue(capacity, out);
        RandomRun(queue, seed, calls);
    }
    auto result = testing_support::RunCommand(
        "python3 " OSTRELS_SOURCE_DIR "/tests/streams/stream_queue_model.py --coverage " + trace + " 2>&1");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("calls agree"), std::string::npos) << result.output;
}

TEST(StreamQueueModel, SmallSetAgreesWithTheModel) { CheckWithModel(QueueCapacity::Small, 2549, 25000); }

TEST(StreamQueueModel, LargeSetAgreesWithTheModel) { CheckWithModel(QueueCapacity::Large, 104, 15000); }

} // namespace
