// The resource pack seen from outside, the platform's panorama events passed
// on to the GL message callback, and the TF-card record index parser.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

bool Is(const char* item, const char* name)
{
    return std::strcmp(item, name) == 0;
}

} // namespace

int VLR_SYSTEM::SetGLMsgCallBack(VLR_GL_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    glUser_.store(user);
    glValue_.store(userValue);
    glCallback_.store(callback);
    return 1;
}

void VLR_SYSTEM::PassOnGlItem(void* record, int32_t value, const char* item)
{
    const VLR_GL_MSG_CALLBACK callback = glCallback_.load();
    if (callback != nullptr) callback(record, value, item, glUser_.load(), glValue_.load());
}

void VLR_SYSTEM::montEventCBFun(int, int kind, uint32_t low, uint32_t high, const char* item, void* hub, void*)
{
    auto* self = static_cast<VLR_SYSTEM*>(hub);
    if (self == nullptr || item == nullptr) return;
    // A number, or the address of a record valid during the call.
    void* const record = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint64_t>(high) << 32 | low));
    if (Is(item, "Local_region")) {
        VLR_LOCAL_REGIONS regions{};
        const auto* given = static_cast<const int32_t*>(record);
        if (given != nullptr) {
            regions.count = std::clamp(given[0], 0, static_cast<int32_t>(VLR_LOCAL_REGIONS_MAX));
            for (int32_t i = 0; i < regions.count; ++i) {
                const int32_t* region = given + 1 + 4 * i;
                VLR_LOCAL_REGION& out = regions.regions[i];
                out.width = region[2];
                out.height = region[3];
                out.x = std::clamp(region[0], 0, std::max(out.width, 0));
                out.y = std::clamp(region[1], 0, std::max(out.height, 0));
            }
        }
        self->PassOnGlItem(&regions, kind, item);
    } else if (Is(item, "cam_original") || Is(item, "cam_middle")) {
        self->PassOnGlItem(nullptr, kind, item);
    } else if (Is(item, "cam_perspective")) {
        // The perspective view draws itself; the window needs nothing of it.
    } else if (Is(item, "Support ori-model switch") || Is(item, "Unsupport ori-model switch")) {
        std::printf("%s\n", item);
        self->PassOnGlItem(record, kind, item);
    } else {
        self->PassOnGlItem(record, kind, item);
    }
}

const RESPACK* VLR_SYSTEM::GetSourcePackData()
{
    if (state_.load() & VLR_STATE_PACK_BUILT) return &pack_;
    ReportText("Not set source packet");
    return nullptr;
}

int VLR_SYSTEM::ParseRemoteIndex(qn_cloud::MinuteIndexEntry* records, int capacity, int64_t dayTime,
                                 const uint8_t* reply, int32_t length)
{
    if (records == nullptr || capacity <= 0 || reply == nullptr || length <= 0) {
        ReportError(VLR_REPORT_PARAM, "ParseRemoteIndex");
        return 0;
    }
    return qn_cloud::parse_day_index_minutes(records, capacity, reply, static_cast<std::size_t>(length), dayTime);
}
