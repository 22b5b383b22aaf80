#include "streams/vq_cloud.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "app/camera_record.h"

namespace streams {

namespace {

std::mutex g_lock;
std::unique_ptr<CloudPlayer> g_player;
const platform::Clock* g_clock = nullptr;

constexpr int kNoObject = 7;
constexpr int kNullPage = 5;

std::string FieldText(const char* field, std::size_t size)
{
    return std::string(field, strnlen(field, size));
}

int Answer(int code, int* result)
{
    if (result != nullptr) *result = code;
    return code != 0 ? 1 : 0;
}

} // namespace

void cloudSetClock(const platform::Clock* clock)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_clock = clock;
    if (g_player) g_player->SetClock(clock);
}

CloudPlayer* CloudPlayerObject()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_player.get();
}

} // namespace streams

using streams::CloudPlayerObject;

int vqCloudCreate()
{
    std::lock_guard<std::mutex> hold(streams::g_lock);
    if (!streams::g_player) {
        streams::g_player = std::make_unique<streams::CloudPlayer>();
        streams::g_player->SetClock(streams::g_clock);
    }
    return 0;
}

void vqCloudDestroy()
{
    std::unique_ptr<streams::CloudPlayer> player;
    {
        std::lock_guard<std::mutex> hold(streams::g_lock);
        player = std::move(streams::g_player);
    }
    // Its destructor stops and joins every thread.
    player.reset();
}

int vqCloudSetFolder(const char* folder)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    return player != nullptr ? player->SetFolder(folder) : streams::kNoObject;
}

void vqCloudSetAccount(const char* account, const char* text)
{
    if (streams::CloudPlayer* player = CloudPlayerObject()) player->SetAccount(account, text);
}

void vqCloudAddDevice(QnCameraEntry entry)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return;
    streams::CloudDevice device;
    device.cameraId = entry.cameraId;
    device.deviceText = streams::FieldText(entry.deviceText, sizeof entry.deviceText);
    device.ownerAccount = streams::FieldText(entry.name, sizeof entry.name);
    device.shared = entry.shared != 0;
    player->SetDevice(device);
}

int vqCloudSetCustomPwd(int32_t, const char* password)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    return player != nullptr ? player->SetCustomPassword(password) : 0;
}

int vqCloudSetEventCallback(vqEventCallback callback, void* user, int value)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    player->SetEventCallback(callback, user, value);
    return 0;
}

int vqCloudSetMsgCallback(vqCloudMsgCallback callback, void* user, int value)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    player->SetMessageCallback(callback, user, value);
    return 0;
}

int vqCloudSetVideoCallback(vqFrameCallback callback, void* user, int value)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    player->SetVideoCallback(callback, user, value);
    return 0;
}

int vqCloudSetAudioCallback(vqFrameCallback callback, void* user, int value)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    player->SetAudioCallback(callback, user, value);
    return 0;
}

void vqCloudSetRecordCallback(vqCloudRecordCallback callback, void* user, int value)
{
    if (streams::CloudPlayer* player = CloudPlayerObject()) player->SetRecordCallback(callback, user, value);
}

int vqCloudSearchFile(int32_t camera, VQ_CLOUD_TIME time, int* result)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    return streams::Answer(player->Search(camera, &time), result);
}

int vqCloudGetFileList(int32_t, int restart, VQ_CLOUD_FILE** page, int* count, int* result)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    if (page == nullptr) return streams::kNullPage;
    return streams::Answer(player->FileList(restart != 0, page, count), result);
}

int vqCloudDownFile(int32_t camera, VQ_CLOUD_TIME time, int* result)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    return streams::Answer(player->DownloadOnly(camera, &time), result);
}

int vqCloudStartPlay(int32_t camera, VQ_CLOUD_TIME time, int* result)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    return streams::Answer(player->StartPlay(camera, &time), result);
}

int vqStopPlayCloud()
{
    streams::CloudPlayer* player = CloudPlayerObject();
    if (player == nullptr) return streams::kNoObject;
    player->StopPlay();
    return 0;
}

int vqCloudStopDown()
{
    streams::CloudPlayer* player = CloudPlayerObject();
    return player != nullptr ? player->StopDownload() : 0;
}

int vqCloudRecord(const char* fileName)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    return player != nullptr ? player->StartRecord(fileName) : 0;
}

int vqCloudStopRecord()
{
    streams::CloudPlayer* player = CloudPlayerObject();
    return player != nullptr ? player->StopRecord() : 0;
}

int vqCloudGetPanoParam(VQ_PANO_PARAM* param)
{
    streams::CloudPlayer* player = CloudPlayerObject();
    return player != nullptr && player->PanoParam(param) ? 1 : 0;
}
