// When a running picture download keeps a new one from starting.
#pragma once

#include <cstdint>

#include "vqSDK/VlrNetSDK/alarm_picture.h"

namespace qn_net {

// Blocks follow each other within moments; this long without one, the
// download is taken as lost.
constexpr int64_t kStalledDownloadMs = 10000;

// True while `picture` downloads and its last block (or its start) came less
// than kStalledDownloadMs before `nowMs`. A stalled download is ended here,
// since nothing else would ever end it.
inline bool picture_download_busy(alarm_picture_download& picture, int64_t nowMs)
{
    if (!picture.downloading()) return false;
    if (nowMs - picture.last_block_ms() < kStalledDownloadMs) return true;
    picture.set_idle();
    return false;
}

} // namespace qn_net
