#include "vqSDK/QnMp4Helper/adts_header.h"

namespace qn_mp4 {

bool ParseAdtsHeader(const uint8_t* data, std::size_t length, AdtsHeader& header)
{
    if (data == nullptr || length < 7 || data[0] != 0xFF || (data[1] & 0xF0) != 0xF0) return false;
    header.hasCrc = (data[1] & 0x01) == 0;
    header.objectType = (data[2] >> 6) + 1;
    header.frequencyIndex = (data[2] >> 2) & 0x0F;
    header.channels = (data[2] & 0x01) << 2 | data[3] >> 6;
    return true;
}

} // namespace qn_mp4
