// Settings and queries of the hub by name.
#include <algorithm>
#include <cstring>
#include <string>

#include "streams/montage.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr int kPanoInfoBytes = 64;

bool Is(const char* name, const char* wanted)
{
    return std::strcmp(name, wanted) == 0;
}

} // namespace

int VLR_SYSTEM::SetInfo(const char* name, const char* item, const char* value)
{
    const char* const operation = name != nullptr ? name : "";
    const uint32_t state = state_.load();
    const bool ready = (state & VLR_STATE_READY) != 0;
    if (Is(operation, "pre_init_data")) {
        if (!(state & VLR_STATE_PACK_BUILT)) return 1;
    } else if (Is(operation, "pre_init_gl") || Is(operation, "opengl") || Is(operation, "play_info_set")) {
        return 1;
    } else if (Is(operation, "security")) {
        if (ready) {
            // The platform knows no security names today, so this answers 0.
            return platform_->qn_mp_Ctrl(pack_.source, item, value) == 1 ? 1 : 0;
        }
    } else if (ready && (state & VLR_STATE_SIGNED_IN)) {
        return 1;
    }
    ReportError(VLR_REPORT_STATE, operation);
    return 0;
}

int VLR_SYSTEM::GetInfo(const char* name, const char* item, char* buffer, int length)
{
    const char* const operation = name != nullptr ? name : "";
    const uint32_t state = state_.load();
    const bool ready = (state & VLR_STATE_READY) != 0;
    const bool signedIn = (state & VLR_STATE_SIGNED_IN) != 0;
    if (Is(operation, "pre_init_data")) return (state & VLR_STATE_PACK_BUILT) ? 0 : 1;
    if (Is(operation, "pre_init_gl")) return platform_ && (state & VLR_STATE_PACK_BUILT) ? 1 : 0;
    if (Is(operation, "opengl") || Is(operation, "ori_mode_get")) return 1;
    if (Is(operation, "play_info_get")) {
        if (!ready || buffer == nullptr) return 0;
        return platform_->qn_mp_GetInfo(pack_.source, item, buffer, length);
    }
    if (Is(operation, "pano_info_get")) {
        if (!platform_ || !ready || buffer == nullptr || length < kPanoInfoBytes) return 0;
        return platform_->qn_mp_GetInfo(pack_.source, item, buffer, kPanoInfoBytes);
    }
    if (Is(operation, "security")) {
        if (!platform_ || buffer == nullptr || length < kPanoInfoBytes) return 0;
        return platform_->qn_mp_GetInfo(pack_.source, item, buffer, kPanoInfoBytes);
    }
    // "client" and every other name.
    return ready && signedIn ? 1 : 0;
}

int VLR_SYSTEM::IsSourcePackSet()
{
    if (state_.load() & VLR_STATE_PACK_BUILT) return 1;
    ReportText("Not set source packet");
    return 0;
}

int VLR_SYSTEM::CheckInput(int32_t count, const void* first, const void* second)
{
    if (!(state_.load() & VLR_STATE_PACK_BUILT)) {
        ReportText("Not set source packet");
        return 0;
    }
    count = std::clamp(count, 0, 2);
    if (count == 0 || (first != nullptr && second != nullptr)) return 1;
    ReportText("Input parameter error");
    return 0;
}
