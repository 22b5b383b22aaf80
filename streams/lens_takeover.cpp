// The platform takes over what the processor finds in a stream: lens records
// of the private SEI, JPEG lens blocks and SPS sizes become the source's
// lens fields, and the changes are raised as events.
#include <cmath>
#include <cstring>
#include <vector>

#include "streams/mont_platform.h"
#include "streams/packed_date.h"
#include "streams/pano_type.h"

namespace streams {
namespace {

constexpr int kEventPanorama = 2;
constexpr int kEventPtz = 3;
constexpr int kEventPtzPosition = 5;
constexpr uint32_t kDefaultFrameTime = 1573032;

// Events are gathered under the lens lock and raised after it, so that an
// event callback may ask for information items.
struct PendingEvents {
    struct Item {
        int kind;
        uint64_t value;
        const char* name;
        bool record; // `value` indexes `records`
    };
    std::vector<Item> items;
    std::vector<std::vector<uint32_t>> records;

    void Number(int kind, uint64_t value, const char* name) { items.push_back({kind, value, name, false}); }
    void Record(int kind, std::vector<uint32_t> words, const char* name)
    {
        records.push_back(std::move(words));
        items.push_back({kind, records.size() - 1, name, true});
    }
    void Raise(MontPlatform& platform)
    {
        for (const Item& item : items) {
            uint64_t value = item.value;
            if (item.record) value = reinterpret_cast<uintptr_t>(records[item.value].data());
            platform.Event(item.kind, value, item.name);
        }
    }
};

uint32_t FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint16_t Size16(uint32_t value)
{
    return static_cast<uint16_t>(std::min<uint32_t>(value, 0xFFFF));
}

void SetSize(LensState& lens, uint32_t width, uint32_t height, bool heightKnown)
{
    lens.width = Size16(width);
    lens.height = heightKnown ? Size16(height) : kUnknown16;
    if (lens.oriWidth == kUnknown16) lens.oriWidth = lens.width;
    if (lens.oriHeight == kUnknown16) lens.oriHeight = lens.height;
}

void Circle(PendingEvents& events, const LensState& lens)
{
    events.Record(kEventPanorama, {FloatBits(lens.centerX), FloatBits(lens.centerY), FloatBits(lens.radius)},
                  "pano_circle");
    events.Number(kEventPanorama, static_cast<uint64_t>(std::lround(lens.tilt) + 90), "pano_tilt+90");
}

// The time fields of a record: its frame time, or the time-OSD box.
void TakeTime(LensState& lens, const QnLensSeiInfo& info, bool copyOsd)
{
    if ((info.word1 & (lens_bits::kTimeFlag | lens_bits::kQnMarker)) != 0) {
        lens.timeFlag = info.HasTime();
        lens.frameTime = info.frameTime;
        return;
    }
    lens.timeFlag = false;
    lens.frameTime = lens.lensNumber != 0 ? 0 : kDefaultFrameTime;
    if (copyOsd) {
        lens.osdWidth = info.osdSize.width;
        lens.osdHeight = info.osdSize.height;
        lens.osdX = info.osdX;
        lens.osdY = info.osdY;
    } else {
        lens.osdX = lens.osdY = lens.osdWidth = lens.osdHeight = 0;
    }
}

// Picture sizes of "QN" records whose type word has no layout nibble, by
// bits 12-19 of the word.
void QnTableSize(uint32_t code, uint32_t* width, uint32_t* height)
{
    struct Entry {
        uint32_t code, width, height;
    };
    static constexpr Entry kSizes[] = {{1, 768, 576},    {3, 2048, 1536}, {4, 1280, 960},  {6, 1920, 1080},
                                       {7, 1024, 1024},  {8, 1536, 1536}, {9, 2560, 1920}, {10, 4000, 3000},
                                       {16, 1280, 720}};
    *width = 1280;
    *height = 1024;
    for (const Entry& entry : kSizes) {
        if (entry.code == code) {
            *width = entry.width;
            *height = entry.height;
        }
    }
}

// Size, lens and range fields from a 64-bit type code; false for a nibble
// the record kind does not take.
bool ApplyTypeCode(LensState& lens, uint64_t code, bool panoramaOnly, uint16_t recordPanRangeX10)
{
    PanoLayout layout;
    if (!LayoutForNibble(code, &layout)) return false;
    if (panoramaOnly && layout != PanoLayout::Nibble2 && layout != PanoLayout::Nibble4) return false;
    PanoGeometry geometry = DecodePano(code, layout);
    lens.panoTypeEx = code;
    SetSize(lens, geometry.width, geometry.height, geometry.heightKnown);
    lens.lensType = static_cast<uint16_t>(geometry.lensType);
    lens.lensNumber = static_cast<uint16_t>(geometry.lensNumber);
    switch (layout) {
    case PanoLayout::Nibble3:
    case PanoLayout::Nibble5:
        if (!panoramaOnly) lens.panRange = static_cast<float>(geometry.panRange) * 0.1f;
        break;
    case PanoLayout::Nibble4:
        lens.panRange = static_cast<float>(geometry.panRange) * 0.1f;
        lens.tiltRange = static_cast<float>(geometry.tiltRange) * 0.1f;
        if (!panoramaOnly && recordPanRangeX10 != 0) lens.panRange = static_cast<float>(recordPanRangeX10) * 0.01f;
        break;
    default: break;
    }
    return true;
}

void FrameTimeEvent(PendingEvents& events, const LensState& lens, int kind)
{
    if (lens.timeFlag) events.Number(kind, lens.frameTime, "frame_time");
}

void NoSecurityTest(PendingEvents& events, const QnLensSeiInfo& info)
{
    if (info.securityLow == 0 && info.securityHigh == 0 && info.SecurityBits() != 0 &&
        (info.word1 & lens_bits::kFurtherSecurity) == 0) {
        events.Number(kEventPanorama, 0, "no_security");
    }
}

void TakeOverQn(LensState& lens, const QnLensSeiInfo& info, PendingEvents& events)
{
    lens.lensType = 1;
    auto type = static_cast<uint32_t>(info.panoTypeEx);
    lens.panoType = type;
    if ((type & 0xF) != 0) {
        PanoGeometry geometry = DecodePano(type, PanoLayout::QnTypeWord);
        lens.lensNumber = static_cast<uint16_t>(geometry.lensNumber);
        SetSize(lens, geometry.width, geometry.height, geometry.heightKnown);
    } else {
        lens.lensNumber = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        QnTableSize(type >> 12 & 0xFF, &width, &height);
        SetSize(lens, width, height, true);
    }
    TakeTime(lens, info, false);
    lens.centerX = info.centerX;
    lens.centerY = info.centerY;
    lens.radius = info.radius;
    lens.tilt = info.tilt;
    lens.rotate = info.rotate;
    Circle(events, lens);
}

void TakeOverCodeRecord(LensState& lens, const QnLensSeiInfo& info, bool ptz, PendingEvents& events)
{
    if (!ApplyTypeCode(lens, info.panoTypeEx, !ptz, info.panRangeX10)) return;
    TakeTime(lens, info, true);
    lens.tilt = info.tilt;
    lens.rotate = info.rotate;
    if (!ptz) {
        lens.centerX = info.centerX;
        lens.centerY = info.centerY;
        lens.radius = info.radius;
        Circle(events, lens);
        FrameTimeEvent(events, lens, kEventPanorama);
        events.Number(kEventPanorama, 0, "pano_video");
    } else {
        lens.ptzPan = info.ptzPan;
        lens.ptzTilt = info.ptzTilt;
        lens.ptzZoom = info.ptzZoom;
        lens.ptzRotate = info.ptzFourth;
        FrameTimeEvent(events, lens, kEventPtz);
        events.Record(kEventPtz, {FloatBits(info.ptzPan), FloatBits(info.ptzTilt), FloatBits(lens.ptzZoom)},
                      "ptz_video");
    }
    NoSecurityTest(events, info);
}

void TakeOverPosition(LensState& lens, const QnLensSeiInfo& info, PendingEvents& events)
{
    if (info.HasTime()) lens.frameTime = (lens.frameTime & ~0xFFFu) | (info.frameTime & 0xFFFu);
    lens.ptzPan = info.ptzPan;
    lens.ptzTilt = info.ptzTilt;
    if (info.Kind() == static_cast<int>(SeiKind::PtzPosition)) {
        lens.ptzZoom = info.ptzZoom;
        lens.ptzRotate = info.ptzFourth;
    }
    if (info.HasTime()) events.Number(kEventPtzPosition, lens.frameTime, "frame_time");
    if (lens.lensType == 0 || lens.lensType == 5) {
        events.Record(kEventPtz, {FloatBits(info.ptzPan), FloatBits(info.ptzTilt), FloatBits(lens.ptzZoom)},
                      "ptz_video");
    }
}

void TakeOverPanoramaBlock(LensState& lens, const uint8_t* block, PendingEvents& events)
{
    PanoramaBlockValues values = ReadPanoramaBlock(block);
    ApplyTypeCode(lens, values.panoTypeEx, false, 0);
    double halfWidth = lens.width == kUnknown16 ? 0 : lens.width / 2.0;
    double halfHeight = lens.height == kUnknown16 ? 0 : lens.height / 2.0;
    lens.centerX = static_cast<float>(halfWidth + (values.circleWord & 0x1FF) * 2.0 - 510);
    lens.centerY = static_cast<float>(halfHeight + (values.circleWord >> 9 & 0x1FF) * 2.0 - 510);
    lens.radius = static_cast<float>((values.circleWord >> 18) * 2);
    lens.tilt = values.tilt;
    lens.rotate = values.rotate;
    if (values.hasTime) {
        lens.frameTime = values.frameTime;
        lens.timeFlag = values.timeFlag;
    } else {
        lens.osdWidth = values.osdWidth;
        lens.osdHeight = values.osdHeight;
        lens.osdX = values.osdX;
        lens.osdY = values.osdY;
    }
    events.Number(kEventPanorama, lens.frameTime, "frame_time");
    events.Number(kEventPanorama, 0, "pano_image");
}

void TakeOverPtzBlock(LensState& lens, const uint8_t* block, PendingEvents& events)
{
    PtzBlockValues values = ReadPtzBlock(block);
    ApplyTypeCode(lens, values.panoTypeEx, false, 0);
    lens.frameTime = values.frameTime;
    lens.ptzPan = values.pan;
    lens.ptzTilt = values.tilt;
    events.Number(kEventPanorama, lens.frameTime, "frame_time");
    events.Number(kEventPtz, 0, "ptz_image");
}

} // namespace

void TakeOverInfo(void* owner, int, MontInfo code, const void* data)
{
    auto& source = *static_cast<MontSource*>(owner);
    PendingEvents events;
    {
        std::lock_guard<std::mutex> hold(source.lensMutex);
        LensState& lens = source.lens;
        const auto* info = static_cast<const QnLensSeiInfo*>(data);
        const auto* block = static_cast<const uint8_t*>(data);
        switch (code) {
        case MontInfo::PanoramaQn: TakeOverQn(lens, *info, events); break;
        case MontInfo::PanoramaCode: TakeOverCodeRecord(lens, *info, false, events); break;
        case MontInfo::Ptz: TakeOverCodeRecord(lens, *info, true, events); break;
        case MontInfo::PtzPosition: TakeOverPosition(lens, *info, events); break;
        case MontInfo::PanoramaBlock: TakeOverPanoramaBlock(lens, block, events); break;
        case MontInfo::PtzBlock: TakeOverPtzBlock(lens, block, events); break;
        case MontInfo::TiltBlock: {
            TiltBlockValues values = ReadTiltBlock(block);
            lens.topTilt = Size16(uint32_t{values.upper} * 10);
            lens.bottomTilt = Size16(uint32_t{values.lower} * 10);
            break;
        }
        case MontInfo::Sps: {
            const auto* sps = static_cast<const MontSpsInfo*>(data);
            events.Record(kEventPanorama, {sps->width, sps->height, FloatBits(sps->frameRate)}, "UI32,UI32,UI32");
            break;
        }
        }
    }
    events.Raise(*source.platform);
}

int RefreshLensBlock(MontSource& source, const uint8_t** block, int* size)
{
    LensBlockSource fields;
    uint16_t lensType;
    {
        std::lock_guard<std::mutex> hold(source.lensMutex);
        const LensState& lens = source.lens;
        lensType = lens.lensType;
        fields.panoTypeEx = lens.panoTypeEx;
        fields.width = lens.width;
        fields.height = lens.height;
        fields.centerX = lens.centerX;
        fields.centerY = lens.centerY;
        fields.radius = lens.radius;
        fields.tilt = lens.tiltOverride != kUnknownValue ? lens.tiltOverride : lens.tilt;
        fields.rotate = lens.rotateOverride != kUnknownValue ? lens.rotateOverride : lens.rotate;
        fields.ptzPan = lens.ptzPan;
        fields.ptzTilt = lens.ptzTilt;
        fields.frameTime = lens.frameTime;
    }
    uint32_t now = 0;
    PackedDateNow(&now);
    if (lensType == 1) {
        WritePanoramaBlock(fields, now, source.panoramaBlock);
        *block = source.panoramaBlock;
        *size = static_cast<int>(kPanoramaBlockSize);
        return 1;
    }
    if (lensType == 0 || lensType == 5) {
        WritePtzBlock(fields, now, source.ptzBlock);
        *block = source.ptzBlock;
        *size = static_cast<int>(kPtzBlockSize);
        return 1;
    }
    return 0;
}

} // namespace streams
