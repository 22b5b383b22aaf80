// H.264 sequence parameter sets (ITU-T H.264 7.3.2.1.1 with VUI and HRD):
// picture size and frame rate of a camera stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace streams {

struct SpsInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    float frameRate = 0; // 0 without timing information
    // Syntax fields, as the standard names them.
    uint32_t profileIdc = 0;
    uint32_t chromaFormatIdc = 1;
    uint32_t picWidthInMbsMinus1 = 0;
    uint32_t picHeightInMapUnitsMinus1 = 0;
    uint32_t frameMbsOnlyFlag = 1;
    uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    uint32_t numUnitsInTick = 0;
    uint32_t timeScale = 0;
    bool scalingMatrixPresent = false;
};

// `nal` is the SPS behind its start code and NAL header byte, emulation
// prevention still in place. False on values out of range and on reading
// past the end.
bool ParseSps(const uint8_t* nal, std::size_t length, SpsInfo* out);

} // namespace streams
