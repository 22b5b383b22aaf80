// Records what a stream processor or platform source hands out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "streams/mont_processor.h"

namespace streams_test {

struct Frame {
    std::string kind;
    std::vector<uint8_t> data;
    streams::MontOutputFrame record{};
};

struct FrameCollector {
    std::vector<Frame> frames;
    std::vector<std::string> messages;
    std::vector<std::pair<int, std::vector<uint8_t>>> infos; // code, a copy of what it pointed at

    static void OnFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user, int)
    {
        auto* self = static_cast<FrameCollector*>(user);
        self->frames.push_back(Frame{frame->kind, std::vector<uint8_t>(data, data + length), *frame});
    }
    static void OnMessage(void* owner, int, const char* text)
    {
        static_cast<FrameCollector*>(owner)->messages.push_back(text);
    }

    std::vector<std::string> Kinds() const
    {
        std::vector<std::string> kinds;
        for (const Frame& frame : frames) kinds.push_back(frame.kind);
        return kinds;
    }
    // Every frame whose kind starts with `prefix`, joined.
    std::vector<uint8_t> Joined(const std::string& prefix) const
    {
        std::vector<uint8_t> joined;
        for (const Frame& frame : frames) {
            if (frame.kind.rfind(prefix, 0) == 0) joined.insert(joined.end(), frame.data.begin(), frame.data.end());
        }
        return joined;
    }
    int Count(const std::string& text) const
    {
        int count = 0;
        for (const std::string& message : messages) count += message == text ? 1 : 0;
        return count;
    }
};

} // namespace streams_test
