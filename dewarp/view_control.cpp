// Pointing into views: angles of view points, mouse control and aimers.
#include <algorithm>
#include <mutex>

#include "engine.h"
#include "fixed_point.h"
#include "qn_dewarp.h"
#include "view_kind.h"

using namespace qn_dewarp;

namespace {

constexpr float kCompanionZoomStep = 0.5f;
constexpr float kCompanionZoomMin = 1.5f;
constexpr float kCompanionZoomMax = 4.0f;

// The aimer's s x s rectangle on even coordinates, kept inside the view.
void place_companion_rectangle(ViewRecord& v, int side)
{
    auto span = [side](float centre, int extent, int& lo, int& hi) {
        lo = rnd(centre - side / 2.0) & ~1;
        hi = rnd(centre + side / 2.0) & ~1;
        if (lo < 0) {
            lo = 0;
            hi = side;
        } else if (hi > extent) {
            hi = extent & ~1;
            lo = hi - side;
        }
    };
    span(v.aimer.x, v.width, v.aimer.left, v.aimer.right);
    span(v.aimer.y, v.height, v.aimer.top, v.aimer.bottom);
}

}  // namespace

extern "C" {

int qn_pro_GetDstAngle(QN_PRO_ENGINE* engine, int n, const QN_PRO_POINT* point, QN_PRO_POINT* source)
{
    if (!engine || !point || !source) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    ViewRecord* v = engine->view(n);
    if (!v) return QN_PRO_ERR_ARGUMENT;
    AngleOutputs out;
    out.source = source;
    return v->kind_state->angle(*engine, *v, *point, out);
}

int qn_pro_ControlByDst(QN_PRO_ENGINE* engine, int n, const QN_PRO_POINT* point, int wheel, int press, int mode)
{
    if (!engine || (!point && wheel == 0)) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    ViewRecord* v = engine->view(n);
    if (!v) return QN_PRO_ERR_ARGUMENT;
    const int record = 2 * n;
    if (press || engine->selected_linked < 0 || engine->last_controlled != record) {
        if (!point) return QN_PRO_ERR_ARGUMENT;
        const int result = v->kind_state->control_step(*engine, *v, record, point, mode);
        if (result != 0) return result;
    }
    engine->last_controlled = record;
    const int linked = engine->selected_linked;
    if (linked < 0 || linked >= static_cast<int>(engine->records.size()) || linked == record) return QN_PRO_OK;

    QN_PRO_POINT mapped{};
    Angles direction{};
    bool have_point = false;
    if (point) {
        have_point = v->kind_state->point_to_source(*engine, *v, *point, &mapped, &direction) == 0;
        if (!have_point && wheel == 0) return QN_PRO_OK;
    }
    ViewRecord& target = *engine->records[linked];
    QN_PRO_DST_POSI posi{};
    if (!target.kind_state->follow(*engine, target, have_point ? &mapped : nullptr,
                                   have_point ? &direction : nullptr, wheel, posi))
        return QN_PRO_ERR_ARGUMENT;
    const int result = target.kind_state->position(*engine, target, posi);
    if (result == 0) {
        target.last_position = posi;
        if (engine->triple_buffer) target.kind_state->update(*engine, target, false);
    }
    return result;
}

int qn_pro_SetDstAimerByNo(QN_PRO_ENGINE* engine, const QN_PRO_POINT* point, int n, int on, int wheel)
{
    if (!engine) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    ViewRecord* v = engine->view(n);
    if (!v) return QN_PRO_ERR_ARGUMENT;
    if (!on) {
        v->aimer.on = false;
        return QN_PRO_OK;
    }
    if (v->companion != CompanionState::Active) return QN_PRO_ERR_UNSUPPORTED;
    if (point && point->ref_width > 0 && point->ref_height > 0) {
        v->aimer.on = true;
        v->aimer.x = static_cast<float>(double(v->width) * point->x / point->ref_width);
        v->aimer.y = static_cast<float>(double(point->y) * v->height / point->ref_height);
        place_companion_rectangle(*v, engine->records[2 * n + 1]->width);
    }
    if (wheel > 0) v->companion_zoom = std::min(v->companion_zoom + kCompanionZoomStep, kCompanionZoomMax);
    if (wheel < 0) v->companion_zoom = std::max(v->companion_zoom - kCompanionZoomStep, kCompanionZoomMin);
    v->aimer.changed = true;
    return QN_PRO_OK;
}

}  // extern "C"
