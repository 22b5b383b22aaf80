// The SDK's event object: manual- or auto-reset, with a name for diagnostics.
#pragma once

#include <string>

#include "platform/event.h"

namespace qn_net {

class COSEvent {
public:
    COSEvent() = default;
    virtual ~COSEvent() { Close(); }
    COSEvent(const COSEvent&) = delete;
    COSEvent& operator=(const COSEvent&) = delete;

    // 0 on success, -1 on failure. The name keeps at most 31 characters.
    int Create(bool manualReset, bool initiallySet, const char* name);
    // 0 when not created, else 1.
    int Set();
    int Reset();
    // 0 signalled, 258 time-out, -1 when not created.
    int Wait(int64_t milliseconds);
    // 0 when not created, else 1.
    int Close();

    bool IsCreated() const { return event_.IsCreated(); }
    const std::string& Name() const { return name_; }

private:
    platform::Event event_;
    std::string name_;
};

// The process-wide events of LAN-camera talk, live play and video-server talk.
COSEvent& LanTalkEvent();
COSEvent& LivePlayEvent();
COSEvent& VideoTalkEvent();

} // namespace qn_net
