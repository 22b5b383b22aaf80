// Inside the renderers: rebuilds, monitor placement and shared-memory life.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "dd_offscreen_render.h"
#include "display_devices.h"
#include "test_window.h"
#include "support/x_test_support.h"

using namespace ostrels::ddshow;
using ostrels::x11::Monitor;
using ddshow_test::TestWindow;
using ddshow_test::XvfbServer;
using ddshow_test::YuvPicture;

TEST(MonitorPlacement, NearestMonitorByOverlapThenDistance)
{
    const std::vector<Monitor> monitors = {{1, {0, 0, 960, 1080}}, {2, {960, 0, 1920, 1080}}};
    const struct {
        Rect window;
        int expected;
    } cases[] = {
        {{100, 100, 420, 340}, 0},
        {{1100, 100, 1420, 340}, 1},
        {{800, 0, 1200, 100}, 1},      // more of it on the right
        {{860, 0, 1060, 100}, 0},      // equal halves: the first wins
        {{2500, 50, 2600, 150}, 1},    // off every monitor: the nearest
        {{-500, -500, -400, -400}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, nearestMonitor(monitors, c.window)) << c.window.left;
    EXPECT_EQ(-1, nearestMonitor({}, {0, 0, 10, 10}));
}

TEST(MonitorPlacement, OriginIsTheMonitorsOwnCornerWhateverItsWidth)
{
    // A narrow secondary monitor left of a wide primary: an origin derived
    // from the primary's width would be wrong here.
    const std::vector<Monitor> monitors = {{1, {0, 0, 2560, 1440}, true}, {2, {-1024, 200, 0, 968}}};
    Placement p = placeWindow(monitors, {-900, 300, -500, 600}, 2560, 1440);
    EXPECT_EQ(1, p.device);
    EXPECT_EQ(-1024, p.originX);
    EXPECT_EQ(200, p.originY);
    EXPECT_EQ(1024, p.displayWidth);
    EXPECT_EQ(768, p.displayHeight);
    Placement none = placeWindow({}, {0, 0, 10, 10}, 1280, 1024);
    EXPECT_EQ(-1, none.device);
    EXPECT_EQ(0, none.originX);
    EXPECT_EQ(1280, none.displayWidth);
}

TEST(MonitorPlacement, LeavingTheDisplayAllowsFiftyPixelsBelow)
{
    Placement p;
    p.displayWidth = 960;
    p.displayHeight = 1080;
    const struct {
        Rect dest;
        bool left;
    } cases[] = {
        {{0, 0, 100, 100}, false},    {{-50, 0, -1, 100}, true},   {{961, 0, 1200, 100}, true},
        {{960, 0, 1200, 100}, false}, {{0, 1130, 100, 1200}, false}, {{0, 1131, 100, 1200}, true},
        {{0, -100, 100, -1}, true},
    };
    for (const auto& c : cases) EXPECT_EQ(c.left, leftDisplay(c.dest, p)) << c.dest.left << "," << c.dest.top;
}

namespace {

int sharedSegmentsOfThisProcess()
{
    std::ifstream in("/proc/sysvipc/shm");
    std::string line;
    std::getline(in, line); // column titles
    int count = 0;
    const std::string self = std::to_string(getpid());
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key, id, perms, size, cpid;
        fields >> key >> id >> perms >> size >> cpid;
        if (cpid == self) ++count;
    }
    return count;
}

class RenderersOnXvfb : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new XvfbServer("1920x1080x24"); }
    static void TearDownTestSuite()
    {
        DeviceList::setSourceForTesting(nullptr);
        delete server_;
    }
    void SetUp() override { ASSERT_TRUE(server_->running()) << "Xvfb is needed"; }
    static XvfbServer* server_;
    DeviceList devices_;
};
XvfbServer* RenderersOnXvfb::server_ = nullptr;

} // namespace

TEST_F(RenderersOnXvfb, ANewPictureSizeRebuildsOnce)
{
    TestWindow window(0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    DDOffscreenRender renderer(devices_);
    ASSERT_EQ(0, renderer.init(nullptr, window.id(), 352, 288, nullptr));
    YuvPicture cif(352, 288), d1(704, 576);
    cif.fill(100, 128, 128);
    d1.fill(100, 128, 128);
    EXPECT_EQ(0, renderer.draw(&cif.record()));
    EXPECT_EQ(0, renderer.rebuildCount());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, renderer.draw(&d1.record()));
    EXPECT_EQ(1, renderer.rebuildCount());
}

TEST_F(RenderersOnXvfb, MovingToAnotherMonitorRebuildsOnceAndKeepsThePicture)
{
    DeviceList::setSourceForTesting([](ostrels::x11::Display&) {
        return std::vector<Monitor>{{1, {0, 0, 960, 1080}, true}, {2, {960, 0, 1920, 1080}}};
    });
    TestWindow window(100, 100, 320, 240);
    ASSERT_TRUE(window.ok());
    DDOffscreenRender renderer(devices_);
    ASSERT_EQ(0, renderer.init(nullptr, window.id(), 64, 48, nullptr));
    EXPECT_EQ(0, renderer.placement().device);
    YuvPicture red(64, 48);
    red.fill(82, 90, 240);
    EXPECT_EQ(0, renderer.draw(&red.record()));

    window.move(1100, 100, 320, 240);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, renderer.draw(&red.record()));
    EXPECT_EQ(1, renderer.rebuildCount());
    EXPECT_EQ(1, renderer.placement().device);
    EXPECT_EQ(960, renderer.placement().originX);

    ddshow_test::TempDir dir;
    ddshow_test::Bgr24Image shot;
    ASSERT_TRUE(ddshow_test::grabWindow(server_->display(), window.id(), dir.file("shot.xwd"), shot));
    const uint8_t* centre = shot.at(160, 120);
    EXPECT_GT(centre[2], 200) << "red";
    EXPECT_LT(centre[1], 40);
    DeviceList::setSourceForTesting(nullptr);
}

TEST_F(RenderersOnXvfb, SharedSegmentsGoWithTheRendererAfterManyResizes)
{
    TestWindow window(0, 0, 200, 150);
    ASSERT_TRUE(window.ok());
    {
        DDOffscreenRender renderer(devices_);
        ASSERT_EQ(0, renderer.init(nullptr, window.id(), 64, 48, nullptr));
        YuvPicture picture(64, 48);
        picture.fill(120, 128, 128);
        for (int i = 0; i < 40; ++i) {
            if (i % 2 == 0) window.move(0, 0, 200 + 8 * i, 150 + 4 * i);
            EXPECT_EQ(0, renderer.draw(&picture.record()));
        }
        EXPECT_GE(sharedSegmentsOfThisProcess(), 1);
    }
    EXPECT_EQ(0, sharedSegmentsOfThisProcess());
}

TEST_F(RenderersOnXvfb, AFailedRebuildIsRetriedAtMostOnceASecond)
{
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    auto window = std::make_unique<TestWindow>(0, 0, 160, 120);
    ASSERT_TRUE(window->ok());
    DDOffscreenRender renderer(devices_, [&] { return now; });
    ASSERT_EQ(0, renderer.init(nullptr, window->id(), 64, 48, nullptr));
    window.reset(); // the window goes: a rebuild cannot succeed
    YuvPicture picture(96, 64);
    picture.fill(100, 128, 128);
    EXPECT_EQ(-1, renderer.draw(&picture.record()));
    EXPECT_EQ(1, renderer.rebuildAttempts());
    now += std::chrono::milliseconds(500);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(-1, renderer.draw(&picture.record()));
    EXPECT_EQ(1, renderer.rebuildAttempts()) << "no set-up on every frame";
    now += std::chrono::milliseconds(600);
    EXPECT_EQ(-1, renderer.draw(&picture.record()));
    EXPECT_EQ(2, renderer.rebuildAttempts());
    EXPECT_EQ(0, renderer.rebuildCount());
}
