// The SDK's settings record and service ports (process-wide), and the login-server
// address, the values of the last login and the last id (kept in the session).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace qn_net {

struct global_settings {
    std::atomic<uint32_t> user_id{0xFFFFFFFFu};
    std::atomic<int32_t> local_udp_port{18050};
    // Carried by the camera messages; the management server's device-online
    // answer replaces it.
    std::atomic<int32_t> connection_value{41};
    std::atomic<int32_t> camera_timeout_ms{3000};
    std::atomic<int32_t> login_timeout_ms{6000};
};
global_settings& global_set();

// The current connection's state.
enum class conn_state : int32_t {
    none = 0,
    mgr_connecting = 1,
    local_connecting = 2,
    mgr_online = 3,
    local_online = 4,
};
std::atomic<conn_state>& connection_state();

// The next local UDP port: one up, back to the first above the last.
int32_t advance_local_udp_port();

// Where the service listens; the defaults are the service's own.
struct service_ports {
    std::atomic<uint16_t> login{19000};
    std::atomic<uint16_t> udp_first{18050};
    std::atomic<uint16_t> udp_last{18100};
};
service_ports& ports();

// The login server given to QN_NET_Init.
void set_login_server(const std::string& address);
std::string login_server_text();
uint32_t login_server_ipv4();  // S: network order

// What the last successful login answered.
struct login_values {
    uint32_t user_id = 0xFFFFFFFFu;          // U
    uint32_t mgr_ipv4 = 0;                   // M: network order
    uint16_t mgr_port = 0;
    uint32_t login_number = 0;               // L
    uint8_t token[128] = {};
};
void store_login_values(const login_values& values);
login_values last_login();
void forget_login();

// T: the id of the latest device-id or sign-up answer.
void set_last_id(uint32_t id);
uint32_t last_id();

} // namespace qn_net
