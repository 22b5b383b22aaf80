#include "gather_plan.h"

#include <algorithm>
#include <cstddef>

#include "drawing.h"
#include "fixed_point.h"
#include "source_coordinates.h"

namespace qn_dewarp {

namespace {

constexpr int32_t kGreyEntry = 128; // (128, 128): no source
constexpr int32_t kGrey = kGreyOffset;

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

void GatherPlan::render_plane(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out,
                              int32_t out_stride, int w, Band rows, uint8_t blend) const
{
    const BilinearRow row_kernel = row_kernels().bilinear_row;
    offsets += static_cast<ptrdiff_t>(rows.first) * w;
    phase += static_cast<ptrdiff_t>(rows.first) * w;
    out += static_cast<ptrdiff_t>(rows.first) * out_stride;
    for (int y = rows.first; y < rows.end; ++y, out += out_stride, offsets += w, phase += w) {
        if (blend == 0) {
            row_kernel(source, offsets, phase, out, w);
            continue;
        }
        // Blended views render a piece at a time and lay it over what is there.
        constexpr int kPiece = 256;
        uint8_t values[kPiece];
        for (int x = 0; x < w; x += kPiece) {
            const int n = std::min(kPiece, w - x);
            row_kernel(source, offsets + x, phase + x, values, n);
            for (int i = 0; i < n; ++i) put<true>(out[x + i], values[i], blend);
        }
    }
}

bool GatherPlan::prepare(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, uint64_t map_stamp,
                         const _vm_screen& view)
{
    // Chroma taps need a pair of samples on each axis.
    if (source.width < 4 || source.height < 4) return false;
    const Key key{map_stamp,          source.width,    source.height,   source.planar.stride[0],
                  cb_stride(source),  cr_stride(source), reference.width, reference.height,
                  view.width,         view.height};
    if (!built_ || !(key == key_)) build(key, map);
    return true;
}

void GatherPlan::render_rows(const _vm_screen& source, const _vm_screen& view, uint8_t blend, int first_row,
                             int end_row) const
{
    const int w = view.width, h = view.height;
    end_row = std::min(end_row, h);
    if (first_row >= end_row) return;
    const RowSource luma{source.planar.plane[0], key_.luma_stride,
                         wide_read_limit(key_.source_height, key_.source_width, key_.luma_stride)};
    render_plane(luma, luma_offset_.data(), luma_phase_.data(), view.planar.plane[0], view.planar.stride[0], w,
                 {first_row, end_row}, blend);

    // Chroma row r sits under luma rows 2r and 2r + 1; an odd view's last
    // luma row has none.
    const int cw = w / 2, ch = h / 2;
    const Band chroma_rows{first_row / 2, std::min(end_row / 2, ch)};
    const int chroma_width = key_.source_width / 2, chroma_height = key_.source_height / 2;
    const RowSource cb{cb_plane(source), key_.cb_stride, wide_read_limit(chroma_height, chroma_width, key_.cb_stride)};
    render_plane(cb, cb_offset_.data(), chroma_phase_.data(), cb_plane(view), cb_stride(view), cw, chroma_rows, blend);
    const RowSource cr{cr_plane(source), key_.cr_stride, wide_read_limit(chroma_height, chroma_width, key_.cr_stride)};
    const int32_t* cr_offsets = cr_offset_.empty() ? cb_offset_.data() : cr_offset_.data();
    render_plane(cr, cr_offsets, chroma_phase_.data(), cr_plane(view), cr_stride(view), cw, chroma_rows, blend);
}

bool GatherPlan::render(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, uint64_t map_stamp,
                        const _vm_screen& view, uint8_t blend)
{
    if (!prepare(source, reference, map, map_stamp, view)) return false;
    render_rows(source, view, blend, 0, view.height);
    return true;
}

}  // namespace qn_dewarp
