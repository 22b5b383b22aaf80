// The bilinear row with AVX2: sixteen samples at a time, the tap pairs of
// both rows fetched with gathers (four bytes wide, hence the wide limit) and
// blended in 16-bit lanes as the C kernel does it. Blocks with a tap past
// the limit go through the C kernel.
#include <immintrin.h>

#include "row_kernels.h"

namespace qn_dewarp {

namespace {

// Whether a block's offsets are all grey or within the wide limit.
inline bool block_reads_inside(__m256i offsets, __m256i limit, __m256i grey)
{
    const __m256i past = _mm256_cmpgt_epi32(offsets, limit);
    const __m256i negative = _mm256_cmpgt_epi32(grey, offsets); // below -1
    return _mm256_testz_si256(_mm256_or_si256(past, negative), _mm256_or_si256(past, negative));
}

// The tap pairs of eight samples, one in the low 16 bits of each lane; grey
// samples get a pair that blends to 128.
inline __m256i gather_pairs(const uint8_t* row, __m256i offsets, __m256i taken)
{
    const __m256i grey_pairs = _mm256_set1_epi32(0x8080);
    const __m256i pairs = _mm256_mask_i32gather_epi32(grey_pairs, reinterpret_cast<const int*>(row), offsets, taken, 1);
    return _mm256_and_si256(pairs, _mm256_set1_epi32(0xffff));
}

// Sixteen pairs in order, from two gathers of eight.
inline __m256i in_order(__m256i first, __m256i second)
{
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xd8);
}

}  // namespace

void bilinear_row_avx2(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out, int n)
{
    const uint8_t* const upper_row = source.pixels;
    const uint8_t* const lower_row = source.pixels + source.stride;
    const __m256i limit = _mm256_set1_epi32(source.wide_limit);
    const __m256i grey = _mm256_set1_epi32(kGreyOffset);
    const __m256i low_byte = _mm256_set1_epi16(0xff);
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + x));
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + x + 8));
        if (!block_reads_inside(first, limit, grey) || !block_reads_inside(second, limit, grey)) {
            bilinear_row_c(source, offsets + x, phase + x, out + x, 16);
            continue;
        }
        // All ones where a sample has a source.
        const __m256i take_first = _mm256_xor_si256(_mm256_cmpeq_epi32(first, grey), _mm256_set1_epi32(-1));
        const __m256i take_second = _mm256_xor_si256(_mm256_cmpeq_epi32(second, grey), _mm256_set1_epi32(-1));
        const __m256i u = in_order(gather_pairs(upper_row, first, take_first), gather_pairs(upper_row, second, take_second));
        const __m256i l = in_order(gather_pairs(lower_row, first, take_first), gather_pairs(lower_row, second, take_second));
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(phase + x));
        const __m256i fx = _mm256_and_si256(p, low_byte), fy = _mm256_srli_epi16(p, 8);
        const __m256i a0 = _mm256_and_si256(u, low_byte), a1 = _mm256_srli_epi16(u, 8);
        const __m256i b0 = _mm256_and_si256(l, low_byte), b1 = _mm256_srli_epi16(l, 8);
        const __m256i top =
            _mm256_add_epi16(a0, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(a1, a0), fx), 7));
        const __m256i bottom =
            _mm256_add_epi16(b0, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(b1, b0), fx), 7));
        const __m256i v =
            _mm256_add_epi16(top, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(bottom, top), fy), 7));
        // Packing works within 128-bit halves: bring the two halves' eight
        // bytes together.
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(bytes));
    }
    bilinear_row_c(source, offsets + x, phase + x, out + x, n - x);
}

}  // namespace qn_dewarp
