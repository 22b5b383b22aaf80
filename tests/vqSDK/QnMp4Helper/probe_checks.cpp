#include "probe_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "support/media_fixtures.h"
#include "vqSDK/QnMp4Helper/mp4_file_reader.h"

namespace mp4_test {

using qn_mp4::Mp4FileReader;
using testing_support::RunCommand;

std::vector<Packet> ProbePackets(const std::string& file)
{
    auto result =
        RunCommand("ffprobe -v error -show_entries packet=stream_index,pos,size,duration,flags -of csv=p=0 " + file);
    std::vector<Packet> packets;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        Packet packet;
        char flags[8] = {};
        if (std::sscanf(line.c_str(), "%d,%" SCNu32 ",%" SCNu32 ",%" SCNu64 ",%7s", &packet.stream, &packet.duration,
                        &packet.size, &packet.pos, flags) == 5) {
            packet.key = flags[0] == 'K';
            packets.push_back(packet);
        }
    }
    return packets;
}

void ExpectSamplesMatchProbe(const std::string& file, std::size_t expectedTracks)
{
    Mp4FileReader reader;
    ASSERT_EQ(reader.Open(file), Mp4FileReader::OpenResult::kOpened);
    ASSERT_EQ(reader.Movie().tracks.size(), expectedTracks);
    Bytes whole = ReadFileBytes(file);
    std::vector<Packet> packets = ProbePackets(file);
    std::vector<std::size_t> next(expectedTracks, 0);
    for (const Packet& packet : packets) {
        ASSERT_LT(std::size_t(packet.stream), expectedTracks);
        const qn_mp4::TrackInfo& track = reader.Movie().tracks[std::size_t(packet.stream)];
        std::size_t index = next[std::size_t(packet.stream)]++;
        ASSERT_LT(index, track.samples.size());
        const qn_mp4::SampleRef& sample = track.samples[index];
        EXPECT_EQ(sample.offset, packet.pos) << "stream " << packet.stream << " sample " << index;
        EXPECT_EQ(sample.size, packet.size);
        EXPECT_EQ(sample.duration, packet.duration);
        EXPECT_EQ(sample.sync, packet.key);
        Bytes data;
        ASSERT_TRUE(reader.ReadSample(track, index, data));
        EXPECT_TRUE(std::equal(data.begin(), data.end(), whole.begin() + long(packet.pos)));
    }
    for (std::size_t t = 0; t < expectedTracks; ++t) EXPECT_EQ(next[t], reader.Movie().tracks[t].samples.size());
}

} // namespace mp4_test
