#include "vqSDK/QnMp4Helper/g711_alaw.h"

namespace qn_g711 {

void DecodeAlaw(const uint8_t* alaw, std::size_t count, int16_t* pcm)
{
    for (std::size_t i = 0; i < count; ++i) pcm[i] = kAlawToLinear[alaw[i]];
}

} // namespace qn_g711
