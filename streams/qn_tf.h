// The TF-card module: one process-wide object that reads copied TF-card
// folders and records what is played into MP4, driven through flat
// functions. Results: 0 success, 7 no module object or no card folder, 5 a
// null argument, 3 not initialised, 13 buffer too small, 1 nothing playing,
// 2 an invalid date, 6 another card being played.
#pragma once

#include <cstdint>
#include <string>

#include "streams/tf_card_folder.h"
#include "streams/tf_card_layout.h"
#include "streams/tf_utilities.h"

struct VQ_PANO_PARAM {
    char type[64]; // the panorama type code in decimal, zero-filled
    int32_t centerX;
    int32_t centerY;
    int32_t radius;
    int32_t sourceWidth;
    int32_t sourceHeight;
    int32_t tilt;
    int32_t rotate;
    uint8_t ptzAngle90; // a PTZ camera angle of 90 or 270
    uint8_t panorama;   // 1 panorama record, 0 PTZ record
    int32_t frameRate;
    uint8_t valid;
};
static_assert(sizeof(VQ_PANO_PARAM) == 104);

struct VQ_FRAME_INFO {
    int32_t deviceNumber;
    int32_t length;
    int32_t nalLength;    // video: from the first NAL unit to the end; audio 0
    uint32_t queueValue;  // the value the frame queue carried with the frame
    uint8_t key;          // video 0 key frame, 1 other; audio 2
    uint8_t kind;         // 2
    uint16_t ptz[3];      // video: PTZ values x 10 and 10; audio 0
    const uint8_t* data;
    const uint8_t* nal;   // video: the first NAL unit; audio none
    int32_t year, month, day, hour, minute, second;
};

struct VQ_EVENT_INFO {
    int32_t code;
    int32_t deviceNumber;
    const char* text;
    int32_t value;
};

// 1 busy (the same frame comes again), 2 drop video up to the next key frame.
using vqFrameCallback = int (*)(VQ_FRAME_INFO* frame, void* user, int value);
using vqEventCallback = void (*)(VQ_EVENT_INFO* event, void* user, int value);
// Messages of the module's log writers: the code and the text.
struct VQ_TF_MESSAGE {
    int32_t code;
    const char* text;
};
using vqTfMessageCallback = void (*)(VQ_TF_MESSAGE* message, void* user, int value);
using vqTfConvertCallback = void (*)(int code, void* user, int value);
using vqTfProgressCallback = void (*)(int done, int total, void* user, int value);

using VQ_TF_TIME = streams::VQ_TF_TIME;

struct VQ_TF_SETTINGS {
    vqEventCallback eventCallback;
    void* eventUser;
    int32_t eventValue;
    vqEventCallback errorCallback;
    void* errorUser;
    int32_t errorValue;
    vqTfMessageCallback messageCallback;
    void* messageUser;
    int32_t messageValue;
    uint32_t initFlags; // bit 0 initialised
};

int vqCamTFInit(VQ_TF_SETTINGS settings);
int vqCamSetTFVideoCallback(vqFrameCallback callback, void* user, int value);
int vqCamSetTFAudioCallback(vqFrameCallback callback, void* user, int value);
int vqCamSetTFMsgCallback(vqTfConvertCallback convert, vqTfProgressCallback progress, void* user, int value);
int vqCamOpenTFCard(const char* folder, streams::VQ_TF_CARD_INFO* info, const char* account);
int vqCamSearchTFRecord(const char* date, void* buffer, int size);
// start 1: converts the span into MP4 files in `outputFolder` on a thread of
// its own (1 when started); start 0: stops it, 1 when every file was closed
// readable.
int vqCamTFConvertMP4(int start, VQ_TF_TIME* time, const char* outputFolder);
int vqCamStartTFRecord(const char* fileName);
int vqCamStopTFRecord();
int vqCamGetMP4FileName(char* buffer, int size);
int vqCamGetTFPanoParam(VQ_PANO_PARAM* param);
int vqCamGetTFDeviceId(char* buffer, int size);
int vqCamSetTFCustomPwd(const char* password);
// mode "play" plays the span (nearest recorded start minute, end minute not
// played) through the frame callbacks; a new start restarts at the new span;
// "down" converts it into the last conversion's folder. 0 when started.
int vqCamStartTFLPlay(const char* mode, VQ_TF_TIME* time);
// Stops play and joins its threads; 0.
int vqCamStopTF();

namespace platform {
class Clock;
}

namespace streams {

// The clock play paces on from its next start; null for the system clock.
void tfSetClock(const platform::Clock* clock);

// The module's log writers: nothing while its log file path is empty.
void tfLogTimed(int code, const char* format, ...);
void tfLogPlain(int code, const char* format, ...);
// Reports a media error to the error callback (and event 307 "Need relogin."
// when `relogin` is set and the SDK lost its sign-in).
void tfReportMediaError(int code, int value, const char* text, bool skipSdkCode, bool relogin);

struct TfDeviceRecord {
    uint32_t deviceNumber;
    const char* deviceText;
    const char* ownerAccount;
    bool shared;
};
class SecurityKeys;
// "default_old" from the account prefix and the device text, "default" from
// the prefix and the device number; 1.
int tfSetDefaultKeys(const TfDeviceRecord& device, SecurityKeys& keys);
// The account prefix and the decimal device number, at most 31 characters.
std::string TfDefaultKeyText(const char* account, uint32_t deviceNumber);

} // namespace streams
