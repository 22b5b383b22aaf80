#include "device_file_name.h"

#include <cstring>

#include "camera_record.h"

std::string DeviceFileName(std::string_view deviceText)
{
    std::string name(deviceText);
    for (char& c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f) c = '_';
    }
    if (name.empty() || name == "." || name == "..") return {};
    return name;
}

int32_t WifiWord(const QnCameraRecord& record, int index)
{
    int32_t word = 0;
    if (index >= 0 && size_t(index + 1) * sizeof word <= sizeof record.wifiInfo)
        std::memcpy(&word, record.wifiInfo + index * sizeof word, sizeof word);
    return word;
}
