#include "capture_encoder.h"

#include "vqSDK/QnMp4Helper/g711_alaw.h"

namespace talk_audio {

std::size_t CaptureEncoder::Encode(const char* bytes, std::size_t count, uint8_t* alaw)
{
    std::size_t written = 0, at = 0;
    auto sample = [](uint8_t low, uint8_t high) { return int16_t(uint16_t(low | high << 8)); };
    if (m_carrying && count > 0) {
        alaw[written++] = qn_g711::EncodeAlawSample(sample(m_carried, uint8_t(bytes[0])));
        m_carrying = false;
        at = 1;
    }
    for (; at + 1 < count; at += 2) {
        alaw[written++] = qn_g711::EncodeAlawSample(sample(uint8_t(bytes[at]), uint8_t(bytes[at + 1])));
    }
    if (at < count) {
        m_carried = uint8_t(bytes[at]);
        m_carrying = true;
    }
    return written;
}

} // namespace talk_audio
