// The simulated LAN camera and video server of tools/camsim as test peers,
// the H.264 and A-law fixtures that ffmpeg makes for them, and checks of
// delivered frames against the source with ffmpeg and ffprobe.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "frame_sink.h"
#include "platform/clock.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

namespace media_test {

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Four seconds of 640x360 H.264 at 25 frames per second, a key frame every
// 25, and four seconds of 8 kHz A-law, made in the test's own folder.
struct MediaFixture {
    MediaFixture()
    {
        h264 = folder.Path() + "/live.264";
        alaw = folder.Path() + "/talk.alaw";
        const std::string video = "ffmpeg -v error -y -f lavfi -i testsrc2=size=640x360:rate=25 -t 4 -c:v libx264 "
                                  "-g 25 -bf 0 -f h264 " + h264;
        const std::string audio = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=8000 -t 4 "
                                  "-c:a pcm_alaw -f alaw " + alaw;
        ok = testing_support::RunCommand(video).exitCode == 0 && testing_support::RunCommand(audio).exitCode == 0;
    }
    testing_support::TempFolder folder;
    std::string h264;
    std::string alaw;
    bool ok = false;
};

struct ManifestFrame {
    uint32_t number = 0;
    int type = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
    bool intact = true;  // every block of it was sent
};

// One message the peer received.
struct PeerMessage {
    uint32_t id = 0;
    uint32_t total = 0;
    std::string body;  // bytes
    int64_t sequence = -1;
};

inline std::string HexBytes(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

class MediaPeer {
public:
    // `module` is lan_camera or video_server.
    MediaPeer(const std::string& module, const MediaFixture& fixture, const std::string& options)
    {
        const std::string dir = folder_.Path();
        portFile_ = dir + "/port";
        manifest_ = dir + "/manifest.jsonl";
        log_ = dir + "/messages.jsonl";
        talk_ = dir + "/talk.out";
        const std::string command = "PYTHONPATH=" OSTRELS_SOURCE_DIR "/tools/camsim exec /usr/bin/python3 -m camsim." +
                                    module + " --port-file " + portFile_ + " --h264 " + fixture.h264 + " --alaw " +
                                    fixture.alaw + " --manifest " + manifest_ + " --log " + log_ + " --talk-out " +
                                    talk_ + " --max-seconds 600 " + options;
        pipe_ = ::popen(command.c_str(), "w");
        if (pipe_ == nullptr) return;
        testing_support::WaitUntil([&] {
            std::ifstream in(portFile_);
            if (!(in >> port_)) port_ = 0;
            return port_ != 0;
        }, testing_support::kEventBoundMs, 25);
    }
    ~MediaPeer() { Stop(); }
    MediaPeer(const MediaPeer&) = delete;
    MediaPeer& operator=(const MediaPeer&) = delete;

    void Stop()
    {
        if (pipe_ != nullptr) ::pclose(pipe_);
        pipe_ = nullptr;
    }

    uint16_t Port() const { return static_cast<uint16_t>(port_); }
    const std::string& TalkFile() const { return talk_; }
    std::string Folder() const { return folder_.Path(); }

    std::vector<ManifestFrame> Frames() const
    {
        std::vector<ManifestFrame> frames;
        std::ifstream in(manifest_);
        std::regex entry(R"re(\{"frame": (\d+), "type": (\d+), "offset": (\d+), "length": (\d+))re");
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (!std::regex_search(line, m, entry)) continue;
            frames.push_back({static_cast<uint32_t>(std::stoul(m[1])), std::stoi(m[2]),
                              static_cast<std::size_t>(std::stoul(m[3])), static_cast<std::size_t>(std::stoul(m[4])),
                              line.find("\"intact\": false") == std::string::npos});
        }
        return frames;
    }

    std::vector<PeerMessage> Messages() const
    {
        std::vector<PeerMessage> messages;
        std::ifstream in(log_);
        std::regex entry(R"re(\{"id": (-?\d+), "total": (\d+), "body": "([0-9a-f]*)")re");
        std::regex sequence(R"re("sequence": (\d+))re");
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (!std::regex_search(line, m, entry)) continue;
            PeerMessage message;
            message.id = static_cast<uint32_t>(std::stol(m[1]));
            message.total = static_cast<uint32_t>(std::stoul(m[2]));
            message.body = HexBytes(m[3]);
            std::smatch s;
            if (std::regex_search(line, s, sequence)) message.sequence = std::stoll(s[1]);
            messages.push_back(message);
        }
        return messages;
    }

    std::vector<PeerMessage> MessagesWithId(uint32_t id) const
    {
        std::vector<PeerMessage> chosen;
        for (auto& message : Messages()) {
            if (message.id == id) chosen.push_back(message);
        }
        return chosen;
    }

    // Waits until the peer logged at least `count` messages of `id`.
    bool WaitFor(uint32_t id, std::size_t count, int ms) const
    {
        return testing_support::WaitUntil([&] { return MessagesWithId(id).size() >= count; }, ms, 20);
    }

private:
    testing_support::TempFolder folder_;
    std::string portFile_;
    std::string manifest_;
    std::string log_;
    std::string talk_;
    FILE* pipe_ = nullptr;
    int port_ = 0;
};

// The framemd5 lines of a file, comments left out.
inline std::vector<std::string> FrameDigests(const std::string& path)
{
    auto result = testing_support::RunCommand("ffmpeg -v error -i " + path + " -f framemd5 - 2>/dev/null");
    std::vector<std::string> lines;
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

// The picture digest: the last field of a framemd5 line.
inline std::string DigestOf(const std::string& line) { return line.substr(line.rfind(',') + 1); }

// Checks every delivered video frame against its source bytes, writes them
// in order to `out`, and checks the output with ffprobe and ffmpeg. Returns
// the number of frames delivered.
inline std::size_t CheckDeliveredVideo(const std::vector<DeliveredFrame>& video, const MediaFixture& fixture,
                                       const std::vector<ManifestFrame>& manifest, const std::string& out)
{
    const std::string source = ReadFile(fixture.h264);
    std::string written;
    uint32_t previous = 0;
    for (const auto& frame : video) {
        EXPECT_TRUE(frame.prefixMatches) << "frame " << frame.number;
        EXPECT_GT(frame.number, previous) << "out of order";
        previous = frame.number;
        if (frame.number == 0 || frame.number > manifest.size()) {
            ADD_FAILURE() << "unknown frame " << frame.number;
            continue;
        }
        const ManifestFrame& expected = manifest[frame.number - 1];
        EXPECT_EQ(frame.type, expected.type) << "frame " << frame.number;
        EXPECT_TRUE(frame.data == source.substr(expected.offset, expected.length)) << "frame " << frame.number;
        written += frame.data;
    }
    WriteFile(out, written);
    auto errors = testing_support::RunCommand("ffprobe -v error -show_frames " + out + " 2>&1 >/dev/null");
    EXPECT_EQ(errors.output, "") << "ffprobe reported decoding errors";
    auto count = testing_support::RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                             "stream=nb_read_frames -of csv=p=0 " + out);
    EXPECT_EQ(testing_support::Chomp(count.output), std::to_string(video.size()));
    // Each delivered frame decodes to the picture its source frame gives.
    auto decoded = FrameDigests(out);
    auto original = FrameDigests(fixture.h264);
    EXPECT_EQ(original.size(), manifest.size());
    EXPECT_EQ(decoded.size(), video.size());
    for (std::size_t i = 0; i < decoded.size() && i < video.size(); ++i) {
        const uint32_t number = video[i].number;
        if (number == 0 || number > original.size()) continue;
        EXPECT_EQ(DigestOf(decoded[i]), DigestOf(original[number - 1])) << "picture of frame " << number;
    }
    return video.size();
}

} // namespace media_test
