// The camera service's client SDK: the flat QN_NET_* functions and every
// record that crosses them.
//
// Results: functions return 1 on success and 0 on failure unless a comment
// says otherwise; a failure leaves one code in the SDK-wide error variable
// (QN_NET_GetLastError), which a success never clears.
//
// Callbacks run on SDK threads (the receive thread, the delivery thread, the
// heartbeat and play threads), never on the caller's thread, and some of them
// run while SDK locks are held: a callback must hand its work on and return
// quickly, and must not call back into the SDK (a stop from inside a callback
// would wait for the very thread it runs on).
//
// Records that travel on the wire or are exchanged by value are packed, with
// little-endian integers of fixed width; their sizes are checked below.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// ---------------------------------------------------------------------------
// Message header of every frame on TCP and UDP alike.

struct NET_MSG_HEADER {
    uint32_t magic;    // QN_NET_MSG_MAGIC
    uint32_t msg_id;
    uint32_t version;  // QN_NET_MSG_VERSION
    uint32_t total;    // header plus body, 20..QN_NET_MAX_FRAME
    uint32_t reserved; // 0 on sending
};

enum : uint32_t {
    QN_NET_MSG_MAGIC = 0xFFEEDDCCu,
    QN_NET_MSG_VERSION = 0x00690000u | 4835u,
    QN_NET_MAX_FRAME = 12288u,
};

// ---------------------------------------------------------------------------
// Error codes left in the error variable. Login-server calls may also leave
// the code the server sent in its error answer.

enum : int32_t {
    QN_NET_ERR_NOT_INIT = 11500,
    QN_NET_ERR_NO_LINK = 11501,
    QN_NET_ERR_VIDEO_NO_LINK = 11502,
    QN_NET_ERR_IPC_NO_LINK = 11503,
    QN_NET_ERR_LOCAL_NO_ADDRESS = 11505,
    QN_NET_ERR_LOCAL_CONNECT = 11506,
    QN_NET_ERR_LOGIN_CONNECT = 11507,
    QN_NET_ERR_NOT_SUPPORTED = 11509,
    QN_NET_ERR_MGR_CONNECT = 11510,
    QN_NET_ERR_SIGN_IN = 1203,
    QN_NET_ERR_SOCKET = 12000,
    QN_NET_ERR_BIND = 12002,
    QN_NET_ERR_SEND = 12003,
    QN_NET_ERR_NO_DATA = 12004,
    QN_NET_ERR_CAMERA_OFFLINE = 12005,
    QN_NET_ERR_ILLEGAL_PARAM = 14000,
    QN_NET_ERR_TIMEOUT = 15000,
    QN_NET_ERR_ALARM_PIC_BUSY = 16000,
};

// Events raised through QN_NET_MSG_CALLBACK (record, code, first, second).
enum : int32_t {
    QN_NET_EVENT_SERVER_LOST = 80008,        // (none, 0, 0)
    QN_NET_EVENT_STREAM_STOPPED = 1006,      // (none, camera or 0, play type or value)
    QN_NET_EVENT_LOCAL_ROUTE = 1007,         // (none, camera, 0)
    QN_NET_EVENT_ALARM_PIC_PROGRESS = 1003,  // (none, picture id, percent)
    QN_NET_EVENT_ALARM_PIC_DONE = 1005,      // (picture bytes, picture id, length)
    QN_NET_EVENT_CAMERA_OFFLINE = 20206,     // (8-byte record, camera, 8)
    QN_NET_EVENT_CAMERA_ONLINE = 20207,      // (8-byte record, camera, 8)
    QN_NET_EVENT_PUSHED_MESSAGE = 20240,     // (body, first u32, body length)
    QN_NET_EVENT_UPGRADE_PROGRESS = 20313,   // (32-byte record, 0, 32)
    QN_NET_EVENT_UPGRADE_STATE = 20314,      // (16-byte record, 0, 16)
    QN_NET_EVENT_NOTICE_20320 = 20320,       // (record, value, 44)
    QN_NET_EVENT_NOTICE_20374 = 20374,       // (204-byte record, 0, 204)
};

// Frame types handed to QN_NET_REAL_DATA_CALLBACK.
enum : int32_t {
    QN_NET_FRAME_KEY = 0,
    QN_NET_FRAME_DEPENDENT = 1,
    QN_NET_FRAME_AUDIO_G711A = 3,
};

// ---------------------------------------------------------------------------
// Callbacks.

// Event callback: (record or null, event code, first value, second value,
// user pointer of QN_NET_SetMsgCallBack). Event 1004 named by some callers is
// never raised; the signature has exactly these five parameters.
typedef void (*QN_NET_MSG_CALLBACK)(void* record, int32_t code, int32_t value1, int32_t value2, void* user);
// Companion of the event callback: the byte count of every media message.
typedef void (*QN_NET_BYTE_COUNT_CALLBACK)(int32_t bytes, void* user);
// Stream data: (data, frame type, frame number, length, registration value).
// Every frame but audio (type 3) starts with its 32-bit frame number, the
// length counts those 4 bytes, and the buffer passes to the receiver, which
// releases it with QN_NET_Free. An audio frame stays the SDK's and is valid
// during the call only.
typedef int (*QN_NET_REAL_DATA_CALLBACK)(char* data, int32_t type, int32_t frame_number, int32_t length,
                                         int32_t value);
// Trace lines of the SDK, already prefixed with the local time.
typedef void (*QN_NET_DEBUG_CALLBACK)(const char* text);
// Block counter of QN_NET_CountStreamBlocks: (null, blocks requested, blocks
// counted, 0, 0); (null, -1, 0, 0, 0) on the local route.
typedef void (*QN_NET_BLOCK_COUNT_CALLBACK)(void* record, int32_t requested, int32_t counted, int32_t reserved1,
                                            int32_t reserved2);
// Frames of downloaded cloud segments: (unit bytes, frame type, frame number
// counted from the first key frame as 1, length).
typedef int (*QN_NET_STREAM_FRAME_CALLBACK)(char* data, int32_t type, int32_t frame_number, int32_t length);

// ---------------------------------------------------------------------------
// Login server records.

// Sign-in record of QN_NET_Login.
struct QN_NET_LOGIN_INFO {
    char account[64];
    char password[64];  // plain text; only its salted digest is sent
    uint16_t value1;
    uint16_t value2;
    uint32_t value3;
    char terminal[196]; // must not be empty
};

// Device list request: one page of the account's own (kind 0) or shared
// (kind 1) devices.
struct QN_NET_DEVICE_LIST_REQUEST {
    uint32_t one;        // 1
    uint32_t list_kind;  // 0 own, 1 shared with this account
    uint16_t first_index;
    uint16_t page_size;  // at most 50
    uint16_t two;        // 2
    uint16_t zero;
};

// One device of the account, in the login server's layout. Some callers look
// for more in it (an account text, a shared flag) than 240 bytes hold: the
// shared flag is the list kind the caller asked for, and every other field is
// carried unchanged under the names below.
struct QN_NET_DEVICE_INFO {
    uint32_t device_id;
    char identity[64];
    char model[64];    // the characters from the sixth on name the camera type
    char name[32];
    char text[64];
    uint32_t value;
    char short_text[8];
};

enum { QN_NET_DEVICE_PAGE = 50 };

struct QN_NET_DEVICE_LIST {
    uint32_t total;      // devices in the whole list
    uint16_t reserved1;
    uint16_t count;      // records in this page, at most 50
    uint32_t reserved2;
    QN_NET_DEVICE_INFO devices[QN_NET_DEVICE_PAGE];
};

// Record of QN_NET_GetShareDeviceInfo: one per person the device is shared with.
struct QN_NET_SHARE_INFO {
    uint8_t bytes[68];
};

// ---------------------------------------------------------------------------
// Device records read and written by the device calls (their meaning is the
// camera's; the SDK moves their bytes).

struct QN_NET_VOLUME { int32_t values[4]; };
struct QN_NET_MOTION_DETECTION { uint8_t area[64]; int32_t value; };
struct QN_NET_WIFI { uint8_t bytes[116]; };
// The card's seven state values as the camera answers them (the first four
// are its 16-byte state).
struct QN_NET_TF_INFO { int32_t values[7]; };
struct QN_NET_PTZ_STATUS { int32_t values[6]; };
struct QN_NET_PTZ_POSITION { int32_t mode; int32_t values[4]; }; // mode 2 fetches the panorama picture
struct QN_NET_DEVICE_TIME { int32_t values[5]; };
struct QN_NET_UPGRADE { uint8_t data[16]; }; // sent with upgrade mode 2
struct QN_NET_ALARM_STATE { int32_t values[4]; };
struct QN_NET_UNIT { int32_t values[5]; };
struct QN_NET_FW_PARAMS { int32_t values[4]; };
struct QN_NET_ACCESS_POINT { uint8_t bytes[72]; };
struct QN_NET_GUARD { uint8_t bytes[156]; };
struct QN_NET_LENS_MODEL { uint8_t bytes[100]; };
struct QN_NET_ALARM_SWITCH { uint8_t bytes[152]; };
struct QN_NET_RECORD_SCHEDULE { uint8_t entries[5][16]; int32_t value; };
struct QN_NET_STORAGE_LOCATION { int32_t values[4]; };
// values[0] and values[2]: the answer's values at bytes 0 and 8; values[1]
// is not written.
struct QN_NET_TRACK_STATE { int32_t values[3]; };
struct QN_NET_CLOUD_TIME { uint8_t bytes[220]; };
struct QN_NET_CLOUD_STATE { uint8_t bytes[216]; };

// Configuration record of QN_NET_GetConfigMsg: seven (type, length) pairs,
// then the sections of known types at fixed places.
struct QN_NET_CONFIG {
    struct {
        uint16_t type;
        uint16_t length;
    } sections[7];
    uint8_t section1[28];
    uint8_t section3[44];
    uint8_t section4[8];
    uint8_t section5[68];
    uint8_t section6[16];
    uint8_t section7[12];
};

// ---------------------------------------------------------------------------
// TF-card search and playback records.

struct QN_NET_TIME6 {
    int32_t year, month, day, hour, minute, second;
};

// The search record of QN_NET_SearchRemoteFile and QN_NET_SearchRemote is the
// caller's 52 bytes; the 68 bytes that some descriptions give are the message
// body, which puts four SDK values in front of the record's first 48 bytes and
// its value at 48 behind them.
struct QN_NET_SEARCH_FILE {
    int32_t first;  // 0
    QN_NET_TIME6 start;
    QN_NET_TIME6 end;
};

// One recorded file of a TF-card search (41 values; 29-34 are the start date
// and time, 38-40 the end time).
struct QN_NET_REMOTE_FILE {
    int32_t values[41];
};

enum { QN_NET_REMOTE_FILES_PER_PAGE = 16 };

// ---------------------------------------------------------------------------
// Cloud storage.

// Temporary cloud-storage credentials of one camera. The three times: 2220 the
// start of validity (the effective-video start), 2224 carried unchanged (the
// effective-video end by the callers' reading), 2228 the end of validity (the
// credential lose time, the value the server marks as the expiry).
struct QN_NET_CLOUD_SIGN {
    uint32_t camera_id;
    uint8_t provider[8];
    char object_path[64];  // bucket name, "/", key prefix
    char access_key_id[32];
    char secret_key[64];
    char session_token[2048]; // ten 200-byte pieces, then 48 zero bytes
    uint32_t effective_start;
    uint32_t effective_end;
    uint32_t credential_lose_time;
    char host[64];
    char region[32];
    char service[16];
};

// Download request of QN_NET_Clond_Storage_DownloadFile, passed by value.
// The object name holds 264 characters (2880 bytes in all); one caller's
// description of 256 is the shorter reading of the same field.
struct QN_NET_CLOUD_DOWNLOAD {
    char host[64];
    char region[32];
    char service[16];
    char object_path[64];
    char access_key_id[32];
    char secret_key[64];
    char session_token[2048];
    int32_t clock_offset;    // seconds added to the signing clock, 0
    int32_t timeout_seconds; // 30
    char bucket[32];
    char local_path[256];
    char object_name[264];
};

// Time span of the segment reader: seconds since 1970.
struct QN_NET_TIME_SPAN {
    uint32_t start;
    uint32_t end;
};

#pragma pack(pop)

// Reader state of the cloud segment reader, defined with it.
struct QN_NET_STREAM_READER;

static_assert(sizeof(NET_MSG_HEADER) == 20);
static_assert(offsetof(NET_MSG_HEADER, total) == 12);
static_assert(sizeof(QN_NET_LOGIN_INFO) == 332);
static_assert(offsetof(QN_NET_LOGIN_INFO, terminal) == 136);
static_assert(sizeof(QN_NET_DEVICE_LIST_REQUEST) == 16);
static_assert(sizeof(QN_NET_DEVICE_INFO) == 240);
static_assert(offsetof(QN_NET_DEVICE_INFO, name) == 132);
static_assert(offsetof(QN_NET_DEVICE_INFO, value) == 228);
static_assert(sizeof(QN_NET_DEVICE_LIST) == 12012);
static_assert(offsetof(QN_NET_DEVICE_LIST, count) == 6);
static_assert(sizeof(QN_NET_SHARE_INFO) == 68);
static_assert(sizeof(QN_NET_VOLUME) == 16);
static_assert(sizeof(QN_NET_MOTION_DETECTION) == 68);
static_assert(sizeof(QN_NET_WIFI) == 116);
static_assert(sizeof(QN_NET_TF_INFO) == 28);
static_assert(sizeof(QN_NET_PTZ_STATUS) == 24);
static_assert(sizeof(QN_NET_PTZ_POSITION) == 20);
static_assert(sizeof(QN_NET_DEVICE_TIME) == 20);
static_assert(sizeof(QN_NET_UPGRADE) == 16);
static_assert(sizeof(QN_NET_ACCESS_POINT) == 72);
static_assert(sizeof(QN_NET_GUARD) == 156);
static_assert(sizeof(QN_NET_LENS_MODEL) == 100);
static_assert(sizeof(QN_NET_ALARM_SWITCH) == 152);
static_assert(sizeof(QN_NET_RECORD_SCHEDULE) == 84);
static_assert(sizeof(QN_NET_STORAGE_LOCATION) == 16);
static_assert(sizeof(QN_NET_TRACK_STATE) == 12);
static_assert(sizeof(QN_NET_CLOUD_TIME) == 220);
static_assert(sizeof(QN_NET_CLOUD_STATE) == 216);
static_assert(sizeof(QN_NET_CONFIG) == 204);
static_assert(offsetof(QN_NET_CONFIG, section5) == 108);
static_assert(sizeof(QN_NET_SEARCH_FILE) == 52);
static_assert(sizeof(QN_NET_REMOTE_FILE) == 164);
static_assert(sizeof(QN_NET_CLOUD_SIGN) == 2344);
static_assert(offsetof(QN_NET_CLOUD_SIGN, session_token) == 172);
static_assert(offsetof(QN_NET_CLOUD_SIGN, effective_start) == 2220);
static_assert(offsetof(QN_NET_CLOUD_SIGN, credential_lose_time) == 2228);
static_assert(offsetof(QN_NET_CLOUD_SIGN, host) == 2232);
static_assert(offsetof(QN_NET_CLOUD_SIGN, service) == 2328);
static_assert(sizeof(QN_NET_CLOUD_DOWNLOAD) == 2880);
static_assert(offsetof(QN_NET_CLOUD_DOWNLOAD, clock_offset) == 2320);
static_assert(offsetof(QN_NET_CLOUD_DOWNLOAD, bucket) == 2328);

extern "C" {

// ---------------------------------------------------------------------------
// Life cycle, results and callbacks.

// Starts the SDK for the login server at `login_server` (dotted IPv4). A
// second call while initialised returns 1 at once.
int QN_NET_Init(const char* login_server);
// Stops every thread and connection; refused (0) while signed in.
int QN_NET_Cleanup(void);
int QN_NET_GetLastError(int32_t* code);
// Allowed before QN_NET_Init; any of the three may be null.
int QN_NET_SetMsgCallBack(QN_NET_MSG_CALLBACK callback, QN_NET_BYTE_COUNT_CALLBACK byte_count, void* user);
int QN_NET_SetRealDataCallBack(QN_NET_REAL_DATA_CALLBACK callback, int32_t value);
int QN_NET_SetDebugCallBack(QN_NET_DEBUG_CALLBACK callback);
// Releases a frame buffer handed over by a data callback; null is ignored.
void QN_NET_Free(void* buffer);

// Ports of the service, for pointing the SDK at a test service. The login
// port defaults to 19000 and the local UDP ports run from 18050 to 18100; a 0
// keeps the current value. Takes effect for the next connection or bind.
int QN_NET_SetServicePorts(uint16_t login_port, uint16_t udp_first, uint16_t udp_last);

// ---------------------------------------------------------------------------
// Login server (each call opens and closes its own connection). Text
// arguments (char) are read up to their terminator or their width; record
// arguments (uint8_t) must hold their full size.

int QN_NET_Login(const QN_NET_LOGIN_INFO* info, uint32_t* mgr_address, uint32_t* user_id);
int QN_NET_Logout(uint32_t user_id);
// The account's salt (16 bytes); the account text is at most 64 bytes.
int QN_NET_MD5(const char* account, uint8_t salt[16]);
int QN_NET_GetDeviceList(const QN_NET_DEVICE_LIST_REQUEST* request, QN_NET_DEVICE_LIST* list);
int QN_NET_SignUp(const uint8_t record[256], uint16_t value);
int QN_NET_GetVerifyCode(const uint8_t record[64]);
int QN_NET_ResetPassword(const uint8_t record[192]);
int QN_NET_ResetPasswordEx(const uint8_t record[192]);
int QN_NET_AddTerminal(const uint8_t record[772]);
int QN_NET_AddDevice(const uint8_t record[192], uint8_t answer[72]);
int QN_NET_AddDeviceEx(const uint8_t record[192], uint8_t answer[72]);
int QN_NET_DeleteDevice(const uint8_t record[64]);
// Copies at most 288 bytes of the answer.
int QN_NET_GetAppVersion(uint16_t device_type, uint8_t answer[288]);
// The following four return the answer's value, or -1.
int QN_NET_GetDeviceid(const uint8_t record[64]);
int QN_NET_BindState(const char text[64], uint8_t answer[64]);
int QN_NET_VerityAccount(const uint8_t record[64]);
int QN_NET_CheckVerifyCode(const char first[64], const char second[64]);
int QN_NET_ApplyTestAccount(uint16_t device_type, uint8_t answer[66]);
int QN_NET_DeleteApplyAccount(const uint8_t record[66]);
int QN_NET_ModifyDevName(uint32_t device_id, const char name[32]);
int QN_NET_GetDeviceVersion(uint32_t device_id, uint8_t answer[152]);
int QN_NET_GetSSID(const uint8_t record[128], uint8_t answer[64]);
// The record's bytes 0-63 and 128-191 are sent, 64-127 name the sharer whose
// salt is fetched, and the text at 192 (64) is the password that is salted.
int QN_NET_ShareDevice(uint32_t device_id, const uint8_t record[256], int32_t* result);
// Writes at most `capacity` records and their number.
int QN_NET_GetShareDeviceInfo(uint32_t device_id, QN_NET_SHARE_INFO* records, int32_t capacity, int32_t* count);
int QN_NET_DelShareDevice(uint32_t device_id, uint32_t value);
int QN_NET_ApplySendNotification(const uint8_t record[92]);
int QN_NET_GetMainDeviceList(const uint8_t record[80], uint8_t answer[212]);
int QN_NET_GetDeviceMsgById(uint32_t value1, uint32_t value2, uint32_t value3, QN_NET_DEVICE_INFO* device);

// ---------------------------------------------------------------------------
// Management and local connections.

// type 1: the management server of the last login; type 2: the device at
// (address, port) on the local network, `mark` telling whether a running
// local connection serves the same request.
int QN_NET_Base_connect(int32_t type, uint32_t address, int32_t port, int32_t mark);
int QN_NET_Mgr_SignIn(void);
int QN_NET_Base_DisConnect(void);
int QN_NET_Camera_Mgr_DisConnect(int32_t camera);
// Sends the online-state request and returns 1 when it was sent; the answer
// arrives as event 20207 (on line) or 20206 (off line).
int QN_NET_OnLineState(int32_t camera);
int QN_NET_LocalConnect(int32_t camera);

// ---------------------------------------------------------------------------
// Live play.

// `route` receives 1 for the local route and 0 for the public route.
int QN_NET_StartRealPlay(int32_t camera, int32_t* route);
int QN_NET_StopRealPlay(int32_t camera);
int QN_NET_LocalRealPlay(int32_t camera, uint32_t address, int32_t port);
int QN_NET_CountStreamBlocks(int32_t seconds, QN_NET_BLOCK_COUNT_CALLBACK callback);

// ---------------------------------------------------------------------------
// Device configuration, state and control.

int QN_NET_BrightCtrl(int32_t camera, int32_t brightness, int32_t control);
int QN_NET_Brightness(int32_t camera, int32_t* brightness, int32_t* value);
int QN_NET_GetInstallState(int32_t camera);  // the state, or -1
int QN_NET_SetInstallState(int32_t camera, int32_t type);
int QN_NET_GetLanType(int32_t camera);       // the type, or -1
int QN_NET_SetLanType(int32_t camera, int32_t type);
int QN_NET_GetZoneType(int32_t camera);      // the zone, or -1
int QN_NET_SetZoneType(int32_t camera, int32_t zone, int32_t value);
int QN_NET_GetVolume(int32_t camera, QN_NET_VOLUME* volume);
int QN_NET_SetVolume(int32_t camera, const QN_NET_VOLUME* volume);
int QN_NET_SetStreamType(int32_t camera, int32_t type);  // 0 high definition, 1 fluent
int QN_NET_Upgrade(int32_t mode, int32_t camera, const QN_NET_UPGRADE* upgrade);
int QN_NET_StopUpgrade(int32_t camera);
int QN_NET_GetTalkState(int32_t camera);     // the state, or -1
int QN_NET_GetMotionDT(int32_t camera, QN_NET_MOTION_DETECTION* motion);
int QN_NET_SetMotionDT(int32_t camera, const QN_NET_MOTION_DETECTION* motion);
int QN_NET_GetWifiValue(int32_t camera, QN_NET_WIFI* wifi);
int QN_NET_GetTfinfo(int32_t camera, QN_NET_TF_INFO* info);
int QN_NET_SetTfinfo(int32_t camera, const QN_NET_TF_INFO* info);
int QN_NET_SetUnit(int32_t camera, const QN_NET_UNIT* unit);
int QN_NET_PTZ_GetDevStatus(int32_t camera, int32_t value, QN_NET_PTZ_STATUS* status, int32_t local);
int QN_NET_PTZ_SetPosition(int32_t camera, const QN_NET_PTZ_POSITION* position, int32_t local);
int QN_NET_GetAlarmState(int32_t camera, int32_t alarm_type, QN_NET_ALARM_STATE* state);
int QN_NET_SetAlarmState(int32_t camera, int32_t alarm_type, const QN_NET_ALARM_STATE* state);
int QN_NET_GetSysTime(int32_t camera, QN_NET_DEVICE_TIME* time);
int QN_NET_GetConfigMsg(int32_t camera, int32_t value, QN_NET_CONFIG* config);
// Sends the record's first 116 bytes.
int QN_NET_SetConfigMsg(int32_t camera, const QN_NET_CONFIG* config);
int QN_NET_GetFwParams(int32_t camera, int32_t value, QN_NET_FW_PARAMS* params);
int QN_NET_RebootCamera(int32_t camera);
// Sends the record and replaces it with the camera's answer.
int QN_NET_SetApPasswd(int32_t camera, QN_NET_ACCESS_POINT* access_point);
int QN_NET_GetIpcGuard(int32_t camera, QN_NET_GUARD* guard);
int QN_NET_SetIpcGuard(int32_t camera, const QN_NET_GUARD* guard);
int QN_NET_SetLmParam(int32_t camera, const QN_NET_LENS_MODEL* lens);
int QN_NET_GetLmParam(int32_t camera, QN_NET_LENS_MODEL* lens);
int QN_NET_SetSwitchAlarm(int32_t camera, const QN_NET_ALARM_SWITCH* alarm);
int QN_NET_GetSwitchAlarm(int32_t camera, QN_NET_ALARM_SWITCH* alarm);
int QN_NET_SetRecrrdTime(int32_t camera, const QN_NET_RECORD_SCHEDULE* schedule);
int QN_NET_GetRecrrdTime(int32_t camera, QN_NET_RECORD_SCHEDULE* schedule);
int QN_NET_SetRecordStorageLocation(int32_t camera, const QN_NET_STORAGE_LOCATION* location);
int QN_NET_GetRecordStorageLocation(int32_t camera, QN_NET_STORAGE_LOCATION* location);
int QN_NET_SetTrackState(int32_t camera, int32_t state);
int QN_NET_GetTrackState(int32_t camera, QN_NET_TRACK_STATE* state);
// The TF-card record index search; the answer goes to the caller's index parser.
int QN_NET_SearchRemote(int32_t camera, const QN_NET_SEARCH_FILE* search);

// ---------------------------------------------------------------------------
// TF-card playback, remote file search and talk.

// One page of at most 16 files; `count` receives their number.
int QN_NET_SearchRemoteFile(int32_t camera, const QN_NET_SEARCH_FILE* search, QN_NET_REMOTE_FILE* files,
                            int32_t* count);
int QN_NET_PlayBack(int32_t camera, const QN_NET_REMOTE_FILE* file, QN_NET_REAL_DATA_CALLBACK callback,
                    int32_t playback_value, int32_t callback_value);
// Controls 0 pause, 1 resume, 2 and 3 step, 4 seek to `value` percent; the
// send result, 0 for any other control.
int QN_NET_PlayBackControl(int32_t camera, int32_t control, int32_t value);
int QN_NET_StopPlayBack(int32_t camera);
int QN_NET_TalkCtrl(int32_t camera, int32_t on);
int QN_NET_SendTalkData(int32_t value, const char* data, int32_t length);

// ---------------------------------------------------------------------------
// Alarm pictures.

// The answer's status (1 the picture follows as events 1003/1005, 0 no
// picture, 2 no TF card), or -1.
int QN_NET_GetAlarmPic(int32_t camera, int32_t value2, int32_t value3, int32_t value4, int32_t value5,
                       int32_t value6);

// ---------------------------------------------------------------------------
// Cloud storage. The credential calls go over the management connection; the
// transfers return 0 on success or a small negative code and leave the error
// variable alone.

int QN_NET_Clond_Storage_GetServerSign(int32_t camera, int32_t now, QN_NET_CLOUD_SIGN* sign);
int QN_NET_Clond_Storage_GetServerTime(int32_t camera, int32_t value, QN_NET_CLOUD_TIME* time);
int QN_NET_Clond_Storage_GetServerTime_From_Ipc(int32_t camera, QN_NET_CLOUD_TIME* time);
// Has no message of its own: fails with the time-out code.
int QN_NET_Clond_Storage_GetState(int32_t camera, int32_t state[4]);
int QN_NET_Clond_Storage_SetState(int32_t camera, int32_t value);

// 0, -1 failure, -2 HTTP 400 (fetch new credentials), -3 HTTP 403 or 404.
int QN_NET_Clond_Storage_Download_Aws(int32_t camera, const char* host, const char* region, const char* service,
                                      const char* local_path, const char* object_path, const char* object_name,
                                      const char* access_key_id, const char* secret_key, const char* session_token,
                                      int32_t clock_offset, int32_t timeout_seconds);
int QN_NET_Clond_Storage_DownloadFile(int32_t camera, QN_NET_CLOUD_DOWNLOAD request);
// 1 on success; default endpoint, clock offset 0, 5 seconds.
int QN_NET_Clond_Storage_Download(const char* object_path, const char* object_name, const char* local_path,
                                  const char* access_key_id, const char* secret_key, const char* session_token);
// 0, -1 (signing failed), -2 (transfer failed).
int QN_NET_Clond_Storage_Upload_Aws(const char* host, const char* region, const char* service, const char* local_path,
                                    const char* object_path, const char* object_name, const char* access_key_id,
                                    const char* secret_key, const char* session_token, int32_t clock_offset,
                                    int32_t timeout_seconds);
int QN_NET_Clond_Storage_DeleteFile_Aws(const char* host, const char* region, const char* service,
                                        const char* object_path, const char* object_name, const char* access_key_id,
                                        const char* secret_key, const char* session_token, int32_t clock_offset,
                                        int32_t timeout_seconds);
// At most 1000 keys.
int QN_NET_Clond_Storage_DeleteMultipleFile_Aws(const char* host, const char* region, const char* service,
                                                const char* object_path, const char* access_key_id,
                                                const char* secret_key, const char* session_token,
                                                const char* const* keys, int32_t count, int32_t clock_offset,
                                                int32_t timeout_seconds);

// Cloud segments. QN_NET_ReadStreamFile opens the reader on the segments of
// `span` listed by the day index in `folder` (with a null folder, on the
// reader's own file path); 1 when a source is open.
int QN_NET_ReadStreamFile(QN_NET_STREAM_READER* reader, const QN_NET_TIME_SPAN* span, const char* folder);
// Reads the next frame and hands it to `callback`. Returns 1 after a frame,
// 2 after the first frame of a newly opened segment (so the segment before it
// has been read through), 0 when no segment is left, -2 when the next segment
// cannot be opened (the caller moves on), -3 when no source is open. Frame
// types are those of the segment's units.
int QN_NET_Parse_Stream(int32_t camera, QN_NET_STREAM_READER* reader, const QN_NET_TIME_SPAN* span,
                        QN_NET_STREAM_FRAME_CALLBACK callback);

}  // extern "C"
