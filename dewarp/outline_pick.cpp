#include "outline_pick.h"

#include <algorithm>
#include <cmath>

#include "drawing.h"
#include "fixed_point.h"
#include "geometry.h"

namespace qn_dewarp {

namespace {

constexpr double kMarkerHalf = 3 * kDefaultFrameWidth + 3;

void centroid(const double* px, const double* py, double& cx, double& cy)
{
    cx = cy = 0;
    for (int i = 0; i < Outline::kPoints; ++i) {
        cx += px[i] / Outline::kPoints;
        cy += py[i] / Outline::kPoints;
    }
}

}  // namespace

void draw_outline(ViewRecord& view, const ViewRecord& other, const OutlineProjection& project, int border_width)
{
    double px[Outline::kPoints], py[Outline::kPoints];
    project(other, px, py);
    const Colour c = other.effect.colour;
    const uint32_t rgb = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    if (view.marker) {
        double cx, cy;
        centroid(px, py, cx, cy);
        draw_rectangle(view.screen, rnd_checked(cx - kMarkerHalf, -1), rnd_checked(cy - kMarkerHalf, -1),
                       rnd_checked(cx + kMarkerHalf, -1), rnd_checked(cy + kMarkerHalf, -1), rgb);
        return;
    }
    const int pen = border_width > 0 ? (border_width + 1) & ~1 : kDefaultFrameWidth;
    int x[Outline::kPoints], y[Outline::kPoints];
    for (int i = 0; i < Outline::kPoints; ++i) {
        // Far-off points are held at a distance the line clipper handles.
        x[i] = rnd_checked(std::fmax(std::fmin(px[i], 1e7), -1e7), 0);
        y[i] = rnd_checked(std::fmax(std::fmin(py[i], 1e7), -1e7), 0);
    }
    for (int i = 0; i < Outline::kPoints; ++i) {
        const int j = (i + 1) % Outline::kPoints;
        draw_line(view.screen, x[i], y[i], x[j], y[j], pen, rgb);
    }
}

void LinkedViewChoice::offer(int record, double distance, double secondary)
{
    if (record_ < 0 || distance < distance_ - 5 ||
        (std::fabs(distance - distance_) < 0.0001 && secondary < secondary_)) {
        record_ = record;
        distance_ = distance;
        secondary_ = secondary;
    }
}

int LinkedViewChoice::commit(QN_PRO_ENGINE& engine) const
{
    engine.selected_linked = record_;
    return record_ < 0 ? 3 : 0;
}

int pick_linked_view(QN_PRO_ENGINE& e, const ViewRecord& view, int record, double x, double y, int mode,
                     bool accept_stretch, const OutlineProjection& project)
{
    LinkedViewChoice choice;
    for (int r = 0; r < static_cast<int>(e.records.size()); r += 2) {
        const ViewRecord& other = *e.records[r];
        if (r == record || !other.outline.valid || other.deleting) continue;
        if (other.kind == QN_PRO_DST_STRETCH && !accept_stretch) continue;
        double px[Outline::kPoints], py[Outline::kPoints];
        project(other, px, py);
        for (int i = 0; i < Outline::kPoints; ++i) {
            px[i] = std::clamp(rnd_checked(px[i], px[i] < 0 ? 0 : view.width), 0, view.width);
            py[i] = std::clamp(rnd_checked(py[i], py[i] < 0 ? 0 : view.height), 0, view.height);
        }
        PolygonMeasure m;
        if (view.marker) {
            double cx, cy;
            centroid(px, py, cx, cy);
            const double sx[4] = {cx - kMarkerHalf, cx + kMarkerHalf, cx + kMarkerHalf, cx - kMarkerHalf};
            const double sy[4] = {cy - kMarkerHalf, cy - kMarkerHalf, cy + kMarkerHalf, cy + kMarkerHalf};
            m = measure_point_to_polygon(x, y, sx, sy, 4);
        } else {
            m = measure_point_to_polygon(x, y, px, py, Outline::kPoints);
        }
        if (m.value < 0 || (mode == 0 && m.value > 0.5)) continue;
        choice.offer(r, m.value, m.secondary);
    }
    return choice.commit(e);
}

}  // namespace qn_dewarp
