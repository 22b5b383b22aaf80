#include "vqSDK/VlrFilePlay/vlr_fileplay.h"

#include "Depend/qn_log.h"
#include "streams/montage.h"
#include "vqSDK/VlrFilePlay/vlr_fileplay_shared.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "vqSDK/VlrRealplay/stream_output.h"

using fileplay::Is;
using fileplay::Terminated;
using fileplay::kClearOnReset;

int VLR_FILEPLAY::TransFile(const FILEPLAY_TRANS_FILE* record, FILEPLAY_CHECK_RESULT* result)
{
    constexpr int32_t kFileError = 100006;
    if (record == nullptr || !Terminated(record->source) || !Terminated(record->destination)) {
        callbacks_.Message("file error!!", kFileError);
        return 0;
    }
    FILEPLAY_CHECK_RESULT check{0, 0};
    CheckFile(record->source, &check);
    if (result != nullptr) *result = check;
    // A copy the keys cannot decrypt would be written unreadable and marked plain.
    if (check.tableOrResult != FILE_CHECK_PLAYABLE) {
        callbacks_.Message("file error!!", kFileError);
        return 0;
    }
    StopFile();
    if (!ResetSource(parseSource_, &VLR_FILEPLAY::OnConvertFrame)) return 0;
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    {
        std::lock_guard<std::mutex> hold(writerMutex_);
        writerStopped_ = false;
        writerResult_ = -1;
    }
    convertSei_ = {};
    convertSeiSeen_ = false;
    firstConverted_ = false;
    convertedFrames_ = 0;
    videoCounter_.store(0);
    if (!coder->startWrite(record->destination)) {
        callbacks_.Message("file error!!", kFileError);
        return 0;
    }
    converting_.store(true);
    coder->setFrameCallback(&VLR_FILEPLAY::OnReadFrame, this);
    coder->setEventCallback(&VLR_FILEPLAY::OnReadEvent, this);
    coder->setSpeed(0.0f); // no pacing: as fast as it reads
    if (coder->startRead(record->source)) return 1;
    int32_t ignored = 0;
    FinishTrans(&ignored);
    callbacks_.Message("file error!!", kFileError);
    return 0;
}

int VLR_FILEPLAY::FinishTrans(int32_t* written)
{
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    platform_->qn_mp_Pause(parseSource_);
    for (const char* what : kClearOnReset) platform_->qn_mp_Ctrl(parseSource_, "clear", what);
    coder->stopRead();
    coder->setFrameCallback(nullptr, nullptr);
    coder->setEventCallback(nullptr, nullptr);
    coder->setSpeed(1.0f);
    converting_.store(false);
    int32_t stopped;
    {
        std::lock_guard<std::mutex> hold(writerMutex_);
        if (!writerStopped_) {
            writerResult_ = coder->stopWrite();
            writerStopped_ = true;
        }
        stopped = writerResult_;
    }
    if (written != nullptr) *written = stopped;
    return stopped >= 0 ? 1 : 0;
}

void VLR_FILEPLAY::OnConvertFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                                  int /*userValue*/)
{
    if (data == nullptr || length <= 0 || frame == nullptr || frame->kind == nullptr) return;
    static_cast<VLR_FILEPLAY*>(user)->ConvertFrame(data, static_cast<uint32_t>(length), *frame);
}

void VLR_FILEPLAY::ConvertFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame)
{
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    const char* kind = frame.kind;
    const int size = static_cast<int>(length);
    const bool key = Is(kind, "h264_I");
    if (key || Is(kind, "h264_P")) {
        // The copy is written plain: its frames are decrypted with the SEI's
        // parameters, as its flag is cleared below.
        convertCopy_.assign(data, data + length);
        const realplay::FrameCrypt crypt = key ? realplay::KeyFrameCrypt(convertSei_, length)
                                               : realplay::OtherFrameCrypt(convertSei_, convertSeiSeen_, length);
        int decrypted = streams::QNPS_RETURN_VAL_OK;
        {
            std::lock_guard<std::recursive_mutex> hold(checkMutex_);
            decrypted = realplay::DecryptVideoFrame(playKeys_, convertCopy_.data(), crypt, convertSei_);
        }
        if (decrypted != streams::QNPS_RETURN_VAL_OK && decrypted != streams::QNPS_RETURN_VAL_IGNORE_BY_LV)
            QNLogPrint("converted frame %u did not decrypt (%d)", frame.frameNumber, decrypted);
        if (key) {
            Event(PLAY_STATE_PASSWORD_OK, realplay::SeiKeyType(convertSei_));
            const QnMp4FrameInfo info{frame.width, frame.height, static_cast<int32_t>(frame.frameRate)};
            coder->writeFrame(convertCopy_.data(), size, QN_MP4_STREAM_FRAME_TYPE_I, &info);
        } else {
            coder->writeFrame(convertCopy_.data(), size, QN_MP4_STREAM_FRAME_TYPE_P, nullptr);
        }
        firstConverted_ = true;
        ++convertedFrames_;
    } else if (Is(kind, "g711a")) {
        coder->writeFrame(data, size, QN_MP4_STREAM_FRAME_TYPE_AAC, nullptr);
    } else if (Is(kind, "h264_SPS")) {
        coder->writeFrame(data, size, QN_MP4_STREAM_FRAME_TYPE_SPS, nullptr);
    } else if (Is(kind, "h264_PPS")) {
        coder->writeFrame(data, size, QN_MP4_STREAM_FRAME_TYPE_PPS, nullptr);
    } else if (Is(kind, "h264_SEI")) {
        coder->writeFrame(data, size, QN_MP4_STREAM_FRAME_TYPE_SEI, nullptr);
    } else if (Is(kind, "h264_SEI_QN")) {
        convertCopy_.assign(data, data + length);
        if (platform_->qn_mp_ParseSEI(data, size, &convertSei_) == 1) {
            convertSeiSeen_ = true;
            platform_->qn_mp_SetSeiValues(convertCopy_.data(), size, 0, 0);
            coder->writeFrame(convertCopy_.data(), size, QN_MP4_STREAM_FRAME_TYPE_SEI_QN, nullptr);
        } else if (firstConverted_) {
            // A private SEI without a lens record goes with a P frame.
            coder->writeFrame(convertCopy_.data(), size, QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P, nullptr);
        }
    }
}
