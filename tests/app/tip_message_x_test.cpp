// The tip window on a private X server, as the server itself reports it.
#include <gtest/gtest.h>

#include "TipMessage.h"
#include "support/qt_test_env.h"
#include "support/run_command.h"

namespace {

using testing_support::RunCommand;

std::string WindowInfo(WId window)
{
    return RunCommand("DISPLAY=" + qt_test::XDisplay() + " xwininfo -id " + std::to_string(window) + " 2>&1").output;
}

TEST(TipMessageOnX, ShowsAtThePointAndUnmapsOnTheFourthTick)
{
    if (qt_test::XDisplay().empty()) GTEST_SKIP() << "Xvfb is not available";
    if (!testing_support::HaveCommand("xwininfo")) GTEST_SKIP() << "xwininfo is not installed";
    TipMessage tip;
    tip.moveTo(900, 700);
    tip.showMsg("Camera Offline, Please check network connect.");
    const WId window = tip.winId();
    ASSERT_TRUE(qt_test::ProcessUntil([&] { return WindowInfo(window).find("IsViewable") != std::string::npos; }));
    const std::string shown = WindowInfo(window);
    EXPECT_NE(shown.find("-geometry 260x150+638+548"), std::string::npos) << shown;

    for (int tick = 1; tick < TipMessage::kTicksShown; ++tick) tip.disapper();
    qt_test::ProcessUntil([] { return true; });
    EXPECT_NE(WindowInfo(window).find("IsViewable"), std::string::npos);
    tip.disapper();
    EXPECT_TRUE(qt_test::ProcessUntil([&] { return WindowInfo(window).find("IsUnMapped") != std::string::npos; }));
}

} // namespace
