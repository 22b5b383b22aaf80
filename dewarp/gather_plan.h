// The bilinear render of a view, worked out once per map: for every output
// sample, where it reads the source and with which phases. While a view's map
// stays the same, a frame is then only a gather and a blend per sample.
#ifndef QN_DEWARP_GATHER_PLAN_H
#define QN_DEWARP_GATHER_PLAN_H

#include <cstdint>
#include <vector>

#include "remap.h"
#include "row_kernels.h"
#include "vm_screen.h"

namespace qn_dewarp {

class GatherPlan {
public:
    // Renders exactly as remap_view(..., Interpolation::Bilinear, blend).
    // `map_stamp` identifies the map's contents: the plan is rebuilt only when
    // it, the source's geometry or the view's size changes. False, with
    // nothing written, for sources too small for a plan (under 4 x 4).
    bool render(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, uint64_t map_stamp,
                const _vm_screen& view, uint8_t blend);

    // The same in two steps, so that bands of rows can render at once on
    // several threads: prepare() (re)builds the plan, then render_rows()
    // fills luma rows first_row..end_row - 1 (both even, or end_row the
    // view's height) and the chroma rows under them. Bands that cover the view give render()'s bytes.
    bool prepare(const _vm_screen& source, ReferenceFrame reference, const int32_t* map, uint64_t map_stamp,
                 const _vm_screen& view);
    void render_rows(const _vm_screen& source, const _vm_screen& view, uint8_t blend, int first_row,
                     int end_row) const;

private:
    struct Key {
        uint64_t map_stamp = 0;
        int source_width = 0, source_height = 0;
        int32_t luma_stride = 0, cb_stride = 0, cr_stride = 0;
        int reference_width = 0, reference_height = 0;
        int view_width = 0, view_height = 0;
        bool operator==(const Key&) const = default;
    };
    void build(const Key& key, const int32_t* map);
    struct Band {
        int first, end; // rows
    };
    void render_plane(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out,
                      int32_t out_stride, int w, Band rows, uint8_t blend) const;

    Key key_;
    bool built_ = false;
    // Per luma sample: offset of the top-left tap, or -1 for grey.
    std::vector<int32_t> luma_offset_;
    // Per sample: horizontal phase in the low byte, vertical in the high one,
    // each 0..128 (128 takes the right or lower tap whole).
    std::vector<uint16_t> luma_phase_;
    // Per chroma sample: offsets of the top-left tap in the Cb and Cr
    // planes (-1 for grey); no Cr offsets when both planes have one stride.
    std::vector<int32_t> cb_offset_, cr_offset_;
    std::vector<uint16_t> chroma_phase_;
};

}  // namespace qn_dewarp

#endif
