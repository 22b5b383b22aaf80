// The facade's account side: sign-in and sign-out, the camera list, the
// feature checks by connection kind, and the per-camera calls through the hub.
#include <algorithm>
#include <cstring>

#include "Depend/qn_log.h"
#include "app/camera_entry_fill.h"
#include "app/facade_rules.h"
#include "app/qnNetAPI.h"
#include "platform/text.h"

namespace {

// The talk volume's byte in the record the camera takes.
constexpr int kSetVolumeByte = 9;
constexpr int32_t kSetVolumeFirstWord = 0x20000;

} // namespace

int qnNetAPI::SignIn(const vqAccount* account, uint32_t* loginId)
{
    int result = 0;
    if (account == nullptr) {
        lastError_ = VQ_ERR_ILLEGAL_PARAM;
    } else if (!initialised_.load()) {
        lastError_ = VQ_ERR_LOGIN_FAILURE;
    } else {
        const std::string accountName(account->account, strnlen(account->account, sizeof(account->account)));
        std::string sdkKey;
        {
            std::lock_guard<std::mutex> hold(camerasMutex_);
            sdkKey = sdkKey_;
        }
        const std::optional<std::string> name = facade::LoginName(sdkKey, accountName);
        if (!name) {
            // Cut, it would sign in to another account.
            lastError_ = VQ_ERR_ILLEGAL_PARAM;
        } else {
            QN_NET_LOGIN_INFO info{};
            std::memcpy(info.account, name->data(), name->size());
            std::memcpy(info.password, account->password, strnlen(account->password, sizeof(account->password)));
            info.value1 = 0;
            info.value2 = static_cast<uint16_t>(account->loginValue);
            info.value3 = static_cast<uint32_t>(sdkCode_.load());
            platform::CopyBounded(info.terminal, sizeof(info.terminal), "error token");
            uint32_t address = 0;
            uint32_t id = 0;
            if (hub_.Login(&info, &address, &id) == 1) {
                loginId_ = id;
                if (loginId != nullptr) *loginId = id;
                serverConnected_ = 0;
                noServerMode_ = 0;
                {
                    std::lock_guard<std::mutex> hold(camerasMutex_);
                    accountKey_ = facade::AccountKey(accountName);
                }
                noAccount_ = 0;
                result = 1;
            }
        }
    }
    QNLogPrint("%s(%d) _bInit:%d _sdkCode:%d\n", __FUNCTION__, __LINE__, initialised_.load(), sdkCode_.load());
    return result;
}

int qnNetAPI::SignOut()
{
    if (!noAccount_.load()) {
        for (const char* key : {"security_custom", "security_default"}) {
            realplay_.SendCtrl(key, "", nullptr);
            ipcRcd_.SendCtrl(key, "", nullptr);
            filePlay_.SendCtrl(key, "", nullptr);
        }
        hub_.Logout(loginId_);
        hub_.MgrDisConnect();
        serverConnected_ = 0;
    }
    std::lock_guard<std::mutex> hold(camerasMutex_);
    cameras_.clear();
    return 1;
}

int64_t qnNetAPI::GetLastError() const
{
    return lastError_.load();
}

int qnNetAPI::GetCameras(vqCameraEntry* entries, int* count)
{
    if (count == nullptr) return 0;
    *count = 0;
    if (noAccount_.load()) return 1;
    std::vector<VLR_CAMERA_ENTRY> listed(kVqCameraListCapacity + 1);
    int listedCount = 0;
    if (hub_.GetCameraList("all", listed.data(), static_cast<int>(listed.size()), &listedCount, 0) != 1) return 0;
    listedCount = std::clamp(listedCount, 0, kVqCameraListCapacity);
    std::vector<vqCameraEntry> cameras;
    for (int i = 0; i < listedCount; ++i) {
        const QN_NET_DEVICE_INFO& device = listed[i].device;
        cameras.push_back(MakeCameraEntry(listed[i], GetCameraType(std::string_view(device.model, sizeof(device.model)))));
    }
    if (entries != nullptr) std::copy(cameras.begin(), cameras.end(), entries);
    *count = listedCount;
    std::lock_guard<std::mutex> hold(camerasMutex_);
    cameras_ = std::move(cameras);
    return 1;
}

qnNetAPI::CameraFacts qnNetAPI::FindCamera(int32_t camera)
{
    std::lock_guard<std::mutex> hold(camerasMutex_);
    for (const vqCameraEntry& entry : cameras_) {
        if (entry.cameraId == camera) return {true, entry};
    }
    return {};
}

int32_t qnNetAPI::ConnectionKindOf(int32_t camera)
{
    if (noAccount_.load() || camera == 0) return facade::kKindOwn;
    if (noServerMode_.load()) return facade::kKindNoServer;
    const CameraFacts facts = FindCamera(camera);
    if (!facts.known) {
        RaiseError(VQ_ERROR_UNKNOWN_CAMERA);
        return -1;
    }
    return facts.entry.shared != 0 ? facade::kKindShared : facade::kKindOwn;
}

bool qnNetAPI::Allows(int32_t camera, uint32_t feature)
{
    const int32_t kind = ConnectionKindOf(camera);
    if (kind < 0) return false;
    if (facade::IsFeatureSupported(feature, kind)) return true;
    RaiseError(VQ_ERROR_FEATURE_REFUSED);
    return false;
}

void qnNetAPI::RaiseError(int32_t code)
{
    const auto slot = Take(error_);
    if (slot.function != nullptr) slot.function(0, code, slot.user);
}

int qnNetAPI::GetOnLineState(int32_t camera)
{
    return hub_.OnLineState(camera);
}

int qnNetAPI::GetConfig(int32_t camera, int32_t type, vqConfigRecord* record)
{
    if (record == nullptr) return 0;
    switch (type) {
    case VQ_CONFIG_VOICE_VOLUME_TALK: {
        QN_NET_VOLUME volume{};
        if (hub_.GetVolume(camera, &volume) != 1) return 0;
        // Only the 16 bytes a talk-volume record is known to have.
        std::memset(record->bytes, 0, kVqTalkVolumeRecordBytes);
        // The camera's record keeps the talk volume where the controller reads it.
        record->bytes[kVqTalkVolumeByte] = reinterpret_cast<const uint8_t*>(&volume)[kVqTalkVolumeByte];
        return 1;
    }
    case VQ_CONFIG_WIFI: {
        QN_NET_WIFI wifi{};
        if (hub_.GetWifiValue(camera, &wifi) != 1) return 0;
        std::memcpy(record->bytes, wifi.bytes, sizeof(wifi.bytes));
        return 1;
    }
    case VQ_CONFIG_TF_INFO: {
        QN_NET_TF_INFO info{};
        if (hub_.GetTfinfo(camera, &info) != 1) return 0;
        std::memcpy(record->bytes, &info, sizeof(info));
        return 1;
    }
    default: return 0;
    }
}

int qnNetAPI::SetConfig(int32_t camera, int32_t type, const vqConfigRecord* record)
{
    if (type != VQ_CONFIG_VOICE_VOLUME_TALK || record == nullptr) return 0;
    QN_NET_VOLUME volume{};
    volume.values[0] = kSetVolumeFirstWord;
    reinterpret_cast<uint8_t*>(&volume)[kSetVolumeByte] = record->bytes[kVqTalkVolumeByte];
    return hub_.SetVolume(camera, &volume);
}

int qnNetAPI::SetRecordStorageLocation(int32_t camera, int32_t* location)
{
    // The camera takes no location from the client: the call reads it.
    return hub_.GetRecordStorageLocation(camera, location) == 1 ? 1 : 0;
}

int qnNetAPI::CtrlTalk(int32_t camera, int32_t on)
{
    if (!Allows(camera, facade::kFeatureTalk)) return 0;
    return hub_.TalkCtrl(camera, on != 0);
}

int qnNetAPI::GetTalkState(int32_t camera, int32_t* talking)
{
    if (!Allows(camera, facade::kFeatureTalk)) return 0;
    int32_t state = 0;
    if (hub_.GetTalkState(camera, &state) != 1) return 0;
    if (talking != nullptr) *talking = state == 1 ? 1 : 0;
    return 1;
}

int qnNetAPI::SendTalkData(int32_t camera, const char* data, int32_t length)
{
    if (!Allows(camera, facade::kFeatureTalk)) return 0;
    return hub_.SendTalkData(camera, data, length);
}

int qnNetAPI::SetQuality(int32_t camera, int32_t fluent)
{
    if (!Allows(camera, facade::kFeatureTalk)) return 0;
    return realplay_.SendCtrl("set_quality", fluent ? "fluency" : "hd", nullptr);
}

int qnNetAPI::PtzSetPosition(int32_t camera, int32_t mode, int32_t pan, int32_t tilt)
{
    const facade::PtzAngles angles = facade::ClampPtzPosition(mode, pan, tilt);
    QN_NET_PTZ_POSITION position{};
    position.mode = 1;
    position.values[0] = mode;
    position.values[1] = angles.pan;
    position.values[2] = angles.tilt;
    return hub_.PTZ_SetPosition(camera, &position, 0);
}
