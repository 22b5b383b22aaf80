#include "vqSDK/VlrNetSDK/process_recv.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstring>
#include <system_error>
#include <vector>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/frame_scanner.h"

namespace qn_net {
namespace {

// Set while a handler runs, to catch a handler that calls back into the
// receive thread's operations (it would deadlock on the receive lock).
thread_local bool t_inHandler = false;

// Datagrams read from one socket per round, so a flooded socket cannot starve
// the others.
constexpr int kDatagramsPerRound = 64;
// A removal waits at most this long for the thread to close its socket (the
// thread is woken at once, so only a handler that blocks can make it wait).
constexpr auto kRemovalWait = std::chrono::seconds(5);

class slot_dispatch final : public frame_sink {
public:
    explicit slot_dispatch(const handler_record& record) : record_(record) {}
    void on_frame(const uint8_t* frame, std::size_t length) override
    {
        if (record_.handler == nullptr) return;
        t_inHandler = true;
        record_.handler(reinterpret_cast<const char*>(frame), static_cast<int>(length), 0, record_.user);
        t_inHandler = false;
    }

private:
    handler_record record_;
};

} // namespace

int process_recv::start()
{
    std::lock_guard<std::mutex> lifecycle(lifecycle_);
    if (running_.load()) return 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& slot : slots_) clear_slot(slot);
        running_.store(true);
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        running_.store(false);
        return 0;
    }
    return 1;
}

void process_recv::stop()
{
    assert(!t_inHandler);
    std::lock_guard<std::mutex> lifecycle(lifecycle_);
    int left = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.store(false);
        for (auto& slot : slots_) {
            slot.handlers = handler_record{};
            if (slot.inUse) ++left;
        }
    }
    waker_.Wake();
    if (thread_.joinable()) thread_.join();
    {
        // Removals made while the thread was ending are closed here.
        std::lock_guard<std::mutex> lock(mutex_);
        close_removed();
    }
    if (left != 0) QNLogPrint("%s(%d) sockets still registered:%d\n", "process_recv::stop", __LINE__, left);
}

void process_recv::close_removed()
{
    if (removed_.empty()) return;
    for (int socket : removed_) platform::CloseSocket(socket);
    removed_.clear();
    removedClosed_.notify_all();
}

void process_recv::clear_slot(slot_state& slot)
{
    slot.socket = -1;
    slot.kind = 0;
    slot.inUse = false;
    slot.closed = false;
    slot.variant = 0;
    slot.udpSource = 0;
    slot.handlers = handler_record{};
    slot.fill = 0;
    ++slot.generation;
}

process_recv::slot_state* process_recv::find(int socket)
{
    for (auto& slot : slots_) {
        if (slot.inUse && slot.socket == socket) return &slot;
    }
    return nullptr;
}

int process_recv::add_socket(int socket, int kind, int variant)
{
    assert(!t_inHandler);
    if (socket < 0) return -1;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& slot : slots_) {
        if (slot.inUse) continue;
        clear_slot(slot);
        slot.socket = socket;
        slot.kind = kind;
        slot.variant = variant;
        slot.inUse = true;
        return 0;
    }
    return -1;
}

int process_recv::set_handler(const handler_record& record, int socket)
{
    assert(!t_inHandler);
    std::lock_guard<std::mutex> lock(mutex_);
    slot_state* slot = find(socket);
    if (slot == nullptr) return -1;
    slot->handlers = record;
    return 0;
}

int process_recv::clear_handler(int socket)
{
    assert(!t_inHandler);
    std::lock_guard<std::mutex> lock(mutex_);
    slot_state* slot = find(socket);
    if (slot == nullptr) return -1;
    slot->handlers = handler_record{};
    return 0;
}

int process_recv::set_udp_source(int socket, uint32_t ipv4)
{
    assert(!t_inHandler);
    std::lock_guard<std::mutex> lock(mutex_);
    slot_state* slot = find(socket);
    if (slot == nullptr) return -1;
    slot->udpSource = ipv4;
    return 0;
}

int process_recv::remove_socket(int socket)
{
    assert(!t_inHandler);
    int result = -1;
    std::unique_lock<std::mutex> lock(mutex_);
    for (auto& slot : slots_) {
        if (slot.inUse && slot.socket == socket) {
            clear_slot(slot);
            result = 0;
        }
    }
    if (socket < 0) return result;
    // Closed only once no slot names it, so the thread never reads a reused
    // descriptor for this connection, and only between poll rounds.
    if (!running_.load()) {
        platform::CloseSocket(socket);
        return result;
    }
    removed_.push_back(socket);
    waker_.Wake();
    const auto closed = [&] { return std::find(removed_.begin(), removed_.end(), socket) == removed_.end(); };
    if (!removedClosed_.wait_for(lock, kRemovalWait, closed)) {
        QNLogPrint("%s(%d) the receive thread did not close socket %d in time\n", "process_recv::remove_socket",
                   __LINE__, socket);
        removed_.erase(std::find(removed_.begin(), removed_.end(), socket));
        platform::CloseSocket(socket);
    }
    return result;
}

int process_recv::registered() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const auto& slot : slots_) count += slot.inUse ? 1 : 0;
    return count;
}

void process_recv::dispatch(slot_state& slot, const uint8_t* data, std::size_t length)
{
    slot_dispatch sink(slot.handlers);
    std::size_t used = scan_frames(data, length, sink);
    if (data == slot.buffer) {
        std::memmove(slot.buffer, slot.buffer + used, length - used);
        slot.fill = length - used;
    }
}

void process_recv::mark_closed(slot_state& slot)
{
    slot.closed = true;
    slot.fill = 0;
    if (slot.handlers.disconnect == nullptr) return;
    t_inHandler = true;
    slot.handlers.disconnect(slot.socket, slot.handlers.user);
    t_inHandler = false;
}

int process_recv::read_tcp_socket(int socket, int slotIndex)
{
    slot_state& slot = slots_[slotIndex];
    long received = platform::ReceiveBytes(socket, slot.buffer + slot.fill, kBufferSize - slot.fill);
    if (received > 0) {
        dispatch(slot, slot.buffer, slot.fill + static_cast<std::size_t>(received));
        return static_cast<int>(received);
    }
    if (received < 0) {
        int error = platform::LastNetError();
        if (error == platform::kNetWouldBlock || error == platform::kNetInterrupted) return 0;
    }
    mark_closed(slot);
    return -1;
}

int process_recv::read_udp_socket(int socket, int slotIndex)
{
    slot_state& slot = slots_[slotIndex];
    int total = 0;
    // Each datagram is scanned on its own: the tail of a damaged datagram
    // never joins the next one.
    for (int i = 0; i < kDatagramsPerRound; ++i) {
        platform::Datagram datagram = platform::ReceiveDatagram(socket, slot.buffer, kBufferSize);
        if (datagram.length < 0) break;
        if (datagram.truncated) continue;
        if (slot.udpSource != 0 && datagram.sourceIPv4 != slot.udpSource) continue;
        slot.fill = 0;
        slot_dispatch sink(slot.handlers);
        scan_frames(slot.buffer, static_cast<std::size_t>(datagram.length), sink);
        total += static_cast<int>(datagram.length);
    }
    return total;
}

void process_recv::run()
{
    struct polled_slot {
        int index;
        uint32_t generation;
    };
    std::vector<platform::PollItem> items;
    std::vector<polled_slot> owners;
    while (running_.load()) {
        items.clear();
        owners.clear();
        // The waker comes first; a removal wakes the thread to close its socket here.
        platform::PollItem wake;
        wake.socket = waker_.Descriptor();
        items.push_back(wake);
        owners.push_back({-1, 0});
        {
            std::lock_guard<std::mutex> lock(mutex_);
            close_removed();
            if (!running_.load()) break;
            for (int i = 0; i < kSlots; ++i) {
                const slot_state& slot = slots_[i];
                if (!slot.inUse || slot.closed) continue;
                platform::PollItem item;
                item.socket = slot.socket;
                items.push_back(item);
                owners.push_back({i, slot.generation});
            }
        }
        if (platform::PollReadable(items, kPollMs) < 1) continue;
        if (items[0].readable) waker_.Drain();
        for (std::size_t i = 1; i < items.size(); ++i) {
            if (!items[i].readable) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            slot_state& slot = slots_[owners[i].index];
            // The slot may have been removed, and its descriptor reused, while
            // the thread waited.
            if (!slot.inUse || slot.closed || slot.generation != owners[i].generation) continue;
            if (slot.kind == kStream) {
                read_tcp_socket(slot.socket, owners[i].index);
            } else {
                read_udp_socket(slot.socket, owners[i].index);
            }
        }
    }
}

} // namespace qn_net
