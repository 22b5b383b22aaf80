#include "qnPlayerWinImpl.h"

#include <QMouseEvent>
#include <QOpenGLShaderProgram>
#include <QWheelEvent>

#include "Depend/qn_folders.h"
#include "Depend/qn_log.h"
#include "Depend/qn_system.h"
#include "gl_correction.h"
#include "gl_shaders.h"
#include "platform/text.h"
#include "qnGLRender.h"
#include "qnVideoDecoderFFMPEG.h"
#include "qn_imageprocess.h"

namespace {

std::string FramePicturePath()
{
    wchar_t folder[4096] = {};
    if (!QNGetModuleDir(folder, 4096)) return std::string();
    return platform::WideToUtf8(folder) + "/Frame.jpg";
}

} // namespace

qnPlayerWinImpl::qnPlayerWinImpl()
    : decoder_(new qnVideoDecoderFFMPEG), framePicturePath_(FramePicturePath())
{
    setFlags(flags() | Qt::FramelessWindowHint);
}

qnPlayerWinImpl::~qnPlayerWinImpl()
{
    decoder_->stop();
    // The renderer's textures and the program belong to the window's context.
    makeContextCurrent();
    delete renderer_;
    delete program_;
    if (framePicture_ != nullptr) qnReleaseImage(&framePicture_);
}

bool qnPlayerWinImpl::play()
{
    std::lock_guard<std::mutex> hold(playLock_);
    if (playing_ || !decoder_->start()) return false;
    stopping_ = 0;
    clear_ = 0;
    hold_ = 1;
    playing_ = 1;
    return true;
}

bool qnPlayerWinImpl::stop()
{
    std::lock_guard<std::mutex> hold(playLock_);
    if (!playing_) return false;
    stopping_ = 1;
    decoder_->stop();
    qnClearRingBuffer(this);
    playing_ = 0;
    ring_.forgetSize();
    return true;
}

bool qnPlayerWinImpl::capture(const char* path)
{
    return decoder_ != nullptr && decoder_->capture(path);
}

void qnPlayerWinImpl::putFrame(const _vm_screen& picture)
{
    std::lock_guard<std::mutex> hold(windowLock_);
    ring_.put(picture);
}

void qnClearRingBuffer(qnPlayerWinImpl* window)
{
    std::lock_guard<std::mutex> hold(window->windowLock_);
    window->ring_.clear();
    window->current_ = nullptr;
    QNTracePrint("%s(%d) qnClearRingBuffer\n", "qnClearRingBuffer", __LINE__);
}

void qnPlayerWinImpl::setMsgCallback(qnPlayerWinMsgCallback callback, int64_t user)
{
    callback_ = callback;
    user_ = user;
}

void qnPlayerWinImpl::setViewValue(int first, int second)
{
    viewValue_[0] = first;
    viewValue_[1] = second;
}

void qnPlayerWinImpl::setPosition(int x, int y)
{
    QWindow::setPosition(x, y);
}

void qnPlayerWinImpl::setVisible(bool on)
{
    QWindow::setVisible(on);
}

void qnPlayerWinImpl::resizeAndRender(int width, int height)
{
    resize(width, height);
    requestRender();
}

void qnPlayerWinImpl::resizeAndLoop(int width, int height)
{
    resize(width, height);
    setRenderLoop(true);
}

void qnPlayerWinImpl::setOutsidePicture(qnOutsidePicture* outside)
{
    outside_ = outside;
}

void qnPlayerWinImpl::tell(int code, int64_t data)
{
    if (callback_ != nullptr) callback_(code, data, user_);
}

void qnPlayerWinImpl::initialize()
{
    renderedWidth_ = renderedHeight_ = 0;
    program_ = new QOpenGLShaderProgram;
    // Both platforms get the stage that discards fragments outside every layer.
    program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kQnGLVertexShader);
    program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kQnGLFragmentShader);
    if (!program_->link())
        QNLogPrint("%s(%d) link failed: %s\n", "qnPlayerWinImpl::initialize", __LINE__,
                   program_->log().toLocal8Bit().constData());
    renderer_ = new qnGLRender(program_);
    paraLocation_ = program_->uniformLocation("uParaArr");
    virRiLocation_ = program_->uniformLocation("upaVirRi");
    recLocation_ = program_->uniformLocation("uParaArr_rec");
    samplerLocation_ = program_->uniformLocation("SamplerArray");
    outlineLocation_ = program_->uniformLocation("OutlineArray");
    correctionLocation_ = program_->uniformLocation("BeVirProject");
    thresholdLocation_ = program_->uniformLocation("flTransThread");
    transparencyLocation_ = program_->uniformLocation("fTransparency");
    if (framePicture_ == nullptr && !framePicturePath_.empty())
        framePicture_ = qnOpenImage(framePicturePath_.c_str(), VM_FMT_YUV420);
    QNLogPrint("%s(%d) bIs64:%d\n", "qnPlayerWinImpl::initialize", 264, QNIsWow64());
}

void qnPlayerWinImpl::setVirProject(const qnVirProjectParam& param)
{
    qnVirProjectUniforms u = qnGLCorrectionUniforms(param);
    program_->setUniformValueArray(paraLocation_, u.para, 6);
    program_->setUniformValueArray(virRiLocation_, u.virRi, 20, 1);
    program_->setUniformValueArray(recLocation_, u.rec, 4, 1);
}

void qnPlayerWinImpl::uploadTextures()
{
    if (outside_ != nullptr) {
        std::lock_guard<std::mutex> hold(outside_->lock);
        if (outside_->picture != nullptr) renderer_->uploadPicture(qnGLRender::kOutsidePicture, *outside_->picture);
    }
    if (framePicture_ != nullptr) {
        renderer_->uploadPicture(qnGLRender::kFramePicture, *framePicture_);
    } else if (!framePicturePath_.empty()) {
        framePicture_ = qnOpenImage(framePicturePath_.c_str(), VM_FMT_YUV420);
    }
    if (current_ != nullptr) renderer_->uploadPicture(qnGLRender::kCurrentFrame, *current_);
}

void qnPlayerWinImpl::drawScene(const qnGLSceneInfo& scene)
{
    static const GLint kUnits[6] = {0, 1, 2, 3, 4, 5};
    program_->setUniformValueArray(samplerLocation_, kUnits, 6);
    GLint outline[2] = {0, 0}, correction[2] = {0, 0};
    auto setModelFlags = [&](const qnGLModel& model) {
        for (int i = 0; i < 2; ++i) {
            outline[i] = model.outline[i];
            correction[i] = model.correction[i];
        }
        program_->setUniformValueArray(outlineLocation_, outline, 2);
        program_->setUniformValueArray(correctionLocation_, correction, 2);
    };
    program_->setUniformValueArray(outlineLocation_, outline, 2);
    program_->setUniformValueArray(correctionLocation_, correction, 2);
    for (int i = 0; scene.models != nullptr && i < scene.modelCount; ++i) {
        const qnGLModel& model = scene.models[i];
        if (model.groupCount <= 0 || model.groups == nullptr) continue;
        setModelFlags(model);
        renderer_->drawModel(model, true);
    }
    if (scene.furtherModel != nullptr) renderer_->drawModel(*scene.furtherModel, true);
    if (scene.overlays != nullptr && scene.overlayCount > 0) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        for (int i = 0; i < scene.overlayCount; ++i) {
            const qnGLModel& overlay = scene.overlays[i];
            program_->setUniformValue(thresholdLocation_, qnGLTransparencyThreshold(overlay) / 255.0f);
            program_->setUniformValue(transparencyLocation_, qnGLTransparency(overlay) / 255.0f);
            renderer_->drawModel(overlay, true);
        }
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void qnPlayerWinImpl::render()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    if (clear_ || hold_) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    if (stopping_ || ringAddress_ == nullptr || program_ == nullptr) {
        // Nothing to draw: a black frame rather than whatever the back buffer held.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }

    const qreal ratio = devicePixelRatio();
    renderedWidth_ = int(width() * ratio);
    renderedHeight_ = int(height() * ratio);
    glViewport(0, 0, renderedWidth_, renderedHeight_);
    glDisable(GL_CULL_FACE);
    // List models are opaque; blending is only for the overlays of this frame.
    glDisable(GL_BLEND);
    ::glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    const qnGLSceneInfo* scene = nullptr;
    tell(QN_PLAYER_WIN_MSG_SCENE, int64_t(reinterpret_cast<intptr_t>(&scene)));
    if (scene == nullptr) return;

    std::lock_guard<std::mutex> hold(windowLock_);
    program_->bind();
    int taken = ring_.takeForDrawing();
    if (taken >= 0) current_ = ring_.picture(taken);
    if (current_ != nullptr && ring_.lastDrawn() >= 0 && !PictureLooksEmpty(*current_)) {
        qnVirProjectParam correction{};
        tell(QN_PLAYER_WIN_MSG_CORRECTION, int64_t(reinterpret_cast<intptr_t>(&correction)));
        setVirProject(correction);
        uploadTextures();
        renderer_->setViewProjection(renderedWidth_, renderedHeight_, *scene);
        drawScene(*scene);
    }
    ring_.releaseDrawn(taken);
    program_->release();
}

void qnPlayerWinImpl::sendPointer(const QPointF& position, int count)
{
    qnTouchPoints record{};
    record.points[0] = {int(position.x()), int(position.y()), width(), height()};
    record.count = count;
    tell(QN_PLAYER_WIN_MSG_POINTER, int64_t(reinterpret_cast<intptr_t>(&record)));
}

void qnPlayerWinImpl::mousePressEvent(QMouseEvent* event)
{
    sendPointer(event->localPos(), 1);
    mouseDown_ = 1;
    switch (event->button()) {
    case Qt::LeftButton: QNTracePrint("LeftButton\n"); break;
    case Qt::RightButton: QNTracePrint("RightButton\n"); break;
    case Qt::MiddleButton: QNTracePrint("MidButton\n"); break;
    default: break;
    }
}

void qnPlayerWinImpl::mouseMoveEvent(QMouseEvent* event)
{
    if (mouseDown_) sendPointer(event->localPos(), 1);
}

void qnPlayerWinImpl::mouseReleaseEvent(QMouseEvent* event)
{
    mouseDown_ = 0;
    sendPointer(event->localPos(), 0);
}

void qnPlayerWinImpl::mouseDoubleClickEvent(QMouseEvent*)
{
    tell(QN_PLAYER_WIN_MSG_DOUBLE_CLICK, 0);
}

void qnPlayerWinImpl::wheelEvent(QWheelEvent* event)
{
    wheel_.onWheel(event->angleDelta().y(), int64_t(event->timestamp()), [this](const qnTouchPoints& record) {
        tell(QN_PLAYER_WIN_MSG_POINTER, int64_t(reinterpret_cast<intptr_t>(&record)));
    });
}
