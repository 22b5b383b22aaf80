// The view table: adding, deleting, listing, styling and positioning views.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "drawing.h"
#include "engine.h"
#include "engine_internal.h"
#include "fixed_point.h"
#include "map_slots.h"
#include "picture.h"
#include "qn_dewarp.h"
#include "view_colours.h"
#include "view_kind.h"

using namespace qn_dewarp;

namespace qn_dewarp {

ViewRecord::~ViewRecord() { picture_release(&allocated); }

namespace {

constexpr int kMinCompanionView = 200;

bool known_kind(int kind) { return kind >= QN_PRO_DST_ORIGINAL && kind <= QN_PRO_DST_STRETCH; }

bool renderable_format(int format) { return format == VM_FMT_YUV420 || format == VM_FMT_YVU420; }

void fill_info(QN_PRO_DST_INFO& info, const ViewRecord& v)
{
    info = QN_PRO_DST_INFO{};
    info.id = v.id;
    info.screen = v.screen;
    info.blend = v.effect.blend;
    std::memcpy(info.state, v.state, sizeof info.state);
}

void apply_effect(QN_PRO_ENGINE& e, int n, const QN_PRO_DST_EFFECT& fx)
{
    ViewRecord& v = *e.records[2 * n];
    v.effect.border = fx.border != 0;
    v.effect.show_on_others = fx.show_on_others != 0;
    v.effect.dark_clear = fx.dark_clear != 0;
    v.effect.border_width = fx.border_width;
    v.effect.blend = fx.blend;
    v.effect.remap_mode = fx.remap_mode;
    v.effect.accept_outlines = fx.accept_outlines != 0;
    v.effect.outline_style = fx.outline_style;
    e.infos[2 * n].blend = fx.blend;
    e.records[2 * n + 1]->effect.remap_mode = fx.remap_mode;
    const Colour given{fx.color_b, fx.color_g, fx.color_r};
    const Colour& current = v.effect.colour;
    if (!given.is_zero() && (given.b != current.b || given.g != current.g || given.r != current.r)) {
        v.effect.colour = given;
        v.auto_colour = false;
    }
}

void read_effect(const ViewRecord& v, QN_PRO_DST_EFFECT& fx)
{
    fx = QN_PRO_DST_EFFECT{};
    fx.border = v.effect.border;
    fx.show_on_others = v.effect.show_on_others;
    fx.dark_clear = v.effect.dark_clear;
    fx.color_b = v.effect.colour.b;
    fx.color_g = v.effect.colour.g;
    fx.color_r = v.effect.colour.r;
    fx.border_width = v.effect.border_width;
    fx.blend = v.effect.blend;
    fx.remap_mode = static_cast<int8_t>(clamp_int(v.effect.remap_mode, 0, 127));
    fx.accept_outlines = v.effect.accept_outlines;
    fx.outline_style = v.effect.outline_style;
}

// With the triple-buffer flag maps are built in the calling thread.
void build_now_if_buffered(QN_PRO_ENGINE& e, ViewRecord& v)
{
    if (e.triple_buffer && v.dirty) v.kind_state->update(e, v, false);
}

int set_position(QN_PRO_ENGINE& e, int n, QN_PRO_DST_POSI& posi)
{
    ViewRecord& v = *e.records[2 * n];
    const int result = v.kind_state->position(e, v, posi);
    if (result == 0) {
        v.last_position = posi;
        build_now_if_buffered(e, v);
        if (v.aimer.on) v.aimer.changed = true;
        std::memcpy(e.infos[2 * n].state, v.state, sizeof v.state);
    }
    return result;
}

int change_position(QN_PRO_ENGINE& e, int n, const QN_PRO_DST_POSI& delta)
{
    ViewRecord& v = *e.records[2 * n];
    QN_PRO_DST_POSI posi{};
    v.kind_state->current_position(e, v, posi);
    v.kind_state->change_position(e, posi, delta);
    return set_position(e, n, posi);
}

void refresh_auto_colours(QN_PRO_ENGINE& e)
{
    for (int n = 0; n < e.views(); ++n) {
        ViewRecord& v = *e.records[2 * n];
        if (v.auto_colour) colour_of_view_number(n, v.effect.colour);
    }
}

// The square companion that follows the aimer of a view; inactive for views
// too small to hold one.
int set_up_companion(QN_PRO_ENGINE& e, ViewRecord& v, ViewRecord& c)
{
    v.companion = CompanionState::Inactive;
    if (v.width < kMinCompanionView) return 0;
    const int by_shape = rnd(std::max<double>(rnd(v.width / 3.5), v.height / 3.5));
    const int side = std::min({v.width / 2, v.height / 2, by_shape}) & ~1;
    if (side < 2) return 0;
    if (picture_allocate(&c.allocated, side, side, v.screen.format) != 0) return QN_PRO_ERR_MEMORY;
    c.screen = *c.allocated;
    c.id = v.id;
    c.kind = v.kind;
    c.width = c.height = side;
    c.centre_x = c.centre_y = side / 2;
    c.content_right = c.content_bottom = side;
    c.effect.remap_mode = v.effect.remap_mode;
    c.kind_state = v.kind_state->make_companion();
    if (!c.kind_state || !maps_allocate(c, e.triple_buffer)) return QN_PRO_ERR_MEMORY;
    v.companion = CompanionState::Active;
    return 0;
}

int add_view(QN_PRO_ENGINE& e, const QN_PRO_DST_CONFIG& config, _vm_screen** allocated_out)
{
    const int n = e.views();
    if (2 * n >= kMaxRecords) return QN_PRO_ERR_MEMORY;
    std::unique_ptr<ViewRecord> view(new (std::nothrow) ViewRecord);
    std::unique_ptr<ViewRecord> companion(new (std::nothrow) ViewRecord);
    if (!view || !companion) return QN_PRO_ERR_MEMORY;
    ViewRecord& v = *view;
    v.kind_state = make_view_kind(config.kind);
    if (!v.kind_state) return QN_PRO_ERR_UNSUPPORTED;
    const _vm_screen& given = config.screen;
    if (picture_is_complete(&given)) {
        v.screen = given;
    } else {
        const int r = picture_allocate(&v.allocated, given.width, given.height, given.format);
        if (r != 0) return r == 4 ? QN_PRO_ERR_MEMORY : QN_PRO_ERR_ARGUMENT;
        v.screen = *v.allocated;
    }
    v.id = config.id;
    v.kind = config.kind;
    v.width = given.width;
    v.height = given.height;
    v.centre_x = v.width / 2;
    v.centre_y = v.height / 2;
    v.content_right = v.width;
    v.content_bottom = v.height;
    if (Colour{config.effect.color_b, config.effect.color_g, config.effect.color_r}.is_zero())
        v.auto_colour = colour_of_view_number(n, v.effect.colour);
    v.effect.remap_mode = config.effect.remap_mode;
    v.effect.blend = config.effect.blend;
    v.config = config;
    v.last_position = config.posi;
    if (!maps_allocate(v, e.triple_buffer)) return QN_PRO_ERR_MEMORY;
    const int added = v.kind_state->add(e, v, config);
    if (added != 0) return added;
    const int companion_result = set_up_companion(e, v, *companion);
    if (companion_result != 0) return companion_result;
    try {
        e.records.reserve(std::min<size_t>((e.records.size() + 4) & ~size_t{3}, kMaxRecords));
        e.infos.reserve(e.records.capacity());
        e.records.push_back(std::move(view));
        e.records.push_back(std::move(companion));
        e.infos.emplace_back();
        e.infos.emplace_back();
    } catch (const std::bad_alloc&) {
        e.records.resize(2 * n);
        e.infos.resize(2 * n);
        return QN_PRO_ERR_ALLOCATION;
    }
    fill_info(e.infos[2 * n], *e.records[2 * n]);
    fill_info(e.infos[2 * n + 1], *e.records[2 * n + 1]);
    e.selected_linked = e.last_controlled = -1;
    apply_effect(e, n, config.effect);
    build_now_if_buffered(e, *e.records[2 * n]);
    if (allocated_out) *allocated_out = e.records[2 * n]->allocated;
    return QN_PRO_OK;
}

template <typename F>
int for_each_with_id(QN_PRO_ENGINE& e, int id, F&& f)
{
    for (int n = 0; n < e.views(); ++n)
        if (e.records[2 * n]->id == id) f(n);
    return QN_PRO_OK;
}

}  // namespace

void delete_view(QN_PRO_ENGINE& e, int n)
{
    ViewRecord& v = *e.records[2 * n];
    v.deleting = true;
    fill_planar(v.screen, 128);
    e.records.erase(e.records.begin() + 2 * n, e.records.begin() + 2 * n + 2);
    e.infos.erase(e.infos.begin() + 2 * n, e.infos.begin() + 2 * n + 2);
    refresh_auto_colours(e);
    e.selected_linked = e.last_controlled = -1;
}

}  // namespace qn_dewarp

extern "C" {

int qn_pro_AddDstImage(QN_PRO_ENGINE* engine, const QN_PRO_DST_CONFIG* config, _vm_screen** allocated)
{
    if (!engine || !config) return QN_PRO_ERR_ARGUMENT;
    if (!known_kind(config->kind)) return QN_PRO_ERR_UNSUPPORTED;
    // Views are rendered in 2 x 2 blocks: a view needs at least one block.
    if (config->screen.width < 2 || config->screen.height < 2) return QN_PRO_ERR_ARGUMENT;
    if (!renderable_format(config->screen.format)) return QN_PRO_ERR_UNSUPPORTED;
    std::lock_guard guard(engine->lock);
    if (config->kind == QN_PRO_DST_PANORAMA && engine->mount_angle != 90 && engine->mount_angle != -90 &&
        !engine_has_wide_lens(*engine))
        return QN_PRO_ERR_UNSUPPORTED;
    return add_view(*engine, *config, allocated);
}

int qn_pro_DelDstImage(QN_PRO_ENGINE* engine, int n)
{
    if (!engine) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    if (engine->view(n)) delete_view(*engine, n);
    return QN_PRO_OK;
}

int qn_pro_GetDstList(QN_PRO_ENGINE* engine, QN_PRO_DST_INFO** table, int* views)
{
    if (!engine || !table || !views) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    *table = engine->infos.empty() ? nullptr : engine->infos.data();
    *views = engine->views();
    return QN_PRO_OK;
}

int qn_pro_SetDstEffectNo(QN_PRO_ENGINE* engine, const QN_PRO_DST_EFFECT* effect, int n)
{
    if (!engine || !effect) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    if (!engine->view(n)) return QN_PRO_ERR_ARGUMENT;
    apply_effect(*engine, n, *effect);
    return QN_PRO_OK;
}

int qn_pro_GetDstEffectNo(QN_PRO_ENGINE* engine, QN_PRO_DST_EFFECT* effect, int n)
{
    if (!engine || !effect) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    const ViewRecord* v = engine->view(n);
    if (!v) return QN_PRO_ERR_ARGUMENT;
    read_effect(*v, *effect);
    return QN_PRO_OK;
}

int qn_pro_SetDstEffectID(QN_PRO_ENGINE* engine, const QN_PRO_DST_EFFECT* effect, int id)
{
    if (!engine || !effect) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    return for_each_with_id(*engine, id, [&](int n) { apply_effect(*engine, n, *effect); });
}

int qn_pro_GetDstEffectID(QN_PRO_ENGINE* engine, QN_PRO_DST_EFFECT* effect, int id)
{
    if (!engine || !effect) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    bool found = false;
    for_each_with_id(*engine, id, [&](int n) {
        read_effect(*engine->records[2 * n], *effect);
        found = true;
    });
    return found ? QN_PRO_OK : QN_PRO_ERR_ARGUMENT;
}

int qn_pro_SetDstPosiByNo(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posi, int n)
{
    if (!engine || !posi) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    if (!engine->view(n)) return QN_PRO_ERR_ARGUMENT;
    return set_position(*engine, n, *posi);
}

int qn_pro_SetDstPosiByID(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posi, int id)
{
    if (!engine || !posi) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    return for_each_with_id(*engine, id, [&](int n) {
        QN_PRO_DST_POSI copy = *posi;
        set_position(*engine, n, copy);
    });
}

int qn_pro_ChangeDstPosiByNo(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* delta, int n)
{
    if (!engine || !delta) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    if (!engine->view(n)) return QN_PRO_ERR_ARGUMENT;
    return change_position(*engine, n, *delta);
}

int qn_pro_ChangeDstPosiByID(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* delta, int id)
{
    if (!engine || !delta) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    return for_each_with_id(*engine, id, [&](int n) { change_position(*engine, n, *delta); });
}

int qn_pro_GetDstPosi(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posi, int n)
{
    if (!engine || !posi) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    const ViewRecord* v = engine->view(n);
    if (!v) return QN_PRO_ERR_ARGUMENT;
    v->kind_state->current_position(*engine, *v, *posi);
    return QN_PRO_OK;
}

int qn_pro_GetDstPosiAll(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posis, int capacity, int* count)
{
    if (!engine || !posis || !count) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    const int n = std::clamp(capacity, 0, engine->views());
    for (int i = 0; i < n; ++i) {
        const ViewRecord& v = *engine->records[2 * i];
        v.kind_state->current_position(*engine, v, posis[i]);
    }
    *count = n;
    return QN_PRO_OK;
}

static void current_config(QN_PRO_ENGINE& e, int n, QN_PRO_DST_CONFIG& config)
{
    const ViewRecord& v = *e.records[2 * n];
    config = v.config;
    v.kind_state->current_position(e, v, config.posi);
    read_effect(v, config.effect);
}

int qn_pro_GetDstConfigAll(QN_PRO_ENGINE* engine, QN_PRO_DST_CONFIG* configs, int capacity, int* count)
{
    if (!engine || !configs || !count) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    const int n = std::clamp(capacity, 0, engine->views());
    for (int i = 0; i < n; ++i) current_config(*engine, i, configs[i]);
    *count = n;
    return QN_PRO_OK;
}

int qn_pro_GetDstConfig(QN_PRO_ENGINE* engine, QN_PRO_DST_CONFIG* config, int n)
{
    if (!engine || !config) return QN_PRO_ERR_ARGUMENT;
    std::lock_guard guard(engine->lock);
    if (!engine->view(n)) return QN_PRO_ERR_ARGUMENT;
    current_config(*engine, n, *config);
    return QN_PRO_OK;
}

}  // extern "C"
