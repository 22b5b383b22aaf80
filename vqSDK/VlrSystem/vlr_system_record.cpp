// Recording of the play models through the process's one MP4 coder.
#include "Depend/qn_log.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "vqSDK/VlrSystem/vlr_system.h"

int RecordFrameCoderType(uint32_t typeCode)
{
    switch (typeCode & 0xF) {
    case 0:
        return (typeCode & VLR_RECORD_KEY_MARK) ? QN_MP4_STREAM_FRAME_TYPE_I : QN_MP4_STREAM_FRAME_TYPE_P;
    case 1:
        return QN_MP4_STREAM_FRAME_TYPE_A_G711;
    case 4:
        return QN_MP4_STREAM_FRAME_TYPE_SPS;
    case 5:
        return QN_MP4_STREAM_FRAME_TYPE_PPS;
    case 6:
        return QN_MP4_STREAM_FRAME_TYPE_SEI;
    case 7:
        return QN_MP4_STREAM_FRAME_TYPE_SEI_QN;
    case 8:
        return QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P;
    default:
        return QN_MP4_STREAM_FRAME_TYPE_OTHER;
    }
}

int VLR_SYSTEM::RecordControl(RecordEnd* end, const char* fileName, int start, int64_t* result)
{
    QnMp4Coder* coder = QnMp4Coder::getInstance();
    if (start != 0) {
        if (fileName == nullptr || !coder->startWrite(fileName)) return 0;
        coder->setEventCallback(end == &liveRecordEnd_ ? &VLR_SYSTEM::OnLiveCoderEvent : &VLR_SYSTEM::OnCardCoderEvent,
                                this);
        return 1;
    }
    const int stopped = coder->stopWrite();
    if (result != nullptr) *result = stopped;
    coder->setEventCallback(nullptr, nullptr);
    return 1;
}

int VLR_SYSTEM::WriteRecordFrame(const VLR_RECORD_FRAME* frame)
{
    if (frame == nullptr || frame->data == nullptr) return 1;
    const int type = RecordFrameCoderType(frame->typeCode);
    QnMp4FrameInfo info{};
    if (type == QN_MP4_STREAM_FRAME_TYPE_I) {
        info.width = frame->width;
        info.height = frame->height;
        info.frameRate = static_cast<int32_t>(frame->word & 0xFFFF);
    } else if (type == QN_MP4_STREAM_FRAME_TYPE_A_G711) {
        // The audio word goes as a signed 16-bit value in the first info word.
        info.width = static_cast<uint16_t>(static_cast<int16_t>(frame->word >> 16));
    }
    QnMp4Coder::getInstance()->writeFrame(frame->data, static_cast<int>(frame->length), type, &info);
    return 1;
}

int VLR_SYSTEM::LiveRecordControl(int user, const char* fileName, int start, int64_t* result)
{
    if (user != RES_PACK_USER_REALPLAY) return 0;
    return RecordControl(&liveRecordEnd_, fileName, start, result);
}

int VLR_SYSTEM::LiveWriteFrame(int user, const VLR_RECORD_FRAME* frame)
{
    if (user != RES_PACK_USER_REALPLAY) return 0;
    return WriteRecordFrame(frame);
}

int VLR_SYSTEM::CardRecordControl(int user, const char* fileName, int start, int64_t* result)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    QNLogPrint("%s(%d) bStartORStop:%d filename:%s\n", __FUNCTION__, __LINE__, start, fileName != nullptr ? fileName : "");
    if (!mp4Queue_) return 0;
    return RecordControl(&cardRecordEnd_, fileName, start, result);
}

int VLR_SYSTEM::CardWriteFrame(int user, const VLR_RECORD_FRAME* frame)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    return WriteRecordFrame(frame);
}

