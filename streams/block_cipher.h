// The cameras' block cipher: DES with the published tables and 16 rounds, in
// electronic codebook, with two differences the cameras rely on:
//   - bit n of the published numbering (counted from 1) is bit n - 1 of the
//     8 bytes read as a little-endian 64-bit integer, so each byte is taken
//     least significant bit first; keys are read the same way;
//   - the 36th entry of permuted choice 2 selects bit 47 instead of bit 48.
// The standard permuted choice 2 is kept as a mode so that the core can be
// compared with any standard DES.
#pragma once

#include <cstdint>

namespace streams {

enum class Pc2Mode { Camera, Standard };

// The 16 round keys (48 bits each, in the published bit order, first bit
// most significant), laid out in the 176 bytes a key slot keeps per schedule.
struct DesSchedule {
    uint64_t roundKeys[16];
    uint8_t spare[48];
};
static_assert(sizeof(DesSchedule) == 176, "a key slot keeps 176 bytes per schedule");

void DesSetKey(const uint8_t key[8], DesSchedule* schedule, Pc2Mode mode = Pc2Mode::Camera);
// In place, one 8-byte block.
void DesEncryptBlock(const DesSchedule& schedule, uint8_t block[8]);
void DesDecryptBlock(const DesSchedule& schedule, uint8_t block[8]);

} // namespace streams
