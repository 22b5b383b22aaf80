#include "streams/mont_processor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "streams/jpeg_tail.h"
#include "streams/sps_parser.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace streams {
namespace {

constexpr int kMessageError = 4;
constexpr std::size_t kMaxSps = 512;
constexpr std::size_t kSingleQn2Minimum = 16;
constexpr uint32_t kMaxOffset = 0x3FF;

bool StartCodeAt(const uint8_t* data, std::size_t at, std::size_t length)
{
    return at + 4 <= length && data[at] == 0 && data[at + 1] == 0 && data[at + 2] == 0 && data[at + 3] == 1;
}

std::size_t NextStartCode(const uint8_t* data, std::size_t from, std::size_t length)
{
    for (std::size_t at = from; at + 4 <= length; ++at) {
        if (StartCodeAt(data, at, length)) return at;
    }
    return length;
}

int IntervalFor(float rate)
{
    return rate > 0 ? static_cast<int>(std::lround(1000.0 / rate)) : 0;
}

} // namespace

struct MontProcessor::PacketSink final : MontPacketBuffer::Visitor {
    explicit PacketSink(MontProcessor& owner) : processor(owner) {}
    void OnPacket(const CameraPacket& packet) override { processor.OnPacket(packet); }
    void OnBadLength(uint32_t declared) override
    {
        char text[96];
        std::snprintf(text, sizeof text, "Parse stream error :  len[%u], res[%d]", declared, -1);
        processor.Message(kMessageError, text);
    }
    MontProcessor& processor;
};

MontProcessor::MontProcessor(int platformHandle, int sourceId) : platformHandle_(platformHandle), sourceId_(sourceId) {}

void MontProcessor::SetInfoHandler(MontInfoHandler handler, void* owner)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    infoHandler_ = handler;
    infoOwner_ = owner;
}

void MontProcessor::SetMessageHandler(MontMessageHandler handler, void* owner)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    messageHandler_ = handler;
    messageOwner_ = owner;
    Message(kMessageError, " STPL Init");
}

void MontProcessor::SetFrameCallback(MontFrameCallback callback, void* user, int userValue)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    frameCallback_ = callback;
    frameUser_ = user;
    frameUserValue_ = userValue;
}

void MontProcessor::SetUnionNal(bool on)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    unionNal_ = on;
}

void MontProcessor::SetAudioFrameNumber(uint32_t number)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    audioFrameNumber_ = number;
}

void MontProcessor::SetVideoFrameNumber(uint32_t number)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    videoFrameNumber_ = number;
}

void MontProcessor::ForgetPacket()
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    packets_.Clear();
}

void MontProcessor::Message(int kind, const char* text)
{
    if (messageHandler_ != nullptr) messageHandler_(messageOwner_, kind, text);
}

void MontProcessor::Info(MontInfo code, const void* data)
{
    if (infoHandler_ != nullptr) infoHandler_(infoOwner_, sourceId_, code, data);
}

int MontProcessor::Input(BufferType type, const uint8_t* data, std::size_t length)
{
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    bool drain = data == nullptr || length == 0;
    switch (type) {
    case BufferType::MixStreamQn1: return InputPackets(drain ? nullptr : data, drain ? 0 : length);
    case BufferType::AudioG711aQn1:
        if (drain) return 1;
        return InputAudioPacket(data, length);
    case BufferType::AudioG711aQn2:
    case BufferType::AudioG711aSingle:
    case BufferType::AudioG711aSingleQn1:
    case BufferType::AudioG711aSingleQn2:
        if (drain) return type == BufferType::AudioG711aQn2 ? 1 : 0;
        audioCodec_ = 2;
        if (type == BufferType::AudioG711aSingle && sampleRate_ == 0) sampleRate_ = 8000;
        OutputAudio(data, length);
        return 1;
    case BufferType::VideoH264Single:
        if (drain) return 0;
        OutputNal(data, length, 0);
        return 1;
    case BufferType::VideoH264SingleQn1:
        if (drain) return 0;
        return InputVideoPacket(data, length);
    case BufferType::VideoH264SingleQn2:
        if (drain || length < kSingleQn2Minimum) return 0;
        OutputNal(data + 4, length - 4, videoFrameNumber_);
        return 1;
    case BufferType::Pcm:
        if (drain || sampleRate_ == 0 || bitsPerSample_ == 0) return 0;
        audioCodec_ = 1;
        OutputAudio(data, length);
        return 1;
    case BufferType::Jpeg:
        if (drain) return 0;
        return InputJpeg(data, length);
    default: return 0; // recognised by name, no processing of their own
    }
}

int MontProcessor::InputPackets(const uint8_t* data, std::size_t length)
{
    if (data != nullptr) {
        long result = packets_.Append(data, length);
        if (result != 0) {
            char text[96];
            std::snprintf(text, sizeof text, "Parse stream error :  len[%zu], res[%ld]", length, result);
            Message(kMessageError, text);
            return 0;
        }
    }
    PacketSink sink(*this);
    packets_.Scan(sink);
    return 1;
}

void MontProcessor::ReadPacketHeader(const CameraPacket& packet)
{
    const uint8_t* header = packet.header;
    switch (packet.type) {
    case PacketType::Audio: {
        audioCodec_ = header[4] == kCodecG711a ? 2 : 0;
        // Index 2 of the header's rate table is 8000 Hz; the cameras send no other.
        sampleRate_ = header[5] == 2 ? 8000 : header[5];
        break;
    }
    case PacketType::KeyFrame: {
        if (header[5] != 0 && static_cast<float>(header[5]) != frameRate_) {
            frameRate_ = header[5];
            intervalMs_ = IntervalFor(frameRate_);
        }
        width_ = static_cast<uint16_t>(KeyFrameWidth(header));
        height_ = static_cast<uint16_t>(KeyFrameHeight(header));
        streamKindTwo_ = (header[4] & 0xF) == 2;
        packetFlags_ = header[4] & 0xF;
        ++packetCount_;
        break;
    }
    case PacketType::OtherFrame: ++packetCount_; break;
    }
}

void MontProcessor::OnPacket(const CameraPacket& packet)
{
    ReadPacketHeader(packet);
    if (packet.type == PacketType::Audio) {
        OutputAudio(packet.payload, packet.payloadLength);
    } else {
        OutputNal(packet.payload, packet.payloadLength, packetCount_);
    }
}

int MontProcessor::InputAudioPacket(const uint8_t* data, std::size_t length)
{
    if (length < kAudioHeaderSize) return 0;
    uint32_t declared = DeclaredLength(data, PacketType::Audio);
    if (declared > length - kAudioHeaderSize) return 0;
    CameraPacket packet{PacketType::Audio, data, kAudioHeaderSize, data + kAudioHeaderSize, declared};
    OnPacket(packet);
    return 1;
}

int MontProcessor::InputVideoPacket(const uint8_t* data, std::size_t length)
{
    if (length < 4 || data[0] != 0 || data[1] != 0 || data[2] != 1) return 0;
    if (data[3] != static_cast<uint8_t>(PacketType::KeyFrame) && data[3] != static_cast<uint8_t>(PacketType::OtherFrame)) {
        return 0;
    }
    auto type = static_cast<PacketType>(data[3]);
    std::size_t headerSize = HeaderSizeOf(type);
    if (length < headerSize) return 0;
    uint32_t declared = DeclaredLength(data, type);
    if (declared > length - headerSize) return 0;
    OnPacket(CameraPacket{type, data, headerSize, data + headerSize, declared});
    return 1;
}

int MontProcessor::InputJpeg(const uint8_t* data, std::size_t length)
{
    JpegTail tail;
    if (!FindJpegTail(data, length, &tail)) return 0;
    if (tail.block != nullptr) {
        MontInfo code = tail.blockKind == 1 ? MontInfo::PanoramaBlock
                        : tail.blockKind == 2 ? MontInfo::PtzBlock
                                              : MontInfo::TiltBlock;
        Info(code, tail.block);
    }
    MontOutputFrame frame{platformHandle_, sourceId_, "jpg", 0, 0, 0, 0, 0, 0};
    if (frameCallback_ != nullptr) {
        frameCallback_(data, static_cast<int>(length), &frame, frameUser_, frameUserValue_);
    }
    return 1;
}

void MontProcessor::Emit(const uint8_t* data, std::size_t length, const char* kind, uint32_t bits,
                         uint32_t frameNumber, bool video)
{
    if (frameCallback_ == nullptr) return;
    MontOutputFrame frame{platformHandle_, sourceId_, kind, bits, frameNumber, 0, 0, 0, 0};
    if (video) {
        frame.width = width_;
        frame.height = height_;
        frame.interval = IntervalFor(frameRate_);
        frame.frameRate = frameRate_;
    } else {
        frame.interval = sampleRate_;
    }
    frameCallback_(data, static_cast<int>(length), &frame, frameUser_, frameUserValue_);
}

void MontProcessor::OutputAudio(const uint8_t* data, std::size_t length)
{
    const char* kind = audioCodec_ == 2 ? "g711a" : audioCodec_ == 1 ? "PCM" : "";
    Emit(data, length, kind, packetFlags_ & 0xF, audioFrameNumber_, false);
}

bool MontProcessor::HandleSei(const uint8_t* unit, std::size_t length, const char** kind, uint32_t* flags)
{
    if (length <= 6) return false;
    uint8_t payloadType = unit[5];
    if (payloadType < 64) return false;
    if (payloadType < 240) {
        *kind = "h264_SEI";
        *flags = kFlagSei;
        return true;
    }
    *kind = "h264_SEI_QN";
    *flags = kFlagPrivateSei;
    SeiKind seiKind = ClassifySei(unit, length);
    if (!CarriesLensRecord(seiKind)) return true;
    QnLensSeiInfo info;
    ParseLensSei(unit, length, &info);
    // Only records that say whether this is a camera's stream change the
    // verdict; motion and other units leave it as it is.
    streamValid_ = info.Valid();
    if (!info.Valid()) return true;
    securityLow_ = info.securityLow;
    securityHigh_ = info.securityHigh;
    switch (seiKind) {
    case SeiKind::Panorama:
    case SeiKind::PanoramaCode:
    case SeiKind::Ptz: {
        float rate = info.rate2 > 0 ? info.rate2 : info.rate1;
        if (rate > 0) frameRate_ = rate;
        Info(seiKind == SeiKind::Panorama       ? MontInfo::PanoramaQn
             : seiKind == SeiKind::PanoramaCode ? MontInfo::PanoramaCode
                                                : MontInfo::Ptz,
             &info);
        break;
    }
    default:
        if (!keyFramePending_) Info(MontInfo::PtzPosition, &info);
        *kind = "h264_SEI_QN_P";
        *flags = kFlagPtzSei;
        break;
    }
    return true;
}

void MontProcessor::HandleSps(const uint8_t* unit, std::size_t length)
{
    lastSps_.assign(unit, unit + std::min(length, kMaxSps));
    SpsInfo sps;
    if (length > 5 && ParseSps(unit + 5, length - 5, &sps)) {
        uint32_t height = sps.height == 1088 ? 1080 : sps.height;
        if (sps.width > 0) width_ = static_cast<uint16_t>(std::min<uint32_t>(sps.width, UINT16_MAX));
        if (height > 0) height_ = static_cast<uint16_t>(std::min<uint32_t>(height, UINT16_MAX));
        if (sps.frameRate > 0) frameRate_ = sps.frameRate;
        MontSpsInfo info{sps.width, height, sps.frameRate};
        Info(MontInfo::Sps, &info);
    }
    keyFramePending_ = false;
}

void MontProcessor::OutputNal(const uint8_t* input, std::size_t length, uint32_t frameNumber)
{
    const uint8_t* data = input;
    std::size_t at = NextStartCode(data, 0, length);
    while (at < length) {
        const uint8_t* unit = data + at;
        std::size_t left = length - at;
        if (left < 5) break;
        int nalType = unit[4] & 0x1F;
        bool slice = nalType == 1 || nalType == 5;
        std::size_t unitLength;
        if (slice) {
            unitLength = left;
        } else if (nalType == 6 && left > 6 && unit[5] >= 240) {
            // A private SEI may hold 00 00 00 01 in its payload: its size byte says where it ends.
            unitLength = std::min<std::size_t>(left, std::size_t{unit[6]} + 8);
        } else {
            unitLength = NextStartCode(data, at + 4, length) - at;
        }

        const char* kind = nullptr;
        uint32_t flags = packetFlags_ & 0xF;
        switch (nalType) {
        case 1:
            if (!keyFramePending_) kind = unionNal_ ? "h264_P_Total" : "h264_P";
            break;
        case 5:
            keyFramePending_ = false;
            kind = unionNal_ ? "h264_I_Total" : "h264_I";
            break;
        case 6:
            if (!HandleSei(unit, unitLength, &kind, &flags)) kind = nullptr;
            break;
        case 7:
            HandleSps(unit, unitLength);
            kind = "h264_SPS";
            break;
        case 8:
            keyFramePending_ = false;
            kind = "h264_PPS";
            break;
        default: break;
        }
        if (!streamValid_) {
            Message(kMessageError, "Not QN Stream");
        } else if (kind != nullptr) {
            if (slice && unionNal_) {
                uint32_t offset = static_cast<uint32_t>(std::min<std::size_t>(at, kMaxOffset));
                Emit(data, length, kind, flags | offset << 4, frameNumber, true);
            } else {
                Emit(unit, unitLength, kind, flags, frameNumber, true);
            }
        }
        if (slice) break;
        at = at + unitLength;
        if (!StartCodeAt(data, at, length)) at = NextStartCode(data, at, length);
    }
}

} // namespace streams
