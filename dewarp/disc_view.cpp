#include "disc_view.h"

#include <algorithm>
#include <cmath>

#include "engine.h"
#include "fixed_point.h"
#include "map_slots.h"
#include "outline_pick.h"
#include "source_direction.h"

namespace qn_dewarp {

namespace {

// Bearing of (u, v) in degrees, as a drag measures it.
double bearing(float u, float v)
{
    if (u == 0 && v == 0) return 0;
    if (u == 0) return v > 0 ? 90 : 270;
    double a = std::atan(double(v) / u) * 180 / 3.1415927;
    if (u > 0 && v <= 0) a += 360;
    if (u < 0) a += 180;
    return a;
}

class DiscView final : public ViewKind {
public:
    std::unique_ptr<ViewKind> make_companion() const override { return std::make_unique<DiscView>(); }

    int add(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_DST_CONFIG& config) override
    {
        QN_PRO_DST_POSI posi = config.posi;
        return position(e, v, posi);
    }

    int position(QN_PRO_ENGINE&, ViewRecord& v, QN_PRO_DST_POSI& posi) override
    {
        auto& p = posi.original;
        const bool drag = p.drag && p.prev_frame_width > 0 && p.prev_frame_height > 0 && p.frame_width > 0 &&
                          p.frame_height > 0;
        if (!drag) {
            rotation_ = p.rotation;
        } else {
            const float cx = static_cast<float>(v.centre_x), cy = static_cast<float>(v.centre_y);
            const float u1 = float(v.width) * p.x / p.frame_width - cx, v1 = float(v.height) * p.y / p.frame_height - cy;
            const float u0 = float(v.width) * p.prev_x / p.prev_frame_width - cx;
            const float v0 = float(v.height) * p.prev_y / p.prev_frame_height - cy;
            rotation_ = (rotation_ + rnd(bearing(u1, v1)) - rnd(bearing(u0, v0))) % 360;
            p.prev_x = p.x * p.prev_frame_width / p.frame_width;
            p.prev_y = p.y * p.prev_frame_height / p.frame_height;
        }
        v.state[7] = rotation_;
        v.dirty = true;
        return 0;
    }

    void current_position(const QN_PRO_ENGINE&, const ViewRecord& v, QN_PRO_DST_POSI& posi) const override
    {
        posi = v.last_position;
        posi.original.rotation = rotation_;
        posi.original.drag = 0;
    }

    void change_position(const QN_PRO_ENGINE&, QN_PRO_DST_POSI& posi, const QN_PRO_DST_POSI& delta) const override
    {
        if (delta.words[1] != 0) {
            for (int w = 2; w <= 9; ++w) posi.words[w] = delta.words[w];
            posi.words[1] = delta.words[1];
        } else {
            posi.words[0] += delta.words[0];
        }
    }

    int angle(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, const AngleOutputs& out) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return refuse(out);
        Square sq = square(v);
        const int vx = rnd(double(v.width) * point.x / point.ref_width);
        const int vy = rnd(double(v.height) * point.y / point.ref_height);
        if (vx < sq.x0 || vx > sq.x1 || vy < sq.y0 || vy > sq.y1) return refuse(out);
        const int dx = vx - v.centre_x, dy = vy - v.centre_y;
        if (int64_t(dx) * dx + int64_t(dy) * dy > disc_limit(v)) return refuse(out);
        int64_t sx, sy;
        forward(e, sq, dx, dy, sx, sy);
        if (sx < 0 || (sx >> 10) >= e.ref_width - 1 || sy < 0 || (sy >> 10) >= e.ref_height - 1) return refuse(out);
        const float x = sx / 1024.0f, y = sy / 1024.0f;
        if (out.source) *out.source = {x, y, e.ref_width, e.ref_height};
        if (out.camera || out.linkage) source_point_to_pan_tilt(e, QN_PRO_DST_ORIGINAL, x, y, out.camera, out.linkage);
        return 0;
    }

    int update(QN_PRO_ENGINE& e, ViewRecord& v, bool) override
    {
        if (!v.dirty) return 0;
        v.dirty = false;
        square_ = square(v);
        CoordinateMap* map = map_begin_write(v);
        if (!map) {
            v.dirty = true;
            return 2;
        }
        const int64_t limit = disc_limit(v);
        int32_t* entry = map->entries.data();
        for (int y = 0; y < v.height; ++y) {
            for (int x = 0; x < v.width; ++x, entry += 2) {
                entry[0] = entry[1] = kNoSource;
                if (x < square_.x0 || x >= square_.x1 || y < square_.y0 || y >= square_.y1) continue;
                const int dx = x - v.centre_x, dy = y - v.centre_y;
                if (int64_t(dx) * dx + int64_t(dy) * dy > limit) continue;
                int64_t L, K;
                forward(e, square_, dx, dy, L, K);
                if (L > 1023 && (L >> 10) < e.ref_width - 2 && K > 1023 && (K >> 10) < e.ref_height - 2) {
                    entry[0] = static_cast<int32_t>(L >> 3);
                    entry[1] = static_cast<int32_t>(K >> 3);
                }
            }
        }
        map_end_write(v, map);
        return 0;
    }

    bool draws_outlines() const override { return true; }

    void overlay(QN_PRO_ENGINE& e, ViewRecord& v, const ViewRecord& other) override
    {
        if (!other.outline.valid || other.kind == QN_PRO_DST_STRETCH) return;
        draw_outline(v, other, projection_into(e, v), v.effect.border_width);
    }

    int control_step(QN_PRO_ENGINE& e, ViewRecord& v, int record, const QN_PRO_POINT* point, int mode) override
    {
        if (!point || point->ref_width <= 0 || point->ref_height <= 0) return 2;
        const double x = double(v.width) * point->x / point->ref_width;
        const double y = double(v.height) * point->y / point->ref_height;
        return pick_linked_view(e, v, record, x, y, mode, false, projection_into(e, v));
    }

    int point_to_source(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, QN_PRO_POINT* source,
                        Angles* direction) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return -1;
        const Square sq = square(v);
        const int vx = static_cast<int>(double(v.width) * point.x / point.ref_width);
        const int vy = static_cast<int>(double(v.height) * point.y / point.ref_height);
        if (vx <= sq.x0 || vx >= sq.x1 || vy <= sq.y0 || vy >= sq.y1) return -1;
        int64_t sx, sy;
        forward(e, sq, vx - v.centre_x, vy - v.centre_y, sx, sy);
        *source = {sx / 1024.0f, sy / 1024.0f, e.ref_width, e.ref_height};
        if (direction) source_point_to_pan_tilt(e, QN_PRO_DST_ORIGINAL, source->x, source->y, nullptr, direction);
        return 0;
    }

private:
    struct Square {
        int x0, y0, x1, y1;
        int rho; // disc radius in view pixels
    };

    static int refuse(const AngleOutputs& out)
    {
        if (out.source) *out.source = QN_PRO_POINT{};
        if (out.camera) *out.camera = Angles{};
        if (out.linkage) *out.linkage = Angles{};
        return 2;
    }

    static Square square(const ViewRecord& v)
    {
        const int w = v.width, h = v.height;
        if (w < h) {
            const int d = (h - w) / 2;
            return {0, d & ~1, w, (h - d) & ~1, std::max(w / 2, 1)};
        }
        const int d = (w - h) / 2;
        return {d & ~1, 0, (w - d) & ~1, h, std::max(h / 2, 1)};
    }

    static int64_t disc_limit(const ViewRecord& v)
    {
        const double side = std::min(v.width, v.height);
        return rnd64(side * side * 0.25 + 0.5);
    }

    void rotation_terms(int& sn, int& cs) const
    {
        const double theta = (rotation_ + 90) * 0.01745329;
        sn = rnd(std::sin(theta) * 1024);
        cs = rnd(std::cos(theta) * 1024);
    }

    // View offset from the centre to the source point in 1/1024 pixel.
    void forward(const QN_PRO_ENGINE& e, const Square& sq, int64_t dx, int64_t dy, int64_t& sx, int64_t& sy) const
    {
        int sn, cs;
        rotation_terms(sn, cs);
        const int64_t q = rnd(32768.0 / sq.rho), r16 = rnd(e.ref_r * 16.0);
        sx = rnd64(e.ref_x * 1024.0) + ((((dx * sn - dy * cs) * q) >> 15) * r16 >> 4);
        sy = rnd64(e.ref_y * 1024.0) + ((((dx * cs + dy * sn) * q) >> 15) * r16 >> 4);
    }

    OutlineProjection projection_into(const QN_PRO_ENGINE& e, const ViewRecord& v) const
    {
        int sn, cs;
        rotation_terms(sn, cs);
        const Square sq = square(v);
        const int64_t q = std::max(rnd(32768.0 / sq.rho), 1), r16 = std::max(rnd(e.ref_r * 16.0), 1);
        const int64_t cx = rnd64(e.ref_x * 1024.0), cy = rnd64(e.ref_y * 1024.0);
        const int vx = v.centre_x, vy = v.centre_y;
        return [=](const ViewRecord& other, double* px, double* py) {
            for (int i = 0; i < Outline::kPoints; ++i) {
                const int64_t sx = ((other.outline.x[i] - cx) * 16 / r16) * 32768 / q;
                const int64_t sy = ((other.outline.y[i] - cy) * 16 / r16) * 32768 / q;
                px[i] = double(((sx * sn + sy * cs) >> 20) + vx);
                py[i] = double(((sy * sn - sx * cs) >> 20) + vy);
            }
        };
    }

    int rotation_ = 0;
    Square square_{};
};

}  // namespace

std::unique_ptr<ViewKind> make_disc_view() { return std::make_unique<DiscView>(); }

}  // namespace qn_dewarp
