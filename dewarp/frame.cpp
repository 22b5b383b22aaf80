// Frame processing: every view of an engine rendered from one source picture,
// then outlines, companions with their aimer overlay, and borders.
#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "drawing.h"
#include "engine.h"
#include "fixed_point.h"
#include "map_slots.h"
#include "picture.h"
#include "qn_dewarp.h"
#include "remap.h"
#include "tables.h"
#include "view_kind.h"

using namespace qn_dewarp;

namespace {

enum class FrameKind { Video, Still };

bool renderable_source(const _vm_screen& s)
{
    return s.format == VM_FMT_YUV420 || s.format == VM_FMT_YVU420;
}

// Busy for as long as the frame works on a view.
struct BusyScope {
    explicit BusyScope(ViewRecord& v) : view(v) { view.busy = true; }
    ~BusyScope() { view.busy = false; }
    ViewRecord& view;
};

// A settled, unblended 4:2:0 view of even size is written whole by its
// render (every sample of every plane), so clearing it first only costs time.
bool render_covers_view(const ViewRecord& v)
{
    const _vm_screen& s = v.screen;
    if (v.dirty || v.effect.blend != 0) return false;
    if (!renderable_source(s) || (s.width & 1) || (s.height & 1)) return false;
    return std::any_of(v.maps.begin(), v.maps.end(),
                       [](const CoordinateMap& m) { return !m.busy && m.sequence >= 0; });
}

YCbCr outline_ycbcr(const ViewRecord& v) { return ycbcr_of(v.effect.colour.b, v.effect.colour.g, v.effect.colour.r); }

// One record's render once its map is settled: set up by begin_record on the
// caller's thread, rendered in bands of rows on the engine's threads, then
// finished on the caller's thread again.
struct RecordRender {
    ViewRecord* view = nullptr;
    CoordinateMap* map = nullptr; // held for reading until finished; null: nothing to render
    Interpolation mode = Interpolation::Bilinear;
    bool planned = false;        // through the view's gather plan
    bool border_after = false;   // a video map that has not settled yet
    bool sharpen_after = false;
    int result = 0;
};

// Rebuilds a dirty map and decides how the record renders. In video a dirty
// map is shown nearest-neighbour with a border until it settles.
RecordRender begin_record(QN_PRO_ENGINE& e, ViewRecord& v, const _vm_screen& source, FrameKind frame, bool companion)
{
    RecordRender r;
    r.view = &v;
    v.busy = true;
    const bool settling = v.dirty && frame == FrameKind::Video;
    if (v.dirty) v.kind_state->update(e, v, frame == FrameKind::Video);
    if (settling) {
        r.mode = Interpolation::Nearest;
        r.border_after = !companion;
    } else {
        r.mode = v.effect.remap_mode >= 1 || companion ? Interpolation::Cubic : Interpolation::Bilinear;
        r.sharpen_after = v.effect.remap_mode >= 2;
    }
    r.map = map_begin_read(v);
    if (!r.map) {
        r.result = 2;
        return r;
    }
    const ReferenceFrame reference{e.ref_width, e.ref_height};
    r.planned = r.mode == Interpolation::Bilinear &&
                v.gather_plan.prepare(source, reference, r.map->entries.data(), r.map->stamp, v.screen);
    return r;
}

// Renders the records' views in bands of rows, spread over the engine's
// threads; rows are independent, so the bytes do not depend on the split.
void render_records(QN_PRO_ENGINE& e, const std::vector<RecordRender>& records, const _vm_screen& source)
{
    struct Band {
        const RecordRender* record;
        int first, end;
    };
    const int threads = e.render_pool->threads();
    int rows = 0, tallest = 2;
    for (const RecordRender& r : records) {
        if (!r.map) continue;
        rows += r.view->screen.height;
        tallest = std::max(tallest, r.view->screen.height);
    }
    // One thread renders each view whole. Otherwise a few bands per thread
    // even out views of different cost; bands stay even so that each holds
    // whole chroma rows.
    constexpr int kBandsPerThread = 4, kMinBandRows = 16;
    const int band_rows =
        threads == 1 ? tallest : std::max(kMinBandRows, (rows / (threads * kBandsPerThread) + 1) & ~1);
    std::vector<Band> bands;
    for (const RecordRender& r : records) {
        if (!r.map) continue;
        const int height = r.view->screen.height;
        for (int first = 0; first < height; first += band_rows)
            bands.push_back({&r, first, std::min(first + band_rows, height)});
    }
    const ReferenceFrame reference{e.ref_width, e.ref_height};
    e.render_pool->run(static_cast<int>(bands.size()), [&](int i) {
        const Band& band = bands[i];
        const ViewRecord& v = *band.record->view;
        if (band.record->planned)
            v.gather_plan.render_rows(source, v.screen, v.effect.blend, band.first, band.end);
        else
            remap_rows(source, reference, band.record->map->entries.data(), v.screen, band.record->mode,
                       v.effect.blend, band.first, band.end);
    });
}

// What follows a record's render; the record's result.
int finish_record(QN_PRO_ENGINE& e, RecordRender& r)
{
    ViewRecord& v = *r.view;
    if (r.map) map_end_read(r.map);
    if (r.border_after) draw_border(v.screen, v.effect.border_width, outline_ycbcr(v));
    if (r.result == 0 && r.sharpen_after) {
        v.effect.remap_mode = clamp_int(v.effect.remap_mode, 2, 8);
        sharpen_luma(v.screen, sharpen_settings(v.effect.remap_mode, v.width, v.height), e.sharpen_scratch);
    }
    v.busy = false;
    return r.result;
}

// Renders one record by itself (a companion).
int render_record(QN_PRO_ENGINE& e, ViewRecord& v, const _vm_screen& source, FrameKind frame, bool companion)
{
    std::vector<RecordRender> records{begin_record(e, v, source, frame, companion)};
    render_records(e, records, source);
    return finish_record(e, records.front());
}

// Looks the colour ring up at 1/128 positions, bilinear; -1 outside it.
int ring_value(const uint8_t* ring, int u, int v)
{
    const int iu = u >> 7, iv = v >> 7, fu = u & 127, fv = v & 127;
    if (u < 0 || v < 0 || iu + 1 >= kRingSize || iv + 1 >= kRingSize) return -1;
    const uint8_t* p = ring + iv * kRingStride + iu;
    const int top = p[0] + (((p[1] - p[0]) * fu) >> 7);
    const int bottom = p[kRingStride] + (((p[kRingStride + 1] - p[kRingStride]) * fu) >> 7);
    return top + (((bottom - top) * fv) >> 7);
}

// The rotating ring around the companion's picture, drawn into the view.
void draw_aimer_overlay(ViewRecord& v, const ViewRecord& companion)
{
    const uint8_t* ring = colour_ring();
    if (!ring) return;
    Aimer& a = v.aimer;
    a.angle = (a.angle + 10) % 360;
    const int side = a.right - a.left;
    if (side <= 0) return;
    const double radians = a.angle * kPi / 180.0;
    const double scale = double(kRingSize) / side * 128;
    const int cos_q = rnd_checked(std::cos(radians) * scale, 0), sin_q = rnd_checked(std::sin(radians) * scale, 0);
    const int centre_q = 252 * 128 + 64;
    const double mid = (a.left + a.right) / 2.0 - 0.5, mid_y = (a.top + a.bottom) / 2.0 - 0.5;
    const _vm_screen& s = v.screen;
    const _vm_screen& c = companion.screen;
    for (int y = std::max(a.top, 0); y < std::min(a.bottom, v.height); ++y) {
        for (int x = std::max(a.left, 0); x < std::min(a.right, v.width); ++x) {
            const int cx = x - a.left, cy = y - a.top;
            if (cx >= c.width || cy >= c.height) continue;
            const double dx = x - mid, dy = y - mid_y;
            const int u = centre_q + static_cast<int>(dx * cos_q - dy * sin_q);
            const int w = centre_q + static_cast<int>(dx * sin_q + dy * cos_q);
            const int I = ring_value(ring, u, w);
            if (I < 0) continue;
            uint8_t& luma = s.planar.plane[0][static_cast<ptrdiff_t>(y) * s.planar.stride[0] + x];
            const bool chroma_site = (x & 1) && (y & 1) && x / 2 < s.width / 2 && y / 2 < s.height / 2;
            if (I > 230) {
                luma = c.planar.plane[0][static_cast<ptrdiff_t>(cy) * c.planar.stride[0] + cx];
                if (chroma_site) {
                    const ptrdiff_t from_cb = static_cast<ptrdiff_t>(cy / 2) * cb_stride(c) + cx / 2;
                    const ptrdiff_t from_cr = static_cast<ptrdiff_t>(cy / 2) * cr_stride(c) + cx / 2;
                    cb_plane(s)[static_cast<ptrdiff_t>(y / 2) * cb_stride(s) + x / 2] = cb_plane(c)[from_cb];
                    cr_plane(s)[static_cast<ptrdiff_t>(y / 2) * cr_stride(s) + x / 2] = cr_plane(c)[from_cr];
                }
            } else if (I > 10) {
                luma = clamp_u8(((255 - I) * luma + I * I) >> 8);
                if (chroma_site) {
                    s.planar.plane[1][static_cast<ptrdiff_t>(y / 2) * s.planar.stride[1] + x / 2] = 160;
                    s.planar.plane[2][static_cast<ptrdiff_t>(y / 2) * s.planar.stride[2] + x / 2] = 100;
                }
            }
        }
    }
}

int process(QN_PRO_ENGINE* engine, _vm_screen* source, QN_PRO_DST_INFO** table, int* records, FrameKind frame)
{
    if (!engine || !source || !table || !records) return QN_PRO_ERR_ARGUMENT;
    if (source->width <= 0 || source->height <= 0) return QN_PRO_ERR_ARGUMENT;
    if (!renderable_source(*source)) return QN_PRO_ERR_UNSUPPORTED;
    if (!picture_is_complete(source)) return QN_PRO_ERR_ARGUMENT;
    if (engine->closing) return QN_PRO_OK;
    std::lock_guard guard(engine->lock);
    if (engine->closing) return QN_PRO_OK;
    QN_PRO_ENGINE& e = *engine;
    e.processing = true;
    const int views = e.views();
    auto live = [&](int n) -> ViewRecord* {
        ViewRecord* v = e.records[2 * n].get();
        return v->deleting ? nullptr : v;
    };

    for (int n = 0; n < views; ++n) {
        ViewRecord* v = live(n);
        if (!v) continue;
        if (render_covers_view(*v)) continue;
        BusyScope busy(*v);
        uint8_t clear = 128;
        if (frame == FrameKind::Still) clear = (v->effect.blend != 0 && !v->effect.dark_clear) ? 128 : 0;
        fill_planar(v->screen, clear);
    }

    int result = QN_PRO_OK;
    std::vector<RecordRender> renders;
    renders.reserve(views);
    for (int n = 0; n < views; ++n) {
        ViewRecord* v = live(n);
        if (v) renders.push_back(begin_record(e, *v, *source, frame, false));
    }
    render_records(e, renders, *source);
    for (RecordRender& r : renders) result = finish_record(e, r);

    for (int n = 0; n < views; ++n) {
        ViewRecord* v = live(n);
        if (!v) continue;
        BusyScope busy(*v);
        if (v->kind_state->draws_outlines()) {
            for (int t = 0; t < views; ++t) {
                ViewRecord* other = live(t);
                if (!other || t == n) continue;
                const int k = other->kind;
                if (k != QN_PRO_DST_ZOOM && k != QN_PRO_DST_ROTATE_ZOOM && k != QN_PRO_DST_DPTZ && k != QN_PRO_DST_STRETCH)
                    continue;
                if (!v->effect.show_on_others && !other->effect.accept_outlines) continue;
                BusyScope other_busy(*other);
                v->kind_state->overlay(e, *v, *other);
            }
        }
        if (v->aimer.on && v->companion == CompanionState::Active) {
            ViewRecord& companion = *e.records[2 * n + 1];
            if (v->aimer.changed) {
                v->kind_state->aim_companion(e, *v, companion);
                v->aimer.changed = false;
            }
            render_record(e, companion, *source, frame, true);
            draw_aimer_overlay(*v, companion);
        }
        if (v->effect.border)
            draw_border(v->screen, v->effect.border_width, outline_ycbcr(*v));
    }

    *table = e.infos.empty() ? nullptr : e.infos.data();
    *records = static_cast<int>(e.records.size());
    e.processing = false;
    return result;
}

// A stored source: the first empty slot, else the oldest one not in use.
SourceSlot* slot_for_input(QN_PRO_ENGINE& e)
{
    SourceSlot* chosen = nullptr;
    for (SourceSlot& s : e.sources)
        if (s.sequence < 0 && !s.busy) return &s;
    for (SourceSlot& s : e.sources)
        if (!s.busy && (!chosen || s.sequence < chosen->sequence)) chosen = &s;
    return chosen;
}

void copy_rows(const uint8_t* from, int32_t from_stride, uint8_t* to, int32_t to_stride, int bytes, int rows)
{
    for (int y = 0; y < rows; ++y)
        std::memcpy(to + static_cast<ptrdiff_t>(y) * to_stride, from + static_cast<ptrdiff_t>(y) * from_stride, bytes);
}

}  // namespace

extern "C" {

int qn_pro_ProcessVideo(QN_PRO_ENGINE* engine, _vm_screen* source, QN_PRO_DST_INFO** table, int* records)
{
    return process(engine, source, table, records, FrameKind::Video);
}

int qn_pro_ProcessImage(QN_PRO_ENGINE* engine, _vm_screen* source, QN_PRO_DST_INFO** table, int* records)
{
    return process(engine, source, table, records, FrameKind::Still);
}

int qn_pro_GetFrameWide(void*) { return kDefaultFrameWidth; }

int qn_pro_InputSrcImage(QN_PRO_ENGINE* engine, const _vm_screen* source)
{
    if (!engine || !source || !engine->keep_source) return QN_PRO_ERR_ARGUMENT;
    if (source->width <= 0 || source->height <= 0 || !vm_is_known_format(source->format) ||
        !picture_is_complete(source))
        return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    SourceSlot* slot = slot_for_input(*engine);
    if (!slot) return QN_PRO_ERR_ARGUMENT;
    _vm_screen*& p = slot->picture;
    if (p && (p->width != source->width || p->height != source->height || p->format != source->format))
        picture_release(&p);
    if (!p) {
        const int r = picture_allocate(&p, source->width, source->height, source->format);
        if (r != 0) return r;
    }
    if (vm_is_planar(source->format)) {
        const int chroma_rows = picture_chroma_rows(source);
        copy_rows(source->planar.plane[0], source->planar.stride[0], p->planar.plane[0], p->planar.stride[0],
                  source->width, source->height);
        for (int plane = 1; plane < 3; ++plane)
            copy_rows(source->planar.plane[plane], source->planar.stride[plane], p->planar.plane[plane],
                      p->planar.stride[plane], source->width / 2, chroma_rows);
    } else {
        copy_rows(source->packed.pixels, source->packed.stride, p->packed.pixels, p->packed.stride,
                  source->width * vm_packed_bytes_per_pixel(source->format), source->height);
    }
    slot->sequence = ++engine->source_counter;
    return QN_PRO_OK;
}

int qn_pro_GetDstImage(QN_PRO_ENGINE* engine, QN_PRO_DST_INFO** table, int* records)
{
    if (!engine || !engine->keep_source) return QN_PRO_ERR_ARGUMENT;
    SourceSlot* oldest = nullptr;
    {
        std::lock_guard guard(engine->lock);
        for (SourceSlot& s : engine->sources)
            if (!s.busy && s.sequence >= 0 && s.picture && (!oldest || s.sequence < oldest->sequence)) oldest = &s;
        if (!oldest) return QN_PRO_ERR_ARGUMENT;
        oldest->busy = true;
    }
    const int result = process(engine, oldest->picture, table, records, FrameKind::Still);
    std::lock_guard guard(engine->lock);
    oldest->busy = false;
    oldest->sequence = -1;
    return result;
}

}  // extern "C"
