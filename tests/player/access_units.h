// Splits an Annex-B H.264 stream into access units, each with its start codes,
// as a camera hands them over: parameter sets and SEI travel with the picture
// that follows them.
#pragma once

#include <cstdint>
#include <vector>

namespace player_test {

std::vector<std::vector<uint8_t>> SplitAccessUnits(const std::vector<uint8_t>& stream);

}  // namespace player_test
