// The camera-SDK hub: brings the network SDK up and down step by step, keeps
// the sign-in state, reports every failure once through one message callback
// and puts one operation in front of each SDK call the play modules and the
// facade use. One object per process.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <thread>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrSystem/cloud_sign_cache.h"
#include "vqSDK/VlrSystem/resource_pack.h"
#include "vqSDK/VlrSystem/packet_ring.h"

// Every failure report and refusal text: (code, second value, text, user
// pointer, user value).
typedef void (*VLR_MSG_CALLBACK)(int32_t code, int32_t value, const char* text, void* user, int32_t userValue);
// The platform's panorama events: (record, event kind, item text, user
// pointer, user value).
typedef void (*VLR_GL_MSG_CALLBACK)(void* record, int32_t value, const char* item, void* user, int32_t userValue);
// The record a "Local_region" item carries: each region's position clamped
// into its own extent.
enum { VLR_LOCAL_REGIONS_MAX = 16 };
struct VLR_LOCAL_REGION {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};
struct VLR_LOCAL_REGIONS {
    int32_t count;
    VLR_LOCAL_REGION regions[VLR_LOCAL_REGIONS_MAX];
};
// The SDK's events after translation: (kind, data block, extra integer, user
// pointer, user value).
typedef void (*VLR_NET_EVENT_CALLBACK)(int32_t kind, void* data, int32_t extra, void* user, int32_t userValue);

enum VlrStateBit : uint32_t {
    VLR_STATE_PACK_BUILT = 1u << 0,
    VLR_STATE_READY = 1u << 2,
    VLR_STATE_SIGNED_IN = 1u << 3,
    VLR_STATE_SDK_INIT = 1u << 4,
};

// The network event kinds the facade receives.
enum VlrNetEventKind {
    VLR_NET_PUSHED_MESSAGE = 0,    // eight words of the message, zero where it was shorter
    VLR_NET_STREAM_LOST = 1,       // the camera (one word)
    VLR_NET_LOCAL_ROUTE = 2,       // the camera (one word)
    VLR_NET_CAMERA_OFFLINE = 3,    // the camera (one word)
    VLR_NET_CAMERA_ONLINE = 4,     // the camera (one word)
    VLR_NET_SERVER_LOST = 5,       // no data
    VLR_NET_NOTICE_20320 = 6,      // eleven words
    VLR_NET_ALARM_PIC_PROGRESS = 7,// picture id, percent
    VLR_NET_ALARM_PIC_DONE = 8,    // VLR_ALARM_PICTURE
    VLR_NET_UPGRADE_PROGRESS = 10, // words 1-2, 16-character text, words 7-8 (32 bytes)
    VLR_NET_UPGRADE_STATE = 11,    // four words
    VLR_NET_NOTICE_20374 = 17,     // the 204-byte record
};
enum { VLR_NOTICE_20374_BYTES = 204 };
struct VLR_ALARM_PICTURE {
    int32_t pictureId;
    int32_t length;
    const void* picture; // the SDK's, valid during the call
};

enum VlrReportKind { VLR_REPORT_NET_SDK = 0, VLR_REPORT_STATE = 1, VLR_REPORT_PARAM = 2, VLR_REPORT_MONTAGE = 3 };

// Which camera list GetCameraList copies: the kind tag written after each
// 240-byte device record.
enum { VLR_CAMERA_OWN = 0, VLR_CAMERA_SHARED = 1 };
struct VLR_CAMERA_ENTRY {
    QN_NET_DEVICE_INFO device;
    int32_t listKind;
};
static_assert(sizeof(VLR_CAMERA_ENTRY) == 244);

// One recorded slot of a cloud day index: its segment file (empty when no
// segment starts there), its start and end (seconds since 1970) and flag sum.
struct VLR_CLOUD_INDEX_ENTRY {
    char name[1024];
    int32_t start;
    int32_t end;
    int32_t sum;
};

struct __tag_point3D;
struct _qnpl_ptz_jpg_tail_;
struct _vm_screen;
namespace streams {
class SecurityKeys;
}
namespace qn_cloud {
struct MinuteIndexEntry;
}
class QN_PTZLINK;

// The start record of "start_ptz_union", as the facade builds it.
#pragma pack(push, 1)
struct VLR_PTZ_UNION_START {
    int32_t correctionLength;
    uint8_t correction[260];
    uint64_t panoType;
    uint8_t rows;
    int32_t highDynamic;
};
#pragma pack(pop)

// One frame a play module records: the type code's low four bits are the
// kind (0 video, 1 G.711 A-law, 4 SPS, 5 PPS, 6 SEI, 7 private SEI, 8 private
// SEI of another frame), bit 5 marks a key frame; the word holds a key
// frame's rate in bits 0-15 and the audio word in bits 16-31.
struct VLR_RECORD_FRAME {
    uint32_t typeCode;
    uint32_t word;
    uint32_t frameNumber;
    uint32_t length;
    const uint8_t* data;
    uint16_t width;
    uint16_t height;
};
enum { VLR_RECORD_KEY_MARK = 1u << 5 };

// Called when the coder reports the end of a recording: (1, 0, owner, value).
typedef void (*VLR_RECORD_END_CALLBACK)(int32_t code, int32_t detail, void* owner, int32_t value);

// The live model table ("realplay"): entry 0 is the pack, entries 34 to 42
// the model's functions, each taking the caller's user id first.
enum { VLR_LIVE_MODEL_FIRST = 34, VLR_LIVE_MODEL_ENTRIES = 43 };
typedef int (*VLR_MODEL_SET_CAMERA)(int32_t user, const char* camera);          // 34
typedef int (*VLR_MODEL_PLAIN)(int32_t user);                                    // 35, 38
typedef int (*VLR_MODEL_START)(int32_t user, int32_t* handle);                   // 36
typedef int (*VLR_MODEL_SET_QUALITY)(int32_t user, const char* quality);        // 37
typedef int (*VLR_MODEL_RECORD_CONTROL)(int32_t user, const char* fileName, int32_t start, int64_t* result); // 39
typedef int (*VLR_MODEL_WRITE_FRAME)(int32_t user, const VLR_RECORD_FRAME* frame); // 40
typedef int (*VLR_MODEL_SET_RECORD_END)(int32_t user, VLR_RECORD_END_CALLBACK callback, void* owner, int32_t value); // 41
typedef int (*VLR_MODEL_SET_WORDS)(int32_t user, int32_t first, int32_t second, int32_t third); // 42

// The TF-card model table ("ipc_rcd"): entry 0 is the pack, entries 2 to 12
// the model's functions. The playback data callback receives each frame of
// TF-card playback; the buffer is released after it returns.
enum { VLR_TF_MODEL_FIRST = 2, VLR_TF_MODEL_ENTRIES = 13 };
typedef int (*VLR_PLAYBACK_DATA_CALLBACK)(char* data, int64_t type, int64_t number, int64_t length, void* owner,
                                          int32_t value);
typedef int (*VLR_MODEL_PLAYBACK)(int32_t user, const QN_NET_REMOTE_FILE* request);       // 4
typedef int (*VLR_MODEL_SET_SPEED)(int32_t user, float value);                               // 7
typedef int (*VLR_MODEL_SEEK)(int32_t user, const char* percent);                            // 10
typedef int (*VLR_MODEL_SET_PLAYBACK_DATA)(int32_t user, VLR_PLAYBACK_DATA_CALLBACK callback, void* owner,
                                           int32_t value);                                   // 12
// Entries 2 (camera), 3, 5, 6 (stop), 8, 9 and 11 take the live model's forms
// of entries 34, 35, 38, 39, 40 and 41.

// The MP4 coder's frame type of a record frame's type code.
int RecordFrameCoderType(uint32_t typeCode);

class VLR_SYSTEM {
public:
    VLR_SYSTEM();
    ~VLR_SYSTEM();
    VLR_SYSTEM(const VLR_SYSTEM&) = delete;
    VLR_SYSTEM& operator=(const VLR_SYSTEM&) = delete;

    int Init(const char* step, const char* text);
    int SetMsgCallBack(VLR_MSG_CALLBACK callback, void* user, int32_t userValue);
    int SetNetEventCallBack(VLR_NET_EVENT_CALLBACK callback, void* user, int32_t userValue);
    int SetGLMsgCallBack(VLR_GL_MSG_CALLBACK callback, void* user, int32_t userValue);
    // The stream platform's event callback (registered by "data_base" with
    // the hub as its first value): passes each item on to the GL message
    // callback, "Local_region" as a VLR_LOCAL_REGIONS record, "cam_original"
    // and "cam_middle" without their record, "cam_perspective" not at all.
    static void montEventCBFun(int handle, int kind, uint32_t low, uint32_t high, const char* item, void* hub,
                               void* unused);
    uint32_t State() const { return state_.load(); }
    // The live model (the live play module is user 1): set the camera from
    // its decimal text, start (the route through `handle`), choose the
    // quality ("hd", "fluency") and stop. 0 for another user.
    int LiveSetCamera(int user, const char* camera);
    int LiveStart(int user, int32_t* handle);
    int LiveSetQuality(int user, const char* quality);
    int LiveStop(int user);
    // Starts (the coder's result) or stops (1, the stop's result through
    // `result`) the recording of the live model.
    int LiveRecordControl(int user, const char* fileName, int start, int64_t* result);
    int LiveWriteFrame(int user, const VLR_RECORD_FRAME* frame);
    int LiveSetRecordEnd(int user, VLR_RECORD_END_CALLBACK callback, void* owner, int32_t value);
    int LiveSetWords(int user, int32_t first, int32_t second, int32_t third);
    // The TF-card model (the TF-card play module is user 2).
    int CardSetCamera(int user, const char* camera);
    int CardPlayBack(int user, const QN_NET_REMOTE_FILE* request);
    int CardStop(int user);
    int CardSetSpeed(int user, float value);
    int CardRecordControl(int user, const char* fileName, int start, int64_t* result);
    int CardWriteFrame(int user, const VLR_RECORD_FRAME* frame);
    int CardSeek(int user, const char* percent);
    int CardSetRecordEnd(int user, VLR_RECORD_END_CALLBACK callback, void* owner, int32_t value);
    int CardSetPlaybackData(int user, VLR_PLAYBACK_DATA_CALLBACK callback, void* owner, int32_t value);

    // Puts one live packet (type 0 key frame, 1 other video frame, 3 G.711
    // A-law) into the play worker's ring, which feeds the "single" source in
    // order; 0 when the packet was dropped.
    int PutPacket(const uint8_t* data, int32_t length, int32_t type, int32_t number);

    // Settings and queries by name; 1 or the query's answer, 0 after a report.
    int SetInfo(const char* name, const char* item, const char* value);
    int GetInfo(const char* name, const char* item, char* buffer, int length);
    // The video window's checks before it uses the pack: 1 when the pack is
    // built and (CheckInput) the count, clamped to 0..2, is 0 or both points
    // are given; otherwise 0 after "Not set source packet" or "Input
    // parameter error" through the message callback.
    int CheckInput(int32_t count, const void* first, const void* second);
    int IsSourcePackSet();
    // The pack once it is built; null after "Not set source packet".
    const RESPACK* GetSourcePackData();
    // A TF-card record index reply of the day of `dayTime`: one record for
    // each minute where a recording starts, at most `capacity`. The count, 0
    // for a reply shorter than its head, -1 for one that is no index; 0
    // after "paramerr :: ParseRemoteIndex" for a missing argument.
    int ParseRemoteIndex(qn_cloud::MinuteIndexEntry* records, int capacity, int64_t dayTime, const uint8_t* reply,
                         int32_t length);

    // Once the hub is ready: "realplay" the live model table, "ipc_rcd" the
    // TF-card model table, "file_play" the pack itself.
    void* GetSourcePack(const char* model);

    // "start_ptz_union", "stop_ptz_union" and "get_next_ptz": 1 (2 when every
    // position was handed out), 0 after a report.
    int SendCtrl(const char* command, const VLR_PTZ_UNION_START* start, __tag_point3D* point);

    // The PTZ pictures of a running union. A picture with its 32-byte head
    // goes in once the linkage library is ready for it: 1, with the head's pan
    // (tenths of a degree) and tilt (tenths of a degree, 0 level); 2 without
    // input for a head at the last one's position; 0 after "Input parameter
    // error", "ready_for_input error" or "InputPTZImage err".
    int InputPtzImage(_vm_screen* picture, const _qnpl_ptz_jpg_tail_* head, int32_t* pan, int32_t* tilt);
    // A JPEG picture into the "single" source; 0 after a report.
    int InputJpeg(const uint8_t* data, int32_t length);
    // 1 when the library takes the head for a duplicate of the last picture.
    int CheckPtzDuplicate(const _qnpl_ptz_jpg_tail_* head);
    // A copy of the finished union image (0x00RRGGBB rows, top first) and its
    // tilt range; 0 before it is ready.
    struct UnionImage {
        int32_t width = 0;
        int32_t height = 0;
        std::vector<uint32_t> pixels;
        uint16_t upperTilt = 0; // tenths of a degree plus 1800
        uint16_t lowerTilt = 0;
    };
    int GetUnionImage(UnionImage* image);

    // Reports once through the message callback; 1 when it went out, 0
    // without a callback.
    int ReportError(int kind, const char* operation, int32_t first = 0, int32_t second = 0);

    // The SDK wrappers (1 success, 0 after a report).
    int NetInit(const char* serverAddress);
    int MgrConnect();
    int MgrDisConnect();
    int DevBaseDisConnect();
    int Login(const QN_NET_LOGIN_INFO* info, uint32_t* mgrAddress, uint32_t* userId);
    int Logout(uint32_t userId);
    // `which` "all", "mycam" or "share"; fills at most capacity - 1 entries.
    int GetCameraList(const char* which, VLR_CAMERA_ENTRY* entries, int capacity, int* count, int start);
    int OnLineState(int32_t camera);
    int GetTfinfo(int32_t camera, QN_NET_TF_INFO* info);
    int SearchRemoteFile(QN_NET_REMOTE_FILE* files, int* count, int32_t camera, int capacity,
                         const QN_NET_TIME6& start, const QN_NET_TIME6& end);
    // The account's new device, signed with the service's fixed device password.
    int AddDevice(const char* account, const char* device, uint8_t answer[72]);

    // Thin wrappers, each in front of the SDK function of its name (its
    // report name unless said otherwise). 1 on success, with the reply copied
    // into the caller's record (when given); 0 after one report. Functions
    // whose SDK result is a state (-1 failure) give it through `state`.
    int GetVolume(int32_t camera, QN_NET_VOLUME* volume);
    int SetVolume(int32_t camera, const QN_NET_VOLUME* volume);
    int GetWifiValue(int32_t camera, QN_NET_WIFI* wifi);
    int TalkCtrl(int32_t camera, bool on);
    int SendTalkData(int32_t camera, const char* data, int32_t length);
    int GetTalkState(int32_t camera, int32_t* talking); // 1 talking, else 0
    int PTZ_SetPosition(int32_t camera, const QN_NET_PTZ_POSITION* position, int32_t local);
    // Asks the camera for its TF-card record index of the search's span; the
    // index arrives later as network events 17, one packet at a time.
    int SearchRemoteIndexFile(int32_t camera, const QN_NET_SEARCH_FILE* search);
    // No report: the SDK's result; `location` gets the reply's first value.
    int GetRecordStorageLocation(int32_t camera, int32_t* location);
    // These four give the service's answer value, -1 on failure.
    int VerityAccount(const uint8_t record[64], int32_t* known); // 1 for any answer but 0
    int CheckVerifyCode(const char first[64], const char second[64], int32_t* answer);
    int BrightCtrl(int32_t camera, int32_t brightness, int32_t control);
    int Brightness(int32_t camera, int32_t* brightness, int32_t* value);
    int DeleteApplyAccount(const uint8_t record[66]);
    int DeleteDevice(const uint8_t record[64]);
    int DelShareDevice(uint32_t device, uint32_t value);
    int GetAppVersion(uint16_t deviceType, uint8_t answer[288]);
    int BindState(const char text[64], uint8_t answer[64], int32_t* state);
    int GetDeviceid(const uint8_t record[64], int32_t* device);
    int ApplyTestAccount(uint16_t deviceType, uint8_t answer[66]);
    int GetShareDeviceInfo(uint32_t device, QN_NET_SHARE_INFO* records, int32_t capacity, int32_t* count);
    int GetDeviceVersion(uint32_t device, uint8_t answer[152]);
    int GetInstallState(int32_t camera, int32_t* state);
    int SetInstallState(int32_t camera, int32_t type);
    int GetLanType(int32_t camera, int32_t* type);
    int SetLanType(int32_t camera, int32_t type);
    int GetZoneType(int32_t camera, int32_t* zone);
    int SetZoneType(int32_t camera, int32_t zone, int32_t value);
    int GetMotionDT(int32_t camera, QN_NET_MOTION_DETECTION* motion);
    int SetMotionDT(int32_t camera, const QN_NET_MOTION_DETECTION* motion);
    int PTZ_GetDevStatus(int32_t camera, int32_t value, QN_NET_PTZ_STATUS* status, int32_t local);
    int GetSSID(const uint8_t record[128], uint8_t answer[64]);
    int ModifyDevName(uint32_t device, const char name[32]);
    int RebootCamera(int32_t camera);
    int SignUp(const uint8_t record[256], uint16_t value);
    int ResetPassword(const uint8_t record[192]);
    int ResetPasswordEx(const uint8_t record[192]);
    int ShareDevice(uint32_t device, const uint8_t record[256], int32_t* result);
    int Upgrade(int32_t mode, int32_t camera, const QN_NET_UPGRADE* upgrade);
    int StopUpgrade(int32_t camera);
    int GetVerifyCode(const uint8_t record[92]);          // "QN_NET_GetVerifyCode"
    // The device sign-in on the local network: the connection's address and
    // port, and the device text whose first eight hexadecimal characters,
    // cut to 31 bits, mark the request ("dev QN_NET_Mgr_SignIn").
    int DevSignIn(uint32_t address, int32_t port, const char* mark);
    int GetAllConfig(int32_t camera, QN_NET_CONFIG* config);   // message 125; "GetAllConfig"
    int GetEncryption(int32_t camera, QN_NET_CONFIG* config);  // message 64; "GetEncryption"
    int GetPTZConnectType(int32_t camera);                     // "GetPTZConnectType"
    int SetTfCard(int32_t camera, const QN_NET_TF_INFO* info); // "SetTfCard"
    // No report: the SDK's answer status (1 the picture follows as events),
    // or -1.
    int GetAlarmPic(int32_t camera, int32_t value2, int32_t value3, int32_t value4, int32_t value5, int32_t value6);
    // Writes the camera's encryption record; once the camera took it, the
    // video password becomes the hub's key of `slot` ("default" or
    // "default_old"). "SetEncryption"; kind 2 for a missing argument or
    // another slot.
    int SetEncryption(int32_t camera, const QN_NET_CONFIG* config, const char* slot, const char* password);
    // The key text the hub holds for "default" (empty without one).
    std::string EncryptionKeyText(const char* slot);

    // The camera's storage order (device, user, provider, storage mode, order
    // start and end).
    int vqCloudOrder(int32_t camera, QN_NET_CLOUD_TIME* order);
    // The order query, the credentials and today's day index into
    // "<temporary folder><camera>/": the credentials' result (1 or 0).
    int vqCloudTest(int32_t camera);

    // Fetches today's cloud day index of `camera` into `folder` (ending in its
    // separator) and keeps its recorded slots: 0, -2 without credentials, -5
    // when the index does not parse, else the download's code.
    int vqCloudDownIndexEx(int32_t camera, const char* folder);
    // The slots of the last day index fetched.
    std::vector<VLR_CLOUD_INDEX_ENTRY> CloudDayIndex();
    // The camera's cached credentials while they hold, else new ones.
    int CloudSign(int32_t camera, QN_NET_CLOUD_SIGN* sign);

private:
    void RecomputeReady();
    bool BuildResourcePack();
    // Copies a list of one kind, page by page, into entries[*count...].
    bool CopyCameraPages(uint32_t listKind, VLR_CAMERA_ENTRY* entries, int capacity, int* count, int start);
    static void OnSdkEvent(void* record, int32_t code, int32_t value1, int32_t value2, void* user);
    static void OnByteCount(int32_t, void*) {}
    void RelayEvent(void* record, int32_t code, int32_t value1, int32_t value2);

    std::unique_ptr<streams::Montage> platform_;
    std::unique_ptr<streams::StreamQueue> queue_;
    std::unique_ptr<streams::MP4QUE> mp4Queue_;
    RESPACK pack_{};
    void* liveModel_[VLR_LIVE_MODEL_ENTRIES] = {};
    void* cardModel_[VLR_TF_MODEL_ENTRIES] = {};
    std::once_flag liveModelFilled_, cardModelFilled_;
    void FillLiveModel();
    void FillCardModel();
    void FillLiveEntries();
    void FillCardEntries();
    void ForgetModels();

    struct RecordEnd {
        VLR_RECORD_END_CALLBACK callback = nullptr;
        void* owner = nullptr;
        int32_t value = 0;
    };
    int RecordControl(RecordEnd* end, const char* fileName, int start, int64_t* result);
    int WriteRecordFrame(const VLR_RECORD_FRAME* frame);
    static void OnLiveCoderEvent(int code, int value, void* user);
    static void OnCardCoderEvent(int code, int value, void* user);
    static int OnCardData(char* data, int32_t type, int32_t number, int32_t length, int32_t value);

    std::mutex modelMutex_;
    std::unique_ptr<streams::SecurityKeys> keys_;  // under modelMutex_
    RecordEnd liveRecordEnd_;
    RecordEnd cardRecordEnd_;
    int32_t liveWords_[3] = {};
    std::atomic<int32_t> cardCamera_{0};
    VLR_PLAYBACK_DATA_CALLBACK cardData_ = nullptr;
    int cardDataCalls_ = 0;                  // calls of cardData_ under way, under modelMutex_
    std::condition_variable cardDataDone_;
    void* cardDataOwner_ = nullptr;
    int32_t cardDataValue_ = 0;
    int StartPtzUnion(const VLR_PTZ_UNION_START& start);
    int StopPtzUnion();
    void ReportText(const char* text);
    static void OnLinkEvent(uint64_t code, const char* text, uint64_t user);
    static void OnLinkError(uint64_t code, const char* text, uint64_t user);

    struct LiveFrame {
        char* sdkBuffer;            // handed over by the SDK, released with QN_NET_Free
        std::vector<uint8_t> audio; // an audio frame stays the SDK's: a copy
        int32_t type;
        int32_t number;
        int32_t length;
    };
    static int OnLiveData(char* data, int32_t type, int32_t number, int32_t length, int32_t value);
    void QueueLiveFrame(LiveFrame frame);
    void LiveWorker();
    void StopLiveWorker();
    // Drops the queued live frames and waits for one being fed: afterwards
    // no live frame reaches the source until the next start.
    void CloseLiveRoad();
    // Each road into the "single" source keeps its own frame order: it waits
    // for a key frame after a start and drops video older than the last.
    struct FrameOrder {
        bool waitingForKey = true;
        int32_t lastNumber = -1;
    };
    void FeedFrame(FrameOrder& order, int32_t type, int32_t number, const uint8_t* data, int32_t length);
    void PlayWorker();

    std::atomic<int32_t> liveCamera_{0};
    std::mutex liveMutex_;
    std::condition_variable liveChanged_;
    std::deque<LiveFrame> liveFrames_;
    bool liveRun_ = false;
    bool liveOpen_ = false;          // frames are taken from a start to its stop
    bool liveFeeding_ = false;       // the worker is feeding a frame to the source
    std::condition_variable liveFed_;
    FrameOrder liveOrder_;           // the live worker's own
    bool liveResetPending_ = false;
    std::thread liveThread_;

    PacketRing ring_;
    FrameOrder ringOrder_;           // the play worker's own
    std::thread playThread_;

    std::unique_ptr<QN_PTZLINK> ptzLink_;
    std::mutex unionMutex_;
    std::condition_variable unionChanged_;
    bool projectionFinished_ = true;
    bool unionFinished_ = true;
    uint8_t lastPtzHead_[32] = {};

    std::mutex cloudMutex_;
    CloudSignCache signCache_;
    std::vector<VLR_CLOUD_INDEX_ENTRY> dayIndex_;
    std::atomic<uint32_t> state_{0};
    std::atomic<uint32_t> userId_{0};
    std::mutex callbackMutex_;
    VLR_MSG_CALLBACK msgCallback_ = nullptr;
    void* msgUser_ = nullptr;
    int32_t msgValue_ = 0;
    void PassOnGlItem(void* record, int32_t value, const char* item);
    std::atomic<VLR_GL_MSG_CALLBACK> glCallback_{nullptr};
    std::atomic<void*> glUser_{nullptr};
    std::atomic<int32_t> glValue_{0};
    std::atomic<VLR_NET_EVENT_CALLBACK> eventCallback_{nullptr};
    std::atomic<void*> eventUser_{nullptr};
    std::atomic<int32_t> eventValue_{0};
};
