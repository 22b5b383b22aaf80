// The client facade: the one object through which the controller reaches the
// camera SDK. It owns the hub and the three play modules, keeps the
// account's camera list, relays the modules' frames to the one bound video
// window and their callbacks to the controller under the controller's own
// message ids, and brings the SDK up on a daemon thread that retries once a
// second until initialisation and the management connection succeed.
//
// The flat vq* functions (qn_net_api.h) reach the process-wide instance; the
// class is open for tests that want their own clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_thread.h"
#include "app/camera_tables.h"
#include "app/qn_net_api.h"
#include "app/record_search.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "vqSDK/VlrFilePlay/vlr_fileplay.h"
#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"
#include "vqSDK/VlrRealplay/vlr_realplay.h"
#include "vqSDK/VlrSystem/vlr_system.h"

enum VqPlayType : int32_t { VQ_PLAY_LIVE = 0, VQ_PLAY_RECORD = 1, VQ_PLAY_FILE = 3 };

template <typename Function>
struct VqCallback {
    Function function = nullptr;
    void* user = nullptr;
};

class qnNetAPI {
public:
    explicit qnNetAPI(const platform::Clock& clock = platform::Clock::System());
    ~qnNetAPI();
    qnNetAPI(const qnNetAPI&) = delete;
    qnNetAPI& operator=(const qnNetAPI&) = delete;

    // Start-up and the daemon thread.
    void RegisterSDK(int32_t sdkCode, const char* sdkKey);
    int LoadCameraTypeFile(const char* cachePath, const char* dataFolder);
    int LoadLensFile(const char* cachePath, const char* dataFolder);
    int Init(const char* regionCode);
    int IsInit() const { return initialised_.load(); }
    int CleanUp();
    // One attempt at bringing the SDK up; 1 once it is.
    int InitEx();
    void Shutdown(); // "clean_up" to the hub, before the instance goes

    // Callbacks toward the controller.
    void SetMessageCallback(vqMessageCallback callback, void* user);
    void SetPlayStateCallback(vqPlayStateCallback callback, void* user);
    void SetErrorCallback(vqErrorCallback callback, void* user);
    void SetAudioCallback(vqAudioCallback callback, void* user);
    void SetStreamTickCallback(vqTickCallback callback, void* user);
    void SetRefreshCallback(vqTickCallback callback, void* user);
    void SetFileStateCallback(vqPlayStateCallback callback, void* user);

    // The account and its cameras.
    int SignIn(const vqAccount* account, uint32_t* loginId);
    int SignOut();
    int64_t GetLastError() const;
    int GetCameras(vqCameraEntry* entries, int* count);
    int GetOnLineState(int32_t camera);
    int GetConfig(int32_t camera, int32_t type, vqConfigRecord* record);
    int SetConfig(int32_t camera, int32_t type, const vqConfigRecord* record);
    int SetRecordStorageLocation(int32_t camera, int32_t* location);
    int CtrlTalk(int32_t camera, int32_t on);
    int GetTalkState(int32_t camera, int32_t* talking);
    int SendTalkData(int32_t camera, const char* data, int32_t length);
    int SetQuality(int32_t camera, int32_t fluent);
    int PtzSetPosition(int32_t camera, int32_t mode, int32_t pan, int32_t tilt);

    // Play.
    int StartRealPlay(int32_t camera, int32_t playUser, QNPlayer* player);
    int StopRealPlay(int32_t camera);
    int StartPlayBack(int32_t camera, const QN_NET_REMOTE_FILE* start, int32_t playUser, QNPlayer* player);
    int StopPlayBack(int32_t camera);
    int Repos(int32_t camera, int32_t position);
    int StartPlayFile(const char* path, int32_t playUser, QNPlayer* player);
    int StopPlayFile(QNPlayer* player);
    int StartRecordMP4(const char* path);
    int StopRecordMP4();
    int Capture(const char* path);
    int SwitchOriModel();
    int32_t PlayType() const { return playType_.load(); }
    int32_t PlayUser();

    // Video keys.
    int SetSecurity(int32_t type, const char* key, bool old);
    int GetDefaultKey(int32_t camera, char name[17], char key[32], bool old);

    // Panorama information and lens tables.
    int GetPanoInfo(vqPanoInfo* info);
    int GetPanoTypeEx(char text[64]);
    int GetLocalParam(vqPanoInfo* info);
    void SetLensToPlayer(QNPlayer* player);
    int GetVersion(int32_t serial, int32_t version, int32_t* first, int32_t* second);

    VLR_SYSTEM& Hub() { return hub_; }
    RecordSearch& Search() { return search_; }

    // The video window's requests (its message callback; the facade is the
    // user): 0 stores the hub's source-pack data (a `const RESPACK*`, null
    // before the pack is built) at the address `record`; 1 asks whether the
    // pack is set; 4 switches the perspective; 6 checks a `qnTouchPoints`
    // record and raises the refresh callback.
    static void vqPlayerWidgetMsgCB(int type, int64_t record, void* user);

private:
    // Start-up.
    static void DaemonThread(void* self);
    void DaemonLoop();
    bool LoadTables();
    bool FetchRegion();
    bool FirstInit(const std::string& address);
    void RegisterModuleCallbacks();
    void RaiseInitFinished();
    bool SignedIn() const { return (hub_.State() & VLR_STATE_SIGNED_IN) != 0; }

    // Cameras and features.
    struct CameraFacts {
        bool known = false;
        vqCameraEntry entry{};
    };
    CameraFacts FindCamera(int32_t camera);
    // The camera's connection kind, or -1 after the error callback for an unknown camera.
    int32_t ConnectionKindOf(int32_t camera);
    // False after the error callback when the camera's kind lacks the feature.
    bool Allows(int32_t camera, uint32_t feature);

    // Play.
    void Bind(QNPlayer* player);
    void Unbind();
    void StopBoundPlayer();
    void SetPlayUser(int32_t value);
    void ClearPanoInfo();
    bool StartBoundPlayer(QNPlayer* player);

    // Video keys: the account key of the camera ("" when none applies).
    bool KeyOf(const CameraFacts& facts, std::string* accountKey);
    std::string KeyText(const std::string& accountKey, int32_t camera, const vqCameraEntry& entry, bool old);
    // Installs one default key in the module of `mode` (0 live, 1 TF card, 2 file).
    bool InstallDefaultKey(int32_t camera, int mode, bool old);
    int SendKey(int mode, const char* name, const char* text);

    // Relays.
    void Message(void* record, int32_t id);
    static void OnModuleMessage(int32_t first, int32_t second, const char* text, void* user, int32_t value);
    static void OnHubMessage(int32_t code, int32_t value, const char* text, void* user, int32_t userValue);
    static void OnNetEvent(int32_t kind, void* data, int32_t extra, void* user, int32_t value);
    static void OnGlMessage(void* record, int32_t value, const char* item, void* user, int32_t userValue);
    static void OnPlayEvent(int32_t event, int32_t zero, const char* text, void* user, int32_t value);
    static void OnPlayState(int32_t state, int32_t second, const uint32_t* keyType, void* user, int32_t value);
    static void OnFileEvent(int32_t event, int32_t second, int64_t value, void* user, int32_t userValue);
    static int OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user, int32_t value);
    // `module` is the play type of the module that sent the frame.
    int RelayFrame(uint8_t* data, int32_t length, const MontFrameInfo& info, int32_t module);
    void RaiseError(int32_t code);

    const platform::Clock& clock_;

    std::atomic<uint8_t> initialised_{0};
    std::atomic<uint8_t> reinitWanted_{0};
    std::atomic<uint8_t> serverConnected_{0};
    std::atomic<uint8_t> initReported_{0};
    std::atomic<uint8_t> noAccount_{1};
    std::atomic<uint8_t> noServerMode_{0};
    std::atomic<bool> stop_{false};
    platform::Event stopWake_{true, false};
    QNThread daemon_;
    std::mutex startMutex_;  // vqInit and vqCleanUp, which start and end the daemon
    std::mutex regionMutex_; // the two codes, shared with the daemon
    char regionCode_[16] = {};
    char countryCode_[16] = {};

    std::mutex callbackMutex_;
    VqCallback<vqMessageCallback> message_;
    VqCallback<vqPlayStateCallback> playState_;
    VqCallback<vqErrorCallback> error_;
    VqCallback<vqAudioCallback> audio_;
    VqCallback<vqTickCallback> streamTick_;
    VqCallback<vqTickCallback> refresh_;
    VqCallback<vqPlayStateCallback> fileState_;
    template <typename Function>
    VqCallback<Function> Take(const VqCallback<Function>& slot)
    {
        std::lock_guard<std::mutex> hold(callbackMutex_);
        return slot;
    }

    std::mutex userValueMutex_;
    int32_t playUser_ = 0;
    std::atomic<int64_t> lastError_{0};
    std::atomic<int32_t> playType_{VQ_PLAY_LIVE};

    // Guards the bound window. The frame relay takes it on the modules'
    // threads, so it is never held while calling into a module.
    std::recursive_mutex playerMutex_;
    QNPlayer* player_ = nullptr;
    uint32_t loginId_ = 0;

    std::mutex camerasMutex_;
    std::vector<vqCameraEntry> cameras_;
    std::atomic<int32_t> sdkCode_{7};
    std::string sdkKey_;
    std::string accountKey_;
    std::atomic<int32_t> playingCamera_{0};
    int32_t previousCamera_ = 0;

    CameraTables tables_;
    RecordSearch search_; // holds the hub, which it only calls once the facade is whole

    // Last, so that they go first: their threads stop and call back for the
    // last time while every lock and list above still stands. The modules
    // go before the hub whose pack they hold.
    VLR_SYSTEM hub_;
    VLR_REALPLAY realplay_;
    VlrIPCRcd ipcRcd_;
    VLR_FILEPLAY filePlay_;
};
