// The thin SDK wrappers. Each goes one of three ways: a call that succeeds
// with 1, a call whose reply lands in the hub's own copy and reaches the
// caller only on success, and a call whose result is a state, -1 on failure.
// A failure is reported once as "NetSdkErr :: <name>".
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "streams/key_slots.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int32_t kAllSettings = 125;
constexpr int32_t kEncryptionSettings = 64;
constexpr int32_t kDeviceConnection = 2;

template <class Call>
int Sent(VLR_SYSTEM& hub, const char* name, Call call)
{
    if (call() == 1) return 1;
    hub.ReportError(VLR_REPORT_NET_SDK, name);
    return 0;
}

// `call` fills the hub's copy of the reply.
template <class Reply, class Call>
int Replied(VLR_SYSTEM& hub, const char* name, Reply* out, Call call)
{
    Reply reply{};
    if (!Sent(hub, name, [&] { return call(&reply); })) return 0;
    if (out != nullptr) *out = reply;
    return 1;
}

// A reply of N bytes.
template <std::size_t N, class Call>
int RepliedBytes(VLR_SYSTEM& hub, const char* name, uint8_t* out, Call call)
{
    std::array<uint8_t, N> reply{};
    if (!Sent(hub, name, [&] { return call(reply.data()); })) return 0;
    if (out != nullptr) std::memcpy(out, reply.data(), N);
    return 1;
}

template <class Call>
int StateCall(VLR_SYSTEM& hub, const char* name, int32_t* out, Call call)
{
    const int state = call();
    if (state == -1) {
        hub.ReportError(VLR_REPORT_NET_SDK, name);
        return 0;
    }
    if (out != nullptr) *out = state;
    return 1;
}

} // namespace

int VLR_SYSTEM::GetVolume(int32_t camera, QN_NET_VOLUME* volume)
{
    return Replied(*this, "QN_NET_GetVolume", volume, [&](QN_NET_VOLUME* r) { return QN_NET_GetVolume(camera, r); });
}

int VLR_SYSTEM::SetVolume(int32_t camera, const QN_NET_VOLUME* volume)
{
    return Sent(*this, "QN_NET_SetVolume", [&] { return QN_NET_SetVolume(camera, volume); });
}

int VLR_SYSTEM::GetWifiValue(int32_t camera, QN_NET_WIFI* wifi)
{
    return Replied(*this, "QN_NET_GetWifiValue", wifi, [&](QN_NET_WIFI* r) { return QN_NET_GetWifiValue(camera, r); });
}

int VLR_SYSTEM::TalkCtrl(int32_t camera, bool on)
{
    return Sent(*this, "QN_NET_TalkCtrl", [&] { return QN_NET_TalkCtrl(camera, on ? 1 : 0); });
}

int VLR_SYSTEM::SendTalkData(int32_t camera, const char* data, int32_t length)
{
    return Sent(*this, "QN_NET_SendTalkData", [&] { return QN_NET_SendTalkData(camera, data, length); });
}

int VLR_SYSTEM::GetTalkState(int32_t camera, int32_t* talking)
{
    int32_t state = 0;
    if (!StateCall(*this, "QN_NET_GetTalkState", &state, [&] { return QN_NET_GetTalkState(camera); })) return 0;
    if (talking != nullptr) *talking = state != 0 ? 1 : 0;
    return 1;
}

int VLR_SYSTEM::PTZ_SetPosition(int32_t camera, const QN_NET_PTZ_POSITION* position, int32_t local)
{
    return Sent(*this, "QN_NET_PTZ_SetPosition", [&] { return QN_NET_PTZ_SetPosition(camera, position, local); });
}

int VLR_SYSTEM::SearchRemoteIndexFile(int32_t camera, const QN_NET_SEARCH_FILE* search)
{
    return Sent(*this, "SearchRemoteIndexFile", [&] { return QN_NET_SearchRemote(camera, search); });
}

int VLR_SYSTEM::GetRecordStorageLocation(int32_t camera, int32_t* location)
{
    QN_NET_STORAGE_LOCATION reply{};
    const int result = QN_NET_GetRecordStorageLocation(camera, &reply);
    if (result == 1 && location != nullptr) *location = reply.values[0];
    return result;
}

int VLR_SYSTEM::VerityAccount(const uint8_t record[64], int32_t* known)
{
    int32_t answer = 0;
    if (!StateCall(*this, "QN_NET_VerityAccount", &answer, [&] { return QN_NET_VerityAccount(record); })) return 0;
    if (known != nullptr) *known = answer != 0 ? 1 : 0;
    return 1;
}

int VLR_SYSTEM::CheckVerifyCode(const char first[64], const char second[64], int32_t* answer)
{
    return StateCall(*this, "QN_NET_CheckVerifyCode", answer, [&] { return QN_NET_CheckVerifyCode(first, second); });
}

int VLR_SYSTEM::BrightCtrl(int32_t camera, int32_t brightness, int32_t control)
{
    return Sent(*this, "QN_NET_BrightCtrl", [&] { return QN_NET_BrightCtrl(camera, brightness, control); });
}

int VLR_SYSTEM::Brightness(int32_t camera, int32_t* brightness, int32_t* value)
{
    std::array<int32_t, 2> reply{};
    if (!Sent(*this, "QN_NET_Brightness", [&] { return QN_NET_Brightness(camera, &reply[0], &reply[1]); })) return 0;
    if (brightness != nullptr) *brightness = reply[0];
    if (value != nullptr) *value = reply[1];
    return 1;
}

int VLR_SYSTEM::DeleteApplyAccount(const uint8_t record[66])
{
    return Sent(*this, "QN_NET_DeleteApplyAccount", [&] { return QN_NET_DeleteApplyAccount(record); });
}

int VLR_SYSTEM::DeleteDevice(const uint8_t record[64])
{
    return Sent(*this, "QN_NET_DeleteDevice", [&] { return QN_NET_DeleteDevice(record); });
}

int VLR_SYSTEM::DelShareDevice(uint32_t device, uint32_t value)
{
    return Sent(*this, "QN_NET_DelShareDevice", [&] { return QN_NET_DelShareDevice(device, value); });
}

int VLR_SYSTEM::GetAppVersion(uint16_t deviceType, uint8_t answer[288])
{
    return RepliedBytes<288>(*this, "QN_NET_GetAppVersion", answer,
                             [&](uint8_t* r) { return QN_NET_GetAppVersion(deviceType, r); });
}

int VLR_SYSTEM::BindState(const char text[64], uint8_t answer[64], int32_t* state)
{
    std::array<uint8_t, 64> reply{};
    if (!StateCall(*this, "QN_NET_BindState", state, [&] { return QN_NET_BindState(text, reply.data()); })) return 0;
    if (answer != nullptr) std::memcpy(answer, reply.data(), reply.size());
    return 1;
}

int VLR_SYSTEM::GetDeviceid(const uint8_t record[64], int32_t* device)
{
    return StateCall(*this, "QN_NET_GetDeviceid", device, [&] { return QN_NET_GetDeviceid(record); });
}

int VLR_SYSTEM::ApplyTestAccount(uint16_t deviceType, uint8_t answer[66])
{
    return RepliedBytes<66>(*this, "QN_NET_ApplyTestAccount", answer,
                            [&](uint8_t* r) { return QN_NET_ApplyTestAccount(deviceType, r); });
}

int VLR_SYSTEM::GetShareDeviceInfo(uint32_t device, QN_NET_SHARE_INFO* records, int32_t capacity, int32_t* count)
{
    if (records == nullptr || count == nullptr || capacity <= 0) {
        ReportError(VLR_REPORT_PARAM, "QN_NET_GetShareDeviceInfo");
        return 0;
    }
    std::vector<QN_NET_SHARE_INFO> reply(static_cast<std::size_t>(capacity));
    int32_t got = 0;
    if (!Sent(*this, "QN_NET_GetShareDeviceInfo",
              [&] { return QN_NET_GetShareDeviceInfo(device, reply.data(), capacity, &got); })) {
        return 0;
    }
    got = std::max(0, std::min(got, capacity));
    std::copy(reply.begin(), reply.begin() + got, records);
    *count = got;
    return 1;
}

int VLR_SYSTEM::GetDeviceVersion(uint32_t device, uint8_t answer[152])
{
    return RepliedBytes<152>(*this, "QN_NET_GetDeviceVersion", answer,
                             [&](uint8_t* r) { return QN_NET_GetDeviceVersion(device, r); });
}

int VLR_SYSTEM::GetInstallState(int32_t camera, int32_t* state)
{
    return StateCall(*this, "QN_NET_GetInstallState", state, [&] { return QN_NET_GetInstallState(camera); });
}

int VLR_SYSTEM::SetInstallState(int32_t camera, int32_t type)
{
    return Sent(*this, "QN_NET_SetInstallState", [&] { return QN_NET_SetInstallState(camera, type); });
}

int VLR_SYSTEM::GetLanType(int32_t camera, int32_t* type)
{
    return StateCall(*this, "QN_NET_GetLanType", type, [&] { return QN_NET_GetLanType(camera); });
}

int VLR_SYSTEM::SetLanType(int32_t camera, int32_t type)
{
    return Sent(*this, "QN_NET_SetLanType", [&] { return QN_NET_SetLanType(camera, type); });
}

int VLR_SYSTEM::GetZoneType(int32_t camera, int32_t* zone)
{
    return StateCall(*this, "QN_NET_GetZoneType", zone, [&] { return QN_NET_GetZoneType(camera); });
}

int VLR_SYSTEM::SetZoneType(int32_t camera, int32_t zone, int32_t value)
{
    return Sent(*this, "QN_NET_SetZoneType", [&] { return QN_NET_SetZoneType(camera, zone, value); });
}

int VLR_SYSTEM::GetMotionDT(int32_t camera, QN_NET_MOTION_DETECTION* motion)
{
    return Replied(*this, "QN_NET_GetMotionDT", motion,
                   [&](QN_NET_MOTION_DETECTION* r) { return QN_NET_GetMotionDT(camera, r); });
}

int VLR_SYSTEM::SetMotionDT(int32_t camera, const QN_NET_MOTION_DETECTION* motion)
{
    return Sent(*this, "QN_NET_SetMotionDT", [&] { return QN_NET_SetMotionDT(camera, motion); });
}

int VLR_SYSTEM::PTZ_GetDevStatus(int32_t camera, int32_t value, QN_NET_PTZ_STATUS* status, int32_t local)
{
    return Replied(*this, "QN_NET_PTZ_GetDevStatus", status,
                   [&](QN_NET_PTZ_STATUS* r) { return QN_NET_PTZ_GetDevStatus(camera, value, r, local); });
}

int VLR_SYSTEM::GetSSID(const uint8_t record[128], uint8_t answer[64])
{
    return RepliedBytes<64>(*this, "QN_NET_GetSSID", answer, [&](uint8_t* r) { return QN_NET_GetSSID(record, r); });
}

int VLR_SYSTEM::ModifyDevName(uint32_t device, const char name[32])
{
    return Sent(*this, "QN_NET_ModifyDevName", [&] { return QN_NET_ModifyDevName(device, name); });
}

int VLR_SYSTEM::RebootCamera(int32_t camera)
{
    return Sent(*this, "QN_NET_RebootCamera", [&] { return QN_NET_RebootCamera(camera); });
}

int VLR_SYSTEM::SignUp(const uint8_t record[256], uint16_t value)
{
    return Sent(*this, "QN_NET_SignUp", [&] { return QN_NET_SignUp(record, value); });
}

int VLR_SYSTEM::ResetPassword(const uint8_t record[192])
{
    return Sent(*this, "QN_NET_ResetPassword", [&] { return QN_NET_ResetPassword(record); });
}

int VLR_SYSTEM::ResetPasswordEx(const uint8_t record[192])
{
    return Sent(*this, "QN_NET_ResetPasswordEx", [&] { return QN_NET_ResetPasswordEx(record); });
}

int VLR_SYSTEM::ShareDevice(uint32_t device, const uint8_t record[256], int32_t* result)
{
    return Replied(*this, "QN_NET_ShareDevice", result,
                   [&](int32_t* r) { return QN_NET_ShareDevice(device, record, r); });
}

int VLR_SYSTEM::Upgrade(int32_t mode, int32_t camera, const QN_NET_UPGRADE* upgrade)
{
    return Sent(*this, "QN_NET_Upgrade", [&] { return QN_NET_Upgrade(mode, camera, upgrade); });
}

int VLR_SYSTEM::StopUpgrade(int32_t camera)
{
    return Sent(*this, "QN_NET_StopUpgrade", [&] { return QN_NET_StopUpgrade(camera); });
}

int VLR_SYSTEM::GetVerifyCode(const uint8_t record[92])
{
    return Sent(*this, "QN_NET_GetVerifyCode", [&] { return QN_NET_ApplySendNotification(record); });
}

int VLR_SYSTEM::DevSignIn(uint32_t address, int32_t port, const char* mark)
{
    if (mark == nullptr) {
        ReportError(VLR_REPORT_PARAM, "dev QN_NET_Mgr_SignIn");
        return 0;
    }
    char hex[9] = {};
    std::strncpy(hex, mark, 8);
    const auto value = static_cast<int32_t>(std::strtoul(hex, nullptr, 16) & 0x7FFFFFFFu);
    return Sent(*this, "dev QN_NET_Mgr_SignIn",
                [&] { return QN_NET_Base_connect(kDeviceConnection, address, port, value); });
}

int VLR_SYSTEM::GetAllConfig(int32_t camera, QN_NET_CONFIG* config)
{
    if (camera <= 0 || config == nullptr) {
        ReportError(VLR_REPORT_PARAM, "GetAllConfig");
        return 0;
    }
    return Replied(*this, "GetAllConfig", config,
                   [&](QN_NET_CONFIG* r) { return QN_NET_GetConfigMsg(camera, kAllSettings, r); });
}

int VLR_SYSTEM::GetEncryption(int32_t camera, QN_NET_CONFIG* config)
{
    if (camera <= 0 || config == nullptr) {
        ReportError(VLR_REPORT_PARAM, "GetEncryption");
        return 0;
    }
    return Replied(*this, "GetEncryption", config,
                   [&](QN_NET_CONFIG* r) { return QN_NET_GetConfigMsg(camera, kEncryptionSettings, r); });
}

int VLR_SYSTEM::GetPTZConnectType(int32_t camera)
{
    return Sent(*this, "GetPTZConnectType", [&] { return QN_NET_LocalConnect(camera); });
}

int VLR_SYSTEM::SetTfCard(int32_t camera, const QN_NET_TF_INFO* info)
{
    return Sent(*this, "SetTfCard", [&] { return QN_NET_SetTfinfo(camera, info); });
}

int VLR_SYSTEM::GetAlarmPic(int32_t camera, int32_t value2, int32_t value3, int32_t value4, int32_t value5,
                            int32_t value6)
{
    return QN_NET_GetAlarmPic(camera, value2, value3, value4, value5, value6);
}

int VLR_SYSTEM::SetEncryption(int32_t camera, const QN_NET_CONFIG* config, const char* slot, const char* password)
{
    const bool knownSlot = slot != nullptr && (std::strcmp(slot, "default") == 0 || std::strcmp(slot, "default_old") == 0);
    if (config == nullptr || password == nullptr || !knownSlot) {
        ReportError(VLR_REPORT_PARAM, "SetEncryption");
        return 0;
    }
    if (!Sent(*this, "SetEncryption", [&] { return QN_NET_SetConfigMsg(camera, config); })) return 0;
    std::lock_guard<std::mutex> lock(modelMutex_);
    if (!keys_) keys_ = std::make_unique<streams::SecurityKeys>();
    return streams::qnSetSecurityKey(*keys_, password, slot) == 1 ? 1 : 0;
}

std::string VLR_SYSTEM::EncryptionKeyText(const char* slot)
{
    std::lock_guard<std::mutex> lock(modelMutex_);
    return keys_ && slot != nullptr ? streams::qnGetSecurityKeyText(*keys_, slot) : std::string();
}
