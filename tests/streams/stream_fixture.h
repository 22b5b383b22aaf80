// The stream fixture tool (tools/streamfix) as the stream tests call it.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/run_command.h"

namespace streams_test {

inline std::string FixtureTool()
{
    return "python3 " OSTRELS_SOURCE_DIR "/tools/streamfix/stream_fixture.py";
}

inline testing_support::CommandResult RunFixture(const std::string& arguments)
{
    return testing_support::RunCommand(FixtureTool() + " " + arguments + " 2>&1");
}

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> FromHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// A 2-second H.264 stream from ffmpeg's test source, rewritten to 4-byte
// start codes; empty when ffmpeg failed.
inline std::string MakeStream(const std::string& folder, const std::string& name, const std::string& options)
{
    const std::string raw = folder + "/" + name + ".raw.h264";
    const std::string path = folder + "/" + name + ".h264";
    auto made = testing_support::RunCommand("ffmpeg -v error -y " + options + " -f h264 " + raw + " 2>&1");
    if (made.exitCode != 0) return {};
    if (RunFixture("four-byte " + raw + " " + path).exitCode != 0) return {};
    return path;
}

// The NAL units of a stream with 4-byte start codes, each from its start code.
struct NalUnit {
    std::size_t start;
    std::size_t length;
};

inline std::vector<NalUnit> FourByteUnits(const uint8_t* stream, std::size_t size)
{
    std::vector<NalUnit> units;
    for (std::size_t i = 0; i + 4 <= size; ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 0 && stream[i + 3] == 1) {
            if (!units.empty()) units.back().length = i - units.back().start;
            units.push_back({i, 0});
            i += 3;
        }
    }
    if (!units.empty()) units.back().length = size - units.back().start;
    return units;
}

inline std::string FrameMd5(const std::string& path, const std::string& format = "h264")
{
    auto result = testing_support::RunCommand("ffmpeg -v error -f " + format + " -i " + path + " -f framemd5 - 2>&1");
    return result.exitCode == 0 ? result.output : "ffmpeg failed: " + result.output;
}

} // namespace streams_test
