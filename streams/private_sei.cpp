#include "streams/private_sei.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "streams/frame_rate.h"
#include "streams/pano_type.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace streams {
namespace {

using namespace sei_offset;
using qn_net::ReadU16;
using qn_net::ReadU32;

constexpr uint8_t kPrivatePayload = 0xF0;
constexpr uint8_t kExtraPayload = 0xF1;
constexpr uint8_t kTrailingBits = 0x80;

uint64_t ReadU64(const uint8_t* at)
{
    return uint64_t{ReadU32(at)} | uint64_t{ReadU32(at + 4)} << 32;
}

int32_t ReadI32(const uint8_t* at)
{
    return static_cast<int32_t>(ReadU32(at));
}

bool HasStartCode(const uint8_t* unit, std::size_t length)
{
    return length >= 9 && unit[0] == 0 && unit[1] == 0 && unit[2] == 0 && unit[3] == 1 && (unit[4] & 0x1F) == 6;
}

// The unit as far as it goes: its size byte says 8 + S bytes.
std::size_t UnitLength(const uint8_t* unit, std::size_t length)
{
    return std::min<std::size_t>(length, std::size_t{8} + unit[kSize]);
}

bool Fits(std::size_t unitLength, std::size_t offset, std::size_t size)
{
    return offset + size <= unitLength;
}

float Clamp90(float degrees)
{
    return std::clamp(degrees, -90.0f, 90.0f);
}

void SetKind(QnLensSeiInfo* info, SeiKind kind)
{
    info->word0 = (info->word0 & ~(0x7Fu << lens_bits::kKindShift)) |
                  (static_cast<uint32_t>(kind) & 0x7F) << lens_bits::kKindShift;
}

void SetGeometry(QnLensSeiInfo* info, const PanoGeometry& geometry)
{
    info->width = geometry.width;
    info->height = geometry.heightKnown ? geometry.height : 0;
}

bool ParseCodeRecord(const uint8_t* unit, std::size_t unitLength, SeiKind kind, QnLensSeiInfo* info)
{
    std::size_t last = kind == SeiKind::Ptz ? kPtzWord + 8 : kInterval + 1;
    if (!Fits(unitLength, 0, std::max(last, kInterval + 1))) return false;
    uint64_t code = ReadU64(unit + kTypeCode);
    info->panoTypeEx = code;
    PanoLayout layout;
    if (!LayoutForNibble(code, &layout)) return false;
    if (layout == PanoLayout::Nibble5 && kind != SeiKind::Ptz) return false;
    PanoGeometry geometry = DecodePano(code, layout);
    SetGeometry(info, geometry);
    switch (layout) {
    case PanoLayout::Nibble3: info->panRangeX10 = static_cast<uint16_t>(geometry.panRange * 10); break;
    case PanoLayout::Nibble4:
        info->panRangeX10 = static_cast<uint16_t>(kind == SeiKind::Ptz ? geometry.panRange * 10 : geometry.panRange / 10);
        break;
    case PanoLayout::Nibble5: info->panRangeX10 = static_cast<uint16_t>(geometry.panRange * 10); break;
    default: break;
    }

    uint32_t circle = ReadU32(unit + kCircle);
    info->centerX = static_cast<float>(static_cast<int64_t>(info->width / 2) + (circle & 0x1FF) * 2 - 510);
    info->centerY = static_cast<float>(static_cast<int64_t>(info->height / 2) + (circle >> 9 & 0x1FF) * 2 - 510);
    info->radius = static_cast<float>((circle >> 18) * 2);

    uint16_t tiltRotate = ReadU16(unit + kTiltRotate);
    info->tilt = Clamp90(static_cast<float>(tiltRotate & 0x7F) * 2 - 90);
    info->rotate = static_cast<float>(tiltRotate >> 7);
    info->rate1 = RateFromByte(unit[kRate1]);
    info->rate2 = RateFromByte(unit[kRate2]);

    uint32_t flags = ReadU32(unit + kFlags);
    if ((flags & 1) != 0) {
        info->word1 |= lens_bits::kTimeFlag;
        info->frameTime = ReadU32(unit + kTimeOrOsd);
    } else {
        info->osdSize.width = static_cast<uint16_t>(unit[kTimeOrOsd] * 4);
        info->osdSize.height = static_cast<uint16_t>(unit[kTimeOrOsd + 1] * 4);
        info->osdX = static_cast<uint16_t>(unit[kTimeOrOsd + 2] * 8);
        info->osdY = static_cast<uint16_t>(unit[kTimeOrOsd + 3] * 8);
    }
    info->securityLow = ReadU32(unit + kSecurityLow);
    info->securityHigh = ReadU32(unit + kSecurityHigh);
    info->word1 |= (flags >> 3 & 7) << lens_bits::kSecurityShift;
    if ((flags & (1u << 20)) != 0) info->word1 |= lens_bits::kFurtherSecurity;

    uint32_t protection = ReadU32(unit + kProtection);
    uint32_t otherClear = (protection & 0x3F) * 8;
    info->protectedKeyLength = static_cast<uint16_t>((protection >> 6 & 0x1FFF) * 8);
    info->protectedOtherLength = static_cast<uint16_t>((protection >> 19) * 8);
    info->word2 = (uint32_t{unit[kKeyClearHeader]} * 8 & 0x7FF) | (otherClear & 0xFF) << 24;
    info->word3 = otherClear >> 8 & 1;
    info->protectionInterval = static_cast<uint16_t>(unit[kInterval] * 64);

    if (kind == SeiKind::Ptz) {
        uint64_t ptz = ReadU64(unit + kPtzWord);
        info->ptzPan = static_cast<float>(ptz & 0xFFF) * 0.1f;
        info->ptzTilt = static_cast<float>(ptz >> 12 & 0xFFF) * 0.1f - 180;
        bool forcedZoom = (code >> 32 & (1u << 23)) != 0;
        info->ptzZoom = forcedZoom ? 270.0f : static_cast<float>(ptz >> 24 & 0xFFF) * 0.1f;
        uint64_t fourth = ptz >> 36 & 0xFF;
        if (fourth == 0) {
            info->ptzFourth = 1;
            info->word1 |= lens_bits::kNoRate;
        } else {
            info->ptzFourth = static_cast<float>(fourth) * 0.1f;
            if ((ptz >> 47 & 0xFF) == (ptz >> 55 & 0xFF)) info->word1 |= lens_bits::kNoRate;
        }
    }
    return true;
}

bool ParseQnRecord(const uint8_t* unit, std::size_t unitLength, QnLensSeiInfo* info)
{
    if (!Fits(unitLength, 0, kQnRate2 + 1)) return false;
    info->osdSize.width = static_cast<uint16_t>(unit[kQnOsd] * 8);
    info->osdSize.height = static_cast<uint16_t>(unit[kQnOsd + 1] * 8);
    info->osdX = static_cast<uint16_t>(unit[kQnOsd + 2] * 4);
    info->osdY = static_cast<uint16_t>(unit[kQnOsd + 3] * 4);
    info->centerX = std::round(static_cast<float>(ReadI32(unit + kQnCenterX)) / 1024);
    info->centerY = std::round(static_cast<float>(ReadI32(unit + kQnCenterY)) / 1024);
    info->radius = std::round(static_cast<float>(ReadI32(unit + kQnRadius)) / 1024);
    uint32_t typeWord = ReadU32(unit + kQnTypeWord);
    info->panoTypeEx = typeWord;
    info->word0 |= (typeWord & 0xFFFFFF) << lens_bits::kQnBitsShift;
    info->word1 |= unit[kQnLensByte] | lens_bits::kQnMarker;
    info->tilt = static_cast<float>(std::clamp(ReadI32(unit + kQnTilt), -90, 90));
    info->rotate = static_cast<float>(ReadU16(unit + kQnRotate)) / 100;
    auto first = static_cast<int8_t>(unit[kQnRate1]);
    info->rate1 = first >= 0 ? static_cast<float>(first) : 1.0f / static_cast<float>(-int{first});
    info->rate2 = RateFromByte(unit[kQnRate2]);
    if ((typeWord & 0xF) != 0) SetGeometry(info, DecodePano(typeWord, PanoLayout::QnTypeWord));
    return true;
}

bool ParsePtzPosition(const uint8_t* unit, std::size_t unitLength, SeiKind kind, QnLensSeiInfo* info)
{
    std::size_t at = unit[kSize] < 9 ? kShortPtzWord : kLongPtzWord;
    std::size_t size = kind == SeiKind::PtzPosition ? 8 : 4;
    if (!Fits(unitLength, at, size)) return false;
    uint32_t word = ReadU32(unit + at);
    info->ptzPan = static_cast<float>(word & 0xFFF) * 0.1f;
    info->ptzTilt = static_cast<float>(word >> 12 & 0xFFF) * 0.1f - 180;
    if (kind == SeiKind::PtzPosition) {
        uint64_t wide = ReadU64(unit + at);
        info->ptzZoom = static_cast<float>(wide >> 26 & 0xFFF) * 0.1f;
        info->ptzFourth = static_cast<float>(wide >> 39 & 0xFF) * 0.1f;
    }
    info->frameTime = 0x1Fu << 12 | (unit[kPtzTimeHigh] & 0x3Fu) << 6 | (unit[kPtzTimeLow] & 0x3Fu);
    info->word1 |= lens_bits::kTimeFlag;
    return true;
}

} // namespace

SeiKind ClassifySei(const uint8_t* unit, std::size_t length)
{
    if (unit == nullptr || !HasStartCode(unit, length)) return SeiKind::None;
    std::size_t size = unit[kSize];
    if (kMagic + size >= length || unit[kMagic + size] != kTrailingBits) return SeiKind::None;
    if (unit[kPayloadType] == kExtraPayload) return SeiKind::Extra;
    if (unit[kPayloadType] != kPrivatePayload || size < 2) return SeiKind::None;
    char a = static_cast<char>(unit[kMagic]);
    char b = static_cast<char>(unit[kMagic + 1]);
    if (a == 'Q' && b == 'N') return size > 51 ? SeiKind::Panorama : SeiKind::None;
    if (a == 'Q' && b == '3') return size > 63 ? SeiKind::PanoramaCode : SeiKind::None;
    if (a == 'Q' && b == 'T') return size > 63 ? SeiKind::Ptz : SeiKind::None;
    if (a == 'Q' && b == 'J') {
        if (size > 15) return SeiKind::PtzPosition;
        return size >= 8 ? SeiKind::PtzShort : SeiKind::None;
    }
    if (a == 'D' && b == 'P') return size > 43 ? SeiKind::Dp : SeiKind::None;
    if (a == 'M' && b == 'D') return SeiKind::Motion;
    if (a == 'M' && b == 'Q') return SeiKind::Mq;
    return SeiKind::None;
}

bool CarriesLensRecord(SeiKind kind)
{
    switch (kind) {
    case SeiKind::Panorama:
    case SeiKind::PanoramaCode:
    case SeiKind::Ptz:
    case SeiKind::PtzShort:
    case SeiKind::PtzPosition: return true;
    default: return false;
    }
}

int ParseLensSei(const uint8_t* unit, std::size_t length, QnLensSeiInfo* info)
{
    if (info == nullptr) return 0;
    std::memset(info, 0, sizeof *info);
    SeiKind kind = ClassifySei(unit, length);
    if (kind == SeiKind::None) return 1;
    if (!CarriesLensRecord(kind)) return 0;
    SetKind(info, kind);
    std::size_t unitLength = UnitLength(unit, length);
    bool parsed = false;
    switch (kind) {
    case SeiKind::Panorama: parsed = ParseQnRecord(unit, unitLength, info); break;
    case SeiKind::PanoramaCode:
    case SeiKind::Ptz: parsed = ParseCodeRecord(unit, unitLength, kind, info); break;
    default: parsed = ParsePtzPosition(unit, unitLength, kind, info); break;
    }
    if (parsed) {
        info->word0 |= lens_bits::kValid;
        if (kind == SeiKind::PanoramaCode || kind == SeiKind::Ptz) info->securityAt = unit + kSecurityLow;
    }
    return 1;
}

MontSeiInfo PackSeiInfo(const QnLensSeiInfo& info)
{
    MontSeiInfo packed;
    std::memset(&packed, 0, sizeof packed);
    packed.flags = (info.word0 & 0xFF) | (info.word1 & 0x300) | (info.KeyClearHeader() & 0x3FF) << 10 |
                   (info.OtherClearHeader() & 0x3FF) << 20 | (info.word3 >> 1 & 3) << 30;
    packed.lensWord = info.word3 >> 14 & 0xFF;
    packed.securityBits = info.SecurityBits();
    packed.furtherSecurity = (info.word1 & lens_bits::kFurtherSecurity) != 0 ? 1 : 0;
    packed.panoTypeLow = static_cast<uint32_t>(info.panoTypeEx);
    packed.panoTypeHigh = static_cast<uint32_t>(info.panoTypeEx >> 32);
    packed.centerX = info.centerX;
    packed.centerY = info.centerY;
    packed.radius = info.radius;
    packed.tilt = info.tilt;
    packed.rotate = info.rotate;
    packed.rate1 = info.rate1;
    packed.rate2 = info.rate2;
    packed.frameTimeOrOsd = info.frameTime;
    packed.securityLow = info.securityLow;
    packed.securityHigh = info.securityHigh;
    packed.securityAt = info.securityAt;
    packed.protectedKeyLength = info.protectedKeyLength;
    packed.protectedOtherLength = info.protectedOtherLength;
    packed.panRangeX10 = info.panRangeX10;
    packed.protectionInterval = info.protectionInterval;
    return packed;
}

int ParseSeiPacked(const uint8_t* unit, std::size_t length, MontSeiInfo* out)
{
    if (unit == nullptr || out == nullptr) return 0;
    if (!CarriesLensRecord(ClassifySei(unit, length))) return 0;
    QnLensSeiInfo info;
    ParseLensSei(unit, length, &info);
    *out = PackSeiInfo(info);
    return 1;
}

int WriteSeiSecurity(uint8_t* unit, std::size_t length, uint32_t low, uint32_t high)
{
    SeiKind kind = ClassifySei(unit, length);
    if (kind != SeiKind::PanoramaCode && kind != SeiKind::Ptz) return 0;
    qn_net::WriteU32(unit + kSecurityLow, low);
    qn_net::WriteU32(unit + kSecurityHigh, high);
    return 1;
}

} // namespace streams
