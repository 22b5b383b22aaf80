// The panorama information the video window and the controller ask for: of
// the live stream through the hub, of a local file through the file module.
#include <cstdlib>
#include <cstring>

#include "app/qnNetAPI.h"
#include "platform/text.h"
#include "streams/private_sei.h"

namespace {

constexpr int kPanoTextBytes = 64;

} // namespace

int qnNetAPI::GetPanoTypeEx(char text[64])
{
    if (text == nullptr) return 0;
    char reply[kPanoTextBytes] = {};
    if (hub_.GetInfo("pano_info_get", "pano_typeex", reply, kPanoTextBytes) != 1) return 0;
    reply[kPanoTextBytes - 1] = '\0';
    std::memcpy(text, reply, kPanoTextBytes);
    return 1;
}

int qnNetAPI::GetPanoInfo(vqPanoInfo* info)
{
    if (info == nullptr || !GetPanoTypeEx(info->panoType)) return 0;
    struct Item {
        const char* name;
        int32_t* value;
    } items[] = {{"pano_centerx", &info->circleX}, {"pano_centery", &info->circleY},
                 {"pano_radius", &info->radius},   {"ori_wid", &info->sourceWidth},
                 {"ori_hei", &info->sourceHeight}, {"pano_tilt", &info->mountTilt},
                 {"pano_rotate", &info->rotate}};
    for (const Item& item : items) {
        char reply[kPanoTextBytes] = {};
        if (hub_.GetInfo("pano_info_get", item.name, reply, kPanoTextBytes) != 1) return 0;
        reply[kPanoTextBytes - 1] = '\0';
        // The stream platform answers in text, some values with decimals.
        *item.value = static_cast<int32_t>(std::strtod(reply, nullptr));
    }
    info->valid = 1;
    return 1;
}

int qnNetAPI::GetLocalParam(vqPanoInfo* info)
{
    if (info == nullptr) return 0;
    const auto* sei = static_cast<const streams::MontSeiInfo*>(filePlay_.GetInfo("file_get_sei"));
    if (sei == nullptr) return 0;
    const uint64_t panoType = uint64_t{sei->panoTypeHigh} << 32 | sei->panoTypeLow;
    std::memset(info, 0, sizeof(*info));
    platform::CopyBounded(info->panoType, sizeof(info->panoType), std::to_string(panoType));
    info->circleX = static_cast<int32_t>(sei->centerX);
    info->circleY = static_cast<int32_t>(sei->centerY);
    info->radius = static_cast<int32_t>(sei->radius);
    info->valid = 1;
    return 1;
}
