// Feeds arbitrary frames to the management reply handler, with requests of
// every kind waiting, so that every row's bounds are tried.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "vqSDK/VlrNetSDK/base_conn.h"
#include "vqSDK/VlrNetSDK/frame_scanner.h"
#include "vqSDK/VlrNetSDK/mgr_replies.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace {

struct to_handler final : public qn_net::frame_sink {
    explicit to_handler(qn_net::base_conn& c) : conn(c) {}
    void on_frame(const uint8_t* frame, std::size_t length) override { qn_net::handle_mgr_reply(conn, frame, length); }
    qn_net::base_conn& conn;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static qn_net::process_recv receiver;
    static qn_net::mgr_conn conn(receiver);
    // The camera of the waiting requests comes from the input, so that
    // replies can find them.
    const int32_t camera = size >= 4 ? static_cast<int32_t>(qn_net::ReadU32(data)) : 7;
    std::vector<std::unique_ptr<qn_net::pending_request>> waiting;
    for (int32_t kind = 0; kind < 36; ++kind) {
        waiting.push_back(std::make_unique<qn_net::pending_request>("fuzz"));
        conn.pending().add(camera, kind, waiting.back().get());
    }
    for (int32_t key : {20200, 20203, 20311}) {
        waiting.push_back(std::make_unique<qn_net::pending_request>("fuzz"));
        conn.pending().add(key, key == 20200 ? 0 : key == 20203 ? 7 : 8, waiting.back().get());
    }
    to_handler sink(conn);
    std::vector<uint8_t> copy(data, data + size);
    qn_net::scan_frames(copy.data(), copy.size(), sink);
    for (auto& record : waiting) conn.pending().remove(record.get());
    return 0;
}
