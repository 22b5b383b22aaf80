#include "QNPlayer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "Depend/qn_log.h"
#include "ProjectDef.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "qnVideoDecoderFFMPEG.h"
#include "qn_imageprocess.h"
#include "view_layout.h"
#include "yuv_rotate.h"

namespace {

constexpr uint32_t kTimeTextColour = 0xC8C8C8;

std::string ProgramFolder()
{
    const std::string exe = platform::ExecutablePath();
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

// Makes `picture` a picture of that size and format, keeping one that already is.
bool EnsurePicture(_vm_screen*& picture, int width, int height, int format)
{
    if (picture && picture->width == width && picture->height == height && picture->format == format) return true;
    if (picture) qnReleaseImage(&picture);
    picture = nullptr;
    if (qnCreateImage(&picture, width, height, format) != QN_IMG_OK) {
        picture = nullptr;
        return false;
    }
    return true;
}

void ReleasePicture(_vm_screen*& picture)
{
    if (picture) qnReleaseImage(&picture);
    picture = nullptr;
}

bool ValidWindow(QN_DDR_WINDOW window) { return window != 0 && window != ~QN_DDR_WINDOW(0); }

} // namespace

QNPlayer::QNPlayer(QWidget* parent) : QWidget(parent), clock_(&platform::Clock::System())
{
    // The display library puts the pictures into the native window itself.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    initUnwrapParam();
    viewControl_.reset();
}

QNPlayer::~QNPlayer()
{
    if (created_) reset();
    std::lock_guard<std::recursive_mutex> lock(windowLock_);
    closeUnwrap();
    if (ddr_.hRender) qn_ddrUnInit_Ex(&ddr_);
    ddr_ = QN_DDR_EX_PARAM{};
    ReleasePicture(lastSource_);
    ReleasePicture(rotated_);
    ReleasePicture(displayCopy_);
}

void QNPlayer::initUnwrapParam()
{
    ReleasePicture(rotated_);
    ReleasePicture(displayCopy_);
    ReleasePicture(lastSource_);
    unwrapOut_ = nullptr;
    window_ = 0;
    ddr_ = QN_DDR_EX_PARAM{};
    unwrapOpen_ = false;
    pano_ = nullptr;
    lastFormat_ = lastWidth_ = lastHeight_ = 0;
    unwrapWidth_ = unwrapHeight_ = 0;
    projectionOut_ = _vm_screen{};
    templatePath_.clear();
    framesThisSecond_ = framesPerSecond_ = 0;
    ptzTarget_[0] = ptzTarget_[1] = 0;
    showTime_ = timeValid_ = false;
    timeStamp_ = 0;
    timeValue_ = 0;
    year_ = month_ = day_ = hour_ = minute_ = second_ = 0;
}

void QNPlayer::createWind(int x, int y, int width, int height, QWidget* parent)
{
    if (created_) return;
    created_ = true;
    setParent(parent);
    setGeometry(x, y, width, height);
    cachedWidth_ = width;
    cachedHeight_ = height;
    if (!decoder_) decoder_.reset(new qnVideoDecoderFFMPEG);
    window_ = QN_DDR_WINDOW(winId());
    connect(&timer_, &QTimer::timeout, this, &QNPlayer::drawVideoSlot);
    connect(this, &QNPlayer::updateWindSignal, this, &QNPlayer::updateWindSlot, Qt::QueuedConnection);
    viewControl_.setEventCallback(&QNPlayer::PtzEventCallBackFunc, this);
}

bool QNPlayer::play()
{
    showTime_ = timeValid_ = false;
    ptzValid_ = false;
    projectionReady_ = false;
    projectionCounter_ = 0;
    panoInfo_ = QNPlayerPanoInfo{};
    if (playing_) {
        QNLogPrint("widget is played!\n");
        return false;
    }
    if (!decoder_) return false;
    if (!decoder_->start()) {
        QNLogPrint("decoder start error!\n");
        return false;
    }
    hold = true;
    ring_.forgetSize();
    playing_ = true;
    if (!timer_.isActive()) timer_.start(kDrawPeriodMs);
    return true;
}

bool QNPlayer::stop()
{
    viewControl_.close();
    projectionReady_ = false;
    ptzValid_ = false;
    if (!playing_) return false;
    if (decoder_) decoder_->stop();
    playing_ = false;
    rotate_ = false;
    return true;
}

void QNPlayer::reset()
{
    timer_.stop();
    if (decoder_) {
        decoder_->stop();
        decoder_.reset();
    }
    clearRingBuffer();
    {
        // On the GUI thread the renderer can go at once.
        std::lock_guard<std::recursive_mutex> lock(windowLock_);
        releaseMarkedRenderer();
    }
    cameraId_ = 0;
    bound_ = false;
    hold = true;
    playing_ = false;
}

bool QNPlayer::inputData(const uint8_t* data, int length, const QNPlayerFrame* frame)
{
    if (!frame || !frame->kind) return false;
    const char* kind = frame->kind;
    if (std::strcmp(kind, "g711a") == 0 || std::strcmp(kind, "linear_PCM") == 0) return true;
    const bool key = std::strcmp(kind, "h264_I") == 0;
    if (!key && std::strcmp(kind, "h264_P") != 0) return false;
    if (!decoder_ || !data || length <= 0) return false;
    _vm_screen* picture = nullptr;
    if (key) {
        // The parameter sets travel in the head; the decoder wants them in front of the picture.
        const int stored = frame->head.store ? int(realplay::HeadUsed(frame->head)) : 0;
        keyFrame_.resize(size_t(stored) + size_t(length));
        if (stored > 0) std::memcpy(keyFrame_.data(), frame->head.store, size_t(stored));
        std::memcpy(keyFrame_.data() + stored, data, size_t(length));
        picture = decoder_->decode(keyFrame_.data(), int(keyFrame_.size()));
    } else {
        picture = decoder_->decode(data, length);
    }
    if (picture) ring_.put(*picture, [this] { clearRingBuffer(); });
    return true;
}

void QNPlayer::clearRingBuffer()
{
    std::lock_guard<std::recursive_mutex> lock(windowLock_);
    ring_.clear();
    // The renderer is the GUI thread's: a clear from the stream thread only
    // asks the next tick to release it.
    releaseRenderer_ = true;
}

void QNPlayer::releaseMarkedRenderer()
{
    if (!releaseRenderer_.exchange(false)) return;
    if (ddr_.hRender) qn_ddrUnInit_Ex(&ddr_);
    ddr_.hRender = nullptr;
    ddr_.pImage = nullptr;
}

void QNPlayer::setCamera(bool bound, int cameraId)
{
    bound_ = bound;
    cameraId_ = cameraId;
}

void QNPlayer::setBound(bool bound) { bound_ = bound; }

bool QNPlayer::getPictureSize(int* width, int* height) const
{
    if (!bound_) return false;
    if (width) *width = lastWidth_;
    if (height) *height = lastHeight_;
    return true;
}

void QNPlayer::setPictureSize(int width, int height)
{
    lastWidth_ = width;
    lastHeight_ = height;
}

void QNPlayer::setPlayMode(int mode)
{
    playMode_ = mode;
    if (mode == 2) showTime_ = true;
}

void QNPlayer::setWorkMode(int mode) { workMode_ = mode; }

void QNPlayer::setCameraType(const char* type)
{
    if (!type) return;
    const QStringList fields = QString::fromUtf8(type).split('-');
    if (fields.size() != 3) return;
    const QString& third = fields[2];
    if (third.size() <= 31 && third.contains('H') && third.contains('Y')) rotate_ = true;
}

void QNPlayer::setUnwrapEnable(bool on)
{
    std::lock_guard<std::recursive_mutex> lock(windowLock_);
    if (!on && pano_) closeUnwrap();
    unwrapEnable_ = on;
    showTime_ = on;
}

void QNPlayer::setUnwrap(int layoutModel)
{
    std::lock_guard<std::recursive_mutex> lock(windowLock_);
    layoutModel_ = layoutModel;
    if (pano_) {
        const std::string path = QnLayoutPath(ProgramFolder(), panoInfo_.mountTilt, layoutModel);
        const int result = qnPanoLoadLayout(pano_, path.c_str(), templatePath_.c_str());
        if (result == 0)
            templatePath_ = path;
        else
            QNLogPrint("%s(%d) layout %s not loaded: %d\n", "QNPlayer::setUnwrap", __LINE__, path.c_str(), result);
    }
    showTime_ = true;
}

void QNPlayer::setPtzPosition(float pan, float tilt, int value)
{
    ptzPan_ = pan;
    ptzTilt_ = tilt;
    ptzValue_ = value;
    ptzValid_ = true;
}

void QNPlayer::setOsdTime(uint32_t stamp, int value)
{
    timeStamp_ = stamp;
    timeValue_ = value;
    year_ = int(stamp >> 26) + 2000;
    month_ = int(stamp >> 22 & 0xf);
    day_ = int(stamp >> 17 & 0x1f);
    hour_ = int(stamp >> 12 & 0x1f);
    minute_ = int(stamp >> 6 & 0x3f);
    second_ = int(stamp & 0x3f);
    timeValid_ = true;
}

bool QNPlayer::capture(const char* path) { return decoder_ && decoder_->capture(path); }

bool QNPlayer::addLensRecord(const uint8_t* record, int length, uint64_t panoType, int value)
{
    return ViewControl::addLensRecord(record, length, panoType, value) == 0;
}

void QNPlayer::setSizeCallback(QNPlayerSizeCallback function, void* user)
{
    sizeCallback_ = function;
    sizeUser_ = user;
}

void QNPlayer::setEventCallback(QNPlayerEventCallback function, void* user)
{
    eventCallback_ = function;
    eventUser_ = user;
}

void QNPlayer::setViewParamCallback(QNPlayerViewParamCallback function, void* user)
{
    viewParamCallback_ = function;
    viewParamUser_ = user;
}

void QNPlayer::setPtzCallback(QNPlayerPtzCallback function, void* user)
{
    ptzCallback_ = function;
    ptzUser_ = user;
}

void QNPlayer::setMsgCallback(QNPlayerMsgCallback function, void* user)
{
    msgCallback_ = function;
    msgUser_ = user;
}

void QNPlayer::setPanoQueries(QNPlayerPanoQueries queries) { queries_ = std::move(queries); }

void QNPlayer::setClock(const platform::Clock* clock) { clock_ = clock ? clock : &platform::Clock::System(); }

int64_t QNPlayer::nowMs() const { return clock_->MonotonicMs(); }

void QNPlayer::setVisibleCached(bool visible)
{
    if (visible == visibleCached_) return;
    visibleCached_ = visible;
    setVisible(visible);
}

void QNPlayer::resizeCached(int width, int height)
{
    if (width == cachedWidth_ && height == cachedHeight_) return;
    cachedWidth_ = width;
    cachedHeight_ = height;
    resize(width, height);
}

void QNPlayer::setGeometryCached(int x, int y, int width, int height)
{
    if (x == this->x() && y == this->y() && width == cachedWidth_ && height == cachedHeight_) return;
    cachedWidth_ = width;
    cachedHeight_ = height;
    setGeometry(x, y, width, height);
}

void QNPlayer::emitUpdateWind() { emit updateWindSignal(); }

void QNPlayer::updateWindSlot()
{
    {
        std::lock_guard<std::recursive_mutex> lock(windowLock_);
        if (timer_.isActive()) {
            timer_.stop();
            platform::SleepMs(100);
        }
        // A size change makes the window system expose the window afresh.
        resize(width(), height() - 1);
        resize(width(), height() + 1);
    }
    clearRingBuffer();
}

void QNPlayer::drawVideoSlot()
{
    if (!visibleCached_ || hold) return;
    if (workMode_ == 2 && !panoInfo_.fetched) {
        QNPlayerPanoInfo info{};
        if (queries_.localParam && queries_.localParam(&info)) {
            panoInfo_ = info;
            panoInfo_.fetched = 1;
            if (panoInfo_.radius > 0) playMode_ = 0;
        }
    }
    std::lock_guard<std::recursive_mutex> lock(windowLock_);
    releaseMarkedRenderer();
    if (!drawFrame() || !bound_) drawLastFrame();
}

bool QNPlayer::drawFrame()
{
    const int64_t now = nowMs();
    if (now - secondStartMs_ >= 1000) {
        framesPerSecond_ = framesThisSecond_;
        framesThisSecond_ = 0;
        secondStartMs_ = now;
    }
    const int slot = ring_.takeForDrawing();
    if (slot < 0) return false;
    ++framesThisSecond_;
    const _vm_screen* picture = ring_.picture(slot);
    if (rotate_ && EnsurePicture(rotated_, picture->height, picture->width, picture->format) &&
        RotateYuvPicture(picture, rotated_, QN_ROTATE_COUNTER_CLOCKWISE) == 1)
        picture = rotated_;
    if (picture->width != lastWidth_ || picture->height != lastHeight_) {
        lastWidth_ = picture->width;
        lastHeight_ = picture->height;
        if (sizeCallback_) sizeCallback_(0, lastWidth_, lastHeight_, sizeUser_);
    }
    lastFormat_ = picture->format;

    const _vm_screen* shown = nullptr;
    if (playMode_ == 2 && workMode_ == 0) {
        shown = project(picture);
    } else if ((playMode_ == 0 || playMode_ == 1) && unwrapEnable_) {
        keepLastSource(*picture);
        shown = resizeUnwrap(picture);
    } else {
        shown = picture;
    }
    const bool drawn = shown && display(shown);
    ring_.releaseDrawn(slot);
    return drawn;
}

void QNPlayer::keepLastSource(const _vm_screen& picture)
{
    // The slot is the writer's again after this tick; a redraw needs its own copy.
    if (EnsurePicture(lastSource_, picture.width, picture.height, picture.format))
        qnChangeFormat(&picture, lastSource_);
}

void QNPlayer::drawLastFrame()
{
    if (unwrapEnable_ && lastSource_) {
        if (const _vm_screen* out = resizeUnwrap(lastSource_)) display(out);
        return;
    }
    if (displayCopy_) display(displayCopy_);
}

_vm_screen* QNPlayer::project(const _vm_screen* picture)
{
    if (projectionReady_) {
        int32_t width = 0, height = 0;
        if (viewControl_.getSourceSize(&width, &height) && (width != picture->width || height != picture->height)) {
            viewControl_.close();
            projectionReady_ = false;
        }
    }
    if (!projectionReady_) {
        viewControl_.setSourceSize(picture->width, picture->height);
        if (!panoInfo_.fetched) {
            char text[64] = {};
            if (!queries_.panoTypeEx || !queries_.panoTypeEx(text)) return nullptr;
            std::memcpy(panoInfo_.panoType, text, sizeof text);
            panoInfo_.panoType[sizeof panoInfo_.panoType - 1] = '\0';
            panoInfo_.fetched = 1;
        }
        viewControl_.setPanoType(std::strtoull(panoInfo_.panoType, nullptr, 0));
        projectionReady_ = viewControl_.open();
        if (!projectionReady_) return const_cast<_vm_screen*>(picture);
    }
    if (ptzValid_) viewControl_.setCurrentAngles(ptzPan_, ptzTilt_);
    viewControl_.inputFrame(picture, projectionCounter_++);
    ViewCrop crop;
    if (viewControl_.outputFrame(&projectionOut_, &crop) != 1) return nullptr;
    return &projectionOut_;
}

_vm_screen* QNPlayer::resizeUnwrap(const _vm_screen* picture)
{
    const int width = this->width() & ~7, height = this->height() & ~7;
    if (width != unwrapWidth_ || height != unwrapHeight_) {
        closeUnwrap();
        unwrapWidth_ = width;
        unwrapHeight_ = height;
    }
    if (width <= 0 || height <= 0) return nullptr;
    if (!pano_) {
        if (!panoInfo_.fetched) {
            QNPlayerPanoInfo info{};
            if (!queries_.panoInfo || !queries_.panoInfo(&info)) return nullptr;
            panoInfo_ = info;
            panoInfo_.fetched = 1;
            if (viewParamCallback_) viewParamCallback_(reinterpret_cast<const int32_t*>(&panoInfo_), viewParamUser_);
        }
        if (!initUnwrap(panoInfo_, nullptr, *picture)) return nullptr;
    }
    qnPanoProcessVideo(pano_, const_cast<_vm_screen*>(picture));
    return unwrapOut_;
}

bool QNPlayer::initUnwrap(const QNPlayerPanoInfo& info, const char* templatePath, const _vm_screen& source)
{
    if (pano_) return true;
    const std::string path = templatePath && *templatePath
                                 ? std::string(templatePath)
                                 : QnLayoutPath(ProgramFolder(), info.mountTilt, layoutModel_);
    if (!platform::PathExists(path)) {
        QNLogPrint("%s(%d) no layout file %s\n", "QNPlayer::initUnwrap", __LINE__, path.c_str());
        return false;
    }
    if (source.width <= 0 || source.height <= 0 || unwrapWidth_ <= 0 || unwrapHeight_ <= 0) return false;
    QN_PANO_CREATE_PARAM param{};
    param.format = source.format;
    param.src_width = source.width;
    param.src_height = source.height;
    param.out_width = unwrapWidth_;
    param.out_height = unwrapHeight_;
    param.camera_code = GetResolutionCode(source.width, source.height);
    param.mount_tilt = info.mountTilt;
    // The circle as the stream reports it, moved into the decoded picture
    // when the report names another source size. The engine places it in
    // its camera type's reference frame itself: the same numbers in the
    // reference slots would be read in that frame's coordinates.
    double scaleX = 1, scaleY = 1;
    if (info.sourceWidth > 0 && info.sourceHeight > 0) {
        scaleX = double(source.width) / info.sourceWidth;
        scaleY = double(source.height) / info.sourceHeight;
    }
    param.circle_x = float(info.circleX * scaleX);
    param.circle_y = float(info.circleY * scaleY);
    param.circle_r = float(info.radius * scaleY);
    param.window = window_;
    QN_PANO_CONTEXT* context = nullptr;
    _vm_screen* work = nullptr;
    int result = qnPanoCreate(&context, &param, &work);
    if (result == 0) result = qnPanoLoadLayout(context, path.c_str(), nullptr);
    if (result != 0) {
        QNLogPrint("%s(%d) unwrap not opened: %d (%s)\n", "QNPlayer::initUnwrap", __LINE__, result, path.c_str());
        if (context) qnPanoDestroy(context);
        return false;
    }
    pano_ = context;
    unwrapOut_ = work;
    unwrapOpen_ = true;
    templatePath_ = path;
    return true;
}

void QNPlayer::closeUnwrap()
{
    if (pano_) qnPanoDestroy(pano_);
    pano_ = nullptr;
    unwrapOut_ = nullptr;
    unwrapOpen_ = false;
}

bool QNPlayer::display(const _vm_screen* picture)
{
    if (!ddr_.hRender) {
        if (!ValidWindow(window_)) return false;
        if (!EnsurePicture(displayCopy_, picture->width, picture->height, picture->format)) return false;
        if (picture != displayCopy_) qnChangeFormat(picture, displayCopy_);
        ddr_ = QN_DDR_EX_PARAM{};
        ddr_.hWnd = window_;
        ddr_.nWidth = picture->width;
        ddr_.nHeight = picture->height;
        ddr_.pImage = displayCopy_;
        ddr_.nMode = 1;
        ddr_.pfnDraw = &QNPlayer::osdTimeCallback;
        ddr_.pUser = this;
        const int32_t result = qn_ddrInit_Ex(&ddr_);
        if (result != 0) {
            QNLogPrint("!!!%s(%d) ddrInit_Ex lReturn:%d\n", "QNPlayer::display", __LINE__, result);
            ddr_ = QN_DDR_EX_PARAM{};
            return false;
        }
    }
    if (picture->width == ddr_.nWidth && picture->height == ddr_.nHeight) {
        if (!EnsurePicture(displayCopy_, picture->width, picture->height, picture->format)) return false;
        if (picture != displayCopy_) qnChangeFormat(picture, displayCopy_);
        ddr_.pImage = displayCopy_;
        qn_ddrDrawImage_Ex(&ddr_);
        ++framesShown_;
    } else {
        QNLogPrint("%s(%d) Dst:[%d,%d]\n", "QNPlayer::display", __LINE__, picture->width, picture->height);
        // Kept for a redraw, so that a tick without a new frame brings up the new size and not the old picture.
        if (EnsurePicture(displayCopy_, picture->width, picture->height, picture->format))
            qnChangeFormat(picture, displayCopy_);
        qn_ddrUnInit_Ex(&ddr_);
        ddr_ = QN_DDR_EX_PARAM{};
    }
    return true;
}

void QNPlayer::osdTimeCallback(void* user, QN_DDR_CANVAS* canvas, int32_t, int32_t, int32_t, int32_t)
{
    auto* self = static_cast<QNPlayer*>(user);
    if (!self || !canvas || !canvas->bits || !self->showTime_ || !self->timeValid_) return;
    QImage image(canvas->bits, canvas->width, canvas->height, canvas->stride, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setPen(QColor(QRgb(kTimeTextColour)));
    QFont font = painter.font();
    font.setPixelSize(16);
    painter.setFont(font);
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", self->year_, self->month_, self->day_, self->hour_,
                  self->minute_, self->second_);
    painter.drawText(QRect(10, 10, canvas->width - 10, canvas->height - 10), Qt::AlignLeft | Qt::AlignTop,
                     QString::fromLatin1(text));
}

void QNPlayer::PtzEventCallBackFunc(const float* data, const char* name, void* user)
{
    auto* self = static_cast<QNPlayer*>(user);
    if (!self || !data || !name) return;
    const bool goTo = std::strcmp(name, "ptz_goto") == 0;
    if (!goTo && std::strcmp(name, "ptz_move") != 0) return;
    self->ptzTarget_[0] = data[0];
    self->ptzTarget_[1] = data[1];
    if (self->ptzCallback_) self->ptzCallback_(goTo ? 1 : 0, data, self->ptzValue_, self->ptzUser_);
}

QN_PANO_POINT QNPlayer::pointOf(const QMouseEvent& event) const
{
    return QN_PANO_POINT{float(event.localPos().x()), float(event.localPos().y()), width(), height()};
}

void QNPlayer::tellEvent(int action, const QN_PANO_POINT& point)
{
    if (eventCallback_) eventCallback_(1, action, &point, eventUser_);
}

void QNPlayer::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QN_PANO_POINT point = pointOf(*event);
    if (playMode_ == 2) {
        viewControl_.onGesture(ViewPoint{}, ViewControl::kPressOrMove, nowMs());
    } else if (pano_) {
        qnPanoMousePress(pano_, &point);
    }
    tellEvent(QN_PLAYER_MOUSE_PRESS, point);
    mouseDown_ = true;
}

void QNPlayer::mouseMoveEvent(QMouseEvent* event)
{
    if (!mouseDown_) return;
    const QN_PANO_POINT point = pointOf(*event);
    if (playMode_ == 2) {
        setCursor(Qt::ClosedHandCursor);
        const int64_t now = nowMs();
        if (now - lastMoveMs_ > kMoveGapMs) {
            lastMoveMs_ = now;
            ViewPoint at;
            at.x = int32_t(point.x);
            at.y = int32_t(point.y);
            at.width = point.ref_width;
            at.height = point.ref_height;
            viewControl_.onGesture(at, ViewControl::kPressOrMove, now);
        }
        return;
    }
    if (pano_) qnPanoMouseMove(pano_, &point);
    tellEvent(QN_PLAYER_MOUSE_MOVE, point);
}

void QNPlayer::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QN_PANO_POINT point = pointOf(*event);
    if (playMode_ == 2) {
        setCursor(Qt::ArrowCursor);
        viewControl_.onGesture(ViewPoint{}, ViewControl::kRelease, nowMs());
    } else if (pano_) {
        qnPanoMouseRelease(pano_, &point);
    }
    tellEvent(QN_PLAYER_MOUSE_RELEASE, point);
    mouseDown_ = false;
}

void QNPlayer::mouseDoubleClickEvent(QMouseEvent*) {}

void QNPlayer::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (playMode_ == 2) {
        const bool zoomIn = delta >= 1;
        if (zoomIn)
            viewControl_.zoomIn(1);
        else
            viewControl_.zoomOut(1);
        QNLogPrint("%s(%d) bZoomIn:%s\n", "QNPlayer::wheelEvent", __LINE__, zoomIn ? "ZoomIn" : "ZoomOut");
        return;
    }
    if (pano_) qnPanoWheel(pano_, delta);
    tellEvent(QN_PLAYER_MOUSE_WHEEL, QN_PANO_POINT{float(delta), 0, 0, 0});
}
