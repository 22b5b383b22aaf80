// Registration of the user's callbacks (the life-cycle calls set them; every
// other module raises through sdk_report.h).
#pragma once

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

void SetEventCallbacks(QN_NET_MSG_CALLBACK event, QN_NET_BYTE_COUNT_CALLBACK byteCount, void* user);
void SetDebugCallback(QN_NET_DEBUG_CALLBACK callback);
void SetInitialised(bool initialised);

} // namespace qn_net
