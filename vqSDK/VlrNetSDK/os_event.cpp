#include "vqSDK/VlrNetSDK/os_event.h"

#include "platform/text.h"

namespace qn_net {

int COSEvent::Create(bool manualReset, bool initiallySet, const char* name)
{
    name_ = name == nullptr ? std::string() : std::string(name).substr(0, platform::Utf8PrefixLength(name, 31));
    return event_.Create(manualReset, initiallySet, name_) ? 0 : -1;
}

int COSEvent::Set()
{
    if (!event_.IsCreated()) return 0;
    return event_.Set() ? 1 : 0;
}

int COSEvent::Reset()
{
    if (!event_.IsCreated()) return 0;
    return event_.Reset() ? 1 : 0;
}

int COSEvent::Wait(int64_t milliseconds) { return event_.Wait(milliseconds); }

int COSEvent::Close()
{
    if (!event_.IsCreated()) return 0;
    event_.Close();
    return 1;
}

COSEvent& LanTalkEvent()
{
    static COSEvent event;
    return event;
}

COSEvent& LivePlayEvent()
{
    static COSEvent event;
    return event;
}

COSEvent& VideoTalkEvent()
{
    static COSEvent event;
    return event;
}

} // namespace qn_net
