// The facade's life cycle: construction, the start-up tables, the daemon
// thread that retries initialisation and the management connection, and the
// clean-up before a server switch.
#include <cstring>
#include <optional>

#include "Depend/qn_log.h"
#include "app/facade_rules.h"
#include "app/http_get.h"
#include "app/qnNetAPI.h"
#include "app/service_endpoints.h"
#include "platform/text.h"

namespace {

constexpr int kDaemonStopWaitMs = 15000;
constexpr int64_t kFirstPauseMs = 500;
constexpr int64_t kSecondPauseMs = 499;

} // namespace

qnNetAPI::qnNetAPI(const platform::Clock& clock) : clock_(clock), search_(hub_, clock)
{
    QNThreadInit(&daemon_);
}

qnNetAPI::~qnNetAPI()
{
    CleanUp();
    {
        // The window may be gone by now: it is forgotten, not called.
        std::lock_guard<std::recursive_mutex> hold(playerMutex_);
        player_ = nullptr;
    }
    // The modules stop their streams through the hub as they go; nothing may
    // call back into a facade that is half gone.
    realplay_.SetFrameCallBack(nullptr, nullptr, 0);
    ipcRcd_.SetFrameCallBack(nullptr, nullptr, 0);
    filePlay_.SetFrameCallBack(nullptr, nullptr, 0);
}

void qnNetAPI::RegisterSDK(int32_t sdkCode, const char* sdkKey)
{
    sdkCode_ = sdkCode;
    std::lock_guard<std::mutex> hold(camerasMutex_);
    sdkKey_.clear();
    if (sdkKey != nullptr) sdkKey_.assign(sdkKey, platform::Utf8PrefixLength(sdkKey, 63));
}

int qnNetAPI::LoadCameraTypeFile(const char* cachePath, const char* dataFolder)
{
    return tables_.LoadCameraTypeFile(cachePath ? cachePath : "", dataFolder ? dataFolder : "");
}

int qnNetAPI::LoadLensFile(const char* cachePath, const char* dataFolder)
{
    return tables_.LoadLensFile(cachePath ? cachePath : "", dataFolder ? dataFolder : "");
}

int qnNetAPI::Init(const char* regionCode)
{
    if (regionCode == nullptr) return 0;
    std::lock_guard<std::mutex> hold(startMutex_);
    if (initialised_.load()) return 1;
    {
        std::lock_guard<std::mutex> region(regionMutex_);
        platform::CopyBounded(regionCode_, sizeof(regionCode_), regionCode);
    }
    if (daemon_.handle.joinable()) return 1;
    stop_ = false;
    stopWake_.Reset();
    QNThreadStart(&daemon_, &qnNetAPI::DaemonThread, this);
    return 1;
}

int qnNetAPI::CleanUp()
{
    std::lock_guard<std::mutex> hold(startMutex_);
    stop_ = true;
    stopWake_.Set();
    QNThreadStop(&daemon_, kDaemonStopWaitMs);
    initialised_ = 0;
    reinitWanted_ = 1;
    stop_ = false;
    stopWake_.Reset();
    initReported_ = 0;
    return 1;
}

void qnNetAPI::Shutdown()
{
    CleanUp();
    hub_.Init("clean_up", nullptr);
}

void qnNetAPI::DaemonThread(void* self)
{
    static_cast<qnNetAPI*>(self)->DaemonLoop();
}

void qnNetAPI::DaemonLoop()
{
    QNLogPrint("%s(%d) In\n", __FUNCTION__, __LINE__);
    while (!stop_.load() && daemon_.run.load()) {
        if (!initialised_.load()) initialised_ = InitEx() == 1 ? 1 : 0;
        // The management server takes only a signed-in client; a try before
        // that would fail every second and overwrite the controller's last
        // error (a refused sign-in's code among them).
        if (initialised_.load() && !serverConnected_.load() && SignedIn() && !stop_.load()) {
            serverConnected_ = hub_.MgrConnect() == 1 ? 1 : 0;
            if (serverConnected_.load()) Message(nullptr, VQ_MSG_SERVER_ONLINE);
        }
        if (clock_.WaitFor(stopWake_, kFirstPauseMs) || stop_.load()) break;
        if (clock_.WaitFor(stopWake_, kSecondPauseMs)) break;
    }
    QNLogPrint("%s(%d) Exit\n", __FUNCTION__, __LINE__);
}

bool qnNetAPI::LoadTables()
{
    const std::string web = ReadServiceEndpoints().webServer;
    if (!tables_.TypeTableLoaded() && !tables_.FetchCameraTypes(web, &stop_)) return false;
    if (!tables_.LensTableLoaded() && !tables_.FetchLens(web, &stop_)) return false;
    return true;
}

bool qnNetAPI::FetchRegion()
{
    {
        std::lock_guard<std::mutex> hold(regionMutex_);
        if (regionCode_[0] != '\0') return true;
        std::strcpy(countryCode_, "CN");
    }
    std::string reply;
    const std::string url = ReadServiceEndpoints().webServer + "/Index/GetUrlPrefix?code=CN";
    if (HttpGet(url, &reply, &stop_) != 1 || reply.empty()) return false;
    const std::optional<std::string> region = facade::RegionCodeOf(reply);
    if (!region) {
        QNLogPrint("%s(%d) region reply refused (%zu bytes)\n", __FUNCTION__, __LINE__, reply.size());
        return false;
    }
    std::lock_guard<std::mutex> hold(regionMutex_);
    platform::CopyBounded(regionCode_, sizeof(regionCode_), *region);
    return true;
}

int qnNetAPI::InitEx()
{
    if (initialised_.load()) return 1;
    if (!LoadTables() || !FetchRegion()) return 0;
    const ServiceEndpoints endpoints = ReadServiceEndpoints();
    std::string region;
    {
        std::lock_guard<std::mutex> hold(regionMutex_);
        region = regionCode_;
    }
    const std::string address = LoginServerAddress(endpoints, region);
    if (address.empty()) return 0;
    QN_NET_SetServicePorts(endpoints.loginPort, endpoints.udpFirst, endpoints.udpLast);
    if (reinitWanted_.load()) {
        if (hub_.NetInit(address.c_str()) != 1) return 0;
        initialised_ = 1;
        reinitWanted_ = 0;
        RaiseInitFinished();
        return 1;
    }
    if (!FirstInit(address)) return 0;
    initialised_ = 1;
    RaiseInitFinished();
    return 1;
}

bool qnNetAPI::FirstInit(const std::string& address)
{
    hub_.SetMsgCallBack(&qnNetAPI::OnHubMessage, this, 0);
    hub_.SetNetEventCallBack(&qnNetAPI::OnNetEvent, this, 0);
    for (const char* step : {"init_netsdk", "data_base"}) {
        if (hub_.Init(step, address.c_str()) != 1) return false;
    }
    if (hub_.Init("net_event_reg", "") != 1) return false;
    if (filePlay_.SetSourcePack(hub_.GetSourcePack("file_play")) != 1) return false;
    if (realplay_.SetSourcePack(hub_.GetSourcePack("realplay")) != 1) return false;
    if (ipcRcd_.SetSourcePack(hub_.GetSourcePack("ipc_rcd")) != 1) return false;
    RegisterModuleCallbacks();
    hub_.SetGLMsgCallBack(&qnNetAPI::OnGlMessage, this, 0);
    return true;
}

void qnNetAPI::RegisterModuleCallbacks()
{
    realplay_.SetMsgCallBack(&qnNetAPI::OnModuleMessage, this, 0);
    ipcRcd_.SetMsgCallBack(&qnNetAPI::OnModuleMessage, this, 0);
    filePlay_.SetMsgCallBack(&qnNetAPI::OnModuleMessage, this, 0);
    realplay_.SetEventCallBack(&qnNetAPI::OnPlayEvent, this, 0);
    ipcRcd_.SetEventCallBack(&qnNetAPI::OnPlayEvent, this, 0);
    realplay_.SetStateCallBack(&qnNetAPI::OnPlayState, this, 0);
    ipcRcd_.SetStateCallBack(&qnNetAPI::OnPlayState, this, 0);
    filePlay_.SetStateCallBack(&qnNetAPI::OnFileEvent, this, 0);
}

void qnNetAPI::RaiseInitFinished()
{
    if (initReported_.exchange(1)) return;
    char region[16] = {};
    {
        std::lock_guard<std::mutex> hold(regionMutex_);
        std::memcpy(region, regionCode_, sizeof(region));
    }
    Message(region, VQ_MSG_INIT_FINISH);
}

int qnNetAPI::GetVersion(int32_t serial, int32_t version, int32_t* first, int32_t* second)
{
    return tables_.GetVersion(ReadServiceEndpoints().webServer, serial, version, first, second);
}
