// The live play module's stream callback: parameter sets into the stream
// heads, frames through the output step, and every frame to the recorder
// while recording. It runs on the thread that feeds the platform's source.
#include <cstring>

#include "Depend/qn_log.h"
#include "streams/montage.h"
#include "vqSDK/VlrRealplay/vlr_realplay.h"

namespace {

constexpr int kUser = RES_PACK_USER_REALPLAY;

bool Is(const char* kind, const char* name)
{
    return std::strcmp(kind, name) == 0;
}

} // namespace

void VLR_REALPLAY::StreamFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame)
{
    const char* kind = frame.kind;
    const bool key = Is(kind, "h264_I");
    const bool other = Is(kind, "h264_P");
    const bool audio = Is(kind, "g711a");
    TrackHead(kind, data, length, recordSei_);
    if (audio) lastAudioNumber_ = frame.frameNumber;

    if (key || other || audio) {
        // The owner gets a copy of its own, decrypted in place.
        outputCopy_.assign(data, data + length);
        const realplay::StreamFrame copy{outputCopy_.data(), length, frame.frameNumber, frame.width, frame.height,
                                         frame.frameRate};
        if (key) {
            streams::MontSeiInfo sei;
            output_.KeyFrame(copy, heads_.CurrentSei(&sei) ? &sei : nullptr);
        } else if (other) {
            output_.OtherFrame(copy);
        } else {
            output_.Audio(copy);
        }
    }
    if (state_.load() & REALPLAY_RECORDING) Record(data, length, frame);
}

// The recorder gets the stream as it would be without protection: a copy of
// each frame, decrypted with the parameters of the last private SEI.
void VLR_REALPLAY::Record(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame)
{
    const uint32_t typeCode = realplay::RecordTypeCodeOf(frame.kind);
    if (typeCode == 0) return;
    recordCopy_.assign(data, data + length);
    VLR_RECORD_FRAME record{typeCode, 0, frame.frameNumber, length, recordCopy_.data(), 0, 0};
    const bool key = Is(frame.kind, "h264_I");
    if (key || Is(frame.kind, "h264_P")) {
        int result = 0;
        const realplay::RecordCrypt crypt = realplay::DecryptForRecord(keys_, recordCopy_.data(), length, key,
                                                                       recordSei_, output_.SeiSeen(), &result);
        if (key && (crypt == realplay::RecordCrypt::Decrypted || crypt == realplay::RecordCrypt::Failed)) {
            QNLogPrint("%s(%d) eRes:%d %llu\n", "vlrrMonStreamCBFun", __LINE__, result,
                       static_cast<unsigned long long>(recordSei_.securityLow) |
                           static_cast<unsigned long long>(recordSei_.securityHigh) << 32);
        }
        if (crypt == realplay::RecordCrypt::Failed) {
            callbacks_.Event(PLAY_EVENT_RECORD_DECRYPT, nullptr);
        } else if (crypt == realplay::RecordCrypt::Decrypted || (!key && crypt == realplay::RecordCrypt::Clear)) {
            callbacks_.Event(PLAY_EVENT_RECORD_FRAME, "");
        }
        if (key) {
            record.word = static_cast<uint32_t>(frame.frameRate) & 0xFFFF;
            record.width = frame.width;
            record.height = frame.height;
        }
    } else if (Is(frame.kind, "g711a")) {
        record.word = (static_cast<uint32_t>(frame.interval) & 0xFFFF) << 16;
    } else if (Is(frame.kind, "h264_SEI_QN")) {
        channel_->platform->qn_mp_SetSeiValues(recordCopy_.data(), static_cast<int>(length), 0, 0);
    }
    Model<VLR_MODEL_WRITE_FRAME>(40)(kUser, &record);
}
