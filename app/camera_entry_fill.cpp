#include "app/camera_entry_fill.h"

#include <cstring>

QnCameraEntry MakeCameraEntry(const VLR_CAMERA_ENTRY& listed, int32_t cameraType)
{
    static_assert(sizeof(QnCameraEntry::deviceText) == sizeof(QN_NET_DEVICE_INFO::identity));
    static_assert(sizeof(QnCameraEntry::name) == sizeof(QN_NET_DEVICE_INFO::name));
    static_assert(sizeof(QnCameraEntry::text) == sizeof(QN_NET_DEVICE_INFO::text));
    static_assert(sizeof(QnCameraEntry::model) == sizeof(QN_NET_DEVICE_INFO::model));
    static_assert(sizeof(QnCameraEntry::region) == sizeof(QN_NET_DEVICE_INFO::short_text));
    const QN_NET_DEVICE_INFO& device = listed.device;
    QnCameraEntry entry{};
    std::memcpy(entry.deviceText, device.identity, sizeof(entry.deviceText));
    std::memcpy(entry.name, device.name, sizeof(entry.name));
    std::memcpy(entry.text, device.text, sizeof(entry.text));
    std::memcpy(entry.model, device.model, sizeof(entry.model));
    entry.cameraId = static_cast<int32_t>(device.device_id);
    entry.value = static_cast<int32_t>(device.value);
    std::memcpy(entry.region, device.short_text, sizeof(entry.region));
    entry.shared = listed.listKind;
    entry.cameraType = cameraType;
    return entry;
}
