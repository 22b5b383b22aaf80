// The MP4 files the program records: H.264 video and AAC audio (A-law
// encoded on the way, or ready AAC) in a standard MP4 file that ends in the
// 8-byte end marker 00 00 FE EF C8 00 00 00. One writer and one reader per
// process. Reading hands every sample to a frame callback on two paced
// threads; a file without the end marker is read as the program's own
// variant (mp4_lite_api.h) with the same callbacks.
#pragma once

#include <cstdint>

#include "vqSDK/QnMp4Helper/mp4_frame_types.h"

bool qn_MP4V2StartWrite(const char* path);
// Writes or holds back one frame; see the frame codes. `info` is read for
// key frames.
bool qn_MP4V2WriteFrame(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info);
// Closes the file and appends the end marker; true when both succeeded.
bool qn_MP4V2StopWrite();
// Event 0 (picture changed) of the writer.
bool qn_MP4V2SetWriteEvent(QnMp4EventCallback callback, void* user);

// True for a file of more than 499 bytes ending in the end marker.
bool mp4CheckIsV2File(const char* path);
// 0 readable, -2 not readable, -1 (own variant only) cannot be opened.
int qn_MP4V2CheckFile(const char* path);

bool qn_MP4V2StarRead(const char* path, QnMp4FrameCallback frameCallback, void* frameUser,
                      QnMp4EventCallback eventCallback, void* eventUser);
bool qn_MP4V2StopRead();
bool qn_MP4V2PauseRead();
bool qn_MP4V2ResumeRead();
// Multiplies every pacing wait: 0.5 plays twice as fast.
void qn_MP4V2SetSpeed(float factor);

// The first key-frame sample of a file with the end marker, in reading order
// (private SEI, PPS, SPS, then the slice), in a buffer the caller frees with
// free(). 0; -1 no end marker; -2 cannot be opened or no video track; -3 no
// key frame; -4 the sample cannot be read.
int qn_MP4ReadFirstIFrame(const char* path, uint8_t** data, int* length);
