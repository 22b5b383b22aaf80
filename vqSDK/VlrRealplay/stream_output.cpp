#include "vqSDK/VlrRealplay/stream_output.h"

#include <cstring>

#include "streams/frame_decrypt.h"

namespace realplay {

namespace {

// Bit 26 marks a request built from a stream's SEI; the decryption reads
// only bits 0-25.
constexpr uint32_t kRequestMark = 0x04000000;

uint32_t Control(uint32_t clearHeader, uint32_t interval)
{
    return kRequestMark | (clearHeader & 0x3FF) << 16 | (interval & 0xFFFF);
}

} // namespace

bool SeiProtected(const streams::MontSeiInfo& sei)
{
    return sei.securityLow != 0 || sei.securityHigh != 0;
}

uint32_t SeiKeyType(const streams::MontSeiInfo& sei)
{
    return sei.securityBits & 7;
}

FrameCrypt KeyFrameCrypt(const streams::MontSeiInfo& sei, uint32_t frameLength)
{
    const uint32_t protectedLength = sei.protectedKeyLength;
    const uint32_t length = protectedLength != 0 && protectedLength < frameLength ? protectedLength : frameLength;
    return {length, Control(sei.flags >> 10, sei.protectionInterval), kKeyFrameCryptKind};
}

FrameCrypt OtherFrameCrypt(const streams::MontSeiInfo& sei, bool seiSeen, uint32_t frameLength)
{
    const uint32_t control = seiSeen ? Control(sei.flags >> 20, sei.protectionInterval) : kRequestMark;
    return {frameLength, control, kOtherFrameCryptKind};
}

int DecryptVideoFrame(streams::SecurityKeys& keys, uint8_t* data, const FrameCrypt& crypt,
                      const streams::MontSeiInfo& sei)
{
    if (!SeiProtected(sei)) return streams::QNPS_RETURN_VAL_OK;
    const streams::CryptBuffer buffer{data, crypt.length, crypt.control};
    return streams::qnStreamDecrypt(keys, buffer, crypt.kind, sei.securityLow, sei.securityHigh);
}

RecordCrypt DecryptForRecord(streams::SecurityKeys& keys, uint8_t* data, uint32_t length, bool key,
                             const streams::MontSeiInfo& sei, bool seiSeen, int* result)
{
    if (!SeiProtected(sei)) return RecordCrypt::Clear;
    if (!seiSeen) return RecordCrypt::NoSeiYet;
    const FrameCrypt crypt = key ? KeyFrameCrypt(sei, length) : OtherFrameCrypt(sei, true, length);
    const int decrypted = DecryptVideoFrame(keys, data, crypt, sei);
    if (result != nullptr) *result = decrypted;
    return decrypted == streams::QNPS_RETURN_VAL_OK || decrypted == streams::QNPS_RETURN_VAL_IGNORE_BY_LV
               ? RecordCrypt::Decrypted
               : RecordCrypt::Failed;
}

uint32_t RecordTypeCodeOf(const char* kind)
{
    static const struct {
        const char* kind;
        uint32_t code;
    } kCodes[] = {
        {"h264_P", 0x10}, {"h264_I", 0x30},       {"h264_SPS", 4},      {"h264_PPS", 5},
        {"h264_SEI", 0x26}, {"h264_SEI_QN", 0x27}, {"h264_SEI_QN_P", 8}, {"g711a", 1},
    };
    if (kind == nullptr) return 0;
    for (const auto& entry : kCodes) {
        if (std::strcmp(kind, entry.kind) == 0) return entry.code;
    }
    return 0;
}

void StreamOutputStep::Reset()
{
    lastNumber_.store(-1);
    seiSeen_.store(false);
    audioGate_.store(true);
    resetPending_.store(true);
}

bool StreamOutputStep::Ordered(uint32_t number, bool key)
{
    if (resetPending_.exchange(false)) keySei_ = streams::MontSeiInfo{};
    const int64_t last = lastNumber_.load();
    if (rules_.dropOlderFrames && last != -1 && int64_t{number} < last) return false;
    if (!key && last != -1 && int64_t{number} != last + 1) return false;
    lastNumber_.store(number);
    return true;
}

void StreamOutputStep::Decided(int result, bool key, MontFrameInfo& info, uint32_t keyType)
{
    if (result == streams::QNPS_RETURN_VAL_OK || result == streams::QNPS_RETURN_VAL_IGNORE_BY_LV) {
        info.flags |= kFrameDecrypted;
        audioGate_.store(false);
        if (key) callbacks_.State(PLAY_STATE_PASSWORD_OK, keyType);
        return;
    }
    audioGate_.store(true);
    const int32_t state = PasswordStateOf(result);
    if (state != PLAY_STATE_NONE) callbacks_.State(state, keyType);
}

int StreamOutputStep::KeyFrame(const StreamFrame& frame, const streams::MontSeiInfo* sei)
{
    if (!callbacks_.HasFrame() || !Ordered(frame.number, true)) return -1;
    if (rules_.keyFrameEvent) callbacks_.Event(PLAY_EVENT_KEY_FRAME, "NetStreamOutQue");
    if (sei == nullptr) return -1;
    seiSeen_.store(true);
    keySei_ = *sei;
    MontFrameInfo info{kFrameVideo | kFrameKey, 0, 0, frame.number, PackPictureSize(frame.width, frame.height),
                       static_cast<uint32_t>(frame.frameRate), "h264_I"};
    if (SeiProtected(keySei_)) info.flags |= kFrameProtected;
    if (frame.carriesSyncId) PutSyncId(info, frame.syncId);
    const int result = DecryptVideoFrame(keys_, frame.data, KeyFrameCrypt(keySei_, frame.length), keySei_);
    Decided(result, true, info, SeiKeyType(keySei_));
    callbacks_.Frame(frame.data, static_cast<int32_t>(frame.length), info);
    return result;
}

int StreamOutputStep::OtherFrame(const StreamFrame& frame)
{
    if (!callbacks_.HasFrame() || !Ordered(frame.number, false)) return -1;
    MontFrameInfo info{kFrameVideo, 0, 0, frame.number, PackPictureSize(frame.width, frame.height),
                       static_cast<uint32_t>(frame.frameRate), "h264_P"};
    if (SeiProtected(keySei_)) info.flags |= kFrameProtected;
    if (frame.carriesSyncId) PutSyncId(info, frame.syncId);
    const int result =
        DecryptVideoFrame(keys_, frame.data, OtherFrameCrypt(keySei_, seiSeen_.load(), frame.length), keySei_);
    Decided(result, false, info, SeiKeyType(keySei_));
    callbacks_.Frame(frame.data, static_cast<int32_t>(frame.length), info);
    return result;
}

bool StreamOutputStep::Audio(const StreamFrame& frame)
{
    if (!callbacks_.HasFrame() || audioGate_.load()) return false;
    MontFrameInfo info{0, 0, 0, frame.number, 0, 0, "g711a"};
    if (frame.carriesSyncId) PutSyncId(info, frame.syncId);
    callbacks_.Frame(frame.data, static_cast<int32_t>(frame.length), info);
    return true;
}

} // namespace realplay
