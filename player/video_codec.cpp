#include "video_codec.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace qn_player {

AVCodecContext* open_h264_decoder(const AVCodec* codec)
{
    if (!codec) return nullptr;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (!context) return nullptr;
    // Frame threading holds each picture back by one packet per thread; a
    // window needs the picture of the unit it just handed over.
    context->thread_type = FF_THREAD_SLICE;
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(context, codec, nullptr) < 0) avcodec_free_context(&context);
    return context;
}

bool decode_access_unit(AVCodecContext* codec, AVPacket* packet, AVFrame* frame, const uint8_t* data, int length)
{
    if (!codec || !packet || !frame || !data || length <= 0) return false;
    av_packet_unref(packet);
    // The decoder may read a little past the end of its input: give it a
    // padded copy rather than the caller's buffer.
    if (av_new_packet(packet, length) < 0) return false;
    std::copy(data, data + length, packet->data);
    const int sent = avcodec_send_packet(codec, packet);
    av_packet_unref(packet);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
    // Without frame threads or reordering delay a unit completes at most one
    // picture.
    return avcodec_receive_frame(codec, frame) == 0;
}

}  // namespace qn_player
