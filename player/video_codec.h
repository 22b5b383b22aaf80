// FFmpeg's H.264 decoder set up for one picture per access unit.
#ifndef OSTRELS_PLAYER_VIDEO_CODEC_H
#define OSTRELS_PLAYER_VIDEO_CODEC_H

#include <cstdint>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace qn_player {

// An opened decoder context, or null.
AVCodecContext* open_h264_decoder(const AVCodec* codec);

// Sends one access unit and takes the picture it completes; false when none
// came out (incomplete data, parameter sets alone, a broken unit).
bool decode_access_unit(AVCodecContext* codec, AVPacket* packet, AVFrame* frame, const uint8_t* data, int length);

}  // namespace qn_player

#endif
