// The frame record the video window is fed with: the stream's parameter-set
// head (filled only for key frames) and the frame-kind name.
#ifndef OSTRELS_PLAYER_PLAYER_FRAME_H
#define OSTRELS_PLAYER_PLAYER_FRAME_H

#include <cstdint>

#include "vqSDK/VlrRealplay/mont_stream_head.h"

struct QNPlayerFrame {
    MontStreamHead head; // zeros unless the frame is a key frame
    const char* kind;    // "h264_I", "h264_P", "g711a", "linear_PCM"
};

#endif
