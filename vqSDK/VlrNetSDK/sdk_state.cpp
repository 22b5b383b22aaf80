#include "vqSDK/VlrNetSDK/sdk_state.h"

#include <mutex>

#include "platform/net_socket.h"

namespace qn_net {
namespace {

std::mutex g_mutex;
std::string g_loginServer;
uint32_t g_loginServerIPv4 = 0;
login_values g_login;
std::atomic<uint32_t> g_lastId{0};

} // namespace

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
    std::lock_guard<std::mutex> lock(g_mutex);
    g_loginServer = address;
    g_loginServerIPv4 = ipv4;
}

std::string login_server_text()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_loginServer;
}

uint32_t login_server_ipv4()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_loginServerIPv4;
}

void store_login_values(const login_values& values)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_login = values;
    }
    global_set().user_id.store(values.user_id);
}

login_values last_login()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_login;
}

void forget_login()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_login = login_values{};
}

void set_last_id(uint32_t id) { g_lastId.store(id); }
uint32_t last_id() { return g_lastId.load(); }

} // namespace qn_net
