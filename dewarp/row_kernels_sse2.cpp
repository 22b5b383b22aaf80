// The bilinear row with SSE2: taps gathered one by one, eight samples blended
// at once. Every product stays within 16 bits (|d| <= 255, phase <= 128), so
// the results are the C kernel's.
#include <emmintrin.h>

#include "row_kernels.h"

namespace qn_dewarp {

void bilinear_row_sse2(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out, int n)
{
    const uint8_t* const pixels = source.pixels;
    const int32_t stride = source.stride;
    const __m128i low_byte = _mm_set1_epi16(0xff);
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        alignas(16) uint16_t upper[8], lower[8];
        for (int i = 0; i < 8; ++i) {
            const int32_t offset = offsets[x + i];
            if (offset == kGreyOffset) {
                upper[i] = lower[i] = 0x8080;
                continue;
            }
            const uint8_t* a = pixels + offset;
            upper[i] = static_cast<uint16_t>(a[0] | (a[1] << 8));
            lower[i] = static_cast<uint16_t>(a[stride] | (a[stride + 1] << 8));
        }
        const __m128i u = _mm_load_si128(reinterpret_cast<const __m128i*>(upper));
        const __m128i l = _mm_load_si128(reinterpret_cast<const __m128i*>(lower));
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(phase + x));
        const __m128i fx = _mm_and_si128(p, low_byte), fy = _mm_srli_epi16(p, 8);
        const __m128i a0 = _mm_and_si128(u, low_byte), a1 = _mm_srli_epi16(u, 8);
        const __m128i b0 = _mm_and_si128(l, low_byte), b1 = _mm_srli_epi16(l, 8);
        const __m128i top = _mm_add_epi16(a0, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(a1, a0), fx), 7));
        const __m128i bottom = _mm_add_epi16(b0, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(b1, b0), fx), 7));
        const __m128i v = _mm_add_epi16(top, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(bottom, top), fy), 7));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(v, v));
    }
    bilinear_row_c(source, offsets + x, phase + x, out + x, n - x);
}

}  // namespace qn_dewarp
