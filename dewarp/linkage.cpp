// Linkage values: where a region or spot of a view lies and how wide it is,
// for steering a PTZ camera to it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "engine.h"
#include "fixed_point.h"
#include "qn_dewarp.h"
#include "view_kind.h"

using namespace qn_dewarp;

namespace {

// The short way round: 1 against 359 is 2 degrees.
double wrapped_difference(double a, double b)
{
    double d = std::fmod(a - b, 360.0);
    if (d > 180) d -= 360;
    if (d < -180) d += 360;
    return d;
}

// Packs the spans (degrees) into 0x40000000 | E << 15 | A, each a 15-bit
// count of hundredths of a degree held to its field.
uint32_t pack_spans(double horizontal_half, double vertical_half)
{
    const int64_t a = std::min<int64_t>(rnd64(2 * horizontal_half * 100), 0x7fff);
    const int64_t e = std::min<int64_t>(rnd64(2 * vertical_half * 100), 0x7fff);
    return 0x40000000u | (static_cast<uint32_t>(e << 15) & 0x3fffffffu) | static_cast<uint32_t>(a & 0x7fff);
}

void store_packed(float* packed, uint32_t word) { std::memcpy(packed, &word, sizeof word); }

// Angles the centre and the probes, and packs the spread of the probes.
int linkage(QN_PRO_ENGINE& e, int n, QN_PRO_POINT centre, const QN_PRO_POINT (&probes)[4], QN_PRO_POINT* out,
            float* packed)
{
    ViewRecord* v = e.view(n);
    if (!v) return QN_PRO_ERR_ARGUMENT;
    QN_PRO_POINT source{};
    Angles middle{};
    AngleOutputs first;
    first.source = &source;
    first.linkage = &middle;
    const int result = v->kind_state->angle(e, *v, centre, first);
    if (result != 0) {
        store_packed(packed, 0);
        return result;
    }
    *out = source;
    double horizontal = 0, vertical = 0;
    for (const QN_PRO_POINT& probe : probes) {
        Angles a{};
        AngleOutputs outputs;
        outputs.linkage = &a;
        if (v->kind_state->angle(e, *v, probe, outputs) != 0) continue;
        horizontal = std::max(horizontal, std::fabs(wrapped_difference(a.azimuth, middle.azimuth)));
        vertical = std::max(vertical, std::fabs(wrapped_difference(a.elevation, middle.elevation)));
    }
    store_packed(packed, pack_spans(horizontal, vertical));
    return 0;
}

}  // namespace

extern "C" {

int qn_pro_GetPara_For_Linkcus_R(QN_PRO_ENGINE* engine, int n, const int32_t* region, const int32_t* reference,
                                 QN_PRO_POINT* out, float* packed)
{
    if (!engine || !region || !reference || !out || !packed) return QN_PRO_ERR_ARGUMENT;
    const int32_t w = reference[0], h = reference[1];
    const QN_PRO_POINT centre{(region[0] + region[2]) / 2.0f, (region[1] + region[3]) / 2.0f, w, h};
    const QN_PRO_POINT corners[4] = {{float(region[0]), float(region[1]), w, h},
                                     {float(region[2]), float(region[1]), w, h},
                                     {float(region[0]), float(region[3]), w, h},
                                     {float(region[2]), float(region[3]), w, h}};
    std::lock_guard guard(engine->lock);
    return linkage(*engine, n, centre, corners, out, packed);
}

int qn_pro_GetPara_For_Linkcus_C(QN_PRO_ENGINE* engine, int n, const QN_PRO_POINT* spot, int32_t area,
                                 QN_PRO_POINT* out, float* packed)
{
    if (!engine || !spot || !out || !packed) return QN_PRO_ERR_ARGUMENT;
    const float c = area > 0 ? static_cast<float>(std::sqrt(area / kPi)) : 0.0f;
    const QN_PRO_POINT probes[4] = {{spot->x - c, spot->y, spot->ref_width, spot->ref_height},
                                    {spot->x + c, spot->y, spot->ref_width, spot->ref_height},
                                    {spot->x, spot->y - c, spot->ref_width, spot->ref_height},
                                    {spot->x, spot->y + c, spot->ref_width, spot->ref_height}};
    std::lock_guard guard(engine->lock);
    return linkage(*engine, n, *spot, probes, out, packed);
}

}  // extern "C"
