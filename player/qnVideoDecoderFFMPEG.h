// The video window's H.264 decoder: one access unit in, one planar 4:2:0
// picture out, and JPEG snapshots of the next decoded picture on request.
#ifndef OSTRELS_PLAYER_QNVIDEODECODERFFMPEG_H
#define OSTRELS_PLAYER_QNVIDEODECODERFFMPEG_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/event.h"
#include "vm_screen.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class qnVideoDecoderFFMPEG {
public:
    // Longest capture path, in bytes; a longer one is refused, never cut.
    static constexpr int kMaxCapturePath = 126;
    static constexpr int kCaptureWaitMs = 2000;

    qnVideoDecoderFFMPEG();
    ~qnVideoDecoderFFMPEG();
    qnVideoDecoderFFMPEG(const qnVideoDecoderFFMPEG&) = delete;
    qnVideoDecoderFFMPEG& operator=(const qnVideoDecoderFFMPEG&) = delete;

    bool start();
    // Waits for a decode in progress; later decodes give none. Always true.
    bool stop();
    // The picture (format 273) stays the decoder's and is overwritten by the
    // next decode; null when no picture came out.
    _vm_screen* decode(const uint8_t* data, int length);
    // Asks for the next decoded picture as a JPEG file and waits for it; true
    // only when this request's file was written. A request that timed out is
    // withdrawn, so no file appears later.
    bool capture(const char* path);

private:
    void releaseCodec();
    bool copyFrame();
    void serveCapture();

    AVCodecContext* audio_ = nullptr;  // A-law, kept as the window's audio companion
    AVCodecContext* video_ = nullptr;
    AVFrame* spare_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    _vm_screen* picture_ = nullptr;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    std::atomic<bool> stopped_{true};
    // One capture at a time; the request itself is handed to the decoding
    // thread under requestMutex_, which the write holds until it is done.
    std::mutex captureMutex_;
    std::mutex requestMutex_;
    bool capturePending_ = false;
    char capturePath_[kMaxCapturePath + 2] = {};
    platform::Event captureEvent_{false, false};
    std::mutex decodeMutex_;
};

#endif
