// A short-lived connection to the login server: every account call opens one,
// sends its request, waits for the answer and closes it again.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "vqSDK/VlrNetSDK/os_event.h"
#include "vqSDK/VlrNetSDK/sdk_session.h"

namespace qn_net {

class login_conn {
public:
    static constexpr std::size_t kStoreSize = 13000;
    // An answer of this total length is an error answer, whatever its id: its
    // body starts with the server's error code. (An answer of free length
    // that happened to be 152 bytes long would be taken for one too; the
    // servers rely on this rule.)
    static constexpr uint32_t kErrorAnswerTotal = 152;

    // Connects to the login server and registers with the current session's
    // receive thread, holding that session until it is closed; null with the
    // error set (11507 unreachable, 12000 no receive slot).
    static std::unique_ptr<login_conn> open();
    ~login_conn();
    login_conn(const login_conn&) = delete;
    login_conn& operator=(const login_conn&) = delete;

    // Arms the connection for the answer to `msgId` and sends the request.
    bool request(uint32_t msgId, const void* body, std::size_t length);

    enum class outcome {
        answered,      // the answer arrived and was taken in
        error_answer,  // the server's code is in the error variable
        bad_answer,    // the answer announced more than it carried
        timed_out,     // no answer in time, or the server closed the connection
    };
    outcome wait(int64_t timeoutMs);

    // The answer, valid after `answered`.
    const uint8_t* store() const { return store_; }
    std::size_t stored() const { return stored_; }
    uint32_t result() const { return result_; }
    const uint8_t* salt() const { return salt_; }
    const uint8_t* share_salt() const { return shareSalt_; }

    // Copies `width` bytes of the answer, zero beyond what was kept.
    void copy_answer(void* out, std::size_t width, std::size_t from = 0) const;

    // The answer length the handler accepts for an id (0: any length), and
    // whether it knows the id at all.
    static bool accepted_total(uint32_t msgId, uint32_t* total);

private:
    login_conn() = default;
    static int on_message(const char* frame, int length, int zero, void* user);
    static void on_disconnect(int socket, void* user);
    void handle(const uint8_t* frame, std::size_t length);
    // Takes in the answer's body; false when the answer is malformed.
    bool take_in(uint32_t msgId, const uint8_t* body, std::size_t length);
    void keep(const uint8_t* body, std::size_t length, std::size_t count);
    COSEvent& event_for(uint32_t msgId);

    // Released last: the socket is unregistered from its receive thread first.
    session_ref session_;
    int socket_ = -1;
    std::atomic<uint32_t> expected_{0};
    std::atomic<bool> closed_{false};
    uint32_t armedId_ = 0;
    // Written by the receive thread before the answer's event is set, read by
    // the caller after its wait ended signalled.
    bool success_ = false;
    bool malformed_ = false;
    uint8_t store_[kStoreSize] = {};
    std::size_t stored_ = 0;
    uint32_t result_ = 0;
    uint8_t salt_[16] = {};
    uint8_t shareSalt_[16] = {};
    COSEvent answerEvent_;
    COSEvent saltEvent_;
    COSEvent shareSaltEvent_;
};

} // namespace qn_net
