// The frames the MP4 writers take and the readers hand out, shared by every
// part of the program that records or plays MP4 files.
#pragma once

#include <cstdint>

// Frame codes of the writers' input and the readers' output. Every H.264
// buffer is Annex-B: NAL units each behind a 00 00 00 01 start code.
enum {
    QN_MP4_STREAM_FRAME_TYPE_I = 0,      // key frame, with a QnMp4FrameInfo
    QN_MP4_STREAM_FRAME_TYPE_P = 1,
    QN_MP4_STREAM_FRAME_TYPE_A_G711 = 3, // A-law, 8000 Hz mono
    QN_MP4_STREAM_FRAME_TYPE_AAC = 4,    // one raw AAC frame
    QN_MP4_STREAM_FRAME_TYPE_SEI = 10,
    QN_MP4_STREAM_FRAME_TYPE_SEI_QN = 11,   // private panorama SEI of a key frame
    QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P = 12, // private SEI of a P frame
    QN_MP4_STREAM_FRAME_TYPE_SPS = 13,
    QN_MP4_STREAM_FRAME_TYPE_PPS = 14,
    QN_MP4_STREAM_FRAME_TYPE_OTHER = 17,
};

// Events of the writers and readers.
enum {
    MP4_EVENT_PICTURE_CHANGED = 0, // writer: a key frame of another size or rate
    MP4_EVENT_READ_END = 1,        // reader: every video sample was delivered
    MP4_EVENT_OPEN_FAILED = 2,     // reader: the file cannot be read
    MP4_EVENT_NO_FRAME_RATE = 3,   // own-variant writer: the first key frame has no rate
};

struct QnMp4FrameInfo {
    uint16_t width;
    uint16_t height;
    int32_t frameRate; // frames per second
};
static_assert(sizeof(QnMp4FrameInfo) == 8);

struct QnMp4ReadTime {
    int32_t totalMs;   // the sample's track
    int32_t elapsedMs; // up to and including this sample
};
static_assert(sizeof(QnMp4ReadTime) == 8);

// Takes a frame read from a file: non-zero when taken, 0 when busy (the same
// frame is offered again).
using QnMp4FrameCallback = int (*)(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user);
using QnMp4EventCallback = void (*)(int code, int value, void* user);
