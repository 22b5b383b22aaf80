// The LAN camera connection's reply handler on arbitrary messages, with a
// real loopback connection behind it whose far end reads everything.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/net_socket.h"
#include "reply_fuzz_input.h"
#include "vqSDK/VlrNetSDK/frame_pool.h"
#include "vqSDK/VlrNetSDK/media/ipc_conn.h"

namespace {

int TakeFrame(char* data, int32_t type, int32_t, int32_t, int32_t)
{
    if (type != 3) qn_net::frame_pool::free_buffer(data);
    return 0;
}

struct connected_camera {
    connected_camera()
    {
        int listener = platform::ListenLoopback(platform::NetFamily::IPv4, 0, 1);
        uint32_t loopback = 0;
        platform::TextToIPv4("127.0.0.1", &loopback);
        conn.set_camera_address(loopback, platform::LocalPort(listener));
        conn.make_ipc_conn(2, 0);
        int peer = platform::AcceptConnection(listener);
        platform::CloseSocket(listener);
        conn.set_camera(7);
        conn.set_stream(1);
        conn.set_handshake_sent(true);
        conn.set_data_callback(&TakeFrame, 0);
        // The camera side reads whatever the handler answers.
        std::thread([peer] {
            char sink[65536];
            std::vector<platform::PollItem> items(1);
            items[0].socket = peer;
            while (true) {
                platform::PollReadable(items, 100);
                if (platform::ReceiveBytes(peer, sink, sizeof sink) == 0) break;
            }
        }).detach();
    }
    qn_net::process_recv receiver;
    qn_net::ipc_conn conn{receiver};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static connected_camera* camera = new connected_camera;
    media_fuzz::ForEachMessage(data, size, [](const uint8_t* frame, std::size_t length) {
        camera->conn.handle_message(frame, length);
    });
    return 0;
}
