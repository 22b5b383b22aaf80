// Camera records as the controller's table holds them, for the device list tests.
#pragma once

#include <cstring>
#include <string>

#include "camera_record.h"
#include "device_card.h"

namespace device_test {

inline void PutText(char* field, size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

inline void PutWord(QnCameraRecord& record, int index, int32_t value)
{
    std::memcpy(record.wifiInfo + index * 4, &value, 4);
}

// A camera on line with its queries done: address 192.168.1.<last>, a card of `cardMb`.
inline QnCameraRecord Camera(int id, const std::string& name, const std::string& model = "QN-V2")
{
    QnCameraRecord record{};
    PutText(record.entry.deviceText, sizeof record.entry.deviceText, "dev" + std::to_string(id));
    PutText(record.entry.name, sizeof record.entry.name, name);
    PutText(record.entry.model, sizeof record.entry.model, model);
    PutText(record.entry.region, sizeof record.entry.region, "sg");
    PutText(record.regionCode, sizeof record.regionCode, "sg");
    record.entry.cameraId = id;
    record.online = kCameraStateUnknown;
    return record;
}

inline void Queried(QnCameraRecord& record, int cardMb, int wifiLevel)
{
    record.queried = 1;
    record.infoRead = 1;
    record.hasThumbnail = 1;
    record.online = 1;
    const unsigned char address[4] = {192, 168, 1, static_cast<unsigned char>(record.entry.cameraId % 250)};
    std::memcpy(record.wifiInfo + kWifiAddressWord * 4, address, 4);
    PutWord(record, kWifiLevelWord, wifiLevel);
    record.tfInfo[kTfCardState] = cardMb > 0 ? 1 : 0;
    record.tfInfo[kTfSizeMb] = cardMb;
}

// A queried camera whose Wi-Fi record names its firmware and network, with a
// card of 30000 MB of which 1200 MB are free.
inline QnCameraRecord InformedCamera(int id, const std::string& model, const std::string& firmware,
                                     const std::string& network)
{
    QnCameraRecord record = Camera(id, "Hall", model);
    Queried(record, 30000, 3);
    char* wifi = reinterpret_cast<char*>(record.wifiInfo);
    PutText(wifi + device_card::kWifiFirmwareAt, device_card::kWifiFirmwareSize, firmware);
    PutText(wifi + device_card::kWifiNameAt, device_card::kWifiNameSize, network);
    record.tfInfoValid = 1;
    record.tfInfo[kTfFree] = 1200;
    return record;
}

} // namespace device_test
