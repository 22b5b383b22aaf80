#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/frame_scanner.h"
#include "vqSDK/VlrNetSDK/msg_header.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

std::vector<uint8_t> Frame(uint32_t id, std::size_t bodyLength, uint32_t total = 0)
{
    std::vector<uint8_t> frame(20 + bodyLength, 0x5A);
    qn_net::WriteHeader(frame.data(), id, static_cast<uint32_t>(bodyLength));
    if (total != 0) qn_net::WriteU32(frame.data() + 12, total);
    return frame;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes)
{
    bytes.pop_back();
    return bytes;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct ids final : public qn_net::frame_sink {
    void on_frame(const uint8_t* frame, std::size_t length) override
    {
        seen.push_back(qn_net::ReadU32(frame + 4));
        lengths.push_back(length);
    }
    std::vector<uint32_t> seen;
    std::vector<std::size_t> lengths;
};

TEST(NetSdkFrameScanner, CutsStreamsByTheReceiverRules)
{
    const std::vector<uint8_t> garbage = {1, 2, 3, 0xCC, 0xDD, 4, 5};
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<uint32_t> delivered;
        std::size_t kept;  // bytes left for the next read
    } cases[] = {
        {"two frames in one read", Join({Frame(1, 3), Frame(2, 0)}), {1, 2}, 0},
        {"garbage before a frame", Join({garbage, Frame(3, 10)}), {3}, 0},
        {"largest total", Frame(4, 12268), {4}, 0},
        {"one byte too long drops the header", Join({Frame(5, 0, 12289), Frame(6, 1)}), {6}, 0},
        {"total below a header drops it", Join({Frame(7, 0, 19), Frame(8, 0)}), {8}, 0},
        {"incomplete frame waits", Truncated(Frame(9, 30)), {}, 49},
        {"19 bytes without magic wait", std::vector<uint8_t>(19, 0x11), {}, 19},
        {"20 bytes without magic: one dropped", std::vector<uint8_t>(20, 0x11), {}, 19},
    };
    for (const auto& c : cases) {
        ids sink;
        std::size_t used = qn_net::scan_frames(c.bytes.data(), c.bytes.size(), sink);
        EXPECT_EQ(sink.seen, c.delivered) << c.name;
        EXPECT_EQ(c.bytes.size() - used, c.kept) << c.name;
    }
}

TEST(NetSdkFrameScanner, AFrameSplitOverTwoReadsArrivesOnceWhole)
{
    std::vector<uint8_t> frame = Frame(77, 500);
    for (std::size_t cut : {std::size_t{1}, std::size_t{19}, std::size_t{20}, std::size_t{21}, frame.size() - 1}) {
        std::vector<uint8_t> held(frame.begin(), frame.begin() + static_cast<long>(cut));
        ids sink;
        std::size_t used = qn_net::scan_frames(held.data(), held.size(), sink);
        EXPECT_TRUE(sink.seen.empty());
        held.erase(held.begin(), held.begin() + static_cast<long>(used));
        held.insert(held.end(), frame.begin() + static_cast<long>(cut), frame.end());
        used = qn_net::scan_frames(held.data(), held.size(), sink);
        EXPECT_EQ(sink.seen, std::vector<uint32_t>{77}) << "cut at " << cut;
        EXPECT_EQ(sink.lengths, std::vector<std::size_t>{frame.size()});
        EXPECT_EQ(used, held.size());
    }
}

} // namespace
