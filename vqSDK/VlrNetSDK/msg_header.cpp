#include "vqSDK/VlrNetSDK/msg_header.h"

#include <cstdio>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace qn_net {
namespace {

// The revision travels in every header; it is kept in the revision-control
// keyword form it has always had.
constexpr const char* kRevisionText = "$Rev: 4835 $";

uint32_t ParseVersion()
{
    int revision = 0;
    if (std::sscanf(kRevisionText, "$Rev: %d", &revision) != 1) revision = 0;
    return 0x690000u | static_cast<uint32_t>(revision);
}

} // namespace

uint32_t MessageVersion()
{
    static const uint32_t version = ParseVersion();
    return version;
}

void WriteHeader(uint8_t* out, uint32_t msgId, uint32_t bodyLength)
{
    WriteU32(out, QN_NET_MSG_MAGIC);
    WriteU32(out + 4, msgId);
    WriteU32(out + 8, MessageVersion());
    WriteU32(out + 12, bodyLength + static_cast<uint32_t>(kHeaderSize));
    WriteU32(out + 16, 0);
}

FrameHeader ReadHeader(const uint8_t* frame)
{
    return FrameHeader{ReadU32(frame), ReadU32(frame + 4), ReadU32(frame + 8), ReadU32(frame + 12)};
}

} // namespace qn_net
