#include "qnVideoDecoderFFMPEG.h"

#include <cstring>

#include "Depend/qn_log.h"
#include "jpeg_file.h"
#include "plane_copy.h"
#include "qn_imageprocess.h"
#include "video_codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

qnVideoDecoderFFMPEG::qnVideoDecoderFFMPEG() = default;

qnVideoDecoderFFMPEG::~qnVideoDecoderFFMPEG()
{
    stop();
    captureEvent_.Close();
    if (picture_) qnReleaseImage(&picture_);
}

bool qnVideoDecoderFFMPEG::start()
{
    std::lock_guard<std::mutex> lock(decodeMutex_);
    releaseCodec();
    const AVCodec* alaw = avcodec_find_decoder(AV_CODEC_ID_PCM_ALAW);
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    QNLogPrint("%s(%d)\n", "qnVideoDecoderFFMPEG::start", __LINE__);
    if (alaw && h264) {
        audio_ = avcodec_alloc_context3(alaw);
        video_ = qn_player::open_h264_decoder(h264);
        spare_ = av_frame_alloc();
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
    }
    if (!audio_ || !video_ || !spare_ || !frame_ || !packet_) {
        releaseCodec();
        return false;
    }
    stopped_ = false;
    return true;
}

bool qnVideoDecoderFFMPEG::stop()
{
    std::lock_guard<std::mutex> lock(decodeMutex_);
    stopped_ = true;
    releaseCodec();
    return true;
}

void qnVideoDecoderFFMPEG::releaseCodec()
{
    avcodec_free_context(&audio_);
    avcodec_free_context(&video_);
    av_frame_free(&spare_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
}

_vm_screen* qnVideoDecoderFFMPEG::decode(const uint8_t* data, int length)
{
    std::lock_guard<std::mutex> lock(decodeMutex_);
    if (stopped_ || !video_ || !data || length <= 0) return nullptr;
    if (!qn_player::decode_access_unit(video_, packet_, frame_, data, length)) return nullptr;
    if (!copyFrame()) return nullptr;
    serveCapture();
    lastWidth_ = picture_->width;
    lastHeight_ = picture_->height;
    return picture_;
}

bool qnVideoDecoderFFMPEG::copyFrame()
{
    const bool planar420 = frame_->format == AV_PIX_FMT_YUV420P || frame_->format == AV_PIX_FMT_YUVJ420P;
    if (frame_->width <= 0 || frame_->height <= 0 || !planar420) return false;
    if (picture_ && (frame_->width != lastWidth_ || frame_->height != lastHeight_)) qnReleaseImage(&picture_);
    if (!picture_ && qnCreateImage(&picture_, frame_->width, frame_->height, VM_FMT_YUV420) != QN_IMG_OK) {
        picture_ = nullptr;
        return false;
    }
    qn_player::Yuv420Source source;
    for (int p = 0; p < 3; ++p) {
        source.data[p] = frame_->data[p];
        source.stride[p] = frame_->linesize[p];
    }
    source.width = frame_->width;
    source.height = frame_->height;
    qn_player::copy_into_picture(source, *picture_);
    return true;
}

void qnVideoDecoderFFMPEG::serveCapture()
{
    std::lock_guard<std::mutex> request(requestMutex_);
    if (!capturePending_) return;
    capturePending_ = false;
    if (qn_player::write_jpeg_file(*picture_, capturePath_, qn_player::kBestJpegQuality)) captureEvent_.Set();
}

bool qnVideoDecoderFFMPEG::capture(const char* path)
{
    if (!path || !*path || std::strlen(path) > size_t(kMaxCapturePath)) return false;
    std::lock_guard<std::mutex> lock(captureMutex_);
    {
        std::lock_guard<std::mutex> request(requestMutex_);
        std::strcpy(capturePath_, path);
        capturePending_ = true;
        // A signal left over from an earlier request must not answer this one.
        captureEvent_.Reset();
    }
    if (captureEvent_.Wait(kCaptureWaitMs) == platform::Event::kSignalled) return true;
    // Either nobody took the request, or a write is under way and this lock
    // waits for it; in the second case its signal is this request's answer.
    std::lock_guard<std::mutex> request(requestMutex_);
    capturePending_ = false;
    const bool written = captureEvent_.IsSet();
    captureEvent_.Reset();
    return written;
}
