// The controller's flat calls into the camera SDK. Each forwards to the one
// process-wide facade that vqRegisterSDK creates and vqDestroy ends; before
// vqRegisterSDK (or after vqDestroy) every call fails as its result says.
//
// Results are 1 for success and 0 for failure unless said otherwise. A
// "camera" is the 32-bit camera id of the account's camera list.
#pragma once

#include <cstdint>

#include "app/camera_record.h"
#include "app/record_search.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

class QNPlayer;

// The message ids of vqMessageCallback.
enum VqMessageId : int32_t {
    VQ_MSG_CAMERA_OFFLINE_MSG = 0, // record: the hub's data block, camera id first
    VQ_MSG_CAMERA_ONLINE_MSG = 1,
    VQ_MSG_SERVER_OFFLINE = 2,     // no record
    VQ_MSG_SERVER_ONLINE = 3,      // no record
    VQ_MSG_NET_EVENT_6 = 4,        // 4 to 9: hub network events 6 to 11, their data block
    VQ_MSG_NET_EVENT_11 = 9,
    VQ_MSG_VIDEO_DISCONNECT = 10,
    VQ_MSG_VIDEO_NET_TYPE = 11,
    VQ_MSG_NET_EVENT_14 = 12,      // 12 and 13: hub network events 14 and 15
    VQ_MSG_NET_EVENT_15 = 13,
    VQ_MSG_PTZ_POSITION = 14,      // record: three floats pan, tilt, zoom
    VQ_MSG_PTZ_MOVE = 15,
    VQ_MSG_PTZ_GOTO = 16,          // pan clamped to 0..360
    VQ_MSG_MP4_FRAME_CHANGED = 17, // no record
    VQ_MSG_MP4_READ_END = 18,      // 18 to 22 and 24 to 26: named by the controller, never raised here
    VQ_MSG_MP4_READ_TIME = 20,
    VQ_MSG_MP4_READ_FILE_ERR = 21,
    VQ_MSG_MP4_TRANS_TIME = 22,
    VQ_MSG_INIT_FINISH = 23,       // record: the region text
    VQ_MSG_UNKNOW = 24,
    VQ_MSG_NEED_RELOGIN = 25,
    VQ_MSG_GET_SERVERIP = 26,
    VQ_MSG_FRAME_TIME = 27,        // record: the GL message's argument block
    VQ_MSG_RECORD_FRAME_WRITTEN = 29,
};

// Configuration record types of vqGetConfig / vqSetConfig.
enum VqConfigType : int32_t {
    VQ_CONFIG_VOICE_VOLUME_TALK = 9,
    VQ_CONFIG_WIFI = 15,
    VQ_CONFIG_TF_INFO = 16,
};
// The volume byte of a type-9 record (the 13th byte).
inline constexpr int kVqTalkVolumeByte = 12;
// Type 9 reads and writes only the first 16 bytes of the record, so a
// 16-byte record is enough for it (and the least it may be).
inline constexpr int kVqTalkVolumeRecordBytes = 16;

// Result codes the facade itself sets.
enum VqResultCode : int32_t {
    VQ_ERR_LOGIN_FAILURE = 302,
    VQ_ERR_ILLEGAL_PARAM = 14000,
};
// Codes of the error callback.
enum VqErrorCallbackCode : int32_t { VQ_ERROR_FEATURE_REFUSED = 1, VQ_ERROR_UNKNOWN_CAMERA = 2 };

// Play states of the play-state and file-state callbacks.
enum VqPlayState : int32_t {
    VQ_PLAY_STATE_NONE = 0,
    VQ_PLAY_STATE_NEED_DEFAULT = 1,
    VQ_PLAY_STATE_DEFAULT_WRONG = 2,
    VQ_PLAY_STATE_NEED_CUSTOM = 3,
    VQ_PLAY_STATE_CUSTOM_WRONG = 4,
    VQ_PLAY_STATE_BAD_BUFFER = 5,
    VQ_FILE_STATE_END = 11,
    VQ_FILE_STATE_VIDEO_READ = 12,
    VQ_FILE_STATE_READ_ERROR = 13,
    VQ_FILE_STATE_CONVERTED = 14,
};

// Audio kinds of the audio callback.
enum VqAudioKind : int32_t { VQ_AUDIO_G711A = 2, VQ_AUDIO_PCM = 3 };

typedef void (*vqMessageCallback)(void* record, int32_t messageId, int32_t zero, void* user);
typedef void (*vqPlayStateCallback)(int32_t state, void* user);
typedef void (*vqErrorCallback)(int32_t zero, int32_t code, void* user);
typedef void (*vqAudioCallback)(int32_t kind, const uint8_t* data, int32_t length, void* user);
typedef void (*vqTickCallback)(int32_t one, void* user);

// The sign-in record.
struct vqAccount {
    char account[64];
    char password[64];
    int32_t loginValue;
};

// The camera of the account (284 bytes).
typedef QnCameraEntry vqCameraEntry;
inline constexpr int kVqCameraListCapacity = 60;

// The panorama record of vqGetPanoInfo and vqGetLocalParam (96 bytes; the
// video window's own record has the same layout).
struct vqPanoInfo {
    char panoType[64];
    int32_t circleX, circleY, radius;
    int32_t sourceWidth, sourceHeight;
    int32_t mountTilt;
    int32_t rotate;
    int32_t valid;
};
static_assert(sizeof(vqPanoInfo) == 96);

// The configuration record of vqGetConfig / vqSetConfig: type 9 uses its
// first kVqTalkVolumeRecordBytes (16) bytes, type 15 all 116, type 16 the
// first 28.
struct vqConfigRecord {
    uint8_t bytes[116];
};

// Life cycle and start-up.
void vqRegisterSDK(int32_t sdkCode, const char* sdkKey);
int vqLoadCameraTypeFile(const char* cachePath, const char* dataFolder);
int vqLoadLensFile(const char* cachePath, const char* dataFolder);
int vqInit(const char* regionCode);
int vqIsInit();
int vqCleanUp();
int vqDestroy();

// Callbacks.
void vqSetMessageCallback(vqMessageCallback callback, void* user);
void vqSetPlayStateCallback(vqPlayStateCallback callback, void* user);
void vqSetErrorCallback(vqErrorCallback callback, void* user);
void vqSetAudioCallback(vqAudioCallback callback, void* user);
void vqSetStreamTickCallback(vqTickCallback callback, void* user);
void vqSetRefreshCallback(vqTickCallback callback, void* user);
void vqSetFileStateCallback(vqPlayStateCallback callback, void* user);

// The account and its cameras.
int vqSignIn(const vqAccount* account, uint32_t* loginId);
int vqSignOut();
// The last failure: code in the low word, detail in the high word.
int64_t vqGetLastError();
const char* vqGetErrorText(int32_t code);
int vqGetCameras(vqCameraEntry* entries, int* count);
int vqGetOnLineState(int32_t camera);
int vqGetConfig(int32_t camera, int32_t type, vqConfigRecord* record);
int vqSetConfig(int32_t camera, int32_t type, const vqConfigRecord* record);
int vqSetRecordStorageLocation(int32_t camera, int32_t* location);
int vqCtrlTalk(int32_t camera, int32_t on);
int vqGetTalkState(int32_t camera, int32_t* talking);
int vqSendTalkData(int32_t camera, const char* data, int32_t length);
int vqSetQuality(int32_t camera, int32_t fluent);
int vqPtzSetPosition(int32_t camera, int32_t mode, int32_t pan, int32_t tilt);

// Play.
int vqStartRealPlay(int32_t camera, int32_t playUser, QNPlayer* player);
int vqStopRealPlay(int32_t camera);
int vqStartPlayBack(int32_t camera, const QN_NET_REMOTE_FILE* start, int32_t playUser, QNPlayer* player);
int vqStopPlayBack(int32_t camera);
int vqRepos(int32_t camera, int32_t position);
int vqStartPlayFile(const char* path, int32_t playUser, QNPlayer* player);
int vqStopPlayFile(QNPlayer* player);
int vqStartRecordMP4(const char* path);
// 0 on success, -1 on failure.
int vqStopRecordMP4();
int vqCapture(const char* path);
int vqSwitchOriModel();

// Video keys.
int vqSetSecurity(int32_t type, const char* key);
int vqSetSecurityOld(int32_t type, const char* key);
int vqGetDefaultKey(int32_t camera, int32_t ignored, char name[17], char key[32]);
int vqGetDefaultKeyOld(int32_t camera, int32_t ignored, char name[17], char key[32]);

// Panorama information and lens tables.
int vqGetPanoInfo(vqPanoInfo* info);
int vqGetPanoTypeEx(char text[64]);
int vqGetLocalParam(vqPanoInfo* info);
void vqSetLensToPlayer(QNPlayer* player);
// The first number, or -1.
int vqGetVersion(int32_t serial, int32_t version, int32_t* first, int32_t* second);

// The hub's cloud operations.
int vqCloudOrder(int32_t camera, QN_NET_CLOUD_TIME* order);
int vqCloudDownIndexEx(int32_t camera, const char* folder);
int vqCloudTest(int32_t camera);

// TF-card record search; `files` has room for kRemoteFileLimit (1440) records.
int vqSearchRemoteIndexFile(int32_t camera, const QN_NET_TIME6* day, QN_NET_REMOTE_FILE* files, int* count,
                            int32_t waitMs);
int vqSearchRemoteFile(int32_t camera, const QN_NET_SEARCH_FILE* request, QN_NET_REMOTE_FILE* files, int* count);
int vqSearchLocalFile(const char* folder, const QN_NET_TIME6* day, QN_NET_REMOTE_FILE* files, int* count);
