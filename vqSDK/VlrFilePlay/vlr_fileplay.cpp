#include "vqSDK/VlrFilePlay/vlr_fileplay.h"

#include <cstdlib>
#include <cstring>

#include "Depend/qn_log.h"
#include "platform/files.h"
#include "streams/montage.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "vqSDK/VlrFilePlay/vlr_fileplay_shared.h"
#include "vqSDK/VlrRealplay/stream_output.h"
#include "vqSDK/VlrSystem/resource_pack.h"

using fileplay::Is;
using fileplay::kClearOnReset;

namespace {

const char kPackTag[] = "RESPACK";
const char kPlaySourceName[] = "streamfileid";
const char kParseSourceName[] = "streamparse";

// The first private SEI (type 6, payload type 0xF0) of a key-frame sample,
// start code included.
bool FindPrivateSei(const uint8_t* data, int length, const uint8_t** unit, int* unitLength)
{
    for (int at = 0; at + 6 <= length; ++at) {
        if (data[at] != 0 || data[at + 1] != 0 || data[at + 2] != 0 || data[at + 3] != 1) continue;
        if ((data[at + 4] & 0x1F) != 6 || data[at + 5] != 0xF0) continue;
        int end = at + 4;
        while (end + 4 <= length && !(data[end] == 0 && data[end + 1] == 0 && data[end + 2] == 0 && data[end + 3] == 1))
            ++end;
        *unit = data + at;
        *unitLength = (end + 4 <= length ? end : length) - at;
        return true;
    }
    return false;
}

} // namespace

VLR_FILEPLAY::VLR_FILEPLAY() = default;

VLR_FILEPLAY::~VLR_FILEPLAY()
{
    // A reading or a conversion left running would call into this object.
    if (platform_ == nullptr) return;
    if (converting_.load()) FinishTrans(nullptr);
    StopFile();
}

int VLR_FILEPLAY::SetStateCallBack(FILEPLAY_EVENT_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> hold(slotsMutex_);
    event_ = {callback, user, userValue};
    return 1;
}

int VLR_FILEPLAY::SetMsgCallBack(MONT_MSG_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetMessage(callback, user, userValue);
    return 1;
}

int VLR_FILEPLAY::SetFrameCallBack(MONT_FRAME_CALLBACK callback, void* user, int32_t userValue)
{
    callbacks_.SetFrame(callback, user, userValue);
    return 1;
}

int VLR_FILEPLAY::SetPictureCallBack(FILEPLAY_PICTURE_CALLBACK callback, void* user, int32_t userValue)
{
    std::lock_guard<std::mutex> hold(slotsMutex_);
    picture_ = {callback, user, userValue};
    return 1;
}

int VLR_FILEPLAY::SetSourcePack(void* pack)
{
    auto* candidate = static_cast<RESPACK*>(pack);
    if (candidate == nullptr || candidate->tag == nullptr || std::strcmp(candidate->tag, kPackTag) != 0 ||
        candidate->platform == nullptr) {
        callbacks_.Message("Source packet member error");
        return 0;
    }
    const int play = candidate->platform->qn_mp_FindSource(kPlaySourceName);
    const int parse = candidate->platform->qn_mp_FindSource(kParseSourceName);
    if (play == -1 || parse == -1) {
        callbacks_.Message("Source packet member error");
        return 0;
    }
    pack_ = candidate;
    platform_ = candidate->platform;
    playSource_ = play;
    parseSource_ = parse;
    return 1;
}

const MontStreamHead* VLR_FILEPLAY::GetStreamHead()
{
    return head_.Head();
}

const void* VLR_FILEPLAY::GetInfo(const char* name)
{
    if (!Is(name, "file_get_sei") || !fileSeiParsed_.load()) return nullptr;
    return &fileSei_;
}

void VLR_FILEPLAY::Event(int32_t event, int64_t value) const
{
    realplay::CallbackSlot<FILEPLAY_EVENT_CALLBACK> slot;
    {
        std::lock_guard<std::mutex> hold(slotsMutex_);
        slot = event_;
    }
    if (slot.function != nullptr) slot.function(event, 0, value, slot.user, slot.value);
}

bool VLR_FILEPLAY::ResetSource(int source, streams::MontFrameCallback callback)
{
    if (platform_ == nullptr) {
        callbacks_.Message("Param ERR");
        return false;
    }
    platform_->qn_mp_Pause(source);
    // A source without an input cache refuses the cache part of a clear;
    // the rest of it is done all the same.
    for (const char* what : kClearOnReset) platform_->qn_mp_Ctrl(source, "clear", what);
    if (platform_->qn_mp_SetStreamCallBack(source, callback, this, 0) != 1 ||
        platform_->qn_mp_Play(source) != 1) {
        callbacks_.Message("Reset montage error");
        return false;
    }
    return true;
}

int VLR_FILEPLAY::SendCtrl(const char* command, const void* value, void* argument)
{
    if (pack_ == nullptr || platform_ == nullptr || command == nullptr) {
        callbacks_.Message("PARAM error");
        return 0;
    }
    const auto* text = static_cast<const char*>(value);
    auto* result = static_cast<FILEPLAY_CHECK_RESULT*>(argument);
    if (Is(command, "start_file")) return StartFile(text);
    if (Is(command, "stop_file")) return StopFile();
    if (Is(command, "pause_file") || Is(command, "resume_file")) {
        const bool pause = Is(command, "pause_file");
        // The reader holds still before the platform does, and the platform
        // takes frames again before the reader sends them.
        QnMp4Coder* reader = QnMp4Coder::getInstance();
        bool readerDone = true, platformDone;
        if (pause) readerDone = reader->pauseRead();
        platformDone = (pause ? platform_->qn_mp_Pause(playSource_) : platform_->qn_mp_Play(playSource_)) == 1;
        if (!pause) readerDone = reader->resumeRead();
        if (platformDone && readerDone) return 1;
        callbacks_.Message("Stream ctrl error");
        return 0;
    }
    if (Is(command, "start_jpg")) return StartJpeg(text);
    if (Is(command, "stop_jpg")) {
        platform_->qn_mp_Pause(playSource_);
        for (const char* what : kClearOnReset) platform_->qn_mp_Ctrl(playSource_, "clear", what);
        return 1;
    }
    if (Is(command, "check_file")) return CheckFile(text, result);
    if (Is(command, "check_jpg")) return CheckJpeg(text, result);
    if (Is(command, "trans_jpg_file")) return TransJpegFile(static_cast<const FILEPLAY_TRANS_JPG_FILE*>(value), result);
    if (Is(command, "trans_jpg_stream"))
        return TransJpegStream(static_cast<const FILEPLAY_TRANS_JPG_STREAM*>(value), result);
    if (Is(command, "trans_file")) return TransFile(static_cast<const FILEPLAY_TRANS_FILE*>(value), result);
    if (Is(command, "finish_filetrans")) return FinishTrans(static_cast<int32_t*>(argument));
    if (std::strncmp(command, "security_", 9) == 0) return SecurityCommand(command, text);
    callbacks_.Message("Non-support command");
    return 0;
}

int VLR_FILEPLAY::SecurityCommand(const char* command, const char* password)
{
    std::lock_guard<std::recursive_mutex> hold(checkMutex_);
    if (Is(command, "security_clear")) {
        for (const char* slot : {"default", "default_old", "custom"}) {
            streams::qnSetSecurityKey(playKeys_, "", slot);
            streams::qnSetSecurityKey(checkKeys_, "", slot);
        }
        return 1;
    }
    const char* slot = Is(command, "security_default")       ? "default"
                       : Is(command, "security_default_old") ? "default_old"
                       : Is(command, "security_custom")      ? "custom"
                                                             : nullptr;
    if (slot == nullptr || password == nullptr) {
        callbacks_.Message("Non-support command");
        return 0;
    }
    const int done = streams::qnSetSecurityKey(playKeys_, password, slot);
    streams::qnSetSecurityKey(checkKeys_, password, slot);
    return done;
}

int32_t VLR_FILEPLAY::CheckedState(int decryptResult, uint32_t keyType)
{
    int32_t state = decryptResult == streams::kQnpsBufferShort ? FILEPLAY_STATE_BAD_BUFFER
                                                                : realplay::PasswordStateOf(decryptResult);
    if (state != PLAY_STATE_NONE) Event(state, keyType);
    switch (decryptResult) {
    case streams::QNPS_RETURN_VAL_OK:
    case streams::QNPS_RETURN_VAL_IGNORE_BY_LV: return FILE_CHECK_PLAYABLE;
    case streams::QNPS_RETURN_VAL_NEED_DEF_CODE:
    case streams::kQnpsNoKeyTable: return FILE_CHECK_NEED_DEFAULT;
    case streams::QNPS_RETURN_VAL_CODE_DEF_ERR: return FILE_CHECK_DEFAULT_WRONG;
    case streams::QNPS_RETURN_VAL_NEED_CUS_CODE: return FILE_CHECK_NEED_CUSTOM;
    case streams::QNPS_RETURN_VAL_CODE_CUS_ERR: return FILE_CHECK_CUSTOM_WRONG;
    default: return FILE_CHECK_OTHER;
    }
}

int VLR_FILEPLAY::CheckFile(const char* path, FILEPLAY_CHECK_RESULT* result)
{
    if (result == nullptr) return 0;
    const bool typeOnly = result->tableOrResult == 1;
    result->keyType = 0;
    if (path == nullptr) {
        result->tableOrResult = FILE_CHECK_NO_KEY_FRAME;
        return 0;
    }
    uint8_t* sample = nullptr;
    int length = 0;
    if (QnMp4Coder::getInstance()->readFirstIFrame(path, &sample, &length) != 0 || sample == nullptr) {
        std::free(sample);
        result->tableOrResult = FILE_CHECK_NO_KEY_FRAME;
        return 1;
    }
    const uint8_t* unit = nullptr;
    int unitLength = 0;
    streams::MontSeiInfo sei{};
    if (!FindPrivateSei(sample, length, &unit, &unitLength)) {
        result->tableOrResult = FILE_CHECK_NO_SEI;
    } else if (platform_->qn_mp_ParseSEI(unit, unitLength, &sei) != 1) {
        result->tableOrResult = FILE_CHECK_BAD_SEI;
    } else {
        result->keyType = realplay::SeiKeyType(sei);
        std::lock_guard<std::recursive_mutex> hold(checkMutex_);
        // Key type 0 is a plain stream, whatever its check bits: no key is needed.
        const int tested = (sei.securityLow & streams::key_slot::kTypeMask) == 0
                               ? streams::QNPS_RETURN_VAL_OK
                               : streams::qnCheckSecurity(typeOnly ? checkKeys_ : playKeys_, sei.securityLow,
                                                          sei.securityHigh);
        result->tableOrResult = CheckedState(tested, result->keyType);
    }
    std::free(sample);
    return 1;
}

int VLR_FILEPLAY::StartFile(const char* path)
{
    QnMp4Coder* reader = QnMp4Coder::getInstance();
    StopFile();
    bool started = path != nullptr && ResetSource(playSource_, &VLR_FILEPLAY::OnPlayFrame);
    if (started) {
        fileSeiParsed_.store(false);
        videoCounter_.store(0);
        reader->setFrameCallback(&VLR_FILEPLAY::OnReadFrame, this);
        reader->setEventCallback(&VLR_FILEPLAY::OnReadEvent, this);
        head_.Clear();
        reader->setSpeed(1.0f);
        aac_.close();
        aac_.setCallback(&VLR_FILEPLAY::OnPcm, this);
        started = aac_.open() && reader->startRead(path);
    }
    if (started) return 1;
    StopFile();
    callbacks_.Message("start file err");
    return 0;
}

int VLR_FILEPLAY::StopFile()
{
    QnMp4Coder* reader = QnMp4Coder::getInstance();
    platform_->qn_mp_Pause(playSource_);
    for (const char* what : kClearOnReset) platform_->qn_mp_Ctrl(playSource_, "clear", what);
    reader->stopRead();
    // Only our own registrations are removed: the front is process-wide.
    reader->setFrameCallback(nullptr, nullptr);
    reader->setEventCallback(nullptr, nullptr);
    fileSeiParsed_.store(false);
    aac_.close();
    return 1;
}

int VLR_FILEPLAY::OnReadFrame(uint8_t* data, int length, int code, QnMp4ReadTime* time, void* user)
{
    auto* self = static_cast<VLR_FILEPLAY*>(user);
    if (data == nullptr || length <= 0) return 1;
    const bool video = code == QN_MP4_STREAM_FRAME_TYPE_I || code == QN_MP4_STREAM_FRAME_TYPE_P;
    const bool converting = self->converting_.load();
    const int source = converting ? self->parseSource_ : self->playSource_;
    if (video) {
        // The frame goes in behind a 32-bit word, its number, which the
        // platform hands out with the frame.
        std::vector<uint8_t>& copy = self->inputCopy_;
        const uint32_t number = self->videoCounter_.load() + 1;
        copy.resize(static_cast<std::size_t>(length) + 4);
        std::memcpy(copy.data(), &number, 4);
        std::memcpy(copy.data() + 4, data, static_cast<std::size_t>(length));
        self->platform_->SetSyncId(source, false, number);
        // A frame the platform refuses (paused a moment before the reader)
        // is offered again rather than lost.
        if (self->platform_->qn_mp_InputData(source, copy.data(), static_cast<int>(copy.size()),
                                             "video_h264_single_qn2") != 1) {
            return 0;
        }
        self->videoCounter_.store(number);
        self->Event(converting ? FILEPLAY_EVENT_VIDEO_CONVERTED : FILEPLAY_EVENT_VIDEO_READ,
                    time != nullptr ? time->elapsedMs : 0);
    } else if (code == QN_MP4_STREAM_FRAME_TYPE_AAC) {
        // Labelled A-law on this road: the play callback sends it to the AAC decoder.
        return self->platform_->qn_mp_InputData(source, data, length, "audio_g711a_single_qn2") == 1;
    }
    return 1;
}

void VLR_FILEPLAY::OnReadEvent(int code, int /*value*/, void* user)
{
    auto* self = static_cast<VLR_FILEPLAY*>(user);
    const bool converting = self->converting_.load();
    if (code == MP4_EVENT_READ_END) {
        if (converting) {
            // The copy is complete once the writer has closed it.
            std::lock_guard<std::mutex> hold(self->writerMutex_);
            if (!self->writerStopped_) {
                self->writerResult_ = QnMp4Coder::getInstance()->stopWrite();
                self->writerStopped_ = true;
            }
        }
        self->Event(FILEPLAY_EVENT_END, 0);
    }
    if (code == MP4_EVENT_OPEN_FAILED && !converting) self->Event(FILEPLAY_EVENT_READ_ERROR, 0);
}

void VLR_FILEPLAY::OnPlayFrame(const uint8_t* data, int length, const streams::MontOutputFrame* frame, void* user,
                               int /*userValue*/)
{
    if (data == nullptr || length <= 0 || frame == nullptr || frame->kind == nullptr) return;
    static_cast<VLR_FILEPLAY*>(user)->PlayFrame(data, static_cast<uint32_t>(length), *frame);
}

void VLR_FILEPLAY::PlayFrame(const uint8_t* data, uint32_t length, const streams::MontOutputFrame& frame)
{
    const char* kind = frame.kind;
    const bool key = Is(kind, "h264_I");
    if (key || Is(kind, "h264_P")) {
        MontFrameInfo info{};
        info.flags = key ? (realplay::kFrameVideo | realplay::kFrameKey) : realplay::kFrameVideo;
        info.frameNumber = frame.frameNumber;
        info.pictureSize = realplay::PackPictureSize(frame.width, frame.height);
        info.frameRate = static_cast<uint32_t>(frame.frameRate);
        info.kind = kind;
        outputCopy_.assign(data, data + length);
        callbacks_.Frame(outputCopy_.data(), static_cast<int32_t>(length), info);
        if (key) head_.Clear();
    } else if (Is(kind, "g711a")) {
        aac_.input(data, static_cast<int>(length), false);
    } else if (Is(kind, "h264_SPS")) {
        head_.Set(realplay::HeadPart::Sps, data, length);
    } else if (Is(kind, "h264_PPS")) {
        head_.Set(realplay::HeadPart::Pps, data, length);
    } else if (Is(kind, "h264_SEI_QN")) {
        head_.Set(realplay::HeadPart::PrivateSei, data, length);
        if (platform_->qn_mp_ParseSEI(data, static_cast<int>(length), &fileSei_) == 1) fileSeiParsed_.store(true);
    } else if (Is(kind, "jpg")) {
        realplay::CallbackSlot<FILEPLAY_PICTURE_CALLBACK> slot;
        {
            std::lock_guard<std::mutex> hold(slotsMutex_);
            slot = picture_;
        }
        std::string path;
        {
            std::lock_guard<std::mutex> hold(jpegMutex_);
            path.swap(jpegPath_);
        }
        if (slot.function == nullptr) return;
        slot.function(reinterpret_cast<const uint8_t*>(path.c_str()), static_cast<int32_t>(path.size()), 1, slot.user,
                      slot.value);
        slot.function(data, static_cast<int32_t>(length), 0, slot.user, slot.value);
    }
}

void VLR_FILEPLAY::OnPcm(const uint8_t* pcm, int length, void* user)
{
    auto* self = static_cast<VLR_FILEPLAY*>(user);
    if (pcm == nullptr || length <= 0 || !self->callbacks_.HasFrame()) return;
    std::vector<uint8_t> copy(pcm, pcm + length);
    MontFrameInfo info{};
    info.kind = "linear_PCM";
    self->callbacks_.Frame(copy.data(), length, info);
}

