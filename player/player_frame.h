// The frame record the video window is fed with: the stream's parameter-set
// head (filled only for key frames) and the frame-kind name.
#ifndef OSTRELS_PLAYER_PLAYER_FRAME_H
#define OSTRELS_PLAYER_PLAYER_FRAME_H

#include <cstdint>

// The play modules' parameter-set head, as far as the window reads it: the
// store of the stream's parameter sets and the packed length words, whose
// low ten bits give the bytes used in the store. The live play module owns
// the record; its own header replaces this view.
struct MontStreamHead {
    const uint8_t* store; // the parameter sets in arrival order
    const uint8_t* sps;
    const uint8_t* pps;
    const uint8_t* sei;
    uint32_t lengths; // bits 0-9 bytes used in the store
    uint32_t seiHigh;
};

namespace realplay {
inline uint32_t HeadUsed(const MontStreamHead& head) { return head.lengths & 0x3FF; }
} // namespace realplay

struct QNPlayerFrame {
    MontStreamHead head; // zeros unless the frame is a key frame
    const char* kind;    // "h264_I", "h264_P", "g711a", "linear_PCM"
};

#endif
