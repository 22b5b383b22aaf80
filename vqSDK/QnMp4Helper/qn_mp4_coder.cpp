#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"

#include "Depend/qn_log.h"
#include "platform/text.h"
#include "vqSDK/QnMp4Helper/mp4_v2_api.h"

namespace {

struct BusyScope {
    explicit BusyScope(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    std::atomic<bool>& flag_;
};

} // namespace

QnMp4Coder::QnMp4Coder() { qn_MP4V2SetWriteEvent(&QnMp4Coder::forwardEvent, this); }

QnMp4Coder* QnMp4Coder::getInstance()
{
    // Lives until the process ends: reader threads may still call into it.
    static QnMp4Coder* instance = new QnMp4Coder;
    return instance;
}

bool QnMp4Coder::startWrite(const char* fileName)
{
    QNLogPrint("%s(%d) filename:%s\n", __func__, __LINE__, fileName != nullptr ? fileName : "");
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (writeState_ != 0) {
        lastError_ = kWrongState;
        return false;
    }
    BusyScope busy(busy_);
    if (fileName == nullptr || !qn_MP4V2StartWrite(fileName)) {
        lastError_ = kWriteStartFailed;
        return false;
    }
    writtenFrames_ = 0;
    keyFrameWritten_ = false;
    fileName_ = fileName;
    qn_MP4V2SetWriteEvent(&QnMp4Coder::forwardEvent, this);
    writeState_ = 1;
    return true;
}

bool QnMp4Coder::writeFrame(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info)
{
    if (busy_) {
        lastError_ = kWrongState;
        return false;
    }
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (writeState_ == 0) {
        lastError_ = kWrongState;
        return false;
    }
    if (!qn_MP4V2WriteFrame(data, length, code, info)) return false;
    if (code == QN_MP4_STREAM_FRAME_TYPE_I && !keyFrameWritten_) {
        keyFrameWritten_ = true;
        writtenFrames_ = 1;
    } else if (keyFrameWritten_ && (code == QN_MP4_STREAM_FRAME_TYPE_I || code == QN_MP4_STREAM_FRAME_TYPE_P)) {
        ++writtenFrames_;
    }
    return true;
}

int QnMp4Coder::stopWrite()
{
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (writeState_ == 0) {
        lastError_ = kWrongState;
        return -1;
    }
    BusyScope busy(busy_);
    int result = writtenFrames_;
    if (!qn_MP4V2StopWrite()) {
        lastError_ = kWriteCloseFailed;
        result = -2;
    } else if (qn_MP4V2CheckFile(fileName_.c_str()) != 0) {
        lastError_ = kWriteCloseFailed;
        result = -3;
    }
    fileName_.clear();
    writeState_ = 0;
    return result;
}

bool QnMp4Coder::startRead(const char* path)
{
    std::lock_guard<std::recursive_mutex> hold(readLock_);
    if (readState_ != 0) {
        lastError_ = kWrongState;
        return false;
    }
    if (!qn_MP4V2StarRead(path, &QnMp4Coder::forwardFrame, this, &QnMp4Coder::forwardEvent, this)) {
        lastError_ = kReadStartFailed;
        return false;
    }
    readState_ = 2;
    return true;
}

bool QnMp4Coder::stopRead()
{
    std::lock_guard<std::recursive_mutex> hold(readLock_);
    if (readState_ == 0) {
        lastError_ = kWrongState;
        return true;
    }
    bool stopped = qn_MP4V2StopRead();
    readState_ = 0;
    if (!stopped) lastError_ = kReadStopFailed;
    return stopped;
}

bool QnMp4Coder::pauseRead()
{
    std::lock_guard<std::recursive_mutex> hold(readLock_);
    if (readState_ == 0) {
        lastError_ = kWrongState;
        return false;
    }
    return qn_MP4V2PauseRead();
}

bool QnMp4Coder::resumeRead()
{
    std::lock_guard<std::recursive_mutex> hold(readLock_);
    if (readState_ == 0) {
        lastError_ = kWrongState;
        return false;
    }
    return qn_MP4V2ResumeRead();
}

int QnMp4Coder::readFirstIFrame(const char* path, uint8_t** data, int* length)
{
    return qn_MP4ReadFirstIFrame(path, data, length);
}

void QnMp4Coder::setEventCallback(QnMp4EventCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbacksLock_);
    eventCallback_ = callback;
    eventUser_ = user;
}

void QnMp4Coder::setFrameCallback(QnMp4FrameCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(callbacksLock_);
    frameCallback_ = callback;
    frameUser_ = user;
}

void QnMp4Coder::setSpeed(float factor) { qn_MP4V2SetSpeed(factor); }

bool QnMp4Coder::getFileName(char* buffer, int size)
{
    // A stop on another thread frees the name.
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (buffer != nullptr && size > 0 && fileName_.size() > 2) platform::CopyBounded(buffer, std::size_t(size), fileName_);
    return true;
}

void QnMp4Coder::forwardEvent(int code, int value, void* user)
{
    auto* self = static_cast<QnMp4Coder*>(user);
    QnMp4EventCallback callback;
    void* target;
    {
        std::lock_guard<std::mutex> hold(self->callbacksLock_);
        callback = self->eventCallback_;
        target = self->eventUser_;
    }
    if (callback != nullptr) callback(code, value, target);
}

int QnMp4Coder::forwardFrame(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user)
{
    auto* self = static_cast<QnMp4Coder*>(user);
    QnMp4FrameCallback callback;
    void* target;
    {
        std::lock_guard<std::mutex> hold(self->callbacksLock_);
        callback = self->frameCallback_;
        target = self->frameUser_;
    }
    if (callback == nullptr) return 1;
    return callback(data, length, code, time, target);
}
