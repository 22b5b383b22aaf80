// What the tests on the private X server share: items found by name, real
// input through xdotool, screenshots and pixel probes.
#pragma once

#include <gtest/gtest.h>

#include <QQuickItem>
#include <QQuickView>
#include <QWidget>

#include "platform/paths.h"
#include "support/qt_test_env.h"
#include "support/run_command.h"
#include "support/x_test_support.h"

namespace views_x_test {

using qt_test::ProcessUntil;

// Items of the scene by object name, through the visual tree: delegates and
// popups have no QObject parent within the document.
inline void FindItems(QQuickItem* from, const QString& name, std::vector<QQuickItem*>& found)
{
    if (!from) return;
    if (from->objectName() == name) found.push_back(from);
    for (QQuickItem* child : from->childItems()) FindItems(child, name, found);
}

inline QQuickItem* FindVisibleItem(QQuickView* view, const QString& name)
{
    std::vector<QQuickItem*> found;
    FindItems(view->contentItem(), name, found);
    for (QQuickItem* item : found)
        if (item->isVisible() && item->width() > 0 && item->height() > 0) return item;
    return nullptr;
}

class PanelsOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qt_test::XDisplay().empty()) GTEST_SKIP() << "Xvfb is not available";
        if (!ddshow_test::run("command -v xdotool >/dev/null")) GTEST_SKIP() << "xdotool is not installed";
    }

    bool xdotool(const std::string& arguments)
    {
        return ddshow_test::run("DISPLAY=" + qt_test::XDisplay() + " xdotool " + arguments);
    }

    // The whole screen; with OSTRELS_SCREENSHOT_DIR set, also kept there as <name>.ppm.
    ddshow_test::Bgr24Image screenshot(const std::string& name)
    {
        ddshow_test::Bgr24Image image;
        EXPECT_TRUE(ddshow_test::grabWindow(qt_test::XDisplay(), 0, folder_.file(name + ".xwd"), image));
        if (auto keep = platform::GetEnv("OSTRELS_SCREENSHOT_DIR"))
            ddshow_test::writePpm(*keep + "/" + name + ".ppm", image);
        return image;
    }

    static QColor pixel(const ddshow_test::Bgr24Image& image, int x, int y)
    {
        const uint8_t* p = image.at(x, y);
        return QColor(p[2], p[1], p[0]);
    }

    // Clicks the middle of a document item, found by its object name.
    bool clickItem(QQuickItem* item, int button = 1, int repeat = 1)
    {
        if (!item) return false;
        const QPointF centre = item->mapToGlobal(QPointF(item->width() / 2, item->height() / 2));
        return xdotool("mousemove " + std::to_string(int(centre.x())) + " " + std::to_string(int(centre.y())) +
                       " click --repeat " + std::to_string(repeat) + " --delay 40 " + std::to_string(button));
    }

    // Waits for the view to draw a new frame, so that a screenshot shows the latest state.
    static bool nextFrame(QQuickView* view)
    {
        int frames = 0;
        QMetaObject::Connection counting = QObject::connect(view, &QQuickWindow::frameSwapped, [&frames] { ++frames; });
        view->update();
        const bool drawn = ProcessUntil([&] { return frames > 0; });
        QObject::disconnect(counting);
        return drawn;
    }

    ddshow_test::TempDir folder_;
};

} // namespace views_x_test
