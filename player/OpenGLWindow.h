// A QWindow that renders with OpenGL, continuously while its render loop is
// on, each frame paced by the buffer swap.
#ifndef OSTRELS_PLAYER_OPENGLWINDOW_H
#define OSTRELS_PLAYER_OPENGLWINDOW_H

#include <QOpenGLFunctions>
#include <QWindow>

class QOpenGLContext;
class QOpenGLPaintDevice;
class QPainter;

class OpenGLWindow : public QWindow, protected QOpenGLFunctions {
    Q_OBJECT
public:
    explicit OpenGLWindow(QWindow* parent = nullptr);
    ~OpenGLWindow() override;

    void requestRender();
    void renderNow();
    void setRenderLoop(bool on);
    void stopRenderLoop();

signals:
    // After each frame's buffers were swapped.
    void frameSwapped();

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    virtual void render();
    virtual void paint(QPainter* painter);
    virtual void initialize();
    // For releasing GL objects outside a frame; false before the first frame.
    bool makeContextCurrent();

private:
    bool updatePending_ = false;
    bool renderLoop_ = false;
    QOpenGLContext* context_ = nullptr;
    QOpenGLPaintDevice* device_ = nullptr;
};

#endif
