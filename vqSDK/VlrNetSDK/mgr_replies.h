// The reply handler of the management and local connections: every frame
// that arrives completes the request waiting for it with the record its caller
// reads, or goes to the event callback as a pushed notice.
//
// It runs on the receive thread with the receive lock held, so everything it
// raises must return quickly. Every reply is checked against the frame's
// length before a byte is copied.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

class base_conn;

void handle_mgr_reply(base_conn& conn, const uint8_t* frame, std::size_t length);
// The form the receive thread calls, with the connection as its user value.
int mgr_reply_handler(const char* frame, int length, int zero, void* user);

// The cloud-storage credentials that replies 90002, 90003 and 90006 assemble.
QN_NET_CLOUD_SIGN current_cloud_sign();
// Clears the session token before a new fetch, so that no piece of an older
// token survives into the new one.
void clear_cloud_sign_token();

// The camera's address on the local network from reply 20312 (network order).
struct local_camera_address {
    uint32_t ipv4 = 0;
    uint32_t port = 0;
};
local_camera_address last_local_camera_address();

} // namespace qn_net
