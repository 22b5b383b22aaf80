// Cloud play through flat functions on one process-wide player. Results
// through the out argument: 0 success, -2 no credentials or a storage path
// that does not split, -5 a local day index that cannot be read or an empty
// span (for the file list: nothing found), else the download's code. Return
// values: 1 when that code is not 0, else 0; 5 a null page pointer; 7 no
// player object.
#pragma once

#include <cstdint>

#include "streams/cloud_player.h"

namespace platform {
class Clock;
}

struct QnCameraEntry;

int vqCloudCreate();
void vqCloudDestroy();
int vqCloudSetFolder(const char* folder);
void vqCloudSetAccount(const char* account, const char* text);
// Keeps the camera id, the device text, the owner-account text and the shared flag.
void vqCloudAddDevice(QnCameraEntry entry);
int vqCloudSetCustomPwd(int32_t camera, const char* password);
int vqCloudSetEventCallback(vqEventCallback callback, void* user, int value);
int vqCloudSetMsgCallback(vqCloudMsgCallback callback, void* user, int value);
int vqCloudSetVideoCallback(vqFrameCallback callback, void* user, int value);
int vqCloudSetAudioCallback(vqFrameCallback callback, void* user, int value);
void vqCloudSetRecordCallback(vqCloudRecordCallback callback, void* user, int value);
int vqCloudSearchFile(int32_t camera, VQ_CLOUD_TIME time, int* result);
int vqCloudGetFileList(int32_t camera, int restart, VQ_CLOUD_FILE** page, int* count, int* result);
int vqCloudDownFile(int32_t camera, VQ_CLOUD_TIME time, int* result);
int vqCloudStartPlay(int32_t camera, VQ_CLOUD_TIME time, int* result);
int vqStopPlayCloud();
// May wait for a transfer in flight, up to its 30 s time-out.
int vqCloudStopDown();
int vqCloudRecord(const char* fileName);
int vqCloudStopRecord();
int vqCloudGetPanoParam(VQ_PANO_PARAM* param);

namespace streams {
// The clock pacing and "today" come from from the next play; null for the system clock.
void cloudSetClock(const platform::Clock* clock);
// The player, or null before vqCloudCreate; for watching its progress.
CloudPlayer* CloudPlayerObject();
} // namespace streams
