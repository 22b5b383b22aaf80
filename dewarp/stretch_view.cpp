#include "stretch_view.h"

#include <algorithm>
#include <cmath>

#include "drawing.h"
#include "engine.h"
#include "fixed_point.h"
#include "map_slots.h"
#include "outline_pick.h"
#include "source_direction.h"

namespace qn_dewarp {

namespace {

// The circle's bounding square clipped to the frame.
struct Plane {
    int left = 0, right = 0, top = 0, bottom = 0;
    int width() const { return left + right; }
    int height() const { return top + bottom; }
};

Plane plane_of(const QN_PRO_ENGINE& e)
{
    const float R = e.ref_r;
    return {rnd(std::min(R, e.ref_x)), rnd(std::min(R, e.ref_width - e.ref_x)), rnd(std::min(R, e.ref_y)),
            rnd(std::min(R, e.ref_height - e.ref_y))};
}

class StretchView final : public ViewKind {
public:
    std::unique_ptr<ViewKind> make_companion() const override { return std::make_unique<StretchView>(); }

    int add(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_DST_CONFIG& config) override
    {
        plane_ = plane_of(e);
        // A circle centred outside the frame leaves no plane to stretch.
        if (plane_.width() <= 0 || plane_.height() <= 0) return 3;
        const auto& p = config.posi.stretch;
        keep_aspect_ = p.keep_aspect != 0;
        const double R = e.ref_r;
        if (p.zoom <= 0 || p.whole) {
            whole_ = true;
            zoom_ = 1;
            v.centre_x = plane_.left * v.width / plane_.width();
            v.centre_y = plane_.top * v.height / plane_.height();
            sx_ = static_cast<float>(v.width * R / plane_.width());
            sy_ = static_cast<float>(v.height * R / plane_.height());
            if (keep_aspect_) sx_ = sy_ = std::max(sx_, sy_);
            plane_x_ = plane_.left;
            plane_y_ = plane_.top;
        } else {
            whole_ = false;
            int x = p.x, y = p.y;
            if (x < 1 || x > 1024 || y < 1 || y > 1024) x = y = 512;
            zoom_to(v, std::clamp(p.zoom, 1, 4), x, y);
        }
        v.dirty = true;
        return 0;
    }

    int position(QN_PRO_ENGINE& e, ViewRecord& v, QN_PRO_DST_POSI& posi) override
    {
        plane_ = plane_of(e);
        if (plane_.width() <= 0 || plane_.height() <= 0) return 3;
        if (whole_) return 0;
        auto& p = posi.stretch;
        p.zoom = std::clamp(p.zoom, 1, 4);
        p.x = std::clamp(p.x, 0, 1024);
        p.y = std::clamp(p.y, 0, 1024);
        zoom_to(v, p.zoom, p.x, p.y);
        v.dirty = true;
        return 0;
    }

    void current_position(const QN_PRO_ENGINE&, const ViewRecord& v, QN_PRO_DST_POSI& posi) const override
    {
        posi = v.last_position;
        auto& p = posi.stretch;
        p.whole = whole_;
        p.keep_aspect = keep_aspect_;
        p.zoom = rnd(zoom_);
        p.x = centre_x_;
        p.y = centre_y_;
    }

    void change_position(const QN_PRO_ENGINE&, QN_PRO_DST_POSI& posi, const QN_PRO_DST_POSI& delta) const override
    {
        posi.stretch.zoom += delta.stretch.zoom;
        posi.stretch.x += delta.stretch.x;
        posi.stretch.y += delta.stretch.y;
    }

    int angle(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, const AngleOutputs& out) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return refuse(out);
        const double vx = rnd(double(v.width) * point.x / point.ref_width);
        const double vy = rnd(double(v.height) * point.y / point.ref_height);
        double x, y;
        source_of_pixel(e, v, vx, vy, x, y);
        const int rx = rnd_checked(x, -1), ry = rnd_checked(y, -1);
        if (rx < 0 || rx > e.ref_width - 2 || ry < 0 || ry > e.ref_height - 2) return refuse(out);
        if (out.source) *out.source = {static_cast<float>(x), static_cast<float>(y), e.ref_width, e.ref_height};
        if (out.camera || out.linkage)
            source_point_to_pan_tilt(e, QN_PRO_DST_STRETCH, static_cast<float>(x), static_cast<float>(y), out.camera,
                                     out.linkage);
        return 0;
    }

    int update(QN_PRO_ENGINE& e, ViewRecord& v, bool) override
    {
        if (!v.dirty) return 0;
        if (!whole_) compute_outline(e, v);
        CoordinateMap* map = map_begin_write(v);
        if (!map) return 2;
        int32_t* entry = map->entries.data();
        for (int y = 0; y < v.height; ++y) {
            for (int x = 0; x < v.width; ++x, entry += 2) {
                double sx, sy;
                source_of_pixel(e, v, x, y, sx, sy);
                const int32_t ex = rnd_checked(sx * 128, -1), ey = rnd_checked(sy * 128, -1);
                const bool inside = ex >= 0 && ey >= 0 && (ex >> 7) >= 1 && (ex >> 7) <= e.ref_width - 3 &&
                                    (ey >> 7) >= 1 && (ey >> 7) <= e.ref_height - 3;
                entry[0] = inside ? ex : kNoSource;
                entry[1] = inside ? ey : kNoSource;
            }
        }
        map_end_write(v, map);
        v.dirty = false;
        return 0;
    }

    int aim_companion(QN_PRO_ENGINE& e, ViewRecord& v, ViewRecord& companion) override
    {
        auto* c = static_cast<StretchView*>(companion.kind_state.get());
        c->plane_ = plane_of(e);
        if (c->plane_.width() <= 0 || c->plane_.height() <= 0) return 3;
        // Plane points are kept from the circle's centre; the companion's
        // centre is measured from the plane's corner.
        double px, py;
        plane_of_pixel(e, v, rnd(v.aimer.x), rnd(v.aimer.y), px, py);
        px += plane_.left;
        py += plane_.top;
        c->whole_ = false;
        c->keep_aspect_ = keep_aspect_;
        const double m = (companion.width >> 1) / zoom_;
        const int SW = c->plane_.width(), SH = c->plane_.height();
        int x = std::clamp(rnd(px * 1024 / SW), 0, 1024), y = std::clamp(rnd(py * 1024 / SH), 0, 1024);
        x = std::clamp(x, rnd(m) * 1024 / SW, std::max(rnd(m) * 1024 / SW, rnd(SW - m) * 1024 / SW));
        const double mv = (companion.height >> 1) / zoom_;
        y = std::clamp(y, rnd(mv) * 1024 / SH, std::max(rnd(mv) * 1024 / SH, rnd(SH - mv) * 1024 / SH));
        c->zoom_ = v.companion_zoom * zoom_;
        c->set_scales(companion);
        c->centre_x_ = x;
        c->centre_y_ = y;
        c->plane_x_ = SW * x >> 10;
        c->plane_y_ = SH * y >> 10;
        companion.dirty = true;
        if (e.triple_buffer) c->update(e, companion, false);
        return 0;
    }

    bool draws_outlines() const override { return true; }

    void overlay(QN_PRO_ENGINE& e, ViewRecord& v, const ViewRecord& other) override
    {
        if (!whole_ || !other.outline.valid) return;
        // Pen and colour are the outlined view's own.
        draw_outline(v, other, projection_into(e, v), other.effect.border_width);
    }

    int control_step(QN_PRO_ENGINE& e, ViewRecord& v, int record, const QN_PRO_POINT* point, int mode) override
    {
        if (!point || point->ref_width <= 0 || point->ref_height <= 0) return 2;
        if (!whole_) return 0;
        const double x = double(v.width) * point->x / point->ref_width;
        const double y = double(v.height) * point->y / point->ref_height;
        return pick_linked_view(e, v, record, x, y, mode, true, projection_into(e, v));
    }

    int point_to_source(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, QN_PRO_POINT* source,
                        Angles* direction) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return -1;
        const int vx = static_cast<int>(double(v.width) * point.x / point.ref_width);
        const int vy = static_cast<int>(double(v.height) * point.y / point.ref_height);
        if (vx <= 0 || vx >= v.width - 1 || vy <= 0 || vy >= v.height - 1) return -1;
        double x, y;
        source_of_pixel(e, v, vx, vy, x, y);
        *source = {static_cast<float>(x), static_cast<float>(y), e.ref_width, e.ref_height};
        if (direction) source_point_to_pan_tilt(e, QN_PRO_DST_STRETCH, source->x, source->y, nullptr, direction);
        return 0;
    }

    // Centres the plane on the mapped source point (inverse stretch mapping).
    bool follow(const QN_PRO_ENGINE& e, const ViewRecord& v, const QN_PRO_POINT* source, const Angles*, int wheel,
                QN_PRO_DST_POSI& posi) const override
    {
        posi = QN_PRO_DST_POSI{};
        auto& p = posi.stretch;
        current_position(e, v, posi);
        if (source && plane_.width() > 0 && plane_.height() > 0) {
            const double R = e.ref_r, yp = source->y - e.ref_y;
            const double t = std::sqrt(std::max(0.0, R * R - yp * yp));
            const double xp = t > 0 ? (source->x - e.ref_x) * R / t : 0;
            p.x = std::clamp(rnd_checked((xp + plane_.left) * 1024 / plane_.width(), 512), 0, 1024);
            p.y = std::clamp(rnd_checked((yp + plane_.top) * 1024 / plane_.height(), 512), 0, 1024);
        }
        if (wheel > 0) p.zoom += 1;
        if (wheel < 0) p.zoom -= 1;
        return true;
    }

private:
    static int refuse(const AngleOutputs& out)
    {
        if (out.source) *out.source = QN_PRO_POINT{};
        if (out.camera) *out.camera = Angles{};
        if (out.linkage) *out.linkage = Angles{};
        return 2;
    }

    void set_scales(ViewRecord& v)
    {
        sx_ = float(v.width) / plane_.width();
        sy_ = float(v.height) / plane_.height();
        if (keep_aspect_) sx_ = sy_ = std::max(sx_, sy_);
        v.centre_x = v.width >> 1;
        v.centre_y = v.height >> 1;
    }

    void zoom_to(ViewRecord& v, int zoom, int x, int y)
    {
        zoom_ = static_cast<float>(zoom);
        set_scales(v);
        const int SW = plane_.width(), SH = plane_.height();
        const int ex = rnd(((v.width >> 1) * 1024.0) / sx_ / SW / zoom_);
        const int ey = rnd(((v.height >> 1) * 1024.0) / sy_ / SH / zoom_);
        x = 1024 - ex < ex ? 512 : std::clamp(x, ex, 1024 - ex);
        y = 1024 - ey < ey ? 512 : std::clamp(y, ey, 1024 - ey);
        centre_x_ = x;
        centre_y_ = y;
        plane_x_ = SW * x >> 10;
        plane_y_ = SH * y >> 10;
    }

    // A view pixel's point in the plane, relative to the circle's centre.
    void plane_of_pixel(const QN_PRO_ENGINE& e, const ViewRecord& v, double x, double y, double& xp, double& yp) const
    {
        if (whole_) {
            const double R = e.ref_r;
            yp = (y - v.centre_y) * R / sy_;
            xp = (x - v.centre_x) * R / sx_;
        } else {
            xp = (x - v.centre_x) / zoom_ / sx_ + plane_x_ - plane_.left;
            yp = (y - v.centre_y) / zoom_ / sy_ + plane_y_ - plane_.top;
        }
    }

    void source_of_pixel(const QN_PRO_ENGINE& e, const ViewRecord& v, double x, double y, double& sx, double& sy) const
    {
        const double R = e.ref_r;
        double xp, yp;
        plane_of_pixel(e, v, x, y, xp, yp);
        const double chord = std::sqrt(std::max(0.0, R * R - yp * yp));
        sx = e.ref_x + chord * xp / R;
        sy = e.ref_y + yp;
    }

    OutlineProjection projection_into(const QN_PRO_ENGINE& e, const ViewRecord& v) const
    {
        const double R = e.ref_r, cx = e.ref_x, cy = e.ref_y, sx = sx_, sy = sy_;
        const int cxv = v.centre_x, cyv = v.centre_y, w = v.width, h = v.height;
        const int left = plane_.left, top = plane_.top;
        return [=](const ViewRecord& other, double* px, double* py) {
            for (int i = 0; i < Outline::kPoints; ++i) {
                double x, y;
                if (other.kind == QN_PRO_DST_STRETCH && other.outline.has_plane) {
                    // Measured from the circle's centre, like this view's own
                    // pixels, so that keep-aspect scales stay consistent.
                    x = (other.outline.plane_x[i] / 1024.0 - left) * sx / R + cxv;
                    y = (other.outline.plane_y[i] / 1024.0 - top) * sy / R + cyv;
                } else {
                    const double xs = other.outline.x[i] / 1024.0, ys = other.outline.y[i] / 1024.0;
                    const double chord = std::sqrt(std::max(1e-9, R * R - (ys - cy) * (ys - cy)));
                    x = (xs - cx) * sx / chord + cxv;
                    y = (ys - cy) * sy / R + cyv;
                }
                px[i] = std::clamp<double>(rnd_checked(x, x < 0 ? 0 : w), 0, w);
                py[i] = std::clamp<double>(rnd_checked(y, y < 0 ? 0 : h), 0, h);
            }
        };
    }

    void compute_outline(const QN_PRO_ENGINE& e, ViewRecord& v) const
    {
        for (int i = 0; i < Outline::kPoints; ++i) {
            float fx, fy;
            border_fraction(i, fx, fy);
            const double x = (v.width - 1) * fx, y = (v.height - 1) * fy;
            double sx, sy, xp, yp;
            source_of_pixel(e, v, x, y, sx, sy);
            plane_of_pixel(e, v, x, y, xp, yp);
            v.outline.x[i] = rnd_checked(sx * 1024, 0);
            v.outline.y[i] = rnd_checked(sy * 1024, 0);
            v.outline.plane_x[i] = rnd_checked((xp + plane_.left) * 1024, 0);
            v.outline.plane_y[i] = rnd_checked((yp + plane_.top) * 1024, 0);
        }
        v.outline.valid = true;
        v.outline.has_directions = false;
        v.outline.has_plane = true;
    }

    Plane plane_;
    bool whole_ = true;
    bool keep_aspect_ = false;
    float sx_ = 1, sy_ = 1, zoom_ = 1;
    int centre_x_ = 512, centre_y_ = 512; // zoom mode, 1/1024 of the plane
    int plane_x_ = 0, plane_y_ = 0;       // the same in plane units
};

}  // namespace

std::unique_ptr<ViewKind> make_stretch_view() { return std::make_unique<StretchView>(); }

}  // namespace qn_dewarp
