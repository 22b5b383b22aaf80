// Helpers for tests that need a real X server and outside tools: a private
// Xvfb, window screenshots through xwd, FFmpeg references, PSNR, YUV fixtures.
#ifndef OSTRELS_TESTS_SUPPORT_X_TEST_SUPPORT_H
#define OSTRELS_TESTS_SUPPORT_X_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/yuv_picture.h"
#include "vm_screen.h"

namespace ddshow_test {

// An Xvfb of this test's own on a free display number, stopped by the
// destructor. Points $DISPLAY at it while it runs.
class XvfbServer {
public:
    explicit XvfbServer(const std::string& screen = "1280x1024x24", const std::vector<std::string>& extra = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }

private:
    int pid_ = -1;
    std::string display_;
};

// A picture of 24-bit B, G, R rows, top row first, no padding.
struct Bgr24Image {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;
    const uint8_t* at(int x, int y) const { return bytes.data() + (size_t(y) * width + x) * 3; }
};

// A temporary folder for this test, removed by the destructor.
class TempDir : public testing_support::TempFolder {
public:
    const std::string& path() const { return Path(); }
    std::string file(const std::string& name) const { return Path() + "/" + name; }
};

// Runs a shell command; true on exit status 0.
bool run(const std::string& command);

// Grabs a window (or the root with id 0) through `xwd` and decodes the dump.
bool grabWindow(const std::string& display, uint32_t window, const std::string& dumpPath, Bgr24Image& out);

// Writes the picture as a binary PPM, which ImageMagick and the file viewers read.
bool writePpm(const std::string& path, const Bgr24Image& image);

bool readFile(const std::string& path, std::vector<uint8_t>& bytes);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// FFmpeg converts a raw yuv420p file to raw bgr24 with the given filter and flags.
bool ffmpegToBgr24(const std::string& yuvPath, int width, int height, const std::string& extra,
                   const std::string& outPath, Bgr24Image& out, int outWidth, int outHeight);

// 0 for pictures of different sizes or empty ones.
double psnr(const Bgr24Image& a, const Bgr24Image& b);

using testing_support::YuvPicture;

} // namespace ddshow_test

#endif
