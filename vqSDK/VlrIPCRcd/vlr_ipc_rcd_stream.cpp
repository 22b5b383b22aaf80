// The TF-card play module's frame road: the hub's frames into the pacing
// controller, the released frames back into the platform's source, and the
// platform's parsed frames into the stream heads, the output step and, while
// recording, the recorder.
#include <cstring>

#include "Depend/qn_log.h"
#include "streams/montage.h"
#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"

namespace {

constexpr int kUser = RES_PACK_USER_IPCRCD;

// The playback callback's frame types.
constexpr int64_t kKeyFrame = 0;
constexpr int64_t kOtherFrame = 1;
constexpr int64_t kAlawAudio = 3;
// Video frames come with their number in front.
constexpr int64_t kNumberPrefix = 4;
// The controller's marks: bit 0 a whole frame, bit 4 a key frame.
constexpr uint32_t kWholeFrame = 1;
constexpr uint32_t kKeyMark = 0x10;

bool Is(const char* kind, const char* name)
{
    return std::strcmp(kind, name) == 0;
}

} // namespace

int VlrIPCRcd::OnPlaybackData(char* data, int64_t type, int64_t number, int64_t length, void* owner, int32_t)
{
    auto* self = static_cast<VlrIPCRcd*>(owner);
    if (self == nullptr || data == nullptr || length <= 0 || length > INT32_MAX) return 1;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    streams::StreamFrameHead head;
    head.frameNumber = static_cast<uint32_t>(number);
    if (type == kKeyFrame || type == kOtherFrame) {
        if (length <= kNumberPrefix) return 1;
        head.word0 = kWholeFrame | (type == kKeyFrame ? kKeyMark : 0);
        self->pacing_.input(bytes + kNumberPrefix, static_cast<uint32_t>(length - kNumberPrefix), head, 1);
    } else if (type == kAlawAudio) {
        head.word0 = kWholeFrame;
        self->pacing_.input(bytes, static_cast<uint32_t>(length), head, 2);
    }
    return 1;
}

// A released frame goes back into the platform's source with its sync id and
// comes out of the platform's parser on this same thread, inside the input;
// the output step then orders it on the number the controller released it
// with, which the single buffer types do not carry through the platform.
int VlrIPCRcd::OnPacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD* record, void* user,
                              int32_t)
{
    auto* self = static_cast<VlrIPCRcd*>(user);
    if (self == nullptr || record == nullptr || record->kind == nullptr || data == nullptr || length == 0) return 1;
    return self->PacingOutput(data, length, *record);
}

int VlrIPCRcd::PacingOutput(const uint8_t* data, uint32_t length, const QN_STREAM_OUT_RECORD& record)
{
    const bool audio = Is(record.kind, "g711a");
    if (!audio && !Is(record.kind, "h264_I") && !Is(record.kind, "h264_P")) return 1;
    streams::Montage& platform = *channel_->platform;
    const int source = channel_->source;
    std::lock_guard<std::mutex> hold(released_);
    releasedNumber_ = record.frameNumber;
    releasedSyncId_ = record.SyncId();
    platform.SetSyncId(source, audio, releasedSyncId_);
    platform.qn_mp_InputData(source, data, static_cast<int>(length), audio ? "audio_g711a_single" : "video_h264_single");
    // Taken even when the platform refused it: offered again it would only
    // be refused again.
    return 1;
}

// The camera is asked for another frame rate only while recording.
int VlrIPCRcd::OnRateRequest(const QN_STREAM_RATE_REQUEST* request, void* user, int32_t)
{
    auto* self = static_cast<VlrIPCRcd*>(user);
    if (self == nullptr || request == nullptr) return 1;
    if (self->state_.load() & IPCRCD_RECORDING) self->Model<VLR_MODEL_SET_SPEED>(7)(kUser, request->frameRate);
    return 1;
}

void VlrIPCRcd::StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame)
{
    const char* kind = frame.kind;
    const bool key = Is(kind, "h264_I");
    const bool other = Is(kind, "h264_P");
    const bool audio = Is(kind, "g711a");
    TrackHead(kind, data, length, sei_);

    if (key || other || audio) {
        outputCopy_.assign(data, data + length);
        const realplay::StreamFrame copy{outputCopy_.data(), length,          releasedNumber_, frame.width,
                                         frame.height,       frame.frameRate, true,           releasedSyncId_};
        if (key) {
            const bool seiSeen = output_.SeiSeen();
            if (!seiSeen) QNConsoleTrace("[%s %s %d], RCDSECURITY====isUsefulSeiMsg=false===\n", __FILE__, __FUNCTION__, __LINE__);
            const int result = output_.KeyFrame(copy, seiSeen ? &sei_ : nullptr);
            if (seiSeen && result != -1) {
                QNConsoleTrace("[%s %s %d], RCDSECURITY===security_default===ulDataSrcStart:%d ulBlockInterSize:%d "
                               "eRes:%d ullSecurityFlag:%llu\n",
                               __FILE__, __FUNCTION__, __LINE__, static_cast<int>(sei_.protectionInterval),
                               static_cast<int>(sei_.protectedKeyLength), result,
                               static_cast<unsigned long long>(sei_.securityLow) |
                                   static_cast<unsigned long long>(sei_.securityHigh) << 32);
            }
        } else if (other) {
            output_.OtherFrame(copy);
        } else {
            output_.Audio(copy);
        }
    }
    if (state_.load() & IPCRCD_RECORDING) Record(data, length, frame);
}

// The recorder gets the recording as it would be without protection: a copy
// of each frame, decrypted with the parameters of the last private SEI.
void VlrIPCRcd::Record(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame)
{
    const uint32_t typeCode = realplay::RecordTypeCodeOf(frame.kind);
    if (typeCode == 0) return;
    recordCopy_.assign(data, data + length);
    const uint32_t word =
        (static_cast<uint32_t>(frame.frameRate) & 0xFFFF) | (static_cast<uint32_t>(frame.interval) & 0xFFFF) << 16;
    VLR_RECORD_FRAME record{typeCode, word, releasedNumber_, length, recordCopy_.data(), 0, 0};
    const bool key = Is(frame.kind, "h264_I");
    if (key || Is(frame.kind, "h264_P")) {
        const realplay::RecordCrypt crypt =
            realplay::DecryptForRecord(keys_, recordCopy_.data(), length, key, sei_, output_.SeiSeen());
        if (crypt == realplay::RecordCrypt::Failed) {
            callbacks_.Event(PLAY_EVENT_RECORD_DECRYPT, nullptr);
        } else if (key && (crypt == realplay::RecordCrypt::Decrypted || crypt == realplay::RecordCrypt::Clear)) {
            callbacks_.Event(PLAY_EVENT_RECORD_FRAME, "");
        }
        if (key) {
            record.width = frame.width;
            record.height = frame.height;
        }
    } else if (Is(frame.kind, "h264_SEI_QN")) {
        channel_->platform->qn_mp_SetSeiValues(recordCopy_.data(), static_cast<int>(length), 0, 0);
    }
    Model<VLR_MODEL_WRITE_FRAME>(9)(kUser, &record);
}
