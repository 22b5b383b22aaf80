// TF-card recordings as the simulated LAN camera serves them (camsim
// lan_camera --card), for the tests that play them back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace testing_support {

// A one-minute recording from 08:00 on 2026-12-10: its start is the file
// record's values 29-34, its end time values 38-40 (hour, minute, second).
inline QN_NET_REMOTE_FILE MorningFile()
{
    QN_NET_REMOTE_FILE file{};
    const int32_t start[] = {2026, 12, 10, 8, 0, 0};
    std::copy(std::begin(start), std::end(start), file.values + 29);
    file.values[38] = 8;
    file.values[39] = 1;
    return file;
}

} // namespace testing_support
