#include "vqSDK/VlrNetSDK/cloud/nal_frame_type.h"

#include "vqSDK/VlrNetSDK/bit_reader.h"

namespace qn_cloud {
namespace {

int SliceFrameType(uint32_t sliceType)
{
    switch (sliceType) {
    case 0: case 3: case 5: case 8: return 1; // P, SP
    case 1: case 6: return 3;                 // B
    default: return 0;                        // I, SI
    }
}

} // namespace

int NalFrameType(const uint8_t* nal, std::size_t length)
{
    if (nal == nullptr || length == 0) return 0;
    switch (nal[0] & 0x1F) {
    case 1:
    case 5: {
        qn_net::bit_reader bits(nal + 1, length - 1);
        bits.read_ue(); // first_mb_in_slice
        return SliceFrameType(bits.read_ue());
    }
    case 6: return 6;
    case 7: return 7;
    case 8: return 8;
    case 28: return 0;
    case 29: return 1;
    case 26: return 2;
    default: return 0;
    }
}

} // namespace qn_cloud
