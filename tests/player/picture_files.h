// Planar 4:2:0 pictures to and from the raw yuv420p files FFmpeg reads and
// writes, and the FFmpeg measurements the player's tests compare against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vm_screen.h"

namespace player_test {

// yuv420p layout of FFmpeg: chroma planes of (w+1)/2 x (h+1)/2.
struct RawYuv {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;
    size_t LumaSize() const { return size_t(width) * height; }
    size_t ChromaSize() const { return size_t((width + 1) / 2) * ((height + 1) / 2); }
    size_t FrameSize() const { return LumaSize() + 2 * ChromaSize(); }
};

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Frame `index` of a raw file of such frames.
RawYuv FrameOf(const std::vector<uint8_t>& file, int width, int height, int index);

// The picture's planes (273, or 274 read back as Y, U, V) in yuv420p layout;
// chroma beyond the picture's own (odd sizes) stays 0.
RawYuv ToRaw(const _vm_screen& picture);
// Copies a raw frame into a picture of the same size.
void FillFromRaw(const RawYuv& raw, _vm_screen& picture);

// Largest difference between two frames of the same size, -1 when the sizes differ.
int MaxDifference(const RawYuv& a, const RawYuv& b);

// The "average" value of FFmpeg's psnr filter comparing two files (the extra
// input options go before each file), or -1 when FFmpeg failed.
double FfmpegPsnr(const std::string& firstInput, const std::string& secondInput);

// Writes frames of testsrc2 at the given size as raw yuv420p; true on success.
bool MakeTestPattern(const std::string& path, int width, int height, int frames);

}  // namespace player_test
