// The split-screen models: one to thirty-six video windows on an N x N grid,
// their layout in the area the bars leave free, and a single window fitted to
// a picture's aspect ratio.
#pragma once

#include <cstdint>
#include <vector>

#include <QRect>
#include <QSize>

class QWidget;

struct SplitModelRecord {
    int model = 0;
    int windowCount = 0;
    int grid = 0; // the area is cut into grid x grid cells
    // Per window: column, row, width and height in cells.
    uint8_t cells[36][4] = {};
};

class QNSplitfunc {
public:
    static constexpr int kModelCount = 7;
    // Below the title bar: the play-control bar's height.
    static constexpr int kPlayBarHeight = 92;

    // 1 and the filled record; 0 for an unknown model.
    static int getModel(int model, SplitModelRecord* record);

    // The windows' area in a main area of the given size beside the list and
    // below the title bar.
    static QSize windowArea(const QSize& mainArea, int listWidth, int titleHeight);

    // The rectangles of the model's windows; empty for an unknown model. A
    // tiny area still gives cells of at least 1 x 1.
    static std::vector<QRect> layoutRects(int model, const QSize& area);
    // Places the windows (as many as the model has and the list holds); the
    // full-size window keeps its position and only takes its new size.
    static void layout(int model, const QSize& area, const std::vector<QWidget*>& windows,
                       const QWidget* fullSizeWindow = nullptr);

    // A picture of the given size fitted to the area and centred; the whole
    // area when either side is 0.
    static QRect fitRect(const QSize& area, int pictureWidth, int pictureHeight);
};
