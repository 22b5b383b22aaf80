#include "streams/record_stream.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "Depend/qn_depend.h"
#include "streams/frame_decrypt.h"
#include "streams/sps_parser.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"

namespace streams {

namespace {

constexpr std::size_t kSeiPayloadType = 5;
constexpr std::size_t kSeiSize = 6;
constexpr std::size_t kSeiMagic = 7;

struct KindCode {
    const char* name;
    int code;
};
// In the order the writer compares them.
constexpr KindCode kKindCodes[] = {
    {"h264_P", QN_MP4_STREAM_FRAME_TYPE_P},           {"h264_SPS", QN_MP4_STREAM_FRAME_TYPE_SPS},
    {"h264_PPS", QN_MP4_STREAM_FRAME_TYPE_PPS},       {"h264_SEI", QN_MP4_STREAM_FRAME_TYPE_SEI},
    {"h264_I", QN_MP4_STREAM_FRAME_TYPE_I},           {"h264_SEI_QN", QN_MP4_STREAM_FRAME_TYPE_SEI_QN},
    {"h264_SEI_QN_P", QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P}, {"g711a", QN_MP4_STREAM_FRAME_TYPE_A_G711},
};

bool Accepts(RecordSeiSizes sizes, SeiKind kind)
{
    switch (kind) {
    case SeiKind::PanoramaCode:
    case SeiKind::Ptz:
    case SeiKind::PtzShort: return true;
    case SeiKind::PtzPosition: return sizes == RecordSeiSizes::Minimum;
    case SeiKind::Panorama: return sizes == RecordSeiSizes::Exact;
    default: return false;
    }
}

// Start code positions (of 00 00 01) from `from`.
std::size_t NextStartCode(const uint8_t* data, std::size_t length, std::size_t from)
{
    for (std::size_t i = from; i + 3 <= length; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i;
    }
    return length;
}

} // namespace

SeiKind ClassifyRecordSei(const uint8_t* unit, std::size_t length, RecordSeiSizes sizes)
{
    // Bytes 5 to 8 and the one behind the payload must lie inside the unit.
    if (unit == nullptr || length < 9) return SeiKind::None;
    const std::size_t size = unit[kSeiSize];
    if (length < kSeiMagic + size + 1) return SeiKind::None;
    SeiKind kind = ClassifySei(unit, length);
    if (sizes == RecordSeiSizes::Minimum || kind == SeiKind::None || kind == SeiKind::Extra) return kind;
    // Cloud recordings: the exact size of each kind, and no longer "QJ" unit.
    static const struct {
        SeiKind kind;
        std::size_t size;
    } kExact[] = {{SeiKind::Panorama, 52}, {SeiKind::PanoramaCode, 64}, {SeiKind::Ptz, 64}, {SeiKind::PtzShort, 8},
                  {SeiKind::Dp, 44}};
    for (const auto& exact : kExact) {
        if (exact.kind == kind) return exact.size == size ? kind : SeiKind::None;
    }
    return SeiKind::None;
}

int RecordFrameCode(const char* kind)
{
    if (kind == nullptr) return QN_MP4_STREAM_FRAME_TYPE_OTHER;
    for (const auto& entry : kKindCodes) {
        if (std::strcmp(kind, entry.name) == 0) return entry.code;
    }
    return QN_MP4_STREAM_FRAME_TYPE_OTHER;
}

RecordSecurity RecordStream::Security() const
{
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return security_;
}

void RecordStream::TakeSei(uint8_t* unit, std::size_t length, RecordFrame* frame)
{
    SeiKind kind = ClassifyRecordSei(unit, length, sizes_);
    if (!Accepts(sizes_, kind)) return;
    QnLensSeiInfo info;
    ParseLensSei(unit, length, &info);
    security_.valid = info.Valid();
    if (!info.Valid()) return;
    if (kind == SeiKind::PanoramaCode || kind == SeiKind::Ptz) {
        security_.low = info.securityLow;
        security_.high = info.securityHigh;
        security_.interval = info.protectionInterval;
        security_.keyClearHeader = info.KeyClearHeader();
        security_.otherClearHeader = info.OtherClearHeader();
    } else if (kind == SeiKind::Panorama) {
        security_.low = security_.high = 0;
    }
    float rate = info.rate2 > 0 ? info.rate2 : info.rate1;
    if (rate > 0) frameRate_ = frame->frameRate = rate;
    if (kind == SeiKind::PtzShort) frame->kind = "h264_SEI_QN_P";
}

void RecordStream::TakeSps(const uint8_t* unit, std::size_t length, RecordFrame* frame)
{
    // Behind the start code and the NAL header byte.
    std::size_t header = unit[2] == 1 ? 4 : 5;
    if (length <= header) return;
    std::vector<uint8_t> copy(unit + header, unit + length);
    SpsInfo sps;
    if (!ParseSps(copy.data(), copy.size(), &sps)) return;
    width_ = static_cast<uint16_t>(sps.width);
    height_ = static_cast<uint16_t>(sps.height == 1088 ? 1080 : sps.height);
    if (sps.frameRate > 0) frameRate_ = sps.frameRate;
    frame->width = width_;
    frame->height = height_;
    if (sps.frameRate > 0) frame->frameRate = frameRate_;
}

int RecordStream::ParseVideo(uint8_t* buffer, int length, RecordFrame* frame, const RecordOwner& owner)
{
    if (buffer == nullptr || length <= 0 || frame == nullptr) return 1;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    const std::size_t size = static_cast<std::size_t>(length);
    std::size_t at = NextStartCode(buffer, size, 0);
    while (at < size) {
        std::size_t next = NextStartCode(buffer, size, at + 3);
        std::size_t begin = at > 0 && buffer[at - 1] == 0 ? at - 1 : at;
        std::size_t end = next < size && buffer[next - 1] == 0 ? next - 1 : next;
        uint8_t* unit = buffer + begin;
        std::size_t unitLength = end - begin;
        std::size_t header = at + 3 - begin;
        at = next;
        if (unitLength <= header) continue;
        const char* kind = nullptr;
        frame->kind = nullptr;
        switch (unit[header] & 0x1F) {
        case 1: kind = "h264_P"; break;
        case 5: kind = "h264_I"; break;
        case 6:
            if (unitLength < 7) break;
            if (unit[kSeiPayloadType] >= 0xF0) {
                frame->kind = "h264_SEI_QN";
                TakeSei(unit, unitLength, frame);
                kind = frame->kind;
            } else if (unit[kSeiPayloadType] >= 0x40) {
                kind = "h264_SEI";
            }
            break;
        case 7:
            TakeSps(unit, unitLength, frame);
            kind = "h264_SPS";
            break;
        case 8: kind = "h264_PPS"; break;
        default: break;
        }
        if (kind == nullptr) continue;
        if (!security_.valid) {
            if (kind == std::string_view("h264_SPS")) heldSps_.assign(unit, unit + unitLength);
            if (kind == std::string_view("h264_PPS")) heldPps_.assign(unit, unit + unitLength);
            QNTracePrint("%s(%d) Not QN Stream\n", __FILE__, __LINE__);
            continue;
        }
        WriteHeldParameterSets(frame, owner);
        frame->kind = kind;
        frame->data = unit;
        frame->length = static_cast<int>(unitLength);
        if (frame->width == 0) frame->width = width_;
        if (frame->height == 0) frame->height = height_;
        if (frame->frameRate <= 0) frame->frameRate = frameRate_;
        WriteLocked(frame, owner);
    }
    return 1;
}

void RecordStream::WriteHeldParameterSets(RecordFrame* frame, const RecordOwner& owner)
{
    for (auto* held : {&heldSps_, &heldPps_}) {
        if (held->empty()) continue;
        RecordFrame copy = *frame;
        copy.kind = held == &heldSps_ ? "h264_SPS" : "h264_PPS";
        copy.data = held->data();
        copy.length = static_cast<int>(held->size());
        WriteLocked(&copy, owner);
        held->clear();
    }
}

int RecordStream::Write(RecordFrame* frame, const RecordOwner& owner)
{
    if (frame == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return WriteLocked(frame, owner);
}

int RecordStream::WriteLocked(RecordFrame* frame, const RecordOwner& owner)
{
    const int code = RecordFrameCode(frame->kind);
    if (frame->length <= 0 || frame->data == nullptr) return code == QN_MP4_STREAM_FRAME_TYPE_OTHER ? 0 : 1;
    const bool encrypted = (security_.low | security_.high) != 0 && !frame->plaintext;
    if (encrypted && owner.keys != nullptr &&
        (code == QN_MP4_STREAM_FRAME_TYPE_I || code == QN_MP4_STREAM_FRAME_TYPE_P)) {
        const bool key = code == QN_MP4_STREAM_FRAME_TYPE_I;
        uint32_t length = static_cast<uint32_t>(frame->length);
        if (security_.limit != 0 && security_.limit < length) length = security_.limit;
        const CryptBuffer buffer{frame->data, length,
                                 crypt_info::Make(security_.interval,
                                                  key ? security_.keyClearHeader : security_.otherClearHeader)};
        qnStreamDecrypt(*owner.keys, buffer, key ? 1 : 2, security_.low, security_.high);
    }
    if (code == QN_MP4_STREAM_FRAME_TYPE_I && owner.recordCallback) owner.recordCallback(11);
    QnMp4FrameInfo info{};
    const QnMp4FrameInfo* infoAt = nullptr;
    if (code == QN_MP4_STREAM_FRAME_TYPE_I) {
        info = {frame->width, frame->height, static_cast<int32_t>(frame->frameRate)};
        infoAt = &info;
    } else if (code == QN_MP4_STREAM_FRAME_TYPE_A_G711) {
        info = {frame->audioValue, 0, 0};
        infoAt = &info;
    }
    if (owner.write) return owner.write(frame->data, frame->length, code, infoAt) ? 1 : 0;
    return QnMp4Coder::getInstance()->writeFrame(frame->data, frame->length, code, infoAt) ? 1 : 0;
}

RecordStream& CloudRecordStream()
{
    static RecordStream stream(RecordSeiSizes::Exact);
    return stream;
}

RecordStream& TfRecordStream()
{
    static RecordStream stream(RecordSeiSizes::Minimum);
    return stream;
}

int ParseVideoFrame_H264(uint8_t* buffer, int length, RecordFrame* frame, const RecordOwner& owner)
{
    return CloudRecordStream().ParseVideo(buffer, length, frame, owner);
}

int TfParseH264Frame(uint8_t* buffer, int length, RecordFrame* frame, const RecordOwner& owner)
{
    return TfRecordStream().ParseVideo(buffer, length, frame, owner);
}

} // namespace streams
