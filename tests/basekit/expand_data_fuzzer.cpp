// Feeds arbitrary bytes, behind the marker, to ExpandData. Whatever it accepts
// must compress and expand back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "basekit/zip_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static ZipData zip;
    static ZipData check;
    std::vector<unsigned char> buffer = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90};
    buffer.insert(buffer.end(), data, data + size);
    unsigned char *out = nullptr;
    int outLength = 0;
    if (zip.ExpandData(buffer.data(), static_cast<int>(buffer.size()), &out, &outLength) != 0)
        return 0;
    if (outLength < ZipData::kMinimumInput)
        return 0;
    const std::vector<unsigned char> plain(out, out + outLength);
    unsigned char *packed = nullptr;
    int packedLength = 0;
    if (check.CompressData(plain.data(), outLength, &packed, &packedLength) != 0)
        __builtin_trap();
    unsigned char *again = nullptr;
    int againLength = 0;
    if (check.ExpandData(packed, packedLength, &again, &againLength) != 0 || againLength != outLength ||
        std::memcmp(again, plain.data(), plain.size()) != 0)
        __builtin_trap();
    return 0;
}
