#include "streams/pano_type.h"

namespace streams {
namespace {

constexpr BitField kNone{};

// Field order: width, aspect num, aspect den, height, lens type, lens number,
// pan range, tilt range, radius.
constexpr PanoTypeLayout kLayouts[] = {
    /* Nibble2 */ {{14, 24}, {9, 13}, {4, 8}, kNone, {36, 38}, {39, 44}, kNone, kNone, kNone},
    /* Nibble3 */ {{33, 43}, {28, 32}, {23, 27}, kNone, {4, 6}, {7, 22}, {44, 54}, kNone, kNone},
    /* Nibble4 */ {{23, 33}, {18, 22}, {13, 17}, kNone, {4, 6}, {7, 12}, {34, 44}, {45, 55}, kNone},
    /* Nibble5 */ {{14, 24}, kNone, kNone, {25, 34}, {4, 6}, {7, 13}, {35, 45}, kNone, kNone},
    /* Control */ {{14, 24}, {9, 13}, {4, 8}, kNone, {36, 38}, {39, 44}, kNone, kNone, {25, 35}},
    /* QnTypeWord */ {{14, 24}, {9, 13}, {4, 8}, kNone, kNone, {25, 30}, kNone, kNone, kNone},
};

} // namespace

const PanoTypeLayout& LayoutOf(PanoLayout layout)
{
    return kLayouts[static_cast<int>(layout)];
}

uint64_t BitsOf(uint64_t value, BitField field)
{
    if (field.low < 0) return 0;
    int width = field.high - field.low + 1;
    return (value >> field.low) & ((uint64_t{1} << width) - 1);
}

PanoGeometry DecodePano(uint64_t code, PanoLayout which)
{
    const PanoTypeLayout& layout = LayoutOf(which);
    PanoGeometry geometry;
    geometry.width = static_cast<uint32_t>(BitsOf(code, layout.width) * 8);
    if (layout.height.low >= 0) {
        geometry.height = static_cast<uint32_t>(BitsOf(code, layout.height) * 8);
        geometry.heightKnown = true;
    } else {
        uint64_t den = BitsOf(code, layout.aspectDen);
        if (den != 0) {
            geometry.height = static_cast<uint32_t>(geometry.width * BitsOf(code, layout.aspectNum) / den);
            geometry.heightKnown = true;
        }
    }
    geometry.lensType = static_cast<uint32_t>(BitsOf(code, layout.lensType));
    geometry.lensNumber = static_cast<uint32_t>(BitsOf(code, layout.lensNumber));
    geometry.panRange = static_cast<uint32_t>(BitsOf(code, layout.panRange));
    geometry.tiltRange = static_cast<uint32_t>(BitsOf(code, layout.tiltRange));
    geometry.radius = static_cast<uint32_t>(BitsOf(code, layout.radius) * 4);
    return geometry;
}

bool LayoutForNibble(uint64_t code, PanoLayout* layout)
{
    switch (code & 0xF) {
    case 2: *layout = PanoLayout::Nibble2; return true;
    case 3: *layout = PanoLayout::Nibble3; return true;
    case 4: *layout = PanoLayout::Nibble4; return true;
    case 5: *layout = PanoLayout::Nibble5; return true;
    default: return false;
    }
}

} // namespace streams
