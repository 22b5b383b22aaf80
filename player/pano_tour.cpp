#include "pano_tour.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kDegreesPerMs = 0.009;  // x speed
constexpr double kZoomPerMs = 0.001;     // x speed
constexpr double kStretchPerMs = 0.02;   // x speed
constexpr double kCentreScale = 10000.0; // zoom centres move on this scale, speed units per ms

double Wrap360(double a)
{
    a = std::fmod(a, 360.0);
    return a < 0 ? a + 360.0 : a;
}

// Moves towards the target by at most `step`; reached tells whether it got there.
double Approach(double from, double to, double step, bool& reached)
{
    if (std::fabs(to - from) <= step) return to;
    reached = false;
    return from + (to > from ? step : -step);
}

// The short way round, wrapped to 0..360.
double ApproachAngle(double from, double to, double step, bool& reached)
{
    double d = Wrap360(to - from);
    if (d > 180) d -= 360;
    if (std::fabs(d) <= step) return Wrap360(to);
    reached = false;
    return Wrap360(from + (d > 0 ? step : -step));
}

float GetF(const QN_PRO_DST_POSI& p, int word)
{
    float v;
    std::memcpy(&v, &p.words[word], sizeof v);
    return v;
}

void SetF(QN_PRO_DST_POSI& p, int word, double v)
{
    const float f = static_cast<float>(v);
    std::memcpy(&p.words[word], &f, sizeof f);
}

// A zoom centre (x, y floats in words xw, xw + 1, in a frame whose size is in
// words fw, fw + 1) moved along the straight line on the 10,000 scale.
void ApproachCentre(const QN_PRO_DST_POSI& from, const QN_PRO_DST_POSI& to, QN_PRO_DST_POSI& out, int xw, int fw,
                    double step, bool& reached)
{
    const double sx = to.words[fw] > 0 ? kCentreScale / to.words[fw] : 1.0;
    const double sy = to.words[fw + 1] > 0 ? kCentreScale / to.words[fw + 1] : 1.0;
    const double x0 = GetF(from, xw) * sx, y0 = GetF(from, xw + 1) * sy;
    const double x1 = GetF(to, xw) * sx, y1 = GetF(to, xw + 1) * sy;
    const double length = std::hypot(x1 - x0, y1 - y0);
    if (length <= step) return;
    reached = false;
    const double f = step / length;
    SetF(out, xw, (x0 + (x1 - x0) * f) / sx);
    SetF(out, xw + 1, (y0 + (y1 - y0) * f) / sy);
}

// The position `elapsed` ms into a move; reached when every part arrived.
QN_PRO_DST_POSI Interpolate(int kind, const QN_PRO_DST_POSI& from, const QN_PRO_DST_POSI& to, int speed,
                            int64_t elapsed, bool& reached)
{
    reached = true;
    QN_PRO_DST_POSI out = to;
    const double degrees = speed * kDegreesPerMs * elapsed;
    const double zoom = speed * kZoomPerMs * elapsed;
    switch (kind) {
    case QN_PRO_DST_ORIGINAL:
        out.original.rotation = static_cast<int32_t>(
            std::lround(ApproachAngle(from.original.rotation, to.original.rotation, degrees, reached)));
        break;
    case QN_PRO_DST_ZOOM:
        out.zoom.exponent = float(Approach(from.zoom.exponent, to.zoom.exponent, zoom, reached));
        ApproachCentre(from, to, out, 2, 4, double(speed) * elapsed, reached);
        break;
    case QN_PRO_DST_ROTATE_ZOOM:
        out.rotate_zoom.exponent = float(Approach(from.rotate_zoom.exponent, to.rotate_zoom.exponent, zoom, reached));
        ApproachCentre(from, to, out, 1, 3, double(speed) * elapsed, reached);
        break;
    case QN_PRO_DST_PANORAMA:
        out.panorama.pan = float(ApproachAngle(from.panorama.pan, to.panorama.pan, degrees, reached));
        break;
    case QN_PRO_DST_DPTZ:
        out.dptz.pan = float(ApproachAngle(from.dptz.pan, to.dptz.pan, degrees, reached));
        out.dptz.tilt = float(Approach(from.dptz.tilt, to.dptz.tilt, degrees, reached));
        out.dptz.zoom = float(Approach(from.dptz.zoom, to.dptz.zoom, zoom, reached));
        break;
    case QN_PRO_DST_STRETCH: {
        const double step = speed * kStretchPerMs * elapsed;
        out.stretch.zoom = int32_t(std::lround(Approach(from.stretch.zoom, to.stretch.zoom, step, reached)));
        out.stretch.x = int32_t(std::lround(Approach(from.stretch.x, to.stretch.x, step, reached)));
        out.stretch.y = int32_t(std::lround(Approach(from.stretch.y, to.stretch.y, step, reached)));
        break;
    }
    default:
        break;
    }
    return out;
}

}  // namespace

void QnTourLoad(QnTourState& tour, const QnViewPresets& presets, int64_t nowMs)
{
    tour = QnTourState{};
    tour.count = std::clamp(presets.count, 0, int32_t(QN_LAYOUT_MAX_PRESETS));
    tour.home = presets.home;
    for (int i = 0; i < tour.count; ++i) {
        tour.presets[i] = presets.positions[i];
        tour.dwell_seconds[i] = presets.dwell_seconds[i];
        tour.speed[i] = presets.speed[i];
    }
    tour.start_ms = nowMs;
}

void QnTourSwitch(QnTourState& tour, bool on, int64_t nowMs)
{
    tour.enabled = on ? 1 : 0;
    tour.dwelling = 0;
    tour.start_ms = nowMs;
    if (on) {
        tour.current = -1;
        tour.position = tour.home;
        tour.from = tour.home;
    }
}

bool QnTourStep(QnTourState& tour, int kind, int64_t nowMs)
{
    if (!tour.enabled || tour.count <= 0) return false;
    int64_t elapsed = nowMs - tour.start_ms;
    if (elapsed < 0) {
        tour.start_ms = nowMs;
        elapsed = 0;
    }
    if (tour.dwelling) {
        if (elapsed < int64_t(tour.dwell_seconds[tour.current]) * 1000) return false;
        tour.dwelling = 0;
        tour.start_ms = nowMs;
        tour.from = tour.position;
        return false;
    }
    if (tour.count == 1 && tour.current == 0) return false;
    const int next = tour.current + 1 < tour.count ? tour.current + 1 : -1;
    const QN_PRO_DST_POSI& target = next >= 0 ? tour.presets[next] : tour.home;
    const int speed = tour.speed[next >= 0 ? next : tour.count - 1];
    bool reached = false;
    tour.position = Interpolate(kind, tour.from, target, speed, elapsed, reached);
    if (reached) {
        tour.current = next;
        tour.dwelling = next >= 0 ? 1 : 0;
        tour.start_ms = nowMs;
        tour.from = tour.position;
    }
    return true;
}
