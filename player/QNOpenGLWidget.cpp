#include "QNOpenGLWidget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QOpenGLContext>
#include <QOpenGLPaintDevice>

#include "Depend/qn_log.h"

QNOpenGLWidget::QNOpenGLWidget(QWidget* parent) : QOpenGLWidget(parent) {}

QNOpenGLWidget::~QNOpenGLWidget()
{
    delete device_;
    delete context_;
}

void QNOpenGLWidget::renderNow()
{
    QNTracePrint("%s(%d)\n", "QNOpenGLWidget::renderNow", __LINE__);
}

void QNOpenGLWidget::requestRender()
{
    if (updatePending_) return;
    updatePending_ = true;
    QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest));
}

void QNOpenGLWidget::setRenderLoop(bool on)
{
    renderLoop_ = on;
    if (on) requestRender();
}

void QNOpenGLWidget::stopRenderLoop()
{
    renderLoop_ = false;
}

void QNOpenGLWidget::resizeGL()
{
    QNTracePrint("%s(%d)\n", "QNOpenGLWidget::resizeGL", __LINE__);
}

bool QNOpenGLWidget::event(QEvent* event)
{
    if (event->type() == QEvent::UpdateRequest) {
        updatePending_ = false;
        renderNow();
        return true;
    }
    // QOpenGLWidget re-creates its context and framebuffer when the widget
    // moves into another top-level window; skipping it leaves the surface black.
    return QOpenGLWidget::event(event);
}

void QNOpenGLWidget::initializeGL()
{
    QNTracePrint("%s(%d)\n", "QNOpenGLWidget::initializeGL", __LINE__);
}

void QNOpenGLWidget::paintGL()
{
    QNTracePrint("%s(%d)\n", "QNOpenGLWidget::paintGL", __LINE__);
}
