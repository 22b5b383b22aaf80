#include "vqSDK/VlrNetSDK/sdk_state.h"

#include <mutex>

#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"

namespace qn_net {

global_settings& global_set()
{
    static global_settings settings;
    return settings;
}

service_ports& ports()
{
    static service_ports values;
    return values;
}

std::atomic<conn_state>& connection_state()
{
    static std::atomic<conn_state> state{conn_state::none};
    return state;
}

int32_t advance_local_udp_port()
{
    const int32_t first = ports().udp_first.load();
    const int32_t last = ports().udp_last.load();
    auto& port = global_set().local_udp_port;
    int32_t current = port.load();
    int32_t next = 0;
    do {
        next = current + 1;
        if (next > last || next < first) next = first;
    } while (!port.compare_exchange_weak(current, next));
    return next;
}

void set_login_server(const std::string& address)
{
    uint32_t ipv4 = 0;
    if (!platform::TextToIPv4(address, &ipv4)) ipv4 = 0;
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->login_mutex);
    current->login_server = address;
    current->login_server_ipv4 = ipv4;
}

std::string login_server_text()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->login_mutex);
    return current->login_server;
}

uint32_t login_server_ipv4()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->login_mutex);
    return current->login_server_ipv4;
}

void store_login_values(const login_values& values)
{
    {
        const session_ref current = session();
        std::lock_guard<std::mutex> lock(current->login_mutex);
        current->login = values;
    }
    global_set().user_id.store(values.user_id);
}

login_values last_login()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->login_mutex);
    return current->login;
}

void forget_login()
{
    const session_ref current = session();
    std::lock_guard<std::mutex> lock(current->login_mutex);
    current->login = login_values{};
}

void set_last_id(uint32_t id) { session()->last_id.store(id); }
uint32_t last_id() { return session()->last_id.load(); }

} // namespace qn_net
