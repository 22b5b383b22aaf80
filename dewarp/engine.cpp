// Creation, warm-up and destruction of engines.
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>

#include "coordinate_model.h"
#include "engine.h"
#include "engine_internal.h"
#include "geometry.h"
#include "lens_model.h"
#include "picture.h"
#include "render_pool.h"
#include "qn_dewarp.h"
#include "tables.h"

using namespace qn_dewarp;

namespace {

int clamp_mount(int mount)
{
    if (mount >= 90) return 90;
    if (mount < -89) return -90;
    return mount;
}

void set_mount(QN_PRO_ENGINE& e, int mount)
{
    e.mount_angle = clamp_mount(mount);
    mount_matrix(e.mount_angle, e.mount);
    double a[9], inverse[9];
    for (int i = 0; i < 9; ++i) a[i] = e.mount[i];
    gauss_jordan_solve(a, nullptr, inverse, 3, 3);
    for (int i = 0; i < 9; ++i) e.mount_inverse[i] = static_cast<float>(inverse[i]);
}

bool all_positive(float x, float y, float r) { return x > 0 && y > 0 && r > 0; }

// Packed code of a preset lens type: 2048 x 1536, family and variant.
uint64_t preset_code(int family, int variant)
{
    return 0x400641ull | uint64_t(family) << 36 | uint64_t(variant) << 39;
}

float model_radius_of_ray(const void* model, int height, int planar)
{
    const auto* m = static_cast<const QN_COORDINATE_EX01*>(model);
    return m->RadiusOfElevation(static_cast<float>(std::atan(double(height) / planar) * 57.29578));
}

struct SharedExTable {
    std::once_flag once;
    std::unique_ptr<int32_t[]> table;
};
SharedExTable g_ex_tables[6];

const int32_t* shared_ex_table(int family, int variant)
{
    SharedExTable& slot = g_ex_tables[family * 3 + variant];
    std::call_once(slot.once, [&slot, family, variant] {
        QN_COORDINATE_HOLDER holder;
        if (holder.Attach(preset_code(family, variant)) && holder.model())
            slot.table.reset(build_projection_table(model_radius_of_ray, holder.model()));
        holder.Release();
    });
    return slot.table.get();
}

// Lens index whose elevation limits match a preset lens type.
int lens_of_preset(int family, int variant)
{
    if (family == 0) return variant == 0 ? 0 : (variant == 1 ? 2 : 4);
    return kCustomLens;
}

void destroy(QN_PRO_ENGINE* e)
{
    {
        std::lock_guard guard(e->lock);
        while (e->views() > 0) delete_view(*e, 0);
        if (e->holder) e->holder->Release();
        for (SourceSlot& slot : e->sources) picture_release(&slot.picture);
    }
    delete e;
}

}  // namespace

namespace qn_dewarp {

bool engine_has_wide_lens(const QN_PRO_ENGINE& e)
{
    if (e.holder) {
        int family = 0;
        return e.holder->GetLensType(&family, nullptr) && family == 1;
    }
    return (e.camera_code & 0xff0) >= 0x200;
}

const int32_t* engine_projection(const QN_PRO_ENGINE& e) { return e.projection; }

}  // namespace qn_dewarp

extern "C" {

int qn_pro_CreateEngine(QN_PRO_ENGINE** engine, const QN_PRO_ENGINE_PARA* para)
{
    if (!core_tables()) return QN_PRO_ERR_ALLOCATION;
    if (!engine || !para) return QN_PRO_ERR_ARGUMENT;
    if (!all_positive(para->circle_x, para->circle_y, para->circle_r) &&
        !all_positive(para->ref_circle_x, para->ref_circle_y, para->ref_circle_r))
        return QN_PRO_ERR_ARGUMENT;
    if (para->width <= 0 || para->height <= 0) return QN_PRO_ERR_ARGUMENT;
    FrameSize frame{};
    const int lens = lens_code_of_camera(para->camera_code);
    if (lens < 0 || default_frame_size(para->camera_code, &frame) != 0) return QN_PRO_ERR_UNSUPPORTED;

    std::unique_ptr<QN_PRO_ENGINE> e(new (std::nothrow) QN_PRO_ENGINE);
    if (!e) return QN_PRO_ERR_ALLOCATION;
    e->width = para->width;
    e->height = para->height;
    e->camera_code = para->camera_code;
    e->triple_buffer = para->triple_buffer != 0;
    e->circle_x = para->circle_x;
    e->circle_y = para->circle_y;
    e->circle_r = para->circle_r;
    e->ref_width = frame.width;
    e->ref_height = frame.height;
    if (all_positive(para->ref_circle_x, para->ref_circle_y, para->ref_circle_r)) {
        e->ref_x = para->ref_circle_x;
        e->ref_y = para->ref_circle_y;
        e->ref_r = para->ref_circle_r;
    } else {
        e->ref_x = static_cast<float>(double(frame.width) * para->circle_x / para->width);
        e->ref_y = static_cast<float>(double(para->circle_y) * frame.height / para->height);
        e->ref_r = static_cast<float>(double(frame.height) * para->circle_r / para->height);
    }
    e->zoom_limit = para->zoom_limit <= 0 ? 8 : std::min(para->zoom_limit, 20);
    e->lens = lens;
    e->projection = projection_table(lens);
    if (!e->projection) return QN_PRO_ERR_MEMORY;
    try {
        e->records.reserve(4);
        e->infos.reserve(4);
    } catch (const std::bad_alloc&) {
        return QN_PRO_ERR_ALLOCATION;
    }
    e->keep_source = para->keep_source != 0;
    set_mount(*e, para->mount_angle);
    if (!colour_ring()) return QN_PRO_ERR_ALLOCATION;
    e->render_pool.reset(new (std::nothrow) RenderPool(render_thread_count()));
    if (!e->render_pool) return QN_PRO_ERR_ALLOCATION;
    *engine = e.release();
    return QN_PRO_OK;
}

int qn_pro_CreateEngineEx(QN_PRO_ENGINE** engine, const QN_PRO_ENGINE_PARA_EX* para)
{
    if (!core_tables()) return QN_PRO_ERR_ALLOCATION;
    if (!engine || !para) return QN_PRO_ERR_ARGUMENT;
    if (!all_positive(para->circle_x, para->circle_y, para->circle_r)) return QN_PRO_ERR_ARGUMENT;
    if (para->width <= 0 || para->height <= 0) return QN_PRO_ERR_ARGUMENT;
    const uint64_t code = uint64_t(para->code_high) << 32 | para->code_low;
    if (camera_code_version(code) != 1) return QN_PRO_ERR_UNSUPPORTED;

    std::unique_ptr<QN_PRO_ENGINE> e(new (std::nothrow) QN_PRO_ENGINE);
    if (!e) return QN_PRO_ERR_ALLOCATION;
    e->holder.reset(new (std::nothrow) QN_COORDINATE_HOLDER);
    if (!e->holder) return QN_PRO_ERR_ALLOCATION;
    e->code_words[0] = para->code_low;
    e->code_words[1] = para->code_high;
    e->width = para->width;
    e->height = para->height;
    e->triple_buffer = para->triple_buffer != 0;
    e->ref_x = para->circle_x;
    e->ref_y = para->circle_y;
    e->ref_r = para->circle_r;
    e->zoom_limit = para->zoom_limit < 1 ? 8 : std::min(para->zoom_limit, 20);

    const int attached = e->holder->Attach(code);
    int family = 0, variant = 0;
    camera_code_lens_type(code, &family, &variant);
    if (attached && camera_code_is_valid(code)) {
        e->lens = lens_of_preset(family, variant);
        e->projection = shared_ex_table(family, variant);
    } else {
        if (para->frame_width > 0 && para->frame_height > 0)
            e->holder->SetFrameSize(para->frame_width, para->frame_height);
        if (para->lowest_elevation < para->highest_elevation)
            e->holder->SetElevationRange(para->lowest_elevation, para->highest_elevation);
        if (para->radius_coef_count > 0) e->holder->SetRadiusCoefs(para->radius_coef_count, para->radius_coefs);
        if (para->elevation_coef_count > 0)
            e->holder->SetElevationCoefs(para->elevation_coef_count, para->elevation_coefs);
        if (!e->holder->model() || !e->holder->model()->has_lens_curve()) return QN_PRO_ERR_UNSUPPORTED;
        e->lens = kCustomLens;
        e->private_projection.reset(build_projection_table(model_radius_of_ray, e->holder->model()));
        e->projection = e->private_projection.get();
    }
    if (!e->projection) return QN_PRO_ERR_MEMORY;
    FrameSize frame{};
    if (!e->holder->GetFrameSize(&frame)) return QN_PRO_ERR_UNSUPPORTED;
    e->ref_width = frame.width;
    e->ref_height = frame.height;
    try {
        e->records.reserve(4);
        e->infos.reserve(4);
    } catch (const std::bad_alloc&) {
        return QN_PRO_ERR_ALLOCATION;
    }
    e->keep_source = para->keep_source != 0;
    set_mount(*e, para->mount_angle);
    if (!colour_ring()) return QN_PRO_ERR_ALLOCATION;
    e->render_pool.reset(new (std::nothrow) RenderPool(render_thread_count()));
    if (!e->render_pool) return QN_PRO_ERR_ALLOCATION;
    *engine = e.release();
    return QN_PRO_OK;
}

int qn_pro_SpeedInit(void)
{
    core_tables();
    for (int lens : {0, 2, kCustomLens}) projection_table(lens);
    return QN_PRO_OK;
}

int qn_pro_SpeedInitEx(void)
{
    core_tables();
    for (int family = 0; family < 2; ++family)
        for (int variant = 0; variant < 3; ++variant) shared_ex_table(family, variant);
    return QN_PRO_OK;
}

int qn_pro_DestroyEngine(QN_PRO_ENGINE* engine)
{
    if (!engine) return QN_PRO_ERR_ARGUMENT;
    // A frame that has not started yet returns at once; one in progress is
    // waited for by taking the lock.
    engine->closing = true;
    destroy(engine);
    return QN_PRO_OK;
}

}  // extern "C"
