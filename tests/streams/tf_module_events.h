// The TF-card module lives once per process and keeps the callbacks of its
// first initialisation, so every test of the module initialises it with
// these, which gather its events for whichever test runs.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "streams/qn_tf.h"

namespace streams_test {

struct TfModuleEvents {
    std::mutex lock;
    std::vector<std::pair<int, std::string>> events;

    static TfModuleEvents& Get()
    {
        static TfModuleEvents sink;
        return sink;
    }
    static void Hear(VQ_EVENT_INFO* event, void*, int)
    {
        TfModuleEvents& sink = Get();
        std::lock_guard<std::mutex> hold(sink.lock);
        sink.events.emplace_back(event->code, event->text != nullptr ? event->text : "");
    }
    int Count(int code, const std::string& text)
    {
        std::lock_guard<std::mutex> hold(lock);
        int count = 0;
        for (const auto& event : events) count += event.first == code && event.second == text;
        return count;
    }
};

inline VQ_TF_SETTINGS TfModuleSettings()
{
    VQ_TF_SETTINGS settings{};
    settings.eventCallback = &TfModuleEvents::Hear;
    settings.errorCallback = &TfModuleEvents::Hear;
    settings.initFlags = 1;
    return settings;
}

} // namespace streams_test
