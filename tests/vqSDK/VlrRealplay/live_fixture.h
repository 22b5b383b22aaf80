// The play modules' test stream: the media fixture's video with 4-byte start
// codes and a private SEI before every key frame, clear or protected as a
// camera protects it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "streams/frame_decrypt.h"
#include "streams/stream_fixture.h"
#include "support/stream_encryptor.h"
#include "vqSDK/VlrNetSDK/media/media_peer.h"

namespace realplay_test {

using Bytes = std::vector<uint8_t>;

// Each slice unit of an Annex B stream with 4-byte start codes: start, length, key.
struct Slice {
    std::size_t start;
    std::size_t length;
    bool key;
};

inline std::vector<Slice> Slices(const Bytes& stream)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 4 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 0 && stream[i + 3] == 1) starts.push_back(i);
    }
    std::vector<Slice> slices;
    for (std::size_t n = 0; n < starts.size(); ++n) {
        const int type = stream[starts[n] + 4] & 0x1F;
        const std::size_t end = n + 1 < starts.size() ? starts[n + 1] : stream.size();
        if (type == 1 || type == 5) slices.push_back({starts[n], end - starts[n], type == 5});
    }
    return slices;
}

// The live fixture: the media fixture's video with 4-byte start codes and a
// private SEI before every key frame's slice. With `camera` the SEI carries
// its security flag and every slice is protected as a camera protects it
// (key frames clear for 64 bytes and protected for 1992, other frames clear
// for 32, an interval of 1024). `clear` receives the unprotected stream.
inline bool MakeLiveFixture(media_test::MediaFixture& media, const testing_support::StreamEncryptor* camera,
                     std::string* clear)
{
    const std::string dir = media.folder.Path();
    const std::string sei = dir + "/sei.bin";
    const std::string fields = camera == nullptr
                                   ? "sei 2 " + sei
                                   : "sei 3 " + sei + " security_bits=2 sec_low=" + std::to_string(camera->Low(2 | 4)) +
                                         " sec_high=" + std::to_string(camera->High()) +
                                         " protection=0x04083E44 key_clear=8 interval=16";
    *clear = dir + "/live_sei.264";
    for (const std::string& step : {"four-byte " + media.h264 + " " + dir + "/live4.264", fields,
                                    "inject " + dir + "/live4.264 " + *clear + " " + sei}) {
        const auto made = streams_test::RunFixture(step);
        if (made.exitCode != 0) {
            ADD_FAILURE() << step << ": " << made.output;
            return false;
        }
    }
    media.h264 = *clear;
    if (camera == nullptr) return true;
    Bytes stream = streams_test::ReadFile(*clear);
    for (const Slice& slice : Slices(stream)) {
        const std::size_t length = slice.key ? std::min<std::size_t>(slice.length, 1992) : slice.length;
        const uint32_t info = streams::crypt_info::Make(1024, slice.key ? 64 : 32);
        camera->EncryptFrame(stream.data() + slice.start, length, info, slice.key ? 2 : 4);
    }
    media.h264 = dir + "/live_protected.264";
    streams_test::WriteFile(media.h264, stream);
    return true;
}

} // namespace realplay_test
