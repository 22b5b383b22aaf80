// The SDK's events, turned into the facade's network events. This runs on an
// SDK thread (some events under an SDK lock): it only copies and hands on.
#include <algorithm>
#include <cstring>

#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

// Copies what the record holds of `words` 32-bit words and zeroes the rest:
// a pushed message may be shorter than its block.
void CopyWords(int32_t* block, int words, const void* record, int32_t length)
{
    std::memset(block, 0, sizeof(int32_t) * words);
    if (record == nullptr || length <= 0) return;
    const std::size_t bytes = std::min<std::size_t>(static_cast<std::size_t>(length), sizeof(int32_t) * words);
    std::memcpy(block, record, bytes);
}

} // namespace

void VLR_SYSTEM::OnSdkEvent(void* record, int32_t code, int32_t value1, int32_t value2, void* user)
{
    static_cast<VLR_SYSTEM*>(user)->RelayEvent(record, code, value1, value2);
}

void VLR_SYSTEM::RelayEvent(void* record, int32_t code, int32_t value1, int32_t value2)
{
    const VLR_NET_EVENT_CALLBACK callback = eventCallback_.load();
    if (callback == nullptr) return;
    void* const user = eventUser_.load();
    const int32_t userValue = eventValue_.load();
    int32_t words[11] = {};
    uint8_t notice[VLR_NOTICE_20374_BYTES] = {};
    VLR_ALARM_PICTURE picture{};
    switch (code) {
    case QN_NET_EVENT_PUSHED_MESSAGE:
        CopyWords(words, 8, record, value2);
        callback(VLR_NET_PUSHED_MESSAGE, words, value2, user, userValue);
        return;
    case QN_NET_EVENT_STREAM_STOPPED:
    case QN_NET_EVENT_LOCAL_ROUTE:
        words[0] = value1;
        callback(code == QN_NET_EVENT_STREAM_STOPPED ? VLR_NET_STREAM_LOST : VLR_NET_LOCAL_ROUTE, words, value2, user,
                 userValue);
        return;
    case QN_NET_EVENT_CAMERA_OFFLINE:
    case QN_NET_EVENT_CAMERA_ONLINE:
        if (record != nullptr && value2 >= 8) {
            std::memcpy(words, static_cast<const uint8_t*>(record) + 4, 4);
        } else {
            words[0] = value1;
        }
        callback(code == QN_NET_EVENT_CAMERA_OFFLINE ? VLR_NET_CAMERA_OFFLINE : VLR_NET_CAMERA_ONLINE, words, value2,
                 user, userValue);
        return;
    case QN_NET_EVENT_SERVER_LOST:
        callback(VLR_NET_SERVER_LOST, nullptr, 0, user, userValue);
        return;
    case QN_NET_EVENT_NOTICE_20320:
        CopyWords(words, 11, record, value2);
        callback(VLR_NET_NOTICE_20320, words, value2, user, userValue);
        return;
    case QN_NET_EVENT_ALARM_PIC_PROGRESS:
        words[0] = value1;
        words[1] = value2;
        callback(VLR_NET_ALARM_PIC_PROGRESS, words, value2, user, userValue);
        return;
    case QN_NET_EVENT_ALARM_PIC_DONE:
        picture.pictureId = value1;
        picture.length = value2;
        picture.picture = record;
        callback(VLR_NET_ALARM_PIC_DONE, &picture, value2, user, userValue);
        return;
    case QN_NET_EVENT_UPGRADE_PROGRESS:
        // Words 1 and 2, the 16-character version text, words 7 and 8.
        CopyWords(words, 8, record, value2);
        callback(VLR_NET_UPGRADE_PROGRESS, words, value2, user, userValue);
        return;
    case QN_NET_EVENT_UPGRADE_STATE:
        CopyWords(words, 4, record, value2);
        callback(VLR_NET_UPGRADE_STATE, words, value2, user, userValue);
        return;
    case QN_NET_EVENT_NOTICE_20374:
        if (record != nullptr && value2 > 0) {
            std::memcpy(notice, record, std::min<std::size_t>(static_cast<std::size_t>(value2), sizeof notice));
        }
        callback(VLR_NET_NOTICE_20374, notice, value2, user, userValue);
        return;
    default:
        return;
    }
}
