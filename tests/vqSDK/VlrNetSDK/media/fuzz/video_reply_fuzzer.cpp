// The video-server connection's reply handler on arbitrary messages, with a
// bound socket and a server address on loopback.
#include <cstddef>
#include <cstdint>

#include "platform/net_socket.h"
#include "reply_fuzz_input.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/frame_deck.h"
#include "vqSDK/VlrNetSDK/media/video_conn.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"

namespace {

int TakeFrame(char* data, int32_t type, int32_t, int32_t, int32_t)
{
    if (type != 3) qn_net::frame_pool::free_buffer(data);
    return 0;
}

struct bound_connection {
    bound_connection() : deck(pool), conn(receiver, deck)
    {
        qn_net::global_set().local_udp_port.store(0);
        deck.set_camera(7);
        deck.set_data_callback(&TakeFrame, 0);
        conn.make_bind_udp();
        // A port on loopback where nobody listens: answers go nowhere.
        int sink = platform::OpenSocket(platform::NetFamily::IPv4, platform::NetKind::Datagram);
        platform::BindAny(sink, platform::NetFamily::IPv4, 0);
        uint32_t loopback = 0;
        platform::TextToIPv4("127.0.0.1", &loopback);
        conn.open_stream(loopback, platform::LocalPort(sink), 7, nullptr);
        platform::CloseSocket(sink);
        conn.set_camera(7);
        conn.set_stream(1);
        conn.set_accepting(true);
    }
    qn_net::process_recv receiver;
    qn_net::frame_pool pool;
    qn_net::frame_deck deck;
    qn_net::video_conn conn;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static bound_connection* bound = new bound_connection;
    media_fuzz::ForEachMessage(data, size, [](const uint8_t* frame, std::size_t length) {
        bound->conn.handle_message(frame, length);
    });
    return 0;
}
