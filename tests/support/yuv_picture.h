// A planar 4:2:0 picture with its own tightly packed storage, and the
// picture comparison the renderer and engine tests judge results by.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "vm_screen.h"

namespace testing_support {

struct YuvPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> y, u, v;
    _vm_screen screen{};

    // All planes zero.
    YuvPicture(int w, int h)
        : width(w), height(h), y(std::size_t(w) * h), u(std::size_t(w / 2) * (h / 2)), v(std::size_t(w / 2) * (h / 2))
    {
    }
    YuvPicture(const YuvPicture&) = delete;
    YuvPicture& operator=(const YuvPicture&) = delete;

    // The record over the planes, as format 273 (or 274 with the planes exchanged).
    _vm_screen& record(int format = VM_FMT_YUV420)
    {
        screen = {};
        screen.width = width;
        screen.height = height;
        screen.format = format;
        screen.planar.stride[0] = width;
        screen.planar.stride[1] = screen.planar.stride[2] = width / 2;
        screen.planar.plane[0] = y.data();
        screen.planar.plane[1] = format == VM_FMT_YVU420 ? v.data() : u.data();
        screen.planar.plane[2] = format == VM_FMT_YVU420 ? u.data() : v.data();
        return screen;
    }
    // yuv420p layout, as FFmpeg reads it.
    std::vector<uint8_t> fileBytes() const
    {
        std::vector<uint8_t> bytes(y);
        bytes.insert(bytes.end(), u.begin(), u.end());
        bytes.insert(bytes.end(), v.begin(), v.end());
        return bytes;
    }
    // False when `bytes` are fewer than the three planes.
    bool loadFile(const std::vector<uint8_t>& bytes) { return loadFile(bytes.data(), bytes.size()); }
    bool loadFile(const void* bytes, std::size_t length)
    {
        if (length < y.size() + u.size() + v.size()) return false;
        const auto* at = static_cast<const uint8_t*>(bytes);
        std::memcpy(y.data(), at, y.size());
        std::memcpy(u.data(), at + y.size(), u.size());
        std::memcpy(v.data(), at + y.size() + u.size(), v.size());
        return true;
    }
    void fill(uint8_t yv, uint8_t uv, uint8_t vv)
    {
        std::fill(y.begin(), y.end(), yv);
        std::fill(u.begin(), u.end(), uv);
        std::fill(v.begin(), v.end(), vv);
    }
};

// The peak signal-to-noise ratio of `count` bytes in dB; 99 when they are equal.
inline double Psnr(const uint8_t* a, const uint8_t* b, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

} // namespace testing_support
