#include "support/x_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/file_bytes.h"
#include "support/run_command.h"

namespace ddshow_test {

XvfbServer::XvfbServer(const std::string& screen, const std::vector<std::string>& extra)
{
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]); // first: it may be descriptor 3 itself
        dup2(fds[1], 3);
        std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp",
                                         "-noreset"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        if (c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) return;
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
}

XvfbServer::~XvfbServer()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool run(const std::string& command) { return testing_support::RunCommand(command).exitCode == 0; }

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) { return testing_support::ReadFileInto(path, bytes); }

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return testing_support::WriteFileBytes(path, bytes);
}

namespace {
uint32_t bigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
} // namespace

bool grabWindow(const std::string& display, uint32_t window, const std::string& dumpPath, Bgr24Image& out)
{
    const std::string target = window ? "-id " + std::to_string(window) : std::string("-root");
    if (!run("xwd -silent -display " + display + " " + target + " -out " + dumpPath)) return false;
    std::vector<uint8_t> f;
    if (!readFile(dumpPath, f) || f.size() < 100) return false;
    // XWD: 25 big-endian words of header, the window name, the colour map, pixels.
    uint32_t h[25];
    for (int i = 0; i < 25; ++i) h[i] = bigEndian32(&f[i * 4]);
    const uint32_t headerSize = h[0], width = h[4], height = h[5], byteOrder = h[7], bitsPerPixel = h[11],
                   bytesPerLine = h[12], colours = h[19];
    // Depth 24 comes as 32 bits per pixel, or as packed 24 once some clients ran.
    if (h[1] != 7 || h[2] != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || byteOrder != 0) return false;
    const uint32_t pixelBytes = bitsPerPixel / 8;
    const size_t start = size_t(headerSize) + size_t(colours) * 12;
    if (f.size() < start + size_t(bytesPerLine) * height) return false;
    out.width = int(width);
    out.height = int(height);
    out.bytes.resize(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &f[start + size_t(y) * bytesPerLine];
        for (uint32_t x = 0; x < width; ++x)
            std::memcpy(&out.bytes[(size_t(y) * width + x) * 3], row + x * pixelBytes, 3);
    }
    return true;
}

bool writePpm(const std::string& path, const Bgr24Image& image)
{
    const std::string head = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.reserve(bytes.size() + image.bytes.size());
    for (size_t i = 0; i + 2 < image.bytes.size(); i += 3) {
        bytes.push_back(image.bytes[i + 2]);
        bytes.push_back(image.bytes[i + 1]);
        bytes.push_back(image.bytes[i]);
    }
    return writeFile(path, bytes);
}

bool ffmpegToBgr24(const std::string& yuvPath, int width, int height, const std::string& extra,
                   const std::string& outPath, Bgr24Image& out, int outWidth, int outHeight)
{
    const std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s " + std::to_string(width) +
                                "x" + std::to_string(height) + " -i " + yuvPath + " " + extra +
                                " -f rawvideo -pix_fmt bgr24 " + outPath;
    if (!run(command) || !readFile(outPath, out.bytes)) return false;
    out.width = outWidth;
    out.height = outHeight;
    return out.bytes.size() == size_t(outWidth) * outHeight * 3;
}

double psnr(const Bgr24Image& a, const Bgr24Image& b)
{
    if (a.width != b.width || a.height != b.height || a.bytes.size() != b.bytes.size() || a.bytes.empty())
        return 0;
    return testing_support::Psnr(a.bytes.data(), b.bytes.data(), a.bytes.size());
}

} // namespace ddshow_test
