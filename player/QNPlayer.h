// The video window of one camera: frames from a stream thread are decoded at
// once and put into a three-slot ring; a 40 ms timer on the GUI thread draws
// the newest picture as it is, unwrapped into the views of a layout, or
// projected for the current view, through the display library, with the
// date and time written over it. Mouse and wheel steer the views or the
// projection; the owner hears of sizes, mouse actions, view parameters and
// PTZ requests through callbacks.
#ifndef OSTRELS_PLAYER_QNPLAYER_H
#define OSTRELS_PLAYER_QNPLAYER_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "ViewControl.h"
#include "picture_ring.h"
#include "player_frame.h"
#include "qn_ddshow.h"
#include "qn_pano.h"
#include "vm_screen.h"

namespace platform {
class Clock;
}

class qnVideoDecoderFFMPEG;

// The panorama information of the playing stream: 24 words.
struct QNPlayerPanoInfo {
    char panoType[64]; // the panorama type code as text
    int32_t circleX, circleY, radius;
    int32_t sourceWidth, sourceHeight;
    int32_t mountTilt; // 90 ceiling, -90 floor, 0 wall
    int32_t rotate;
    int32_t fetched;
};
static_assert(sizeof(QNPlayerPanoInfo) == 96, "the panorama information is 24 words");

// The client facade's panorama queries, handed in by the owner; each gives
// true when it filled its output.
struct QNPlayerPanoQueries {
    std::function<bool(QNPlayerPanoInfo*)> localParam; // of the local file being played
    std::function<bool(char (&)[64])> panoTypeEx;      // of the live stream
    std::function<bool(QNPlayerPanoInfo*)> panoInfo;   // of the live stream
};

enum { QN_PLAYER_MOUSE_RELEASE = 0, QN_PLAYER_MOUSE_PRESS = 1, QN_PLAYER_MOUSE_MOVE = 2, QN_PLAYER_MOUSE_WHEEL = 3 };

// (0, width, height, user) when the drawn picture's size changes.
typedef void (*QNPlayerSizeCallback)(int kind, int width, int height, void* user);
// (1, action, point, user): the point is {x, y, widget width, height}; for the wheel {delta, 0, 0, 0}.
typedef void (*QNPlayerEventCallback)(int kind, int action, const QN_PANO_POINT* point, void* user);
// The 24 words of the panorama information, when first fetched for unwrapping.
typedef void (*QNPlayerViewParamCallback)(const int32_t* words, void* user);
// (1 go-to or 0 move, pan/tilt/third value, value, user).
typedef void (*QNPlayerPtzCallback)(int goTo, const float* point, int value, void* user);
typedef void (*QNPlayerMsgCallback)(int code, int64_t data, void* user);

class QNPlayer : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDrawPeriodMs = 40;
    static constexpr int kMoveGapMs = 40;

    explicit QNPlayer(QWidget* parent = nullptr);
    ~QNPlayer() override;

    void createWind(int x, int y, int width, int height, QWidget* parent);
    bool play();
    bool stop();
    void reset();
    // Stream thread. False for a frame kind the window does not take.
    bool inputData(const uint8_t* data, int length, const QNPlayerFrame* frame);

    void setCamera(bool bound, int cameraId);
    void setBound(bool bound);
    bool getPictureSize(int* width, int* height) const;
    void setPictureSize(int width, int height);
    void setPlayMode(int mode);
    void setWorkMode(int mode);
    void setCameraType(const char* type);
    void setUnwrapEnable(bool on);
    void setUnwrap(int layoutModel);
    void setPtzPosition(float pan, float tilt, int value);
    void setOsdTime(uint32_t stamp, int value);
    bool capture(const char* path);
    bool addLensRecord(const uint8_t* record, int length, uint64_t panoType, int value);

    void setSizeCallback(QNPlayerSizeCallback function, void* user);
    void setEventCallback(QNPlayerEventCallback function, void* user);
    void setViewParamCallback(QNPlayerViewParamCallback function, void* user);
    void setPtzCallback(QNPlayerPtzCallback function, void* user);
    void setMsgCallback(QNPlayerMsgCallback function, void* user);
    void setPanoQueries(QNPlayerPanoQueries queries);
    // The time source of the mouse-move filter and the frame count (the system clock unless set).
    void setClock(const platform::Clock* clock);

    void setVisibleCached(bool visible);
    void resizeCached(int width, int height);
    void setGeometryCached(int x, int y, int width, int height);
    void emitUpdateWind();

    // For owners and tests: frames handed to the display since creation, the
    // panorama context while unwrapping (GUI thread only).
    int64_t framesShown() const { return framesShown_.load(); }
    int framesPerSecond() const { return framesPerSecond_; }
    QN_PANO_CONTEXT* panoContext() const { return pano_; }
    const std::string& templatePath() const { return templatePath_; }

    // Set by play; the owners clear it to let drawing start.
    std::atomic<bool> hold{true};
    // Set by the controller's free-window search.
    bool taken = false;

signals:
    void updateWindSignal();

public slots:
    void drawVideoSlot();
    void updateWindSlot();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    QPaintEngine* paintEngine() const override { return nullptr; }

private:
    void initUnwrapParam();
    void clearRingBuffer();
    void releaseMarkedRenderer();
    bool drawFrame();
    void drawLastFrame();
    bool display(const _vm_screen* picture);
    _vm_screen* project(const _vm_screen* picture);
    _vm_screen* resizeUnwrap(const _vm_screen* picture);
    bool initUnwrap(const QNPlayerPanoInfo& info, const char* templatePath, const _vm_screen& source);
    void closeUnwrap();
    void keepLastSource(const _vm_screen& picture);
    void tellEvent(int action, const QN_PANO_POINT& point);
    QN_PANO_POINT pointOf(const QMouseEvent& event) const;
    int64_t nowMs() const;
    static void osdTimeCallback(void* user, QN_DDR_CANVAS* canvas, int32_t dstWidth, int32_t dstHeight,
                                int32_t picWidth, int32_t picHeight);
    static void PtzEventCallBackFunc(const float* data, const char* name, void* user);

    // Recursive: the callbacks told during a draw may call back into the window.
    std::recursive_mutex windowLock_;
    PictureRing ring_;

    // The draw record: the renderer, the unwrap context and the pictures.
    QN_DDR_WINDOW window_ = 0;
    QN_DDR_EX_PARAM ddr_{};
    std::atomic<bool> releaseRenderer_{false}; // set by a ring clear on the stream thread
    bool unwrapOpen_ = false;
    QN_PANO_CONTEXT* pano_ = nullptr;
    int lastFormat_ = 0, lastWidth_ = 0, lastHeight_ = 0;
    _vm_screen* lastSource_ = nullptr; // the last drawn picture, kept for redrawing while unwrapping
    int unwrapWidth_ = 0, unwrapHeight_ = 0;
    _vm_screen* unwrapOut_ = nullptr; // the context's work picture
    _vm_screen projectionOut_{};
    _vm_screen* rotated_ = nullptr;
    _vm_screen* displayCopy_ = nullptr;
    std::string templatePath_;
    int framesThisSecond_ = 0, framesPerSecond_ = 0;
    int64_t secondStartMs_ = 0;
    std::atomic<int64_t> framesShown_{0};
    float ptzTarget_[2] = {};
    bool showTime_ = false, timeValid_ = false;
    uint32_t timeStamp_ = 0;
    int timeValue_ = 0;
    int year_ = 0, month_ = 0, day_ = 0, hour_ = 0, minute_ = 0, second_ = 0;

    QNPlayerPtzCallback ptzCallback_ = nullptr;
    void* ptzUser_ = nullptr;
    QNPlayerEventCallback eventCallback_ = nullptr;
    void* eventUser_ = nullptr;
    QNPlayerSizeCallback sizeCallback_ = nullptr;
    void* sizeUser_ = nullptr;
    bool created_ = false;
    bool visibleCached_ = false;
    int cachedWidth_ = 0, cachedHeight_ = 0;

    int cameraId_ = 0;
    bool bound_ = false;
    uint32_t projectionCounter_ = 0;
    QNPlayerPanoInfo panoInfo_{};
    int playMode_ = 0;
    bool unwrapEnable_ = false;
    int layoutModel_ = 0;
    bool projectionReady_ = false;
    float ptzPan_ = 0, ptzTilt_ = 0;
    int ptzValue_ = 0;
    bool ptzValid_ = false;
    bool rotate_ = false;
    QTimer timer_;
    QNPlayerMsgCallback msgCallback_ = nullptr;
    void* msgUser_ = nullptr;
    QNPlayerViewParamCallback viewParamCallback_ = nullptr;
    void* viewParamUser_ = nullptr;
    std::unique_ptr<qnVideoDecoderFFMPEG> decoder_;
    bool playing_ = false;
    bool mouseDown_ = false;
    int64_t lastMoveMs_ = 0;
    std::vector<uint8_t> keyFrame_; // parameter sets and key frame, grown as needed
    ViewControl viewControl_;
    int workMode_ = 0;
    QNPlayerPanoQueries queries_;
    const platform::Clock* clock_;
};

#endif
