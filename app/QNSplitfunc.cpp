#include "QNSplitfunc.h"

#include <algorithm>

#include <QWidget>

#include "Depend/qn_log.h"

namespace {

struct ModelShape {
    int windows;
    int grid;
};

constexpr ModelShape kShapes[QNSplitfunc::kModelCount] = {{1, 1}, {4, 2}, {9, 3}, {10, 4}, {16, 4}, {25, 5}, {36, 6}};

void SetCell(SplitModelRecord* record, int window, int column, int row, int width, int height)
{
    uint8_t* cell = record->cells[window];
    cell[0] = uint8_t(column);
    cell[1] = uint8_t(row);
    cell[2] = uint8_t(width);
    cell[3] = uint8_t(height);
}

} // namespace

int QNSplitfunc::getModel(int model, SplitModelRecord* record)
{
    if (model < 0 || model >= kModelCount || record == nullptr) return 0;
    *record = SplitModelRecord{};
    const ModelShape shape = kShapes[model];
    record->model = model;
    record->windowCount = shape.windows;
    record->grid = shape.grid;
    if (model == 3) {
        // Two large windows on top, eight small ones in the two rows below.
        SetCell(record, 0, 0, 0, 2, 2);
        SetCell(record, 1, 2, 0, 2, 2);
        for (int k = 0; k < 8; ++k) SetCell(record, 2 + k, k % 4, 2 + k / 4, 1, 1);
        return 1;
    }
    for (int k = 0; k < shape.windows; ++k) SetCell(record, k, k % shape.grid, k / shape.grid, 1, 1);
    return 1;
}

QSize QNSplitfunc::windowArea(const QSize& mainArea, int listWidth, int titleHeight)
{
    return QSize(mainArea.width() - listWidth, mainArea.height() - titleHeight - kPlayBarHeight);
}

std::vector<QRect> QNSplitfunc::layoutRects(int model, const QSize& area)
{
    SplitModelRecord record;
    if (!getModel(model, &record)) return {};
    // At start-up the window can be smaller than the bars around it.
    const int cellWidth = std::max(1, (area.width() - 1) / record.grid);
    const int cellHeight = std::max(1, (area.height() - 1) / record.grid);
    std::vector<QRect> rects;
    for (int k = 0; k < record.windowCount; ++k) {
        const uint8_t* cell = record.cells[k];
        rects.emplace_back(cell[0] * cellWidth, cell[1] * cellHeight, cell[2] * cellWidth, cell[3] * cellHeight);
    }
    return rects;
}

void QNSplitfunc::layout(int model, const QSize& area, const std::vector<QWidget*>& windows,
                         const QWidget* fullSizeWindow)
{
    const std::vector<QRect> rects = layoutRects(model, area);
    if (rects.empty()) return;
    const int grid = kShapes[model].grid;
    QNLogPrint("%s(%d) Model:%d WinCount:%d Row:%d Col:%d\n", __FUNCTION__, __LINE__, model, int(rects.size()), grid,
               grid);
    for (size_t k = 0; k < rects.size() && k < windows.size() && windows[k]; ++k) {
        QWidget* window = windows[k];
        if (window == fullSizeWindow)
            window->resize(rects[k].size());
        else
            window->setGeometry(rects[k]);
        window->show();
        window->update();
    }
}

QRect QNSplitfunc::fitRect(const QSize& area, int pictureWidth, int pictureHeight)
{
    int width = area.width(), height = area.height();
    if (pictureWidth != 0 && pictureHeight != 0) {
        height = int(int64_t(pictureHeight) * area.width() / pictureWidth);
        if (height > area.height()) {
            height = area.height();
            width = int(int64_t(pictureWidth) * area.height() / pictureHeight);
        }
    }
    return QRect(std::max(0, (area.width() - width) / 2), std::max(0, (area.height() - height) / 2), width, height);
}
