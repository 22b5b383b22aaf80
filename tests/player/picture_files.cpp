#include "picture_files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support/run_command.h"

namespace player_test {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

RawYuv FrameOf(const std::vector<uint8_t>& file, int width, int height, int index)
{
    RawYuv raw;
    raw.width = width;
    raw.height = height;
    const size_t size = raw.FrameSize(), at = size * size_t(index);
    if (at + size <= file.size()) raw.bytes.assign(file.begin() + long(at), file.begin() + long(at + size));
    return raw;
}

namespace {

struct PlaneSpan {
    size_t offset;
    int width, rows;
};

PlaneSpan RawPlane(const RawYuv& raw, int plane)
{
    if (plane == 0) return {0, raw.width, raw.height};
    return {raw.LumaSize() + (plane - 1) * raw.ChromaSize(), (raw.width + 1) / 2, (raw.height + 1) / 2};
}

int PicturePlane(const _vm_screen& picture, int plane)
{
    return (picture.format == VM_FMT_YVU420 && plane > 0) ? 3 - plane : plane;
}

}  // namespace

RawYuv ToRaw(const _vm_screen& picture)
{
    RawYuv raw;
    raw.width = picture.width;
    raw.height = picture.height;
    raw.bytes.assign(raw.FrameSize(), 0);
    for (int plane = 0; plane < 3; ++plane) {
        const PlaneSpan span = RawPlane(raw, plane);
        const int p = PicturePlane(picture, plane);
        const int width = plane == 0 ? picture.width : picture.width / 2;
        const int rows = vm_plane_rows(picture.format, picture.height, p);
        for (int r = 0; r < rows; ++r)
            std::memcpy(raw.bytes.data() + span.offset + size_t(r) * span.width,
                        picture.planar.plane[p] + size_t(r) * picture.planar.stride[p], size_t(width));
    }
    return raw;
}

void FillFromRaw(const RawYuv& raw, _vm_screen& picture)
{
    for (int plane = 0; plane < 3; ++plane) {
        const PlaneSpan span = RawPlane(raw, plane);
        const int p = PicturePlane(picture, plane);
        const int width = plane == 0 ? picture.width : picture.width / 2;
        const int rows = vm_plane_rows(picture.format, picture.height, p);
        for (int r = 0; r < rows; ++r)
            std::memcpy(picture.planar.plane[p] + size_t(r) * picture.planar.stride[p],
                        raw.bytes.data() + span.offset + size_t(r) * span.width, size_t(width));
    }
}

int MaxDifference(const RawYuv& a, const RawYuv& b)
{
    if (a.width != b.width || a.height != b.height || a.bytes.size() != b.bytes.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < a.bytes.size(); ++i) worst = std::max(worst, std::abs(int(a.bytes[i]) - int(b.bytes[i])));
    return worst;
}

double FfmpegPsnr(const std::string& firstInput, const std::string& secondInput)
{
    const auto result = testing_support::RunCommand("ffmpeg -hide_banner -nostdin " + firstInput + " " + secondInput +
                                                    " -lavfi psnr -f null - 2>&1");
    const size_t at = result.output.find("average:");
    if (result.exitCode != 0 || at == std::string::npos) return -1;
    const std::string value = result.output.substr(at + 8, result.output.find(' ', at + 8) - at - 8);
    return value == "inf" ? 1000.0 : std::atof(value.c_str());
}

bool MakeTestPattern(const std::string& path, int width, int height, int frames)
{
    return testing_support::RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" +
                                       std::to_string(width) + "x" + std::to_string(height) +
                                       ":rate=25 -frames:v " + std::to_string(frames) +
                                       " -pix_fmt yuv420p -f rawvideo '" + path + "'")
               .exitCode == 0;
}

}  // namespace player_test
