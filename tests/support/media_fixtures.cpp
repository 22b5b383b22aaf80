#include "support/media_fixtures.h"

namespace mp4_test {

std::vector<Bytes> SplitNalUnits(const Bytes& stream)
{
    // Positions just past each 00 00 01; a unit ends where the next start
    // code (with its optional leading zero) begins.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 3 <= stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            starts.push_back(i + 3);
            i += 2;
        }
    }
    std::vector<Bytes> units;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        std::size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : stream.size();
        while (end > starts[k] && stream[end - 1] == 0) --end;
        units.emplace_back(stream.begin() + long(starts[k]), stream.begin() + long(end));
    }
    return units;
}

std::vector<AdtsFrame> SplitAdtsFrames(const Bytes& stream)
{
    std::vector<AdtsFrame> frames;
    std::size_t at = 0;
    while (stream.size() - at >= 7) {
        const uint8_t* h = stream.data() + at;
        if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) break;
        bool crc = (h[1] & 1) == 0;
        std::size_t header = crc ? 9 : 7;
        std::size_t length = std::size_t(h[3] & 3) << 11 | std::size_t(h[4]) << 3 | h[5] >> 5;
        if (length < header || length > stream.size() - at) break;
        AdtsFrame frame;
        frame.objectType = (h[2] >> 6) + 1;
        frame.frequencyIndex = (h[2] >> 2) & 0x0F;
        frame.channels = (h[2] & 1) << 2 | h[3] >> 6;
        frame.payload.assign(h + header, h + length);
        frame.whole.assign(h, h + length);
        frames.push_back(std::move(frame));
        at += length;
    }
    return frames;
}

bool Ffmpeg(const std::string& arguments)
{
    return testing_support::RunCommand("ffmpeg -nostdin -v error -y " + arguments + " 2>&1").exitCode == 0;
}

std::string VideoFrameMd5s(const std::string& input, const std::string& options)
{
    std::string out =
        testing_support::RunCommand("ffmpeg -v error " + options + " -i " + input + " -map 0:v:0 -f framemd5 -").output;
    std::string hashes;
    for (std::size_t at = out.find("0,"); at != std::string::npos; at = out.find("\n0,", at + 1)) {
        std::size_t end = out.find('\n', at + 1);
        hashes += out.substr(out.rfind(',', end) + 1, end - out.rfind(',', end));
    }
    return hashes;
}

bool MakeH264(const std::string& path, int seconds, const std::string& size)
{
    return Ffmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=25 -t " + std::to_string(seconds) +
                  " -c:v libx264 -preset ultrafast -bf 0 -g 25 -threads 1 -f h264 " + path);
}

bool MakeAdts(const std::string& path, int seconds)
{
    return Ffmpeg("-f lavfi -i sine=frequency=1000:sample_rate=8000 -t " + std::to_string(seconds) +
                  " -c:a aac -ac 1 -f adts " + path);
}

} // namespace mp4_test
