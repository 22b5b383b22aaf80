// The protection tail of JPEG snapshots read from any bytes, and the picture
// decrypted in place with what it says.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vqSDK/VlrFilePlay/protected_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static streams::SecurityKeys* keys = [] {
        auto* made = new streams::SecurityKeys;
        streams::qnSetSecurityKey(*made, "fuzz code", "custom");
        streams::qnSetSecurityKey(*made, "fuzz code", "default");
        return made;
    }();
    fileplay::JpegProtection protection;
    if (fileplay::ReadJpegProtection(data, size, &protection) != 0) return 0;
    if (protection.pictureEnd > size || protection.protectedLength > protection.pictureEnd) __builtin_trap();
    std::vector<uint8_t> copy(data, data + size);
    fileplay::DecryptJpeg(*keys, copy.data(), copy.size(), protection);
    return 0;
}
