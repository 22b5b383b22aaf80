// A textbook DES over arrays of bits, for tests only: written separately from
// the program's cipher so that a mistake in one does not pass through both.
// Bits are numbered as the cameras number them: bit n of the published
// numbering (from 1) is bit (n - 1) % 8 of byte (n - 1) / 8. `cameraChoice2`
// makes the 36th entry of permuted choice 2 select bit 47 instead of 48.
#pragma once

#include <array>
#include <cstdint>

namespace testing_support {

class ReferenceDes {
public:
    ReferenceDes(const uint8_t key[8], bool cameraChoice2)
    {
        static constexpr int kChoice1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                             35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                             46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
        static constexpr int kChoice2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                             26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                             51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
        static constexpr int kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
        const Bits64 keyBits = ToBits(key);
        std::array<int, 56> cd{};
        for (int i = 0; i < 56; ++i) cd[i] = keyBits[kChoice1[i] - 1];
        for (int round = 0; round < 16; ++round) {
            for (int s = 0; s < kShifts[round]; ++s) {
                const int c0 = cd[0];
                const int d0 = cd[28];
                for (int i = 0; i < 27; ++i) {
                    cd[i] = cd[i + 1];
                    cd[28 + i] = cd[29 + i];
                }
                cd[27] = c0;
                cd[55] = d0;
            }
            for (int i = 0; i < 48; ++i) {
                const int source = (cameraChoice2 && i == 35) ? 47 : kChoice2[i];
                subkeys_[round][i] = cd[source - 1];
            }
        }
    }

    void Encrypt(uint8_t block[8]) const { Crypt(block, false); }
    void Decrypt(uint8_t block[8]) const { Crypt(block, true); }

    // Round key bit i (0-47, published order) of `round`.
    int RoundKeyBit(int round, int i) const { return subkeys_[round][i]; }

private:
    using Bits64 = std::array<int, 64>;

    static Bits64 ToBits(const uint8_t bytes[8])
    {
        Bits64 bits{};
        for (int n = 0; n < 64; ++n) bits[n] = bytes[n / 8] >> (n % 8) & 1;
        return bits;
    }

    void Crypt(uint8_t block[8], bool decrypt) const
    {
        static constexpr int kInitial[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
        const Bits64 in = ToBits(block);
        Bits64 lr{};
        for (int i = 0; i < 64; ++i) lr[i] = in[kInitial[i] - 1];
        for (int round = 0; round < 16; ++round) {
            const auto f = Feistel(lr, subkeys_[decrypt ? 15 - round : round]);
            for (int i = 0; i < 32; ++i) {
                const int right = lr[32 + i];
                lr[32 + i] = lr[i] ^ f[i];
                lr[i] = right;
            }
        }
        Bits64 swapped{};
        for (int i = 0; i < 32; ++i) {
            swapped[i] = lr[32 + i];
            swapped[32 + i] = lr[i];
        }
        // The final permutation is the inverse of the initial one.
        Bits64 out{};
        for (int i = 0; i < 64; ++i) out[kInitial[i] - 1] = swapped[i];
        for (int n = 0; n < 8; ++n) block[n] = 0;
        for (int n = 0; n < 64; ++n) block[n / 8] |= static_cast<uint8_t>(out[n] << (n % 8));
    }

    static std::array<int, 32> Feistel(const Bits64& lr, const std::array<int, 48>& key)
    {
        static constexpr int kSBoxes[8][4][16] = {{{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
                                                   {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
                                                   {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
                                                   {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
                                                  {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
                                                   {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
                                                   {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
                                                   {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
                                                  {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
                                                   {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
                                                   {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
                                                   {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
                                                  {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
                                                   {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
                                                   {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
                                                   {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
                                                  {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
                                                   {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
                                                   {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
                                                   {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
                                                  {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
                                                   {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
                                                   {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
                                                   {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
                                                  {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
                                                   {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
                                                   {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
                                                   {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
                                                  {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
                                                   {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
                                                   {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
                                                   {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};
        static constexpr int kPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
        // Expansion: each group of four bits with its neighbours on both sides.
        std::array<int, 48> mixed{};
        for (int group = 0; group < 8; ++group)
            for (int j = 0; j < 6; ++j) {
                const int source = (group * 4 + j - 1 + 32) % 32;
                mixed[group * 6 + j] = lr[32 + source] ^ key[group * 6 + j];
            }
        std::array<int, 32> substituted{};
        for (int box = 0; box < 8; ++box) {
            const int* six = &mixed[box * 6];
            const int row = six[0] * 2 + six[5];
            const int column = six[1] * 8 + six[2] * 4 + six[3] * 2 + six[4];
            const int value = kSBoxes[box][row][column];
            for (int j = 0; j < 4; ++j) substituted[box * 4 + j] = value >> (3 - j) & 1;
        }
        std::array<int, 32> out{};
        for (int i = 0; i < 32; ++i) out[i] = substituted[kPermutation[i] - 1];
        return out;
    }

    std::array<std::array<int, 48>, 16> subkeys_{};
};

} // namespace testing_support
