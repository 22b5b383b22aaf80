#include "dptz_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine.h"
#include "fixed_point.h"
#include "lens_model.h"
#include "map_slots.h"
#include "source_direction.h"
#include "tables.h"

namespace qn_dewarp {

namespace {

constexpr double kDegree = 0.01745329; // the engine's radians per degree
constexpr int kMinFov = 5, kMaxFov = 160;
constexpr int kLargeView = 749999, kMediumView = 249999;

// Offsets of the progressive passes inside 2 x 2 and 4 x 4 blocks.
constexpr int kPasses4[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
constexpr int kPasses16[16][2] = {{0, 0}, {2, 2}, {2, 0}, {0, 2}, {1, 0}, {3, 2}, {3, 0}, {1, 2},
                                  {0, 1}, {2, 3}, {2, 1}, {0, 3}, {1, 1}, {3, 3}, {3, 1}, {1, 3}};

float wrap_pan(float pan)
{
    pan -= 360.0f * std::trunc(pan / 360.0f);
    if (pan < 0) pan += 360;
    return pan;
}

float wrap_tilt(float tilt)
{
    tilt -= 360.0f * std::trunc(tilt / 360.0f);
    if (tilt > 180) tilt -= 360;
    return std::clamp(tilt, -90.0f, 90.0f);
}

float radius_of_tan(const QN_PRO_ENGINE& e, float t)
{
    if (e.holder && e.holder->model()) return e.holder->RadiusOfTan(t);
    return lens_radius_of_tan(t, e.lens);
}

void store_float(int32_t& word, float value) { std::memcpy(&word, &value, sizeof value); }

class DptzView final : public ViewKind {
public:
    std::unique_ptr<ViewKind> make_companion() const override { return std::make_unique<DptzView>(); }

    int add(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_DST_CONFIG& config) override
    {
        const auto& p = config.posi.dptz;
        float pan = pan_, tilt = tilt_;
        int side_for_clamp = side_;
        if (p.region) {
            int left = p.left, top = p.top, right = p.right, bottom = p.bottom;
            int fw = p.region_width, fh = p.region_height;
            if (fw <= 10 || fh <= 10 || left >= right || top >= bottom) {
                left = top = 0;
                right = fw = e.ref_width;
                bottom = fh = e.ref_height;
            }
            const float x = static_cast<float>(double((left + right) >> 1) * e.ref_width / fw);
            const float y = static_cast<float>(double((top + bottom) >> 1) * e.ref_height / fh);
            Angles world{};
            source_point_to_pan_tilt(e, QN_PRO_DST_DPTZ, x, y, nullptr, &world);
            pan = world.azimuth;
            tilt = world.elevation;
            side_for_clamp = 0;
        } else if (p.use_default) {
            pan = 0;
            tilt = e.mount_angle == 90 ? 40.0f : (e.mount_angle == -90 ? -40.0f : 0.0f);
            zoom_ = 1;
        } else {
            pan = p.pan;
            tilt = p.tilt;
            zoom_ = p.zoom;
        }
        if (!(zoom_ >= 1)) zoom_ = 1;
        if (zoom_ > 8) zoom_ = 8;
        fov_ = p.fov > 0 ? std::clamp(p.fov, kMinFov, kMaxFov) : 90;
        side_ = side_for_clamp;
        clamp(e, v, pan, tilt);
        pan_ = pan;
        tilt_ = tilt;
        side_ = p.side;
        build_matrices(e, v);
        write_state(v);
        passes_ = 0;
        v.dirty = true;
        return 0;
    }

    int position(QN_PRO_ENGINE& e, ViewRecord& v, QN_PRO_DST_POSI& posi) override
    {
        const auto& p = posi.dptz;
        float zoom = std::min(p.zoom, static_cast<float>(e.zoom_limit));
        zoom_ = std::isnan(zoom) ? 1.0f : std::clamp(zoom, 1.0f, 8.0f);
        float pan = p.pan, tilt = p.tilt;
        if (!std::isfinite(pan)) pan = 0;
        if (!std::isfinite(tilt)) tilt = 0;
        clamp(e, v, pan, tilt);
        pan_ = wrap_pan(pan);
        tilt_ = wrap_tilt(tilt);
        build_matrices(e, v);
        write_state(v);
        passes_ = 0;
        v.dirty = true;
        return 0;
    }

    void current_position(const QN_PRO_ENGINE&, const ViewRecord& v, QN_PRO_DST_POSI& posi) const override
    {
        posi = v.last_position;
        auto& p = posi.dptz;
        p.fov = fov_;
        p.side = side_;
        p.use_default = 0;
        p.pan = pan_;
        p.tilt = tilt_;
        p.zoom = zoom_;
        p.region = 0;
    }

    void change_position(const QN_PRO_ENGINE&, QN_PRO_DST_POSI& posi, const QN_PRO_DST_POSI& delta) const override
    {
        posi.dptz.pan += delta.dptz.pan;
        posi.dptz.tilt += delta.dptz.tilt;
        posi.dptz.zoom += delta.dptz.zoom;
    }

    int angle(QN_PRO_ENGINE& e, ViewRecord& v, const QN_PRO_POINT& point, const AngleOutputs& out) override
    {
        if (point.ref_width <= 0 || point.ref_height <= 0) return 2;
        update_outline(e, v);
        const double a = v.centre_x - rnd(double(v.width) * point.x / point.ref_width);
        const double b = rnd(double(v.height) * point.y / point.ref_height) - v.centre_y;
        const double view[3] = {a, b, focal_};
        double d[3], w[3];
        multiply(K_, view, d);
        if (out.camera) *out.camera = direction_to_angles(d[0], d[1], d[2]);
        if (out.source) *out.source = source_of_direction(e, d);
        if (out.linkage) {
            multiply(R_, view, w);
            *out.linkage = linkage_angles(w);
        }
        return 0;
    }

    int update(QN_PRO_ENGINE& e, ViewRecord& v, bool progressive) override
    {
        if (!v.dirty) return 0;
        const int64_t area = int64_t(v.width) * v.height;
        if (progressive && area > kLargeView) return render_pass(e, v, 4, kPasses16, 16);
        if (progressive && area > kMediumView) return render_pass(e, v, 2, kPasses4, 4);
        const int result = render_full(e, v);
        if (result == 0) v.dirty = false;
        return result;
    }

    int aim_companion(QN_PRO_ENGINE& e, ViewRecord& v, ViewRecord& companion) override
    {
        QN_PRO_POINT point{v.aimer.x, v.aimer.y, v.width, v.height};
        Angles world{};
        AngleOutputs out;
        out.linkage = &world;
        angle(e, v, point, out);
        auto* c = static_cast<DptzView*>(companion.kind_state.get());
        c->zoom_ = v.companion_zoom * zoom_;
        c->pan_ = wrap_pan(world.azimuth);
        c->tilt_ = wrap_tilt(world.elevation);
        // A narrow companion of a narrow field still sees something.
        c->fov_ = std::clamp(fov_ * companion.width / std::max(v.width, 1), 1, kMaxFov);
        c->side_ = side_;
        c->build_matrices(e, companion);
        c->passes_ = 0;
        companion.dirty = true;
        if (e.triple_buffer) c->update(e, companion, false);
        return 0;
    }

    bool follow(const QN_PRO_ENGINE&, const ViewRecord& v, const QN_PRO_POINT*, const Angles* direction, int wheel,
                QN_PRO_DST_POSI& posi) const override
    {
        posi = QN_PRO_DST_POSI{};
        auto& p = posi.dptz;
        p.fov = fov_;
        p.side = side_;
        p.pan = pan_;
        p.tilt = tilt_;
        p.zoom = zoom_;
        if (direction) {
            p.pan = direction->azimuth;
            p.tilt = direction->elevation;
        }
        if (wheel > 0) p.zoom += 1;
        if (wheel < 0) p.zoom -= 1;
        (void)v;
        return true;
    }

private:
    static void multiply(const float* m, const double* v, double* out)
    {
        for (int r = 0; r < 3; ++r) out[r] = m[r * 3] * v[0] + m[r * 3 + 1] * v[1] + m[r * 3 + 2] * v[2];
    }

    static Angles linkage_angles(const double* w)
    {
        Angles a = direction_to_angles(w[0], w[1], w[2]);
        a.azimuth = 270.0f - a.azimuth;
        if (a.azimuth < 0) a.azimuth += 360;
        return a;
    }

    QN_PRO_POINT source_of_direction(const QN_PRO_ENGINE& e, const double* d) const
    {
        const float rho = static_cast<float>(std::sqrt(d[0] * d[0] + d[1] * d[1]));
        if (!(rho > 0)) return {e.ref_x, e.ref_y, e.ref_width, e.ref_height};
        const float r = radius_of_tan(e, static_cast<float>(d[2] / rho));
        return {static_cast<float>(e.ref_r * r * d[0] / rho + e.ref_x),
                static_cast<float>(r * e.ref_r * d[1] / rho + e.ref_y), e.ref_width, e.ref_height};
    }

    // Half angles of the view at the current zoom, in degrees.
    void half_angles(const ViewRecord& v, double& horizontal, double& vertical) const
    {
        const double f = std::min(fov_, kMaxFov) * kDegree;
        const double a1 = std::atan(std::tan(f / 2) / std::sqrt(zoom_));
        const int reference = side_ ? v.height : v.width, other = side_ ? v.width : v.height;
        const double focal = (reference / 2.0) / std::tan(a1);
        const double a2 = std::atan((other / 2.0) / focal);
        horizontal = (side_ ? a2 : a1) / kDegree;
        vertical = (side_ ? a1 : a2) / kDegree;
    }

    // Keeps the view inside what the lens sees; the lower bound is applied
    // last, so it wins when the range is empty.
    void clamp(const QN_PRO_ENGINE& e, const ViewRecord& v, float& pan, float& tilt) const
    {
        if (e.mount_angle != 90 && e.mount_angle != -90 && e.mount_angle != 0) return;
        double H, V;
        half_angles(v, H, V);
        const ElevationRange limits = elevation_limits(e.lens, false);
        double t = tilt, p = pan;
        if (e.mount_angle == 90) {
            t = std::min(t, limits.highest - V);
            t = std::max(t, limits.lowest + V);
        } else if (e.mount_angle == -90) {
            t = std::min(t, -limits.lowest - V);
            t = std::max(t, V - limits.highest);
        } else {
            t = std::min(t, 90 - V);
            t = std::max(t, V - 90);
            if (p > 180) {
                p = std::max(p, 270 + H);
            } else {
                p = std::min(p, 90 - H);
                p = std::max(p, H - 90);
            }
        }
        tilt = static_cast<float>(t);
        pan = static_cast<float>(p);
    }

    void build_matrices(const QN_PRO_ENGINE& e, const ViewRecord& v)
    {
        const int reference = side_ ? v.height : v.width;
        const double f0 = (reference / 2.0) / std::tan(std::min(fov_, kMaxFov) * kDegree / 2);
        const double half = std::atan((reference / std::sqrt(double(zoom_))) / 2 / f0);
        focal_ = static_cast<float>((reference / 2.0) / std::tan(half));
        const float p = static_cast<float>(pan_ * kDegree), t = static_cast<float>(tilt_ * kDegree);
        const double u = 1.57079632675 - t;
        const float sin_t = static_cast<float>(std::cos(u)), cos_t = static_cast<float>(std::sin(u));
        const float sin_p = std::sin(p), cos_p = std::cos(p);
        const float R[9] = {-cos_p, sin_p * sin_t, -sin_p * cos_t,
                            sin_p,  cos_p * sin_t, -cos_p * cos_t,
                            0,      cos_t,         sin_t};
        std::memcpy(R_, R, sizeof R);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                K_[r * 3 + c] = e.mount[r * 3] * R_[c] + e.mount[r * 3 + 1] * R_[3 + c] + e.mount[r * 3 + 2] * R_[6 + c];
        if (focal_ > 512)
            for (float& k : K_) k = static_cast<float>(k * 512.0 / focal_);
        for (int i = 0; i < 9; ++i) K_fixed_[i] = rnd(K_[i] * 16384.0);
        focal_fixed_ = rnd(focal_);
    }

    void write_state(ViewRecord& v) const
    {
        store_float(v.state[7], pan_);
        store_float(v.state[8], tilt_);
        store_float(v.state[9], zoom_);
    }

    // Map entry of a view pixel in 1/128 source pixel, or false when the
    // ray leaves the source (or the arithmetic leaves int range).
    bool entry_of(const QN_PRO_ENGINE& e, const CoreTables& t, int x, int y, int64_t& ex, int64_t& ey) const
    {
        const int64_t v0 = v_cx_ - x, v1 = y - v_cy_, v2 = focal_fixed_;
        const int64_t dx = (K_fixed_[0] * v0 + K_fixed_[1] * v1 + K_fixed_[2] * v2) >> 4;
        const int64_t dy = (K_fixed_[3] * v0 + K_fixed_[4] * v1 + K_fixed_[5] * v2) >> 4;
        const int64_t dz = (K_fixed_[6] * v0 + K_fixed_[7] * v1 + K_fixed_[8] * v2) >> 4;
        const int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
        int64_t rho, inverse; // rho and 2^30 / rho
        if (ax < 1023 * 1024 && ay < 1023 * 1024) {
            const int i = static_cast<int>(ax >> 10), a = static_cast<int>(ay >> 10);
            const int64_t fi = ax & 1023, fa = ay & 1023;
            rho = bilinear10(t.root, a, i, fa, fi);
            if (rho < 2048) {
                rho = 1;
                inverse = int64_t(1) << 30;
            } else {
                inverse = bilinear10(t.reciprocal, a, i, fa, fi);
            }
        } else {
            const double px = double(dx >> 5), py = double(dy >> 5);
            rho = static_cast<int64_t>(32 * std::sqrt(px * px + py * py));
            if (rho < 1) rho = 1;
            inverse = (int64_t(1) << 30) / rho;
        }
        double radius8192;
        const uint64_t udz = static_cast<uint64_t>(dz);
        if (udz < uint64_t(4095) * 256 && rho < int64_t(4095) * 256 && projection_) {
            const int a = static_cast<int>(rho >> 8), i = static_cast<int>(udz >> 8);
            const int64_t fa = rho & 255, fi = udz & 255;
            const int32_t* row0 = projection_ + size_t(a) * kProjectionSize;
            const int32_t* row1 = row0 + kProjectionSize;
            const int64_t top = row0[i] + (((row0[i + 1] - row0[i]) * fi) >> 8);
            const int64_t bottom = row1[i] + (((row1[i + 1] - row1[i]) * fi) >> 8);
            radius8192 = double(top + (((bottom - top) * fa) >> 8));
        } else {
            const float r = radius_of_tan(e, static_cast<float>(double(dz) / double(rho)));
            radius8192 = rnd_checked(double(r) * 8192, -1);
            if (radius8192 < 0) return false;
        }
        const float scale = static_cast<float>(static_cast<float>(radius8192 * e.ref_r / 8192) * float(inverse) / 8192);
        const float fx = static_cast<float>(scale * float(dx) / 1024), fy = static_cast<float>(scale * float(dy) / 1024);
        if (!fits_int32(fx) || !fits_int32(fy)) return false;
        ex = rnd(e.ref_x * 128.0) + int64_t(rnd(fx));
        ey = rnd(e.ref_y * 128.0) + int64_t(rnd(fy));
        return true;
    }

    static int64_t bilinear10(const int32_t* table, int a, int i, int64_t fa, int64_t fi)
    {
        const int32_t* r0 = table + a * kRootSize + i;
        const int32_t* r1 = r0 + kRootSize;
        const int64_t top = r0[0] + (((int64_t(r0[1]) - r0[0]) * fi) >> 10);
        const int64_t bottom = r1[0] + (((int64_t(r1[1]) - r1[0]) * fi) >> 10);
        return top + (((bottom - top) * fa) >> 10);
    }

    void map_entry(const QN_PRO_ENGINE& e, const CoreTables& t, int x, int y, int32_t* out) const
    {
        int64_t ex, ey;
        out[0] = out[1] = kNoSource;
        if (!entry_of(e, t, x, y, ex, ey)) return;
        if ((ex >> 7) < 1 || (ex >> 7) > e.ref_width - 3 || (ey >> 7) < 1 || (ey >> 7) > e.ref_height - 3) return;
        out[0] = static_cast<int32_t>(ex);
        out[1] = static_cast<int32_t>(ey);
    }

    bool prepare(const QN_PRO_ENGINE& e, const ViewRecord& v)
    {
        projection_ = e.projection;
        v_cx_ = v.centre_x;
        v_cy_ = v.centre_y;
        return core_tables() != nullptr;
    }

    int render_full(QN_PRO_ENGINE& e, ViewRecord& v)
    {
        update_outline(e, v);
        const CoreTables* t = core_tables();
        CoordinateMap* map = t ? map_begin_write(v) : nullptr;
        if (!map) return 2;
        int32_t* entry = map->entries.data();
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x, entry += 2) map_entry(e, *t, x, y, entry);
        map_end_write(v, map);
        return 0;
    }

    // One coarse-to-fine pass over blocks of `block` pixels; every pass
    // leaves a complete map.
    int render_pass(QN_PRO_ENGINE& e, ViewRecord& v, int block, const int (*offsets)[2], int passes)
    {
        update_outline(e, v);
        if (passes_ < 0 || passes_ >= passes) passes_ = 0;
        const CoreTables* t = core_tables();
        CoordinateMap* map = t ? map_begin_write(v) : nullptr;
        if (!map) return 2;
        const int ox = offsets[passes_][0], oy = offsets[passes_][1];
        const int w = v.width, h = v.height;
        // The first pass fills whole blocks; later ones refine them.
        const int fill_w = passes_ == 0 ? block : ((ox % 2 == 0) ? 2 : 1);
        const int fill_h = passes_ == 0 ? block : ((oy % 2 == 0) ? 2 : 1);
        int32_t* entries = map->entries.data();
        for (int by = 0; by < h; by += block) {
            const int y = by + oy;
            if (y >= h) continue;
            for (int bx = 0; bx < w; bx += block) {
                const int x = bx + ox;
                if (x >= w) continue;
                int32_t value[2];
                map_entry(e, *t, x, y, value);
                for (int fy = 0; fy < fill_h && y + fy < h; ++fy) {
                    int32_t* row = entries + (size_t(y + fy) * w + x) * 2;
                    for (int fx = 0; fx < fill_w && x + fx < w; ++fx) {
                        row[2 * fx] = value[0];
                        row[2 * fx + 1] = value[1];
                    }
                }
            }
        }
        map_end_write(v, map);
        if (++passes_ >= passes) v.dirty = false;
        return 0;
    }

    void update_outline(const QN_PRO_ENGINE& e, ViewRecord& v)
    {
        const CoreTables* t = core_tables();
        if (!t || !prepare(e, v)) return;
        for (int i = 0; i < Outline::kPoints; ++i) {
            float fx, fy;
            border_fraction(i, fx, fy);
            const int x = static_cast<int>((v.width - 1) * fx), y = static_cast<int>((v.height - 1) * fy);
            int64_t ex = 0, ey = 0;
            if (!entry_of(e, *t, x, y, ex, ey)) {
                ex = rnd(e.ref_x * 128.0);
                ey = rnd(e.ref_y * 128.0);
            }
            v.outline.x[i] = static_cast<int32_t>(std::clamp<int64_t>(ex * 8, INT32_MIN, INT32_MAX));
            v.outline.y[i] = static_cast<int32_t>(std::clamp<int64_t>(ey * 8, INT32_MIN, INT32_MAX));
            const double view[3] = {double(v.centre_x - x), double(y - v.centre_y), focal_};
            double w[3];
            multiply(R_, view, w);
            const Angles world = direction_to_angles(w[0], w[1], w[2]);
            v.outline.azimuth[i] = world.azimuth;
            v.outline.elevation[i] = world.elevation;
        }
        v.outline.valid = true;
        v.outline.has_directions = true;
    }

    int fov_ = 90;
    int side_ = 0;
    float pan_ = 0, tilt_ = 0, zoom_ = 1;
    float R_[9] = {}, K_[9] = {};
    int32_t K_fixed_[9] = {};
    float focal_ = 1;
    int32_t focal_fixed_ = 1;
    int passes_ = 0;
    // Set before each map build.
    const int32_t* projection_ = nullptr;
    int v_cx_ = 0, v_cy_ = 0;
};

}  // namespace

std::unique_ptr<ViewKind> make_dptz_view() { return std::make_unique<DptzView>(); }

}  // namespace qn_dewarp
