// The received-audio path of talk between decoding and the output device:
// decoded PCM gathers until whole 20 ms blocks can be cleaned, cleaned blocks
// wait for the device, and the wait is bounded so that audio arriving faster
// than it plays cannot grow it without end. Not locked: its owner locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace talk_audio {

// One block of 160 samples (20 ms at 8 kHz), as the noise filter takes them.
constexpr std::size_t kBlockSamples = 160;
constexpr std::size_t kBlockBytes = 2 * kBlockSamples;
// Above this many waiting bytes the oldest kDropBytes are dropped.
constexpr std::size_t kPlaybackLimitBytes = 20480;
constexpr std::size_t kDropBytes = 9600;

// Cleans one block in place; false drops the block.
using BlockFilter = std::function<bool(int16_t* block)>;

class PlaybackBuffer {
public:
    // Appends decoded samples; every whole block gathered goes through
    // `filter` to the playback bytes. The count of bytes dropped from the
    // front of the playback bytes to keep them within the limit, or 0.
    std::size_t Append(const int16_t* pcm, std::size_t samples, const BlockFilter& filter);

    // Decoded bytes still short of a whole block.
    std::size_t PendingBytes() const { return m_pending.size(); }
    // Cleaned bytes waiting for the device.
    std::size_t PlayableBytes() const { return m_playable.size(); }
    const char* PlayableData() const { return m_playable.data(); }
    // Removes `count` played bytes from the front.
    void Consume(std::size_t count);

    void Clear();

private:
    std::vector<char> m_pending;
    std::vector<char> m_playable;
};

} // namespace talk_audio
