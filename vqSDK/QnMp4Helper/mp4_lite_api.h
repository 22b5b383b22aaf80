// The program's own MP4 variant: a fixed arrangement of boxes, times in
// milliseconds, AAC frames kept with their ADTS headers, and a closing
// "skip" box that tells for every video sample where its side piece (the
// SEI, SPS and PPS units that came with it) lies. One writer and one reader
// per process; frame codes and callbacks are those of mp4_frame_types.h.
#pragma once

#include <cstdint>

#include "vqSDK/QnMp4Helper/mp4_frame_types.h"

bool qn_MP4LiteStartWrite(const char* path);
bool qn_MP4LiteWriteFrame(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info);
// True when the movie box was written (at least one key frame was).
bool qn_MP4LiteStopWrite();
// Events 0 (picture changed) and 3 (first key frame without a frame rate).
bool qn_MP4LiteSetWriteEvent(QnMp4EventCallback callback, void* user);

// Starts the video, audio and end-event threads; false when the file cannot
// be opened or is not of the variant (then event 2).
bool qn_MP4LiteStartRead(const char* path, QnMp4FrameCallback frameCallback, void* frameUser,
                         QnMp4EventCallback eventCallback, void* eventUser);
// 0 the file is of the variant, -2 it is not, -1 it cannot be opened.
int qn_MP4LiteTest(const char* path);
void qn_MP4LitePauseRead();
void qn_MP4LiteResumeRead();
void qn_MP4LiteStopRead();
