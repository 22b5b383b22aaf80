#include "OpenGLWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QOpenGLContext>
#include <QOpenGLPaintDevice>
#include <QPainter>

#include "Depend/qn_log.h"

OpenGLWindow::OpenGLWindow(QWindow* parent) : QWindow(parent)
{
    setSurfaceType(QWindow::OpenGLSurface);
}

OpenGLWindow::~OpenGLWindow()
{
    delete device_;
    delete context_;
}

void OpenGLWindow::requestRender()
{
    if (updatePending_) return;
    updatePending_ = true;
    QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest));
}

void OpenGLWindow::setRenderLoop(bool on)
{
    renderLoop_ = on;
    if (on) requestRender();
}

void OpenGLWindow::stopRenderLoop()
{
    renderLoop_ = false;
}

bool OpenGLWindow::event(QEvent* event)
{
    if (event->type() == QEvent::UpdateRequest) {
        updatePending_ = false;
        renderNow();
        return true;
    }
    return QWindow::event(event);
}

void OpenGLWindow::exposeEvent(QExposeEvent*)
{
    if (isExposed()) renderNow();
}

void OpenGLWindow::render()
{
    if (device_ == nullptr) device_ = new QOpenGLPaintDevice;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    device_->setSize(size() * devicePixelRatio());
    device_->setDevicePixelRatio(devicePixelRatio());
    QPainter painter(device_);
    paint(&painter);
}

void OpenGLWindow::paint(QPainter*) {}

void OpenGLWindow::initialize()
{
    QNTracePrint("%s(%d)\n", "OpenGLWindow::initialize", __LINE__);
}

void OpenGLWindow::renderNow()
{
    if (!isExposed()) return;
    bool first = false;
    if (context_ == nullptr) {
        context_ = new QOpenGLContext(this);
        context_->setFormat(requestedFormat());
        context_->create();
        first = true;
    }
    if (!context_->makeCurrent(this)) return;
    if (first) {
        initializeOpenGLFunctions();
        initialize();
    }
    render();
    context_->swapBuffers(this);
    emit frameSwapped();
    if (renderLoop_) requestRender();
}

bool OpenGLWindow::makeContextCurrent()
{
    return context_ != nullptr && handle() != nullptr && context_->makeCurrent(this);
}
