// Arbitrary decryption info words, frame kinds, security flags and frame
// bytes: decryption must stay inside the frame whatever clear length and
// interval the stream claims, with a matching key and without.
//
// Input: info word (4 bytes), kind (1), flag mode (1), flag words (8), frame.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "streams/frame_decrypt.h"
#include "streams/key_slots.h"
#include "support/stream_encryptor.h"

namespace {

struct Keys {
    Keys() : camera("fuzz code", 2)
    {
        streams::qnSetSecurityKey(keys, "fuzz code", "custom");
        streams::qnSetSecurityKey(keys, "fuzz default", "default");
    }
    streams::SecurityKeys keys;
    testing_support::StreamEncryptor camera;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static Keys keys;
    if (size < 14) return 0;
    uint32_t info;
    uint32_t low;
    uint32_t high;
    std::memcpy(&info, data, 4);
    const int kind = data[4];
    const bool matching = data[5] & 1;
    std::memcpy(&low, data + 6, 4);
    std::memcpy(&high, data + 10, 4);
    if (matching) {
        low = keys.camera.Low(low >> 3);
        high = keys.camera.High();
    }
    // An exact-size heap copy, so that a block one byte past the frame is caught.
    std::vector<uint8_t> frame(data + 14, data + size);
    const streams::CryptBuffer buffer{frame.data(), static_cast<uint32_t>(frame.size()), info};
    streams::qnStreamDecrypt(keys.keys, buffer, kind, low, high);
    streams::qnRecordDecrypt(keys.keys, buffer, low, high);
    streams::qnCheckSecurity(keys.keys, low, high);
    return 0;
}
