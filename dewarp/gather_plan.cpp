#include "gather_plan.h"

#include <algorithm>
#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "drawing.h"
#include "fixed_point.h"
#include "source_coordinates.h"

namespace qn_dewarp {

namespace {

constexpr int32_t kGreyEntry = 128; // (128, 128): no source
constexpr int32_t kGrey = -1;

bool is_grey(const int32_t* entry) { return entry[0] == kGreyEntry && entry[1] == kGreyEntry; }

uint16_t phases(int fx, int fy) { return static_cast<uint16_t>(fx | (fy << 8)); }

// A chroma tap pair along one axis, from the luma coordinate `v` (1/128).
// The render's taps are i and i + 1 held inside 0..size-1; where both fall on
// the same sample, the pair (i - 1, i) with phase 128 gives that sample
// exactly, since (d x 128) >> 7 == d.
struct TapPair {
    int first, phase;
};
TapPair chroma_taps(int32_t v, int size)
{
    const int i = v >> 8, phase = (v >> 1) & 127;
    const int a = clamp_int(i, 0, size - 1), b = clamp_int(i + 1, 0, size - 1);
    if (b == a + 1) return {a, phase};
    return a >= 1 ? TapPair{a - 1, 128} : TapPair{a, 0};
}

// A value laid over what the view holds, as the direct remap does it.
template <bool Blend>
inline void put(uint8_t& out, int v, int blend)
{
    if (Blend) v += ((out - v) * blend) >> 8;
    out = clamp_u8(v);
}

}  // namespace

void GatherPlan::build(const Key& key, const int32_t* map)
{
    const int w = key.view_width, h = key.view_height;
    const int cw = w / 2, ch = h / 2;
    const int32_t scale_x = source_scale(key.source_width, key.reference_width);
    const int32_t scale_y = source_scale(key.source_height, key.reference_height);
    const int chroma_width = key.source_width / 2, chroma_height = key.source_height / 2;
    auto entry = [&](int x, int y) { return map + (static_cast<ptrdiff_t>(y) * w + x) * 2; };

    luma_offset_.resize(static_cast<size_t>(w) * h);
    luma_phase_.resize(luma_offset_.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * w + x;
            const int32_t* e = entry(x, y);
            if (is_grey(e)) {
                luma_offset_[i] = kGrey;
                luma_phase_[i] = 0;
                continue;
            }
            const int32_t sx = held_coordinate(scaled_coordinate(e[0], scale_x), key.source_width);
            const int32_t sy = held_coordinate(scaled_coordinate(e[1], scale_y), key.source_height);
            luma_offset_[i] = (sy >> 7) * key.luma_stride + (sx >> 7);
            luma_phase_[i] = phases(sx & 127, sy & 127);
        }
    }

    cb_offset_.resize(static_cast<size_t>(cw) * ch);
    // The usual source has one chroma stride: Cr then reads through Cb's offsets.
    const bool own_cr_offsets = key.cr_stride != key.cb_stride;
    cr_offset_.resize(own_cr_offsets ? cb_offset_.size() : 0);
    chroma_phase_.resize(cb_offset_.size());
    for (int y = 0; y < ch; ++y) {
        for (int x = 0; x < cw; ++x) {
            const size_t i = static_cast<size_t>(y) * cw + x;
            // Chroma comes from the 2 x 2 block's bottom-right entry.
            const int32_t* e = entry(std::min(2 * x + 1, w - 1), std::min(2 * y + 1, h - 1));
            if (is_grey(e)) {
                cb_offset_[i] = kGrey;
                if (own_cr_offsets) cr_offset_[i] = kGrey;
                chroma_phase_[i] = 0;
                continue;
            }
            const int32_t sx = held_coordinate(scaled_coordinate(e[0], scale_x), key.source_width);
            const int32_t sy = held_coordinate(scaled_coordinate(e[1], scale_y), key.source_height);
            const TapPair col = chroma_taps(sx, chroma_width), row = chroma_taps(sy, chroma_height);
            cb_offset_[i] = row.first * key.cb_stride + col.first;
            if (own_cr_offsets) cr_offset_[i] = row.first * key.cr_stride + col.first;
            chroma_phase_[i] = phases(col.phase, row.phase);
        }
    }
    key_ = key;
    built_ = true;
}

namespace {

constexpr uint16_t kGreyPair = 0x8080;

// The tap pairs of one row: the upper pair (a[0] low, a[1] high) and the
// lower pair of each sample; grey samples get pairs that blend to 128.
void gather_row(const uint8_t* source, int32_t stride, const int32_t* offsets, int n, uint16_t* upper,
                uint16_t* lower)
{
    for (int x = 0; x < n; ++x) {
        if (offsets[x] == kGrey) {
            upper[x] = lower[x] = kGreyPair;
            continue;
        }
        const uint8_t* a = source + offsets[x];
        upper[x] = static_cast<uint16_t>(a[0] | (a[1] << 8));
        lower[x] = static_cast<uint16_t>(a[stride] | (a[stride + 1] << 8));
    }
}

// Bilinear blend of gathered pairs, each step (d x phase) >> 7. Every
// product stays within 16 bits (|d| <= 255, phase <= 128), so eight samples
// are blended at once where SSE2 is there, with the same results.
void interpolate_row(const uint16_t* upper, const uint16_t* lower, const uint16_t* phase, uint8_t* out, int n)
{
    int x = 0;
#ifdef __SSE2__
    const __m128i low_byte = _mm_set1_epi16(0xff);
    for (; x + 8 <= n; x += 8) {
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + x));
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + x));
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(phase + x));
        const __m128i fx = _mm_and_si128(p, low_byte), fy = _mm_srli_epi16(p, 8);
        const __m128i a0 = _mm_and_si128(u, low_byte), a1 = _mm_srli_epi16(u, 8);
        const __m128i b0 = _mm_and_si128(l, low_byte), b1 = _mm_srli_epi16(l, 8);
        const __m128i top = _mm_add_epi16(a0, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(a1, a0), fx), 7));
        const __m128i bottom = _mm_add_epi16(b0, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(b1, b0), fx), 7));
        const __m128i v = _mm_add_epi16(top, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(bottom, top), fy), 7));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(v, v));
    }
#endif
    for (; x < n; ++x) {
        const int fx = phase[x] & 0xff, fy = phase[x] >> 8;
        const int a0 = upper[x] & 0xff, a1 = upper[x] >> 8, b0 = lower[x] & 0xff, b1 = lower[x] >> 8;
        const int top = a0 + (((a1 - a0) * fx) >> 7);
        const int bottom = b0 + (((b1 - b0) * fx) >> 7);
        out[x] = clamp_u8(top + (((bottom - top) * fy) >> 7));
    }
}

}  // namespace

void GatherPlan::render_plane(const uint8_t* source, int32_t source_stride, const int32_t* offsets,
                              const uint16_t* phase, uint8_t* out, int32_t out_stride, int w, int h, uint8_t blend)
{
    upper_.resize(w);
    lower_.resize(w);
    values_.resize(w);
    for (int y = 0; y < h; ++y, out += out_stride, offsets += w, phase += w) {
        gather_row(source, source_stride, offsets, w, upper_.data(), lower_.data());
        if (blend == 0) {
            interpolate_row(upper_.data(), lower_.data(), phase, out, w);
            continue;
        }
        interpolate_row(upper_.data(), lower_.data(), phase, values_.data(), w);
        for (int x = 0; x < w; ++x) put<true>(out[x], values_[x], blend);
    }
}

bool GatherPlan::render(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, uint64_t map_stamp,
                        const _vm_screen& view, uint8_t blend)
{
    // Chroma taps need a pair of samples on each axis.
    if (source.width < 4 || source.height < 4) return false;
    const Key key{map_stamp,          source.width,    source.height,   source.planar.stride[0],
                  cb_stride(source),  cr_stride(source), reference.width, reference.height,
                  view.width,         view.height};
    if (!built_ || !(key == key_)) build(key, map);

    const int w = view.width, h = view.height;
    render_plane(source.planar.plane[0], key.luma_stride, luma_offset_.data(), luma_phase_.data(),
                 view.planar.plane[0], view.planar.stride[0], w, h, blend);
    const int cw = w / 2, ch = h / 2;
    render_plane(cb_plane(source), key.cb_stride, cb_offset_.data(), chroma_phase_.data(), cb_plane(view),
                 cb_stride(view), cw, ch, blend);
    const int32_t* cr_offsets = cr_offset_.empty() ? cb_offset_.data() : cr_offset_.data();
    render_plane(cr_plane(source), key.cr_stride, cr_offsets, chroma_phase_.data(), cr_plane(view),
                 cr_stride(view), cw, ch, blend);
    return true;
}

}  // namespace qn_dewarp
