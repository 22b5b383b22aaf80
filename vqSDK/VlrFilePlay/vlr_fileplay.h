// The file play module: plays local MP4 recordings (read by the MP4 front,
// parsed by the stream platform's "streamfileid" source, AAC decoded to PCM)
// and protected JPEG snapshots, checks a file's protection against the key
// slots and turns protected JPEG files and buffers into plain ones. One
// object per process, owned by the client facade.
//
// Commands come from the owner's thread. Frames come from the MP4 reader's
// threads through the platform, PCM from the AAC decoder's thread. No command
// may be sent from a callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "streams/key_slots.h"
#include "streams/mont_processor.h"
#include "streams/private_sei.h"
#include "vqSDK/QnMp4Helper/mp4_frame_types.h"
#include "vqSDK/QnMp4Helper/qnfaaddecoder.h"
#include "vqSDK/VlrFilePlay/file_stream_head.h"
#include "vqSDK/VlrRealplay/play_callbacks.h"

struct RESPACK;
namespace streams {
class Montage;
}

// (event, 0, value): 2 the file was read to its end, 3 a video frame was read
// (value: its time in milliseconds), 4 the file cannot be read, 15-20 the
// password state after a check or a decryption (value: the key type).
typedef void (*FILEPLAY_EVENT_CALLBACK)(int32_t event, int32_t zero, int64_t value, void* user, int32_t userValue);
// (data, length, kind, user, value): a picture's path (kind 1) and then its
// bytes (kind 0).
typedef void (*FILEPLAY_PICTURE_CALLBACK)(const uint8_t* data, int32_t length, int32_t kind, void* user,
                                          int32_t userValue);

enum FilePlayEvent : int32_t {
    FILEPLAY_EVENT_END = 2,
    FILEPLAY_EVENT_VIDEO_READ = 3,
    FILEPLAY_EVENT_READ_ERROR = 4,
    FILEPLAY_EVENT_VIDEO_CONVERTED = 5, // value: its time in milliseconds
    FILEPLAY_STATE_BAD_BUFFER = 20, // besides the password states of play_callbacks.h
};

// Results of the checks.
enum FileCheckResult : int32_t {
    FILE_CHECK_PLAYABLE = 100000,
    FILE_CHECK_NEED_DEFAULT = 100001,
    FILE_CHECK_DEFAULT_WRONG = 100002,
    FILE_CHECK_NEED_CUSTOM = 100003,
    FILE_CHECK_CUSTOM_WRONG = 100004,
    FILE_CHECK_OTHER = 100005,
    FILE_CHECK_NO_KEY_FRAME = -1,
    FILE_CHECK_NO_SEI = -2,
    FILE_CHECK_BAD_SEI = -3,
    FILE_CHECK_NO_TAIL = -6,
    FILE_CHECK_NO_OUTPUT = -10,
};

// The records the conversion and check commands take. Paths end within their
// 256 bytes; a record whose path does not is refused.
struct FILEPLAY_TRANS_JPG_FILE {
    char source[256];
    char destination[256];
    int32_t result; // the check result; then the key type goes to the result address
};
struct FILEPLAY_TRANS_JPG_STREAM {
    uint8_t* data;
    uint32_t length; // on return, the plain picture's length (the tail stays)
};
struct FILEPLAY_TRANS_FILE {
    char source[256];
    char destination[256];
};
// The result address of "check_file", "check_jpg" and the conversions.
struct FILEPLAY_CHECK_RESULT {
    int32_t tableOrResult; // on entry 1 selects the type-only table (check_file); on return the result
    uint32_t keyType;
};

class VLR_FILEPLAY {
public:
    VLR_FILEPLAY();
    ~VLR_FILEPLAY();
    VLR_FILEPLAY(const VLR_FILEPLAY&) = delete;
    VLR_FILEPLAY& operator=(const VLR_FILEPLAY&) = delete;

    int SetStateCallBack(FILEPLAY_EVENT_CALLBACK callback, void* user, int32_t userValue);
    int SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue);
    int SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue);
    int SetPictureCallBack(FILEPLAY_PICTURE_CALLBACK callback, void* user, int32_t userValue);
    // The hub's pack ("file_play"): tag "RESPACK" and a platform that has the
    // sources "streamfileid" and "streamparse".
    int SetSourcePack(void* pack);

    // The head when it holds an SPS and a PPS; follow it only from the frame callback.
    const MontStreamHead* GetStreamHead();
    // "file_get_sei": the played file's private SEI, once one was parsed; else null.
    const void* GetInfo(const char* name);

    // See the commands below; 1 done, 0 after a report.
    //   "start_file" (value: MP4 path), "stop_file", "pause_file", "resume_file";
    //   "start_jpg" (value: JPEG path), "stop_jpg";
    //   "check_file" and "check_jpg" (value: path; argument: FILEPLAY_CHECK_RESULT);
    //   "trans_jpg_file" (value: FILEPLAY_TRANS_JPG_FILE, argument: FILEPLAY_CHECK_RESULT);
    //   "trans_jpg_stream" (value: FILEPLAY_TRANS_JPG_STREAM, argument: FILEPLAY_CHECK_RESULT);
    //   "trans_file" (value: FILEPLAY_TRANS_FILE, argument: FILEPLAY_CHECK_RESULT)
    //   writes a plain copy of a protected MP4 at full speed; the end of the
    //   source raises event 2, and "finish_filetrans" (argument: int32_t, the
    //   writer's result: the video frames written, or -1 to -3) ends it;
    //   "security_default", "security_default_old", "security_custom" (value: the
    //   password) and "security_clear", which set the play table and the check table.
    int SendCtrl(const char* command, const void* value, void* argument);

private:
    int StartFile(const char* path);
    int StopFile();
    int StartJpeg(const char* path);
    int CheckFile(const char* path, FILEPLAY_CHECK_RESULT* result);
    int CheckJpeg(const char* path, FILEPLAY_CHECK_RESULT* result);
    int TransJpegFile(const FILEPLAY_TRANS_JPG_FILE* record, FILEPLAY_CHECK_RESULT* result);
    int TransJpegStream(const FILEPLAY_TRANS_JPG_STREAM* record, FILEPLAY_CHECK_RESULT* result);
    int TransFile(const FILEPLAY_TRANS_FILE* record, FILEPLAY_CHECK_RESULT* result);
    int FinishTrans(int32_t* written);
    int SecurityCommand(const char* command, const char* password);
    // The check result of a decryption or key test; raises the password state.
    int32_t CheckedState(int decryptResult, uint32_t keyType);
    bool ResetSource(int source, streams::MontFrameCallback callback);
    void Event(int32_t event, int64_t value) const;

    static int OnReadFrame(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user);
    static void OnReadEvent(int code, int value, void* user);
    static void OnPlayFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                            int userValue);
    void PlayFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);
    static void OnConvertFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                               int userValue);
    void ConvertFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame);
    static void OnPcm(const uint8_t* pcm, int length, void* user);

    RESPACK* pack_ = nullptr;
    streams::Montage* platform_ = nullptr;
    int playSource_ = -1;
    int parseSource_ = -1;

    realplay::PlayCallbacks callbacks_; // frames and messages
    mutable std::mutex slotsMutex_;
    realplay::CallbackSlot<FILEPLAY_EVENT_CALLBACK> event_;
    realplay::CallbackSlot<FILEPLAY_PICTURE_CALLBACK> picture_;

    fileplay::FileStreamHead head_;
    streams::SecurityKeys playKeys_;
    streams::SecurityKeys checkKeys_; // the check that only reports the key type
    std::recursive_mutex checkMutex_;
    qnfaaddecoder aac_;

    std::mutex jpegMutex_;
    std::string jpegPath_; // the picture being played, until the platform hands it out

    // The reading's own.
    std::atomic<bool> fileSeiParsed_{false};
    streams::MontSeiInfo fileSei_{};
    std::atomic<uint32_t> videoCounter_{0};
    std::vector<uint8_t> inputCopy_;
    std::vector<uint8_t> outputCopy_;

    // The conversion's.
    std::atomic<bool> converting_{false};
    std::mutex writerMutex_;   // the writer's stop, at the end of the source or at the finish
    bool writerStopped_ = false;
    int32_t writerResult_ = -1;
    streams::MontSeiInfo convertSei_{};
    bool convertSeiSeen_ = false;
    bool firstConverted_ = false;
    uint32_t convertedFrames_ = 0;
    std::vector<uint8_t> convertCopy_;
};
