#include "qn_h264.h"

#include <cstring>

#include "video_codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

int qnH264Open(qnH264State* state)
{
    if (!state || (state->flags & QN_H264_OPENED)) return 0;
    state->context = qn_player::open_h264_decoder(avcodec_find_decoder(AV_CODEC_ID_H264));
    state->frame = av_frame_alloc();
    state->packet = av_packet_alloc();
    if (state->context && state->frame && state->packet)
        state->flags |= QN_H264_OPENED;
    else
        qnH264Close(state);
    return 0;
}

int qnH264Decode(qnH264State* state, const qnH264Packet* packet, _vm_screen* picture)
{
    if (!state || !(state->flags & QN_H264_OPENED) || !packet || !picture) return 0;
    if (packet->flags & QN_H264_PACKET_SKIP) return 0;
    const int length = int(packet->flags >> QN_H264_PACKET_LENGTH_SHIFT);
    if (!qn_player::decode_access_unit(state->context, state->packet, state->frame, packet->data, length)) return 0;
    const AVFrame* f = state->frame;
    if (f->format != AV_PIX_FMT_YUV420P && f->format != AV_PIX_FMT_YUVJ420P) return 0;
    std::memset(picture, 0, sizeof *picture);
    picture->width = f->width;
    picture->height = f->height;
    picture->format = VM_FMT_YUV420;
    for (int p = 0; p < 3; ++p) {
        picture->planar.stride[p] = f->linesize[p];
        picture->planar.plane[p] = f->data[p];
    }
    return 1;
}

void qnH264Close(qnH264State* state)
{
    if (!state) return;
    avcodec_free_context(&state->context);
    av_frame_free(&state->frame);
    av_packet_free(&state->packet);
    state->flags = 0;
}
