// The process-wide front of the MP4 files: starts and stops the one
// recording and the one reading, with state checks and a last-error code,
// and forwards the writer's and reader's callbacks to those registered here.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "vqSDK/QnMp4Helper/mp4_frame_types.h"

class QnMp4Coder {
public:
    enum LastError {
        kNoError = 0,
        kWrongState = 1, // or the lock was busy
        kWriteStartFailed = 2,
        kWriteCloseFailed = 3,
        kReadStartFailed = 4,
        kReadStopFailed = 5,
    };

    static QnMp4Coder* getInstance();

    bool startWrite(const char* fileName);
    // Waits for another writer's frame (audio and video come from two
    // threads); a frame that arrives during a start or a stop is dropped.
    bool writeFrame(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info);
    // The video frames written since the first key frame; -1 not writing,
    // -2 the close failed, -3 the written file cannot be read.
    int stopWrite();

    bool startRead(const char* path);
    bool stopRead();
    bool pauseRead();
    bool resumeRead();
    // See qn_MP4ReadFirstIFrame.
    int readFirstIFrame(const char* path, uint8_t** data, int* length);

    // The writer's and reader's threads call these while they run; a target
    // replaced during a recording or a reading may still get one call in
    // flight, so clear them after the stop.
    void setEventCallback(QnMp4EventCallback callback, void* user);
    void setFrameCallback(QnMp4FrameCallback callback, void* user);
    void setSpeed(float factor);
    bool getFileName(char* buffer, int size);
    int getLastError() const { return lastError_; }

private:
    QnMp4Coder();
    static void forwardEvent(int code, int value, void* user);
    static int forwardFrame(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user);

    std::mutex callbacksLock_; // the registrations below
    QnMp4EventCallback eventCallback_ = nullptr;
    void* eventUser_ = nullptr;
    QnMp4FrameCallback frameCallback_ = nullptr;
    void* frameUser_ = nullptr;
    int writtenFrames_ = 0;
    int writeState_ = 0; // 1 while writing
    int readState_ = 0;  // 2 while reading
    std::atomic<int> lastError_{kNoError}; // written by the stream threads too
    std::recursive_mutex lock_; // starts, stops and writes of the recording
    // Starts and stops of the reading. The reader's threads may be writing
    // into the recording when a stop joins them, so the reading never holds
    // the recording's lock.
    std::recursive_mutex readLock_;
    std::string fileName_;
    bool keyFrameWritten_ = false;
    std::atomic<bool> busy_{false}; // a start or a stop of the recording is under way
};
