#include "streams/sps_parser.h"

#include <vector>

#include "vqSDK/VlrNetSDK/bit_reader.h"

namespace streams {
namespace {

using qn_net::bit_reader;

std::vector<uint8_t> WithoutEmulationPrevention(const uint8_t* data, std::size_t length)
{
    std::vector<uint8_t> rbsp;
    rbsp.reserve(length);
    int zeros = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (zeros >= 2 && data[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = data[i] == 0 ? zeros + 1 : 0;
        rbsp.push_back(data[i]);
    }
    return rbsp;
}

bool HasChromaFields(uint32_t profile)
{
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135: return true;
    default: return false;
    }
}

void SkipScalingList(bit_reader& bits, int size)
{
    int32_t last = 8;
    int32_t next = 8;
    for (int j = 0; j < size && !bits.overrun(); ++j) {
        if (next != 0) {
            int32_t delta = bits.read_se();
            next = ((last + delta) % 256 + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
}

bool SkipHrd(bit_reader& bits)
{
    uint32_t count = bits.read_ue() + 1;
    if (count > 32) return false;
    bits.read_bits(8); // bit_rate_scale, cpb_size_scale
    for (uint32_t i = 0; i < count && !bits.overrun(); ++i) {
        bits.read_ue();
        bits.read_ue();
        bits.read_bit();
    }
    bits.read_bits(20); // four 5-bit lengths and delays
    return true;
}

bool ParseVui(bit_reader& bits, SpsInfo* info)
{
    if (bits.read_bit() != 0) { // aspect_ratio_info_present_flag
        if (bits.read_bits(8) == 255) bits.read_bits(32); // sar_width, sar_height
    }
    if (bits.read_bit() != 0) bits.read_bit(); // overscan
    if (bits.read_bit() != 0) {                // video_signal_type_present_flag
        bits.read_bits(4);
        if (bits.read_bit() != 0) bits.read_bits(24); // colour description
    }
    if (bits.read_bit() != 0) { // chroma_loc_info_present_flag
        bits.read_ue();
        bits.read_ue();
    }
    if (bits.read_bit() != 0) { // timing_info_present_flag
        info->numUnitsInTick = bits.read_bits(32);
        info->timeScale = bits.read_bits(32);
        bits.read_bit(); // fixed_frame_rate_flag
        if (info->numUnitsInTick == 0 || info->timeScale == 0) return false;
        info->frameRate = static_cast<float>(static_cast<double>(info->timeScale) / (2.0 * info->numUnitsInTick));
    }
    bool nalHrd = bits.read_bit() != 0;
    if (nalHrd && !SkipHrd(bits)) return false;
    bool vclHrd = bits.read_bit() != 0;
    if (vclHrd && !SkipHrd(bits)) return false;
    if (nalHrd || vclHrd) bits.read_bit(); // low_delay_hrd_flag
    bits.read_bit();                       // pic_struct_present_flag
    if (bits.read_bit() != 0) {            // bitstream_restriction_flag
        bits.read_bit();
        for (int i = 0; i < 6; ++i) bits.read_ue();
    }
    return true;
}

} // namespace

bool ParseSps(const uint8_t* nal, std::size_t length, SpsInfo* out)
{
    if (nal == nullptr || out == nullptr) return false;
    std::vector<uint8_t> rbsp = WithoutEmulationPrevention(nal, length);
    bit_reader bits(rbsp.data(), rbsp.size());
    SpsInfo info;
    info.profileIdc = bits.read_bits(8);
    bits.read_bits(16); // constraint flags, level_idc
    bits.read_ue();     // seq_parameter_set_id
    bool separatePlanes = false;
    if (HasChromaFields(info.profileIdc)) {
        info.chromaFormatIdc = bits.read_ue();
        if (info.chromaFormatIdc > 3) return false;
        if (info.chromaFormatIdc == 3) separatePlanes = bits.read_bit() != 0;
        if (bits.read_ue() > 4 || bits.read_ue() > 4) return false; // bit depths above 12
        bits.read_bit();                                            // qpprime_y_zero_transform_bypass_flag
        info.scalingMatrixPresent = bits.read_bit() != 0;
        if (info.scalingMatrixPresent) {
            int lists = info.chromaFormatIdc != 3 ? 8 : 12;
            for (int i = 0; i < lists && !bits.overrun(); ++i) {
                if (bits.read_bit() != 0) SkipScalingList(bits, i < 6 ? 16 : 64);
            }
        }
    }
    bits.read_ue(); // log2_max_frame_num_minus4
    uint32_t pocType = bits.read_ue();
    if (pocType > 2) return false;
    if (pocType == 0) {
        bits.read_ue();
    } else if (pocType == 1) {
        bits.read_bit();
        bits.read_se();
        bits.read_se();
        uint32_t cycle = bits.read_ue();
        if (cycle > 255) return false;
        for (uint32_t i = 0; i < cycle && !bits.overrun(); ++i) bits.read_se();
    }
    if (bits.read_ue() > 16) return false; // max_num_ref_frames
    bits.read_bit();                       // gaps_in_frame_num_value_allowed_flag
    info.picWidthInMbsMinus1 = bits.read_ue();
    info.picHeightInMapUnitsMinus1 = bits.read_ue();
    info.frameMbsOnlyFlag = bits.read_bit();
    if (info.frameMbsOnlyFlag == 0) bits.read_bit(); // mb_adaptive_frame_field_flag
    bits.read_bit();                                 // direct_8x8_inference_flag
    if (bits.read_bit() != 0) {                      // frame_cropping_flag
        info.cropLeft = bits.read_ue();
        info.cropRight = bits.read_ue();
        info.cropTop = bits.read_ue();
        info.cropBottom = bits.read_ue();
    }
    if (bits.read_bit() != 0 && !ParseVui(bits, &info)) return false;
    if (bits.overrun()) return false;

    // Crop units by chroma format (the standard's CropUnitX and CropUnitY).
    uint64_t fieldFactor = 2 - info.frameMbsOnlyFlag;
    uint64_t cropX = 1;
    uint64_t cropY = fieldFactor;
    if (!separatePlanes && info.chromaFormatIdc == 1) {
        cropX = 2;
        cropY = 2 * fieldFactor;
    } else if (!separatePlanes && info.chromaFormatIdc == 2) {
        cropX = 2;
    }
    uint64_t width = (uint64_t{info.picWidthInMbsMinus1} + 1) * 16;
    uint64_t height = (uint64_t{info.picHeightInMapUnitsMinus1} + 1) * 16 * fieldFactor;
    uint64_t cropWidth = cropX * (uint64_t{info.cropLeft} + info.cropRight);
    uint64_t cropHeight = cropY * (uint64_t{info.cropTop} + info.cropBottom);
    if (cropWidth >= width || cropHeight >= height || width - cropWidth > UINT32_MAX ||
        height - cropHeight > UINT32_MAX) {
        return false;
    }
    info.width = static_cast<uint32_t>(width - cropWidth);
    info.height = static_cast<uint32_t>(height - cropHeight);
    *out = info;
    return true;
}

} // namespace streams
