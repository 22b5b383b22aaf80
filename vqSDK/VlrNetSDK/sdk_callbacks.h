// Registration of the user's callbacks (the life-cycle calls set them; every
// other module raises through sdk_report.h).
#pragma once

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

void SetEventCallbacks(QN_NET_MSG_CALLBACK event, QN_NET_BYTE_COUNT_CALLBACK byteCount, void* user);
void SetDebugCallback(QN_NET_DEBUG_CALLBACK callback);
QN_NET_DEBUG_CALLBACK CurrentDebugCallback();
void SetInitialised(bool initialised);

} // namespace qn_net

namespace qn_net {

struct real_data_registration {
    QN_NET_REAL_DATA_CALLBACK callback = nullptr;
    int32_t value = 0;
};
void SetRealDataCallback(QN_NET_REAL_DATA_CALLBACK callback, int32_t value);
real_data_registration CurrentRealData();

} // namespace qn_net
