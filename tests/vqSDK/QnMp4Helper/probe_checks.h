// Our reader's view of an MP4 file against ffprobe's: every sample's place,
// size, duration and key flag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mp4_test {

struct Packet {
    int stream = 0;
    uint64_t pos = 0;
    uint32_t size = 0;
    uint32_t duration = 0;
    bool key = false;
};

std::vector<Packet> ProbePackets(const std::string& file);

// Every sample of every track equals ffprobe's packet: place, size, duration,
// key flag, and the bytes at that place. Reports through gtest.
void ExpectSamplesMatchProbe(const std::string& file, std::size_t expectedTracks);

} // namespace mp4_test
