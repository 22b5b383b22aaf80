// Collects the texts a QN_PTZLINK engine sends to its event callback, from
// whatever thread sends them.
#ifndef OSTRELS_TESTS_PTZLINK_EVENT_RECORDER_H
#define OSTRELS_TESTS_PTZLINK_EVENT_RECORDER_H

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ptzlink_test {

class EventRecorder {
public:
    static void callback(uint64_t code, const char* text, uint64_t user)
    {
        auto* self = reinterpret_cast<EventRecorder*>(user);
        std::lock_guard<std::mutex> guard(self->m_lock);
        self->m_texts.emplace_back(text ? text : "");
        self->m_codes.push_back(code);
        self->m_changed.notify_all();
    }
    uint64_t user() { return reinterpret_cast<uint64_t>(this); }

    std::vector<std::string> texts()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_texts;
    }
    std::vector<uint64_t> codes()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_codes;
    }
    bool contains(const std::string& text)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return std::find(m_texts.begin(), m_texts.end(), text) != m_texts.end();
    }
    // Waits (bounded) until every text of `wanted` has arrived.
    bool wait_for(const std::vector<std::string>& wanted, std::chrono::milliseconds limit = std::chrono::seconds(5))
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, limit, [&] {
            return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& w) {
                return std::find(m_texts.begin(), m_texts.end(), w) != m_texts.end();
            });
        });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_texts;
    std::vector<uint64_t> m_codes;
};

}  // namespace ptzlink_test

#endif
