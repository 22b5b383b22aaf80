// Pictures of a synthetic panorama as a PTZ camera would take them, fed to a
// running link: shared by the tests that drive a whole projection run.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "qn_ptzlink.h"
#include "test_support.h"

namespace ptzlink_test {

constexpr int kShotWidth = 640;
constexpr int kShotHeight = 360;

// Shoots one kShotWidth x kShotHeight BGR picture per aim (pan, tilt in
// degrees, field of view 60) from the panorama at `pano` into "p<i>.raw" of
// `dir`; an empty text, or what went wrong.
inline std::string shoot(const TempDir& dir, const std::string& pano, const std::vector<std::pair<double, double>>& aims)
{
    {
        std::ofstream list(dir.file("aims.txt"));
        for (std::size_t i = 0; i < aims.size(); ++i) {
            list << "p" << i << ' ' << aims[i].first << ' ' << aims[i].second << " 60 " << kShotWidth << ' '
                 << kShotHeight << '\n';
        }
    }
    std::string error;
    run_python("ptz_scene.py", "shoot " + pano + " " + dir.file("aims.txt") + " " + dir.file(""), &error);
    return error;
}

// A packed BGR24 picture over `bgr`.
inline _vm_screen shot_picture(std::vector<uint8_t>& bgr)
{
    _vm_screen pic{};
    pic.width = kShotWidth;
    pic.height = kShotHeight;
    pic.format = VM_FMT_BGR24;
    pic.packed.stride = kShotWidth * 3;
    pic.packed.pixels = bgr.data();
    return pic;
}

// Waits up to about 4 s for the link to take the next picture; its last
// "ready_for_input" answer.
inline std::string wait_ready_for_input(QN_PTZLINK& link)
{
    char* ready = nullptr;
    for (int wait = 0; wait < 2000; ++wait) {
        link.GetInfo("ready_for_input", &ready, nullptr);
        if (ready != nullptr && ready[0] == 'y') break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return ready != nullptr ? ready : "";
}

} // namespace ptzlink_test
