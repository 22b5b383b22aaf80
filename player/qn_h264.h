/*
 * A light H.264 decoder that hands out the decoder's own planes without a
 * copy; they stay valid until the next decode or the close.
 */
#ifndef OSTRELS_PLAYER_QN_H264_H
#define OSTRELS_PLAYER_QN_H264_H

#include <stdint.h>

#include "vm_screen.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

enum {
    QN_H264_OPENED = 0x1,          /* state flag: the decoder is ready */
    QN_H264_PACKET_SKIP = 0x2,     /* packet flag: nothing to decode */
    QN_H264_PACKET_LENGTH_SHIFT = 4 /* packet flags: the length from bit 4 up */
};

typedef struct qnH264State {
    uint32_t flags;
    struct AVCodecContext* context;
    struct AVFrame* frame;
    struct AVPacket* packet;
} qnH264State;

typedef struct qnH264Packet {
    uint32_t flags;
    uint32_t reserved;
    const uint8_t* data;
} qnH264Packet;

/* Opens the decoder into a zeroed state record; 0 (the state's flags tell
 * whether it is ready). */
int qnH264Open(qnH264State* state);
/* 1 and the picture (format 273, the decoder's planes) when one came out,
 * else 0. */
int qnH264Decode(qnH264State* state, const qnH264Packet* packet, _vm_screen* picture);
/* Frees what the open made and zeroes the record. */
void qnH264Close(qnH264State* state);

#endif
