// The connections' own debug lines: the registered text callback gets
// "%4d-%d-%d %d:%d:%d  <text>\n" in local time.
#pragma once

#include <atomic>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace qn_net {

class debug_line {
public:
    void set_callback(QN_NET_DEBUG_CALLBACK callback) { callback_.store(callback); }
    bool enabled() const { return callback_.load() != nullptr; }
    // Formats and passes one line when a callback is registered (at most 255
    // bytes, cut on a character boundary).
    void write(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    std::atomic<QN_NET_DEBUG_CALLBACK> callback_{nullptr};
};

} // namespace qn_net
