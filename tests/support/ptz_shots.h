// Pictures of a synthetic panorama as a PTZ camera would take them, fed to a
// running link: shared by the tests that drive a whole projection run (the
// linkage library's own and the camera-SDK hub's). The scene is drawn by
// tests/ptzlink/ptz_scene.py.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ptzlink/qn_ptzlink.h"
#include "support/run_command.h"
#include "support/wait_until.h"

namespace ptzlink_test {

constexpr int kShotWidth = 640;
constexpr int kShotHeight = 360;

// Runs the scene script with Debian's Python (which carries numpy and
// OpenCV); an empty text, or what went wrong.
inline std::string run_scene(const std::string& args)
{
    const auto result = testing_support::RunCommand("/usr/bin/python3 " OSTRELS_SOURCE_DIR
                                                    "/tests/ptzlink/ptz_scene.py " + args + " 2>&1");
    return result.exitCode == 0 ? std::string() : "ptz_scene.py " + args + " failed: " + result.output;
}

// Shoots one kShotWidth x kShotHeight BGR picture per aim (pan, tilt in
// degrees, field of view 60) from the panorama at `pano` into "p<i>.raw" of
// `folder` (ending in "/"); an empty text, or what went wrong.
inline std::string shoot(const std::string& folder, const std::string& pano,
                         const std::vector<std::pair<double, double>>& aims)
{
    {
        std::ofstream list(folder + "aims.txt");
        for (std::size_t i = 0; i < aims.size(); ++i) {
            list << "p" << i << ' ' << aims[i].first << ' ' << aims[i].second << " 60 " << kShotWidth << ' '
                 << kShotHeight << '\n';
        }
    }
    return run_scene("shoot " + pano + " " + folder + "aims.txt " + folder);
}

// The bytes of shot `i` of `folder`.
inline std::vector<uint8_t> read_shot(const std::string& folder, std::size_t i)
{
    std::ifstream in(folder + "p" + std::to_string(i) + ".raw", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

// Waits for the link to take the next picture, within the generous event
// bound (a busy machine may take seconds over the one before); its last
// "ready_for_input" answer.
inline std::string wait_ready_for_input(QN_PTZLINK& link)
{
    char* ready = nullptr;
    testing_support::WaitUntil(
        [&] {
            link.GetInfo("ready_for_input", &ready, nullptr);
            return ready != nullptr && ready[0] == 'y';
        },
        testing_support::kEventBoundMs, 2);
    return ready != nullptr ? ready : "";
}

} // namespace ptzlink_test
