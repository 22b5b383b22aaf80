// Runs the tests inside one QApplication: on a private Xvfb for the tests that
// drive real input (OSTRELS_QT_TEST_ON_X), else on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/qt_test_env.h"
#include "support/scoped_env.h"
#ifdef OSTRELS_QT_TEST_ON_X
#include "support/x_test_support.h"
#endif

namespace qt_test {

namespace {
std::string g_display;
}

const std::string& XDisplay()
{
    return g_display;
}

} // namespace qt_test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::ScopedEnv backend("QT_QUICK_BACKEND", "software");
    testing_support::ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
#ifdef OSTRELS_QT_TEST_ON_X
    ddshow_test::XvfbServer xvfb("1280x800x24");
    if (xvfb.running()) {
        qt_test::g_display = xvfb.display();
        platform.Set("xcb");
    }
#endif
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
