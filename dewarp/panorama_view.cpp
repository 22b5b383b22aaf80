#include "panorama_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "drawing.h"
#include "engine.h"
#include "fixed_point.h"
#include "lens_model.h"
#include "map_slots.h"
#include "outline_pick.h"
#include "panorama_outline.h"
#include "source_direction.h"
#include "tables.h"

namespace qn_dewarp {

namespace {

constexpr int kLargeView = 749999;
constexpr int kFullTurn = 368640; // 360 degrees in 1/1024 degree
constexpr double kWallRange = 50;

bool wall_mounted(const QN_PRO_ENGINE& e) { return e.mount_angle != 90 && e.mount_angle != -90; }

// sin and cos x 32768 of an angle in 1/1024 degree, from the quarter-turn table.
void sine_cosine(const CoreTables& t, int64_t angle, int32_t& s, int32_t& c)
{
    int64_t a = angle % kFullTurn;
    if (a < 0) a += kFullTurn;
    const int quarter = kFullTurn / 4;
    const int q = static_cast<int>(a / quarter), r = static_cast<int>(a % quarter);
    const int32_t sr = t.sine[r], cr = t.sine[quarter - r];
    switch (q) {
    case 0: s = sr; c = cr; break;
    case 1: s = cr; c = -sr; break;
    case 2: s = -sr; c = -cr; break;
    default: s = -cr; c = sr; break;
    }
}

float radius_of_tan(const QN_PRO_ENGINE& e, float t)
{
    if (e.holder && e.holder->model()) return e.holder->RadiusOfTan(t);
    return lens_radius_of_tan(t, e.lens);
}

class PanoramaView final : public ViewKind {
public:
    std::unique_ptr<ViewKind> make_companion() const override { return std::make_unique<PanoramaView>(); }

    int add(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_DST_CONFIG& config) override
    {
        const auto& p = config.posi.panorama;
        keep_aspect_ = p.keep_aspect != 0;
        span_ = static_cast<float>(p.span);
        top_ = static_cast<float>(p.top);
        bottom_ = static_cast<float>(p.bottom);
        pan_ = std::isfinite(p.pan) ? p.pan : 0.0f;
        normalise(e, v);
        write_state(v);
        passes_ = 0;
        v.dirty = true;
        return 0;
    }

    int position(QN_PRO_ENGINE& e, ViewRecord& v, QN_PRO_DST_POSI& posi) override
    {
        float pan = std::isfinite(posi.panorama.pan) ? posi.panorama.pan : 0.0f;
        if (wall_mounted(e)) {
            const float h = std::max(0.0f, 180 - span_) / 2;
            if (pan > 180 && pan <= 360 - h) pan = 360 - h;
            else if (pan <= 180) pan = std::clamp(pan, -h, h);
        }
        pan = std::fmod(pan, 360.0f);
        if (pan < 0) pan += 360;
        pan_ = pan;
        write_state(v);
        passes_ = 0;
        v.dirty = true;
        return 0;
    }

    void current_position(const QN_PRO_ENGINE&, const ViewRecord& v, QN_PRO_DST_POSI& posi) const override
    {
        posi = v.last_position;
        auto& p = posi.panorama;
        p.keep_aspect = keep_aspect_;
        p.span = rnd(span_);
        p.top = static_cast<int32_t>(std::floor(top_ + 0.5f));
        p.bottom = static_cast<int32_t>(std::floor(bottom_ + 0.5f));
        p.pan = pan_;
    }

    void change_position(const QN_PRO_ENGINE&, QN_PRO_DST_POSI& posi, const QN_PRO_DST_POSI& delta) const override
    {
        posi.panorama.pan += delta.panorama.pan;
    }

    int angle(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, const AngleOutputs& out) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return 2;
        content(v);
        const int x = rnd(double(v.width) * point.x / point.ref_width);
        const int y = rnd(double(v.height) * point.y / point.ref_height);
        if (x < rect_.x0 || x >= rect_.x1 || y < rect_.y0 || y >= rect_.y1) return 2;
        const double az = azimuth_of_column(x), el = elevation_of_row(y);
        if (out.linkage) *out.linkage = {static_cast<float>(std::fmod(az + 720, 360.0)), static_cast<float>(el)};
        double d[3];
        lens_direction(e, az, el, d);
        if (out.camera) *out.camera = direction_to_angles(d[0], d[1], d[2]);
        if (out.source) {
            const double planar = std::max(std::sqrt(d[0] * d[0] + d[1] * d[1]), 1e-9);
            const double r = radius_of_tan(e, static_cast<float>(d[2] / planar));
            *out.source = {static_cast<float>(e.ref_x + e.ref_r * r * d[0] / planar),
                           static_cast<float>(e.ref_y + e.ref_r * r * d[1] / planar), e.ref_width, e.ref_height};
        }
        return 0;
    }

    int update(QN_PRO_ENGINE& e, ViewRecord& v, bool progressive) override
    {
        if (!v.dirty) return 0;
        content(v);
        const CoreTables* t = core_tables();
        CoordinateMap* map = t ? map_begin_write(v) : nullptr;
        if (!map) return 2;
        const int64_t area = int64_t(area_width_ ? area_width_ : v.width) * (area_height_ ? area_height_ : v.height);
        if (progressive && area > kLargeView) {
            if (passes_ < 0 || passes_ > 3) passes_ = 0;
            build(e, *t, v, map->entries.data(), passes_);
            if (++passes_ > 3) v.dirty = false;
        } else {
            build(e, *t, v, map->entries.data(), -1);
            v.dirty = false;
        }
        map_end_write(v, map);
        return 0;
    }

    int aim_companion(QN_PRO_ENGINE& e, ViewRecord& v, ViewRecord& companion) override
    {
        QN_PRO_POINT point{v.aimer.x, v.aimer.y, v.width, v.height}, source{};
        Angles direction{};
        if (point_to_source(e, v, point, &source, &direction) != 0) return 2;
        auto* c = static_cast<PanoramaView*>(companion.kind_state.get());
        const float zoom = v.companion_zoom;
        c->keep_aspect_ = false;
        c->pan_ = direction.azimuth;
        c->span_ = std::min(companion.width * span_ / std::max(v.width, 1) / zoom, wall_mounted(e) ? 180.0f : 360.0f);
        const float extent = (bottom_ - top_) * companion.height / std::max(v.height, 1) / zoom;
        content(v);
        float top = static_cast<float>(elevation_of_row(rnd(v.aimer.y))) - extent / 2;
        top = std::clamp(top, top_, std::max(top_, bottom_ - extent));
        c->top_ = top;
        c->bottom_ = top + extent;
        c->aspect_span_ = c->aspect_extent_ = 100;
        c->area_width_ = v.width;
        c->area_height_ = v.height;
        c->passes_ = 0;
        companion.dirty = true;
        if (e.triple_buffer) c->update(e, companion, false);
        return 0;
    }

    bool draws_outlines() const override { return true; }

    void overlay(QN_PRO_ENGINE&, ViewRecord& v, const ViewRecord& other) override
    {
        if (!shows_outline_of(other)) return;
        content(v);
        const PanoramaOutline o = place(other);
        const Colour c = other.effect.colour;
        const uint32_t rgb = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        const int pen = outline_pen(v);
        if (v.effect.outline_style) {
            int cx, cy;
            box_centre(o, cx, cy);
            const int half = box_half(pen);
            draw_rectangle(v.screen, cx - half, cy - half, cx + half, cy + half, rgb);
            return;
        }
        // Across the seam the outline runs past one edge and comes back in
        // at the other.
        const double turn = turn_width();
        for (double shift : {0.0, -turn, turn}) {
            if (shift != 0 && !o.wraps) break;
            for (int i = 0; i < Outline::kPoints; ++i) {
                auto at = [](double value) { return rnd_checked(std::clamp(value, -1e7, 1e7), 0); };
                draw_line(v.screen, at(o.x[i] + shift), at(o.y[i]), at(o.x[i + 1] + shift), at(o.y[i + 1]), pen, rgb);
            }
        }
    }

    int control_step(QN_PRO_ENGINE& e, ViewRecord& v, int record, const QN_PRO_POINT* point, int mode) override
    {
        if (!point || point->ref_width <= 0 || point->ref_height <= 0) return 2;
        content(v);
        const double x = double(v.width) * point->x / point->ref_width;
        const double y = double(v.height) * point->y / point->ref_height;
        const double turn = turn_width();
        LinkedViewChoice choice;
        for (int r = 0; r < static_cast<int>(e.records.size()); r += 2) {
            const ViewRecord& other = *e.records[r];
            if (r == record || other.deleting || !shows_outline_of(other)) continue;
            const PanoramaOutline o = place(other);
            OutlineHit hit{-1, 0};
            if (v.effect.outline_style) {
                int cx, cy;
                box_centre(o, cx, cy);
                hit = hit_box(x, y, cx, cy, box_half(outline_pen(v)));
            } else {
                for (double shift : {0.0, -turn, turn}) {
                    if (shift != 0 && !o.wraps) break;
                    const OutlineHit shifted = hit_curve(o, x, y, shift);
                    if (better_hit(shifted, hit)) hit = shifted;
                }
            }
            if (hit.distance < 0 || (mode == 0 && hit.distance != 0)) continue;
            choice.offer(r, hit.distance, hit.secondary);
        }
        return choice.commit(e);
    }

    int point_to_source(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, QN_PRO_POINT* source,
                        Angles* direction) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return -1;
        content(v);
        const int x = rnd(double(v.width) * point.x / point.ref_width);
        const int y = rnd(double(v.height) * point.y / point.ref_height);
        if (x <= rect_.x0 || x >= rect_.x1 - 1 || y <= rect_.y0 || y >= rect_.y1 - 1) return -1;
        CoordinateMap* map = map_begin_read(v);
        if (!map) return -1;
        const int32_t* entry = map->entries.data() + (size_t(y) * v.width + x) * 2;
        const int32_t ex = entry[0], ey = entry[1];
        map_end_read(map);
        if (ex < 0 || ey < 0) return -1;
        *source = {ex / 128.0f, ey / 128.0f, e.ref_width, e.ref_height};
        if (direction) source_point_to_pan_tilt(e, QN_PRO_DST_PANORAMA, source->x, source->y, nullptr, direction);
        return 0;
    }

private:
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    };

    void write_state(ViewRecord& v) const { std::memcpy(&v.state[7], &pan_, sizeof pan_); }

    void normalise(const QN_PRO_ENGINE& e, const ViewRecord& v)
    {
        const PanoramaRange r = normalise_panorama_range(e, {span_, top_, bottom_}, v.width, v.height);
        span_ = r.span;
        top_ = r.top;
        bottom_ = r.bottom;
        aspect_span_ = static_cast<float>(span_ * kPi / 180 * 100);
        aspect_extent_ = static_cast<float>((bottom_ - top_) * kPi / 180 * 100);
    }

    void content(const ViewRecord& v)
    {
        const int w = v.width, h = v.height;
        rect_ = {0, 0, w, h};
        if (!keep_aspect_ || aspect_span_ <= 0 || aspect_extent_ <= 0) return;
        const double S = aspect_span_, E = aspect_extent_;
        if (w * E < h * S) {
            const int height = rnd(w * E / S), m = (h - height) / 2;
            rect_.y0 = m & ~1;
            rect_.y1 = (h - m) & ~1;
        } else {
            const int width = rnd(h * S / E), m = (w - width) / 2;
            rect_.x0 = m & ~1;
            rect_.x1 = (w - m) & ~1;
        }
    }

    double azimuth_of_column(double c) const
    {
        const double c0 = rect_.x0, c1 = rect_.x1 - 1;
        const double start = -span_ / 2.0 - pan_ - 90;
        return c1 > c0 ? start + (c - c0) * span_ / (c1 - c0) : start;
    }

    double elevation_of_row(double r) const
    {
        const double t0 = rect_.y0, t1 = rect_.y1 - 1;
        return t1 > t0 ? top_ + (r - t0) * (bottom_ - top_) / (t1 - t0) : top_;
    }

    static void lens_direction(const QN_PRO_ENGINE& e, double az, double el, double* d)
    {
        const double a = az * kPi / 180, b = el * kPi / 180;
        const double w[3] = {std::cos(b) * std::cos(a), std::cos(b) * std::sin(a), std::sin(b)};
        for (int r = 0; r < 3; ++r) d[r] = e.mount[r * 3] * w[0] + e.mount[r * 3 + 1] * w[1] + e.mount[r * 3 + 2] * w[2];
    }

    static bool shows_outline_of(const ViewRecord& other)
    {
        return other.kind == QN_PRO_DST_DPTZ && other.outline.valid && other.outline.has_directions;
    }

    static int outline_pen(const ViewRecord& v)
    {
        return v.effect.border_width > 0 ? (v.effect.border_width + 1) & ~1 : kDefaultFrameWidth;
    }

    static int box_half(int pen) { return 3 * pen + 3; }

    // Pixels that 360 degrees take at this panorama's scale.
    double turn_width() const
    {
        const double c0 = rect_.x0, c1 = rect_.x1 - 1;
        return span_ > 0 ? (c1 - c0) * 360.0 / span_ : 0;
    }

    PanoramaOutline place(const ViewRecord& other) const
    {
        double px[Outline::kPoints], py[Outline::kPoints];
        project(other, px, py);
        return lay_out_across_seam(px, py, turn_width());
    }

    // The middle of an outline, taken along the outline so that one across
    // the seam keeps its box where it is seen rather than half a turn away.
    void box_centre(const PanoramaOutline& o, int& cx, int& cy) const
    {
        double x, y;
        outline_mean(o, x, y);
        const double turn = turn_width(), c0 = rect_.x0, c1 = rect_.x1 - 1;
        if (x < c0 && x + turn <= c1) x += turn;
        else if (x > c1 && x - turn >= c0) x -= turn;
        cx = rnd_checked(std::clamp(x, -1e7, 1e7), 0);
        cy = rnd_checked(std::clamp(y, -1e7, 1e7), 0);
    }

    // Other views' boundary directions placed by column and row.
    void project(const ViewRecord& other, double* px, double* py) const
    {
        const double c0 = rect_.x0, c1 = rect_.x1 - 1, t0 = rect_.y0, t1 = rect_.y1 - 1;
        const double start = -span_ / 2.0 - pan_ - 90, centre = start + span_ / 2.0;
        for (int i = 0; i < Outline::kPoints; ++i) {
            double az = other.outline.azimuth[i];
            az -= 360 * std::round((az - centre) / 360);
            px[i] = c0 + (az - start) * (c1 - c0) / span_;
            py[i] = bottom_ != top_ ? t0 + (other.outline.elevation[i] - top_) * (t1 - t0) / (bottom_ - top_) : t0;
        }
    }

    void entry(const QN_PRO_ENGINE& e, const CoreTables& t, int c, int r, int32_t* out) const
    {
        out[0] = out[1] = kNoSource;
        const int64_t az = static_cast<int64_t>(std::floor(azimuth_of_column(c) * 1024));
        const int64_t el = static_cast<int64_t>(std::floor(elevation_of_row(r) * 1024));
        int32_t sa, ca, se, ce;
        sine_cosine(t, az, sa, ca);
        sine_cosine(t, el, se, ce);
        const int64_t w[3] = {(int64_t(ce) * ca) >> 15, (int64_t(ce) * sa) >> 15, se};
        int64_t d[3];
        for (int k = 0; k < 3; ++k) d[k] = (mount_fixed_[k * 3] * w[0] + mount_fixed_[k * 3 + 1] * w[1] + mount_fixed_[k * 3 + 2] * w[2]) >> 14;
        const int64_t ax = std::llabs(d[0]), ay = std::llabs(d[1]);
        int64_t planar;
        if (ax < 1023 * 1024 && ay < 1023 * 1024) {
            const int i = static_cast<int>(ax >> 10), a = static_cast<int>(ay >> 10);
            const int32_t* r0 = t.root + a * kRootSize + i;
            const int32_t* r1 = r0 + kRootSize;
            const int64_t fi = ax & 1023, fa = ay & 1023;
            const int64_t top = r0[0] + (((int64_t(r0[1]) - r0[0]) * fi) >> 10);
            const int64_t bottom = r1[0] + (((int64_t(r1[1]) - r1[0]) * fi) >> 10);
            planar = top + (((bottom - top) * fa) >> 10);
        } else {
            planar = static_cast<int64_t>(std::sqrt(double(d[0]) * d[0] + double(d[1]) * d[1]));
        }
        if (planar < 1) planar = 1;
        int64_t radius8192;
        if (d[2] >= 0 && (d[2] >> 8) <= 4094 && planar <= 0xffeff && e.projection) {
            const int a = static_cast<int>(planar >> 8), i = static_cast<int>(d[2] >> 8);
            const int64_t fa = planar & 255, fi = d[2] & 255;
            const int32_t* r0 = e.projection + size_t(a) * kProjectionSize + i;
            const int32_t* r1 = r0 + kProjectionSize;
            const int64_t top = r0[0] + (((int64_t(r0[1]) - r0[0]) * fi) >> 8);
            const int64_t bottom = r1[0] + (((int64_t(r1[1]) - r1[0]) * fi) >> 8);
            radius8192 = top + (((bottom - top) * fa) >> 8);
        } else {
            radius8192 = rnd_checked(double(radius_of_tan(e, static_cast<float>(double(d[2]) / planar))) * 8192, -1);
            if (radius8192 < 0) return;
        }
        const double scale = double(radius8192) * e.ref_r / 64.0 / double(planar);
        const double x = rnd(e.ref_x * 128.0) + double(d[0]) * scale;
        const double y = rnd(e.ref_y * 128.0) + double(d[1]) * scale;
        if (!(x >= 128 && x < (e.ref_width - 2) * 128.0 && y >= 128 && y < (e.ref_height - 2) * 128.0)) return;
        out[0] = static_cast<int32_t>(x);
        out[1] = static_cast<int32_t>(y);
    }

    // Builds the map; pass -1 builds every entry, passes 0..3 the even and
    // odd rows and columns in turn, each leaving a complete map.
    void build(const QN_PRO_ENGINE& e, const CoreTables& t, const ViewRecord& v, int32_t* entries, int pass)
    {
        for (int k = 0; k < 9; ++k) mount_fixed_[k] = rnd(e.mount[k] * 16384.0);
        const int w = v.width, h = v.height;
        auto at = [&](int x, int y) { return entries + (size_t(y) * w + x) * 2; };
        if (pass < 0) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    int32_t* out = at(x, y);
                    if (x < rect_.x0 || x >= rect_.x1 || y < rect_.y0 || y >= rect_.y1) out[0] = out[1] = kNoSource;
                    else entry(e, t, x, y, out);
                }
            return;
        }
        const int ox = pass & 1, oy = pass >> 1;
        const int fill_w = ox == 0 ? 2 : 1, fill_h = pass == 0 ? 2 : 1;
        for (int y = oy; y < h; y += 2) {
            for (int x = ox; x < w; x += 2) {
                int32_t value[2] = {kNoSource, kNoSource};
                if (!(x < rect_.x0 || x >= rect_.x1 || y < rect_.y0 || y >= rect_.y1)) entry(e, t, x, y, value);
                for (int fy = 0; fy < fill_h && y + fy < h; ++fy)
                    for (int fx = 0; fx < fill_w && x + fx < w; ++fx) {
                        int32_t* out = at(x + fx, y + fy);
                        out[0] = value[0];
                        out[1] = value[1];
                    }
            }
        }
    }

    bool keep_aspect_ = false;
    float span_ = 0, top_ = 0, bottom_ = 0, pan_ = 0;
    float aspect_span_ = 0, aspect_extent_ = 0; // radians x 100
    int passes_ = 0;
    int area_width_ = 0, area_height_ = 0; // a companion's view, for progressive builds
    int64_t mount_fixed_[9] = {};
    Rect rect_;
};

}  // namespace

PanoramaRange normalise_panorama_range(const QN_PRO_ENGINE& e, PanoramaRange r, int w, int h)
{
    const ElevationRange limits = elevation_limits(e.lens, true);
    float lo = limits.lowest, hi = limits.highest;
    if (e.mount_angle == -90) {
        lo = -limits.highest;
        hi = -limits.lowest;
    } else if (wall_mounted(e)) {
        lo = -kWallRange;
        hi = kWallRange;
    }
    auto vertical = [&] {
        // Rounded half up: a whole degree, negative ones included, stays
        // what it is however often the range is normalised.
        if (r.top < r.bottom) {
            r.top = std::floor(std::max(r.top, lo) + 0.5f);
            r.bottom = std::floor(std::min(r.bottom, hi) + 0.5f);
        }
        // A range outside the limits, or none, shows all the lens sees.
        if (!(r.top < r.bottom)) {
            r.top = lo;
            r.bottom = hi;
        }
    };
    vertical();
    if (r.span <= 0 && w > 0 && h > 0) r.span = static_cast<float>(rnd((r.bottom - r.top) * w / h));
    if (!(r.span >= 1)) r.span = 180;
    r.span = std::min(r.span, wall_mounted(e) ? 180.0f : 360.0f);
    vertical();
    return r;
}

std::unique_ptr<ViewKind> make_panorama_view() { return std::make_unique<PanoramaView>(); }

}  // namespace qn_dewarp
