// The OpenGL video window: decoded pictures go into a three-slot ring from
// any thread; every frame of the render loop asks the owner for the scene
// and the lens correction and draws the newest picture on the scene's models.
// Mouse and wheel input go to the owner through the same callback.
#ifndef OSTRELS_PLAYER_QNPLAYERWINIMPL_H
#define OSTRELS_PLAYER_QNPLAYERWINIMPL_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "OpenGLWindow.h"
#include "picture_ring.h"
#include "qnGLScene.h"
#include "qnTouchPoints.h"
#include "vm_screen.h"
#include "wheel_pinch.h"

class QOpenGLShaderProgram;
class qnGLRender;
class qnVideoDecoderFFMPEG;

// (code, data, user): code 0 asks for the scene (data: address of a
// `const qnGLSceneInfo*` to fill), 1 for the lens correction (data: address of
// a zeroed qnVirProjectParam to fill), 4 reports a double click (data 0), 6
// the pointer (data: address of a qnTouchPoints).
typedef void (*qnPlayerWinMsgCallback)(int code, int64_t data, int64_t user);

enum {
    QN_PLAYER_WIN_MSG_SCENE = 0,
    QN_PLAYER_WIN_MSG_CORRECTION = 1,
    QN_PLAYER_WIN_MSG_DOUBLE_CLICK = 4,
    QN_PLAYER_WIN_MSG_POINTER = 6
};

// A picture shared with the window by another owner, with its lock.
struct qnOutsidePicture {
    _vm_screen* picture = nullptr;
    std::mutex lock;
};

class qnPlayerWinImpl : public OpenGLWindow {
    Q_OBJECT
public:
    qnPlayerWinImpl();
    ~qnPlayerWinImpl() override;

    bool play();
    bool stop();
    bool capture(const char* path);
    // Any thread.
    void putFrame(const _vm_screen& picture);
    void setMsgCallback(qnPlayerWinMsgCallback callback, int64_t user);
    void setViewValue(int first, int second);
    void setPosition(int x, int y);
    void setVisible(bool on);
    void resizeAndRender(int width, int height);
    void resizeAndLoop(int width, int height);
    void setOutsidePicture(qnOutsidePicture* outside);

    void setClear(bool on) { clear_ = on; }
    void setHold(bool on) { hold_ = on; }
    qnVideoDecoderFFMPEG* decoder() const { return decoder_.get(); }
    const std::string& framePicturePath() const { return framePicturePath_; }

    friend void qnClearRingBuffer(qnPlayerWinImpl* window);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void render() override;
    void initialize() override;

private:
    void setVirProject(const qnVirProjectParam& param);
    void uploadTextures();
    void drawScene(const qnGLSceneInfo& scene);
    void sendPointer(const QPointF& position, int count);
    void tell(int code, int64_t data);

    std::mutex windowLock_;
    PictureRing ring_;
    _vm_screen* current_ = nullptr;
    std::unique_ptr<qnVideoDecoderFFMPEG> decoder_;
    int renderedWidth_ = 0, renderedHeight_ = 0;
    int viewValue_[2] = {};
    int playing_ = 0;
    int mouseDown_ = 0;
    std::mutex playLock_;
    int stopping_ = 0;
    int clear_ = 0;
    int hold_ = 1;
    _vm_screen* framePicture_ = nullptr;
    qnPlayerWinMsgCallback callback_ = nullptr;
    int64_t user_ = 0;
    int paraLocation_ = -1, virRiLocation_ = -1, recLocation_ = -1, samplerLocation_ = -1;
    int outlineLocation_ = -1, correctionLocation_ = -1, thresholdLocation_ = -1, transparencyLocation_ = -1;
    QOpenGLShaderProgram* program_ = nullptr;
    qnGLRender* renderer_ = nullptr;
    PictureRing* ringAddress_ = &ring_;
    qnOutsidePicture* outside_ = nullptr;
    std::string framePicturePath_;
    WheelPinch wheel_;
};

void qnClearRingBuffer(qnPlayerWinImpl* window);

#endif
