#include "streams/tf_frame_decrypt.h"

#include "streams/frame_decrypt.h"
#include "streams/h264_file_reader.h"
#include "streams/key_slots.h"

namespace streams {

namespace {
constexpr int kIdrSlice = 5;
constexpr int kOtherSlice = 1;
constexpr int kKeyFrameKind = 1;
constexpr int kOtherFrameKind = 2;
} // namespace

int DecryptTfVideo(SecurityKeys& keys, const TfFrameScan& security, uint8_t* payload, std::size_t length)
{
    int result = QNPS_RETURN_VAL_IGNORE_BY_LV;
    if (payload == nullptr) return result;
    std::size_t begin = FindH264StartCode(0, length, payload);
    while (begin < length) {
        const std::size_t header = begin + (payload[begin + 2] == 1 ? 3 : 4);
        const std::size_t end =
            header < length ? header + FindH264StartCode(header, length, payload) : length;
        const int type = header < length ? payload[header] & 0x1F : 0;
        if (type == kIdrSlice || type == kOtherSlice) {
            const bool key = type == kIdrSlice;
            const uint32_t clear = key ? security.keyClearHeader : security.otherClearHeader;
            const CryptBuffer slice{payload + begin, static_cast<uint32_t>(end - begin),
                                    crypt_info::Make(security.protectionInterval, clear)};
            const int sliceResult = qnStreamDecrypt(keys, slice, key ? kKeyFrameKind : kOtherFrameKind,
                                                    security.securityLow, security.securityHigh);
            // A slice too short to hold an encrypted block was left clear by the camera too.
            if (sliceResult == QNPS_RETURN_VAL_OK) {
                result = QNPS_RETURN_VAL_OK;
            } else if (sliceResult != QNPS_RETURN_VAL_IGNORE_BY_LV && sliceResult != kQnpsBufferShort) {
                return sliceResult;
            }
        }
        begin = end;
    }
    return result;
}

const char* TfPasswordText(int result)
{
    switch (result) {
    case QNPS_RETURN_VAL_NEED_DEF_CODE:
    case QNPS_RETURN_VAL_CODE_DEF_ERR:
    case kQnpsNoKeyTable: return "Need input default encryption password";
    case QNPS_RETURN_VAL_NEED_CUS_CODE:
    case QNPS_RETURN_VAL_CODE_CUS_ERR: return "Need input custom encryption password";
    default: return nullptr;
    }
}

} // namespace streams
