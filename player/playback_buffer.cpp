#include "playback_buffer.h"

#include <algorithm>
#include <cstring>

namespace talk_audio {

std::size_t PlaybackBuffer::Append(const int16_t* pcm, std::size_t samples, const BlockFilter& filter)
{
    const char* bytes = reinterpret_cast<const char*>(pcm);
    m_pending.insert(m_pending.end(), bytes, bytes + samples * sizeof(int16_t));

    std::size_t blocks = m_pending.size() / kBlockBytes;
    int16_t block[kBlockSamples];
    for (std::size_t i = 0; i < blocks; ++i) {
        std::memcpy(block, m_pending.data() + i * kBlockBytes, kBlockBytes);
        if (!filter(block)) continue;
        const char* cleaned = reinterpret_cast<const char*>(block);
        m_playable.insert(m_playable.end(), cleaned, cleaned + kBlockBytes);
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(blocks * kBlockBytes));

    if (m_playable.size() <= kPlaybackLimitBytes) return 0;
    Consume(kDropBytes);
    return kDropBytes;
}

void PlaybackBuffer::Consume(std::size_t count)
{
    count = std::min(count, m_playable.size());
    m_playable.erase(m_playable.begin(), m_playable.begin() + std::ptrdiff_t(count));
}

void PlaybackBuffer::Clear()
{
    m_pending.clear();
    m_playable.clear();
}

} // namespace talk_audio
