// The fields of an ADTS header that describe the stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn_mp4 {

struct AdtsHeader {
    int objectType = 0; // profile + 1: 2 for LC
    int frequencyIndex = 0;
    int channels = 0;
    bool hasCrc = false;
};

// False when the bytes do not start with an ADTS header.
bool ParseAdtsHeader(const uint8_t* data, std::size_t length, AdtsHeader& header);

} // namespace qn_mp4
