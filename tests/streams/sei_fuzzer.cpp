// Arbitrary bytes as a private SEI unit: classification, parsing, packing,
// the in-place security write and the frame-rate probe must stay inside the
// unit whatever its size byte and fields claim.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "streams/frame_rate.h"
#include "streams/private_sei.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // An exact-size heap copy, so that a read one byte past the unit is caught.
    std::vector<uint8_t> unit(data, data + size);
    streams::QnLensSeiInfo info;
    if (streams::ParseLensSei(unit.data(), unit.size(), &info) == 1 && info.securityAt != nullptr) {
        if (info.securityAt < unit.data() || info.securityAt + 8 > unit.data() + unit.size()) std::abort();
    }
    streams::MontSeiInfo packed;
    streams::ParseSeiPacked(unit.data(), unit.size(), &packed);
    streams::WriteSeiSecurity(unit.data(), unit.size(), 0x01020304, 0x05060708);
    float rate = 0;
    streams::ProbeFrameRate(unit.data(), unit.size(), &rate);
    return 0;
}
