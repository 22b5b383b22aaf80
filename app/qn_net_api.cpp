// The flat calls: each reaches the one process-wide facade.
#include "app/qn_net_api.h"

#include <atomic>
#include <mutex>

#include "app/facade_rules.h"
#include "app/qnNetAPI.h"

namespace {

std::mutex& InstanceMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::atomic<qnNetAPI*>& Instance()
{
    static std::atomic<qnNetAPI*> instance{nullptr};
    return instance;
}

// Calls `call(facade)` when there is one, else gives `none`.
template <typename Result, typename Call>
Result With(Result none, Call&& call)
{
    qnNetAPI* api = Instance().load();
    return api != nullptr ? call(*api) : none;
}

template <typename Call>
void With(Call&& call)
{
    qnNetAPI* api = Instance().load();
    if (api != nullptr) call(*api);
}

} // namespace

void vqRegisterSDK(int32_t sdkCode, const char* sdkKey)
{
    std::lock_guard<std::mutex> hold(InstanceMutex());
    if (Instance().load() == nullptr) Instance() = new qnNetAPI();
    Instance().load()->RegisterSDK(sdkCode, sdkKey);
}

int vqDestroy()
{
    std::lock_guard<std::mutex> hold(InstanceMutex());
    qnNetAPI* api = Instance().exchange(nullptr);
    if (api != nullptr) {
        api->Shutdown();
        delete api;
    }
    return 0;
}

int vqLoadCameraTypeFile(const char* cachePath, const char* dataFolder)
{
    return With(0, [&](qnNetAPI& api) { return api.LoadCameraTypeFile(cachePath, dataFolder); });
}
int vqLoadLensFile(const char* cachePath, const char* dataFolder)
{
    return With(0, [&](qnNetAPI& api) { return api.LoadLensFile(cachePath, dataFolder); });
}
int vqInit(const char* regionCode)
{
    return With(0, [&](qnNetAPI& api) { return api.Init(regionCode); });
}
int vqIsInit()
{
    return With(0, [](qnNetAPI& api) { return api.IsInit(); });
}
int vqCleanUp()
{
    return With(1, [](qnNetAPI& api) { return api.CleanUp(); });
}

void vqSetMessageCallback(vqMessageCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetMessageCallback(callback, user); });
}
void vqSetPlayStateCallback(vqPlayStateCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetPlayStateCallback(callback, user); });
}
void vqSetErrorCallback(vqErrorCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetErrorCallback(callback, user); });
}
void vqSetAudioCallback(vqAudioCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetAudioCallback(callback, user); });
}
void vqSetStreamTickCallback(vqTickCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetStreamTickCallback(callback, user); });
}
void vqSetRefreshCallback(vqTickCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetRefreshCallback(callback, user); });
}
void vqSetFileStateCallback(vqPlayStateCallback callback, void* user)
{
    With([&](qnNetAPI& api) { api.SetFileStateCallback(callback, user); });
}

int vqSignIn(const vqAccount* account, uint32_t* loginId)
{
    return With(0, [&](qnNetAPI& api) { return api.SignIn(account, loginId); });
}
int vqSignOut()
{
    return With(1, [](qnNetAPI& api) { return api.SignOut(); });
}
int64_t vqGetLastError()
{
    return With(int64_t{0}, [](qnNetAPI& api) { return api.GetLastError(); });
}
const char* vqGetErrorText(int32_t code)
{
    return facade::ErrorText(code);
}
int vqGetCameras(vqCameraEntry* entries, int* count)
{
    return With(0, [&](qnNetAPI& api) { return api.GetCameras(entries, count); });
}
int vqGetOnLineState(int32_t camera)
{
    return With(0, [&](qnNetAPI& api) { return api.GetOnLineState(camera); });
}
int vqGetConfig(int32_t camera, int32_t type, vqConfigRecord* record)
{
    return With(0, [&](qnNetAPI& api) { return api.GetConfig(camera, type, record); });
}
int vqSetConfig(int32_t camera, int32_t type, const vqConfigRecord* record)
{
    return With(0, [&](qnNetAPI& api) { return api.SetConfig(camera, type, record); });
}
int vqSetRecordStorageLocation(int32_t camera, int32_t* location)
{
    return With(0, [&](qnNetAPI& api) { return api.SetRecordStorageLocation(camera, location); });
}
int vqCtrlTalk(int32_t camera, int32_t on)
{
    return With(0, [&](qnNetAPI& api) { return api.CtrlTalk(camera, on); });
}
int vqGetTalkState(int32_t camera, int32_t* talking)
{
    return With(0, [&](qnNetAPI& api) { return api.GetTalkState(camera, talking); });
}
int vqSendTalkData(int32_t camera, const char* data, int32_t length)
{
    return With(0, [&](qnNetAPI& api) { return api.SendTalkData(camera, data, length); });
}
int vqSetQuality(int32_t camera, int32_t fluent)
{
    return With(0, [&](qnNetAPI& api) { return api.SetQuality(camera, fluent); });
}
int vqPtzSetPosition(int32_t camera, int32_t mode, int32_t pan, int32_t tilt)
{
    return With(0, [&](qnNetAPI& api) { return api.PtzSetPosition(camera, mode, pan, tilt); });
}

int vqStartRealPlay(int32_t camera, int32_t playUser, QNPlayer* player)
{
    return With(0, [&](qnNetAPI& api) { return api.StartRealPlay(camera, playUser, player); });
}
int vqStopRealPlay(int32_t camera)
{
    return With(0, [&](qnNetAPI& api) { return api.StopRealPlay(camera); });
}
int vqStartPlayBack(int32_t camera, const QN_NET_REMOTE_FILE* start, int32_t playUser, QNPlayer* player)
{
    return With(0, [&](qnNetAPI& api) { return api.StartPlayBack(camera, start, playUser, player); });
}
int vqStopPlayBack(int32_t camera)
{
    return With(0, [&](qnNetAPI& api) { return api.StopPlayBack(camera); });
}
int vqRepos(int32_t camera, int32_t position)
{
    return With(0, [&](qnNetAPI& api) { return api.Repos(camera, position); });
}
int vqStartPlayFile(const char* path, int32_t playUser, QNPlayer* player)
{
    return With(0, [&](qnNetAPI& api) { return api.StartPlayFile(path, playUser, player); });
}
int vqStopPlayFile(QNPlayer* player)
{
    return With(0, [&](qnNetAPI& api) { return api.StopPlayFile(player); });
}
int vqStartRecordMP4(const char* path)
{
    return With(0, [&](qnNetAPI& api) { return api.StartRecordMP4(path); });
}
int vqStopRecordMP4()
{
    return With(-1, [](qnNetAPI& api) { return api.StopRecordMP4(); });
}
int vqCapture(const char* path)
{
    return With(0, [&](qnNetAPI& api) { return api.Capture(path); });
}
int vqSwitchOriModel()
{
    return With(0, [](qnNetAPI& api) { return api.SwitchOriModel(); });
}

int vqSetSecurity(int32_t type, const char* key)
{
    return With(0, [&](qnNetAPI& api) { return api.SetSecurity(type, key, false); });
}
int vqSetSecurityOld(int32_t type, const char* key)
{
    return With(0, [&](qnNetAPI& api) { return api.SetSecurity(type, key, true); });
}
int vqGetDefaultKey(int32_t camera, int32_t, char name[17], char key[32])
{
    return With(0, [&](qnNetAPI& api) { return api.GetDefaultKey(camera, name, key, false); });
}
int vqGetDefaultKeyOld(int32_t camera, int32_t, char name[17], char key[32])
{
    return With(0, [&](qnNetAPI& api) { return api.GetDefaultKey(camera, name, key, true); });
}

int vqGetPanoInfo(vqPanoInfo* info)
{
    return With(0, [&](qnNetAPI& api) { return api.GetPanoInfo(info); });
}
int vqGetPanoTypeEx(char text[64])
{
    return With(0, [&](qnNetAPI& api) { return api.GetPanoTypeEx(text); });
}
int vqGetLocalParam(vqPanoInfo* info)
{
    return With(0, [&](qnNetAPI& api) { return api.GetLocalParam(info); });
}
void vqSetLensToPlayer(QNPlayer* player)
{
    With([&](qnNetAPI& api) { api.SetLensToPlayer(player); });
}
int vqGetVersion(int32_t serial, int32_t version, int32_t* first, int32_t* second)
{
    return With(-1, [&](qnNetAPI& api) { return api.GetVersion(serial, version, first, second); });
}

int vqCloudOrder(int32_t camera, QN_NET_CLOUD_TIME* order)
{
    return With(0, [&](qnNetAPI& api) { return api.Hub().vqCloudOrder(camera, order); });
}
int vqCloudDownIndexEx(int32_t camera, const char* folder)
{
    return With(0, [&](qnNetAPI& api) { return api.Hub().vqCloudDownIndexEx(camera, folder); });
}
int vqCloudTest(int32_t camera)
{
    return With(0, [&](qnNetAPI& api) { return api.Hub().vqCloudTest(camera); });
}

int vqSearchRemoteIndexFile(int32_t camera, const QN_NET_TIME6* day, QN_NET_REMOTE_FILE* files, int* count,
                            int32_t waitMs)
{
    if (day == nullptr || files == nullptr || count == nullptr) return 0;
    return With(0, [&](qnNetAPI& api) {
        return api.Search().SearchRemoteIndexFile(camera, *day, files, kRemoteFileLimit, count, waitMs);
    });
}
int vqSearchRemoteFile(int32_t camera, const QN_NET_SEARCH_FILE* request, QN_NET_REMOTE_FILE* files, int* count)
{
    if (request == nullptr || files == nullptr || count == nullptr) return 0;
    return With(0, [&](qnNetAPI& api) {
        return api.Search().SearchRemoteFile(camera, request->start, request->end, files, kRemoteFileLimit, count);
    });
}
int vqSearchLocalFile(const char* folder, const QN_NET_TIME6* day, QN_NET_REMOTE_FILE* files, int* count)
{
    if (folder == nullptr || day == nullptr || files == nullptr || count == nullptr) return 0;
    return RecordSearch::SearchLocalFile(folder, *day, files, kRemoteFileLimit, count);
}
