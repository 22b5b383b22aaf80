// A callback with its user value that the host registers while the worker
// threads may be sending. The pair is copied under a lock and called outside
// it, so a callback may call back into the library.
#ifndef OSTRELS_PTZLINK_EVENT_SINK_H
#define OSTRELS_PTZLINK_EVENT_SINK_H

#include <cstdint>
#include <mutex>

#include "qn_ptzlink.h"

namespace qnpl {

class EventSink {
public:
    void set(QNPL_CB_FUNC function, uint64_t user)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_function = function;
        m_user = user;
    }
    bool registered() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_function != nullptr;
    }
    // False when no callback is registered.
    bool send(uint64_t code, const char* text) const
    {
        QNPL_CB_FUNC function;
        uint64_t user;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            function = m_function;
            user = m_user;
        }
        if (!function) return false;
        function(code, text, user);
        return true;
    }

private:
    mutable std::mutex m_lock;
    QNPL_CB_FUNC m_function = nullptr;
    uint64_t m_user = 0;
};

}  // namespace qnpl

#endif
