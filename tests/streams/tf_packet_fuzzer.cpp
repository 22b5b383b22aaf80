// Arbitrary segment bytes in arbitrary cuts: every packet handed out lies
// inside the parser's buffer (ASan) and the input never stalls.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "streams/tf_packet_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    streams::clQnhParse parser;
    if (!parser.Create(0)) return 0;
    std::size_t at = 0;
    int idle = 0;
    while (at < size) {
        std::size_t step = std::min<std::size_t>(size - at, 1 + data[at] * 37u);
        bool taken = parser.Append(data + at, step);
        if (taken) at += step;
        streams::TfPacket packet;
        bool any = false;
        while (parser.Next(&packet)) {
            any = true;
            if (packet.payload + packet.payloadLength != packet.start + packet.totalLength) std::abort();
            volatile uint8_t last = packet.totalLength > 0 ? packet.start[packet.totalLength - 1] : 0;
            (void)last;
        }
        idle = (taken || any) ? 0 : idle + 1;
        if (idle > 1) std::abort(); // refused input that no packet made room for
    }
    return 0;
}
