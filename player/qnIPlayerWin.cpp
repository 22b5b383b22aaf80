#include "qnIPlayerWin.h"

#include "Depend/qn_log.h"
#include "qnPlayerWinImpl.h"
#include "qnVideoDecoderFFMPEG.h"

qnIPlayerWin::qnIPlayerWin(QWidget* parent) : QWidget(parent)
{
    setStyleSheet("background-color: #212121;border:0px solid; border-color: #A0A0A4;");
}

qnIPlayerWin::~qnIPlayerWin()
{
    destroyWindow();
    created_ = false;
}

void qnIPlayerWin::createWind(int x, int y, int width, int height, QWidget* parent)
{
    if (created_) return;
    if (parent != nullptr) setParent(parent);
    window_ = new qnPlayerWinImpl;
    window_->resizeAndLoop(width, height);
    container_ = QWidget::createWindowContainer(window_, this);
    container_->setGeometry(x, y, width, height);
    container_->hide();
    created_ = true;
}

void qnIPlayerWin::showWind(bool on)
{
    if (!created_) return;
    container_->setVisible(on);
    setVisible(on);
    visible_ = on;
}

void qnIPlayerWin::setGeometryWind(int x, int y, int width, int height)
{
    if (created_) container_->setGeometry(x, y, width, height);
}

void qnIPlayerWin::resizeWind(int width, int height)
{
    if (container_ != nullptr) container_->resize(width, height);
    if (window_ != nullptr) window_->resizeAndRender(width, height);
}

void qnIPlayerWin::clearWindow()
{
    if (window_ != nullptr) window_->setClear(true);
    QNTracePrint("qnIPlayerWin::clearWindow");
}

void qnIPlayerWin::setHold(bool on)
{
    if (window_ != nullptr) window_->setHold(on);
}

bool qnIPlayerWin::capture(const char* path)
{
    return window_ != nullptr && window_->capture(path);
}

void qnIPlayerWin::setViewValue(int first, int second)
{
    if (window_ != nullptr) window_->setViewValue(first, second);
}

void qnIPlayerWin::releaseWind()
{
    if (window_ != nullptr && window_->decoder() != nullptr) window_->decoder()->stop();
    destroyWindow();
}

void qnIPlayerWin::destroyWindow()
{
    // The container owns the window it wraps; the window goes first so that
    // its GL objects are released while its surface still exists.
    if (window_ != nullptr) {
        window_->stopRenderLoop();
        window_->close();
        delete window_;
        window_ = nullptr;
    }
    if (container_ != nullptr) {
        container_->close();
        delete container_;
        container_ = nullptr;
    }
}
