// The 64-bit panorama type code the cameras send: picture size, lens type,
// lens number and PTZ ranges sit at different bits depending on the code's
// low nibble (2, 3, 4 or 5), and the "pano_typeex" control and the 32-bit
// type word of "QN" records have layouts of their own. Every reader of these
// bits goes through one table here.
#pragma once

#include <cstdint>

namespace streams {

struct BitField {
    int low = -1; // -1: the layout has no such field
    int high = -1;
};

struct PanoTypeLayout {
    BitField width;       // times 8
    BitField aspectNum;   // height = width x num / den, when `height` is absent
    BitField aspectDen;
    BitField height;      // times 8
    BitField lensType;
    BitField lensNumber;
    BitField panRange;    // tenths of a degree
    BitField tiltRange;   // tenths of a degree
    BitField radius;      // times 4
};

enum class PanoLayout {
    Nibble2,     // low nibble 2
    Nibble3,     // low nibble 3
    Nibble4,     // low nibble 4
    Nibble5,     // low nibble 5 (PTZ records only)
    Control,     // the "pano_typeex" control, whatever the nibble
    QnTypeWord,  // the 32-bit type word of a "QN" record with a low nibble
};

const PanoTypeLayout& LayoutOf(PanoLayout layout);

uint64_t BitsOf(uint64_t value, BitField field);

struct PanoGeometry {
    uint32_t width = 0;
    uint32_t height = 0;      // 0 when the aspect denominator is 0
    bool heightKnown = false;
    uint32_t lensType = 0;
    uint32_t lensNumber = 0;
    uint32_t panRange = 0;    // raw bits: tenths of a degree
    uint32_t tiltRange = 0;
    uint32_t radius = 0;      // pixels
};

PanoGeometry DecodePano(uint64_t code, PanoLayout layout);

// The layout a type code's low nibble selects; false for other nibbles.
bool LayoutForNibble(uint64_t code, PanoLayout* layout);

} // namespace streams
