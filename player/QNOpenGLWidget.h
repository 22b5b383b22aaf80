// An OpenGL widget surface whose GL hooks only trace; kept for owners that
// draw into a widget rather than a window.
#ifndef OSTRELS_PLAYER_QNOPENGLWIDGET_H
#define OSTRELS_PLAYER_QNOPENGLWIDGET_H

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

class QOpenGLContext;
class QOpenGLPaintDevice;

class QNOpenGLWidget : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    explicit QNOpenGLWidget(QWidget* parent = nullptr);
    ~QNOpenGLWidget() override;

    void renderNow();
    void requestRender();
    void setRenderLoop(bool on);
    void stopRenderLoop();
    virtual void resizeGL();

protected:
    bool event(QEvent* event) override;
    void initializeGL() override;
    void paintGL() override;

private:
    bool updatePending_ = false;
    bool renderLoop_ = false;
    QOpenGLContext* context_ = nullptr;
    QOpenGLPaintDevice* device_ = nullptr;
};

#endif
