#include "zoom_view.h"

#include <algorithm>
#include <cmath>

#include "drawing.h"
#include "engine.h"
#include "fixed_point.h"
#include "map_slots.h"
#include "outline_pick.h"
#include "source_direction.h"

namespace qn_dewarp {

float zoom_of_exponent(float exponent)
{
    if (exponent > 0) return std::sqrt(exponent + 1);
    if (exponent < 0) return 1 / std::sqrt(-exponent);
    return 1;
}

float exponent_of_zoom(float zoom)
{
    if (zoom > 1.00001f) return zoom * zoom - 1;
    if (zoom < 0.99999f) return -1 / (zoom * zoom);
    return 0;
}

namespace {

constexpr float kMinExponent = -64, kMinRotatedExponent = -2, kMaxExponent = 16;

// The circle's bounding box clipped to the reference frame.
struct CircleBox {
    int width, height;
};

CircleBox circle_box(const QN_PRO_ENGINE& e)
{
    const float R = e.ref_r;
    const int left = rnd(std::min(R, e.ref_x)), right = rnd(std::min(R, e.ref_width - e.ref_x));
    const int top = rnd(std::min(R, e.ref_y)), bottom = rnd(std::min(R, e.ref_height - e.ref_y));
    return {left + right, top + bottom};
}

// Kind 3 keeps kind 2's position words without the leading whole flag.
QN_PRO_DST_POSI zoom_layout_of_rotated(const QN_PRO_DST_POSI& rotated)
{
    QN_PRO_DST_POSI p{};
    for (int w = 0; w < 12; ++w) p.words[w + 1] = rotated.words[w];
    return p;
}

QN_PRO_DST_POSI rotated_layout_of_zoom(const QN_PRO_DST_POSI& zoom)
{
    QN_PRO_DST_POSI p{};
    for (int w = 0; w < 12; ++w) p.words[w] = zoom.words[w + 1];
    return p;
}

// Kind 2, and kind 3 (`rotating`): the same window turned so that it faces
// away from the circle's centre.
class ZoomView final : public ViewKind {
public:
    explicit ZoomView(bool rotating) : rotating_(rotating) {}
    std::unique_ptr<ViewKind> make_companion() const override { return std::make_unique<ZoomView>(rotating_); }

    int add(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_DST_CONFIG& config) override
    {
        const QN_PRO_DST_POSI posi = rotating_ ? zoom_layout_of_rotated(config.posi) : config.posi;
        const auto& p = posi.zoom;
        const CircleBox box = circle_box(e);
        // A circle centred outside the frame leaves no box to fit.
        if (box.width <= 0 || box.height <= 0) return 3;
        if (p.whole && !rotating_) {
            whole_ = true;
            set_zoom(std::min(float(v.width) / box.width, float(v.height) / box.height));
            window_x_ = rnd(e.ref_x);
            window_y_ = rnd(e.ref_y);
            small_ = false;
        } else if (p.region) {
            add_region(e, v, p.left, p.top, p.right, p.bottom, p.region_width, p.region_height);
        } else {
            place(e, v, p.exponent, p.x, p.y, p.frame_width, p.frame_height, /*zoom_out=*/rotating_,
                  std::min(float(v.width) / box.width, float(v.height) / box.height));
        }
        if (rotating_) turn_to_window(e);
        v.dirty = true;
        return 0;
    }

    int position(QN_PRO_ENGINE& e, ViewRecord& v, QN_PRO_DST_POSI& given) override
    {
        if (whole_) return 0;
        const QN_PRO_DST_POSI posi = rotating_ ? zoom_layout_of_rotated(given) : given;
        const auto& p = posi.zoom;
        const CircleBox box = circle_box(e);
        if (box.width <= 0 || box.height <= 0) return 3;
        // Kind 3 keeps the lower floor of adding.
        const float floor = rotating_ ? std::min(float(v.width) / box.width, float(v.height) / box.height)
                                      : std::max(float(v.width) / box.width, float(v.height) / box.height);
        place(e, v, p.exponent, p.x, p.y, p.frame_width, p.frame_height, /*zoom_out=*/true, floor);
        if (rotating_) turn_to_window(e);
        v.dirty = true;
        return 0;
    }

    void current_position(const QN_PRO_ENGINE& e, const ViewRecord& v, QN_PRO_DST_POSI& posi) const override
    {
        posi = rotating_ ? zoom_layout_of_rotated(v.last_position) : v.last_position;
        auto& p = posi.zoom;
        p.whole = whole_;
        p.exponent = exponent_;
        p.x = static_cast<float>(window_x_);
        p.y = static_cast<float>(window_y_);
        p.frame_width = e.ref_width;
        p.frame_height = e.ref_height;
        p.region = 0;
        if (rotating_) posi = rotated_layout_of_zoom(posi);
    }

    void change_position(const QN_PRO_ENGINE&, QN_PRO_DST_POSI& given, const QN_PRO_DST_POSI& given_delta) const override
    {
        QN_PRO_DST_POSI posi = rotating_ ? zoom_layout_of_rotated(given) : given;
        const QN_PRO_DST_POSI delta = rotating_ ? zoom_layout_of_rotated(given_delta) : given_delta;
        auto& p = posi.zoom;
        const auto& d = delta.zoom;
        p.exponent += d.exponent;
        if (d.frame_width > 0 && d.frame_height > 0) {
            p.x += d.x * p.frame_width / d.frame_width;
            p.y += d.y * p.frame_height / d.frame_height;
        }
        given = rotating_ ? rotated_layout_of_zoom(posi) : posi;
    }

    int angle(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, const AngleOutputs& out) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return 2;
        const int vx = rnd(double(v.width) * point.x / point.ref_width);
        const int vy = rnd(double(v.height) * point.y / point.ref_height);
        if (vx < active_.x0 || vx > active_.x1 || vy < active_.y0 || vy > active_.y1) return 2;
        int64_t sx, sy;
        source_of_pixel(v, vx, vy, sx, sy);
        const float x = sx / 1024.0f, y = sy / 1024.0f;
        if (out.source) *out.source = {x, y, e.ref_width, e.ref_height};
        if (out.camera || out.linkage)
            source_point_to_pan_tilt(e, QN_PRO_DST_ZOOM, x, y, out.camera, out.linkage);
        return 0;
    }

    int update(QN_PRO_ENGINE& e, ViewRecord& v, bool) override
    {
        if (!v.dirty) return 0;
        v.dirty = false;
        const int w = v.width, h = v.height;
        const double d = double(zoom_) * e.ref_r;
        const int cxv = w >> 1, cyv = h >> 1;
        active_.x0 = cxv > d ? rnd(cxv - d) : 0;
        active_.x1 = d < w - cxv ? rnd(cxv + d) : w;
        active_.y0 = cyv > d ? rnd(cyv - d) : 0;
        active_.y1 = d < h - cyv ? rnd(cyv + d) : h;
        if (small_) compute_outline(v);
        else v.outline.valid = false;

        CoordinateMap* map = map_begin_write(v);
        if (!map) {
            v.dirty = true;
            return 2;
        }
        int32_t* entry = map->entries.data();
        const int64_t max_x = e.ref_width - 3, max_y = e.ref_height - 3;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x, entry += 2) {
                entry[0] = entry[1] = kNoSource;
                if (x < active_.x0 || x >= active_.x1 || y < active_.y0 || y >= active_.y1) continue;
                int64_t sx, sy;
                source_of_pixel(v, x, y, sx, sy);
                if ((sx >> 10) < 1 || (sx >> 10) > max_x || (sy >> 10) < 1 || (sy >> 10) > max_y) continue;
                entry[0] = static_cast<int32_t>(sx >> 3);
                entry[1] = static_cast<int32_t>(sy >> 3);
            }
        }
        map_end_write(v, map);
        return 0;
    }

    int aim_companion(QN_PRO_ENGINE& e, ViewRecord& v, ViewRecord& companion) override
    {
        if (rotating_) return 3;
        auto* c = static_cast<ZoomView*>(companion.kind_state.get());
        int64_t sx, sy;
        source_of_pixel(v, rnd(v.aimer.x), rnd(v.aimer.y), sx, sy);
        float zoom = v.companion_zoom * zoom_;
        const float floor = std::min(float(companion.width) / v.width, float(companion.height) / v.height);
        zoom = std::max(zoom, floor);
        c->whole_ = false;
        c->exponent_ = exponent_of_zoom(zoom);
        c->set_zoom(zoom);
        c->centre_window(e, companion, sx / 1024.0f, sy / 1024.0f, e.ref_width, e.ref_height);
        companion.dirty = true;
        return 0;
    }

    bool draws_outlines() const override { return !rotating_; }

    void overlay(QN_PRO_ENGINE&, ViewRecord& v, const ViewRecord& other) override
    {
        if (small_ || !other.outline.valid || other.kind == QN_PRO_DST_STRETCH) return;
        draw_outline(v, other, projection_into(v), v.effect.border_width);
    }

    // Picks the view whose outline lies under the cursor as the engine's
    // linked view: mode 0 only an outline the cursor is inside, mode 1 the
    // nearest one.
    int control_step(QN_PRO_ENGINE& e, ViewRecord& v, int record, const QN_PRO_POINT* point, int mode) override
    {
        if (rotating_) return 2;
        if (!point || point->ref_width <= 0 || point->ref_height <= 0) return 2;
        const double x = double(v.width) * point->x / point->ref_width;
        const double y = double(v.height) * point->y / point->ref_height;
        return pick_linked_view(e, v, record, x, y, mode, false, projection_into(v));
    }

    int point_to_source(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, QN_PRO_POINT* source,
                        Angles* direction) override
    {
        if (rotating_) return 2;
        if (point.ref_width <= 0 || point.ref_height <= 0) return -1;
        const int vx = static_cast<int>(double(v.width) * point.x / point.ref_width);
        const int vy = static_cast<int>(double(v.height) * point.y / point.ref_height);
        if (vx <= active_.x0 || vx >= active_.x1 - 1 || vy <= active_.y0 || vy >= active_.y1 - 1) return -1;
        int64_t sx, sy;
        source_of_pixel(v, vx, vy, sx, sy);
        *source = {sx / 1024.0f, sy / 1024.0f, e.ref_width, e.ref_height};
        if (direction) source_point_to_pan_tilt(e, QN_PRO_DST_ZOOM, source->x, source->y, nullptr, direction);
        return 0;
    }

    bool follow(const QN_PRO_ENGINE& e, const ViewRecord& v, const QN_PRO_POINT* source, const Angles*,
                int wheel, QN_PRO_DST_POSI& posi) const override
    {
        QN_PRO_DST_POSI current{};
        current_position(e, v, current);
        if (rotating_) current = zoom_layout_of_rotated(current);
        posi = QN_PRO_DST_POSI{};
        auto& p = posi.zoom;
        p.exponent = current.zoom.exponent;
        p.x = current.zoom.x;
        p.y = current.zoom.y;
        p.frame_width = e.ref_width;
        p.frame_height = e.ref_height;
        if (source) {
            p.x = source->x;
            p.y = source->y;
        }
        if (wheel > 0) p.exponent += 1;
        if (wheel < 0) p.exponent -= 1;
        if (rotating_) posi = rotated_layout_of_zoom(posi);
        return true;
    }

private:
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    };

    void set_zoom(float zoom)
    {
        zoom_ = zoom;
        scale_ = 1 / zoom;
    }

    // Other views' outlines (source points x 1024) in this view's pixels.
    OutlineProjection projection_into(const ViewRecord& v) const
    {
        const double step = double(scale_) * 1024;
        const int64_t wx = int64_t(window_x_) * 1024, wy = int64_t(window_y_) * 1024;
        const int cx = v.width >> 1, cy = v.height >> 1;
        return [=](const ViewRecord& other, double* px, double* py) {
            for (int i = 0; i < Outline::kPoints; ++i) {
                px[i] = (other.outline.x[i] - wx) / step + cx;
                py[i] = (other.outline.y[i] - wy) / step + cy;
            }
        };
    }

    void source_of_pixel(const ViewRecord& v, int x, int y, int64_t& sx, int64_t& sy) const
    {
        const int64_t step = rnd(double(scale_) * 1024);
        if (rotating_) {
            const int64_t dx = x - v.centre_x, dy = y - v.centre_y;
            sx = int64_t(window_x_) * 1024 + (((dx * cos_ - dy * sin_) * step) >> 10);
            sy = int64_t(window_y_) * 1024 + (((dy * cos_ + dx * sin_) * step) >> 10);
            return;
        }
        sx = int64_t(window_x_) * 1024 + step * (x - (v.width >> 1));
        sy = int64_t(window_y_) * 1024 + step * (y - (v.height >> 1));
    }

    // The rotation follows the bearing of the window around the circle.
    void turn_to_window(const QN_PRO_ENGINE& e)
    {
        const float dx = static_cast<float>(window_x_ - e.ref_x), dy = static_cast<float>(window_y_ - e.ref_y);
        double bearing = 0;
        if (dx == 0) bearing = dy > 0 ? 90 : (dy == 0 ? 0 : 270);
        else {
            bearing = std::atan(double(dy) / dx) * 180 / 3.1415925;
            if (dx > 0 && dy <= 0) bearing += 360;
            if (dx < 0) bearing += 180;
        }
        rotation_ = static_cast<int>(bearing + 0.5) % 360;
        const double theta = (rotation_ + 90) * 0.01745329;
        cos_ = rnd(std::cos(theta) * 1024);
        sin_ = rnd(std::sin(theta) * 1024);
    }

    void add_region(QN_PRO_ENGINE& e, ViewRecord& v, int left, int top, int right, int bottom, int fw, int fh)
    {
        if (fw < 11 || fh < 11 || left >= right || top >= bottom) {
            left = top = 0;
            right = fw = e.ref_width;
            bottom = fh = e.ref_height;
        }
        window_x_ = static_cast<int>(int64_t(e.ref_width) * ((left + right) >> 1) / fw);
        window_y_ = static_cast<int>(int64_t((top + bottom) >> 1) * e.ref_height / fh);
        const float zoom = std::max(float(v.width) / e.ref_width * fw / (right - left),
                                    float(v.height) / e.ref_height * fh / (bottom - top));
        // Reported as the exponent that gives this zoom back, so that the
        // position read from the view reproduces it.
        exponent_ = exponent_of_zoom(zoom);
        set_zoom(zoom);
        small_ = right - left < 0.7 * fw || bottom - top < 0.7 * fh;
    }

    // The explicit placement of Add and Position: exponent, centre and the
    // zoom floor that keeps the circle filling the view.
    void place(QN_PRO_ENGINE& e, ViewRecord& v, float exponent, float x, float y, int fw, int fh,
               bool zoom_out, float floor)
    {
        exponent = std::clamp(exponent, rotating_ ? kMinRotatedExponent : kMinExponent, kMaxExponent);
        float zoom = (exponent > 0 || zoom_out) ? zoom_of_exponent(exponent) : 1.0f;
        if (floor > zoom) {
            zoom = floor;
            exponent = exponent_of_zoom(zoom);
        }
        exponent_ = exponent;
        set_zoom(zoom);
        centre_window(e, v, x, y, fw, fh);
    }

    void centre_window(QN_PRO_ENGINE& e, ViewRecord& v, float x, float y, int fw, int fh)
    {
        if (fw <= 0 || fh <= 0) {
            fw = e.ref_width;
            fh = e.ref_height;
        }
        if (!(x >= 0 && x <= fw && y >= 0 && y <= fh)) {
            x = static_cast<float>(fw >> 1);
            y = static_cast<float>(fh >> 1);
        }
        const int W = e.ref_width, H = e.ref_height;
        const int cxv = v.width >> 1, cyv = v.height >> 1;
        window_x_ = rnd(double(W) * x / fw);
        window_y_ = rnd(double(H) * y / fh);
        window_x_ = std::max(window_x_, rnd(scale_ * cxv));
        window_x_ = std::min(window_x_, rnd(W - scale_ * cxv));
        window_y_ = std::max(window_y_, rnd(scale_ * cyv));
        window_y_ = std::min(window_y_, rnd(H - scale_ * cyv));
        small_ = rnd(v.width * scale_) < rnd(scale_ * W) * 0.7 || rnd(v.height * scale_) < rnd(scale_ * H) * 0.7;
    }

    void compute_outline(ViewRecord& v) const
    {
        for (int i = 0; i < Outline::kPoints; ++i) {
            float fx, fy;
            border_fraction(i, fx, fy);
            const int x = active_.x0 + static_cast<int>((active_.x1 - active_.x0 - 1) * fx);
            const int y = active_.y0 + static_cast<int>((active_.y1 - active_.y0 - 1) * fy);
            int64_t sx, sy;
            source_of_pixel(v, x, y, sx, sy);
            v.outline.x[i] = static_cast<int32_t>(sx);
            v.outline.y[i] = static_cast<int32_t>(sy);
        }
        v.outline.valid = true;
    }

    const bool rotating_;
    int rotation_ = 0;         // kind 3: degrees
    int cos_ = 0, sin_ = 1024; // of rotation + 90, x 1024
    bool whole_ = false;
    int window_x_ = 0, window_y_ = 0; // window centre in the reference frame
    float exponent_ = 0;
    float zoom_ = 1, scale_ = 1;
    bool small_ = false;
    Rect active_;
};

}  // namespace

std::unique_ptr<ViewKind> make_zoom_view() { return std::make_unique<ZoomView>(false); }
std::unique_ptr<ViewKind> make_rotated_zoom_view() { return std::make_unique<ZoomView>(true); }

}  // namespace qn_dewarp
