#include "vqSDK/QnMp4Helper/g711_alaw.h"

namespace qn_g711 {

void DecodeAlaw(const uint8_t* alaw, std::size_t count, int16_t* pcm)
{
    for (std::size_t i = 0; i < count; ++i) pcm[i] = kAlawToLinear[alaw[i]];
}

uint8_t EncodeAlawSample(int16_t sample)
{
    int magnitude = sample == INT16_MIN ? INT16_MAX : sample < 0 ? -sample : sample;
    uint8_t code = kLinearToAlaw[std::size_t(magnitude >> 4)];
    return sample < 0 ? uint8_t(code & 0x7F) : code;
}

void EncodeAlaw(const int16_t* pcm, std::size_t count, uint8_t* alaw)
{
    for (std::size_t i = 0; i < count; ++i) alaw[i] = EncodeAlawSample(pcm[i]);
}

} // namespace qn_g711
