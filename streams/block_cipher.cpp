#include "streams/block_cipher.h"

#include <cstring>

namespace streams {
namespace {

// The published tables; entries count bits from 1, the most significant first.
constexpr uint8_t kInitialPermutation[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4, //
                                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8, //
                                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3, //
                                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t kFinalPermutation[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31, //
                                           38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29, //
                                           36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27, //
                                           34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};
constexpr uint8_t kExpansion[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11, //
                                    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21, //
                                    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
constexpr uint8_t kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10, //
                                           2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kChoice1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, //
                                  10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36, //
                                  63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22, //
                                  14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kChoice2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  //
                                  26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40, //
                                  51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr int kCameraChoice2Entry = 36; // selects bit 47 instead of 48
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8, 14, 6,  11, 3,  4, 9, 7, 2,  13, 12, 0, 5, 10, 3,  13, 4,  7, 15, 2,  8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0,  14, 7, 11, 10, 4,  13, 1, 5, 8, 12, 6,  9,  3, 2, 15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0, 8, 13, 3,  12, 9, 7, 5, 10, 6, 1, 13, 0,  11, 7, 4, 9, 1,  10, 14, 3, 5, 12, 2,  15, 8, 6,
     1, 4,  11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5,  9, 2, 6,  11, 13, 8, 1, 4, 10, 7,  9,  5, 0, 15, 14, 2,  3, 12},
    {13, 2, 8, 4, 6,  15, 11, 1, 10, 9,  3,  14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7,  4,  12, 5, 6, 11, 0, 14, 9, 2, 7,
     11, 4, 1, 9, 12, 14, 2,  0, 6,  10, 13, 15, 3, 5, 8,  2, 1, 14, 7,  4, 10, 8, 13, 15, 12, 9, 0, 3,  5, 6,  11}};

// Picks the table's bits out of an `inBits`-bit value, first entry into the
// most significant of `count` output bits.
uint64_t Permute(uint64_t value, int inBits, const uint8_t* table, int count)
{
    uint64_t out = 0;
    for (int i = 0; i < count; ++i) out = out << 1 | (value >> (inBits - table[i]) & 1);
    return out;
}

// The cameras' byte order: published bit 1 is the least significant bit of
// the first byte, so the published 64-bit value is the bit-reversed
// little-endian reading.
uint64_t LoadBlock(const uint8_t bytes[8])
{
    uint64_t value = 0;
    for (int i = 0; i < 64; ++i) value = value << 1 | (bytes[i / 8] >> (i % 8) & 1);
    return value;
}

void StoreBlock(uint64_t value, uint8_t bytes[8])
{
    std::memset(bytes, 0, 8);
    for (int i = 0; i < 64; ++i) bytes[i / 8] |= static_cast<uint8_t>((value >> (63 - i) & 1) << (i % 8));
}

uint32_t RoundFunction(uint32_t right, uint64_t roundKey)
{
    const uint64_t mixed = Permute(right, 32, kExpansion, 48) ^ roundKey;
    uint32_t substituted = 0;
    for (int box = 0; box < 8; ++box) {
        const unsigned six = static_cast<unsigned>(mixed >> (42 - 6 * box) & 0x3F);
        const unsigned row = (six >> 4 & 2) | (six & 1);
        const unsigned column = six >> 1 & 0xF;
        substituted = substituted << 4 | kSBoxes[box][row * 16 + column];
    }
    return static_cast<uint32_t>(Permute(substituted, 32, kRoundPermutation, 32));
}

void Crypt(const DesSchedule& schedule, uint8_t block[8], bool decrypt)
{
    const uint64_t permuted = Permute(LoadBlock(block), 64, kInitialPermutation, 64);
    uint32_t left = static_cast<uint32_t>(permuted >> 32);
    uint32_t right = static_cast<uint32_t>(permuted);
    for (int round = 0; round < 16; ++round) {
        const uint64_t roundKey = schedule.roundKeys[decrypt ? 15 - round : round];
        const uint32_t next = left ^ RoundFunction(right, roundKey);
        left = right;
        right = next;
    }
    const uint64_t joined = static_cast<uint64_t>(right) << 32 | left;
    StoreBlock(Permute(joined, 64, kFinalPermutation, 64), block);
}

uint32_t RotateLeft28(uint32_t half, int count) { return ((half << count) | (half >> (28 - count))) & 0x0FFFFFFF; }

} // namespace

void DesSetKey(const uint8_t key[8], DesSchedule* schedule, Pc2Mode mode)
{
    uint8_t choice2[48];
    std::memcpy(choice2, kChoice2, sizeof choice2);
    if (mode == Pc2Mode::Camera) choice2[kCameraChoice2Entry - 1] = 47;

    const uint64_t chosen = Permute(LoadBlock(key), 64, kChoice1, 56);
    uint32_t c = static_cast<uint32_t>(chosen >> 28);
    uint32_t d = static_cast<uint32_t>(chosen) & 0x0FFFFFFF;
    std::memset(schedule, 0, sizeof *schedule);
    for (int round = 0; round < 16; ++round) {
        c = RotateLeft28(c, kShifts[round]);
        d = RotateLeft28(d, kShifts[round]);
        schedule->roundKeys[round] = Permute(static_cast<uint64_t>(c) << 28 | d, 56, choice2, 48);
    }
}

void DesEncryptBlock(const DesSchedule& schedule, uint8_t block[8]) { Crypt(schedule, block, false); }

void DesDecryptBlock(const DesSchedule& schedule, uint8_t block[8]) { Crypt(schedule, block, true); }

} // namespace streams
