// QN_PTZLINK members of a run: positions out, pictures in, results out.
#include <cmath>
#include <cstring>

#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps_internal.h"
#include "qn_ptzlink.h"

namespace {

namespace flag = qnpl::flag;
namespace progress = qnpl::progress;

constexpr int32_t kNotCreated = -1;

qnpl_context* created(int32_t handle)
{
    if (handle == kNotCreated) return nullptr;
    qnpl_context* ctx = qnpl::engine_instance();
    return ctx && ctx->flags.test(flag::kCreated) ? ctx : nullptr;
}

// Tail word 0: pan (tenths) in bits 18-29, tilt (tenths + 1800) in bits 30-41.
uint32_t tail_pan(const _qnpl_ptz_jpg_tail_& t) { return static_cast<uint32_t>((t.word0 >> 18) & 0xfff); }
uint32_t tail_tilt(const _qnpl_ptz_jpg_tail_& t) { return static_cast<uint32_t>((t.word0 >> 30) & 0xfff); }

uint32_t bits(uint64_t v, int first, int count) { return static_cast<uint32_t>((v >> first) & ((uint64_t(1) << count) - 1)); }

// View angle (tenths), width and height of a PTZ panorama type; false for a
// layout the engine cannot use.
bool decode_ptz_type(uint64_t t, uint32_t* angle, uint32_t* width, uint32_t* height)
{
    uint32_t num, den;
    if ((t & 0xf) == 3 && bits(t, 4, 3) != 0) {
        *angle = bits(t, 44, 11);
        *width = bits(t, 33, 11) * 8;
        num = bits(t, 28, 5);
        den = bits(t, 23, 5);
    } else if ((t & 0xf) == 4 && bits(t, 4, 3) != 5) {
        *angle = bits(t, 34, 11);
        *width = bits(t, 23, 11) * 8;
        num = bits(t, 18, 5);
        den = bits(t, 13, 5);
    } else {
        return false;
    }
    if (den == 0) return false;
    *height = *width * num / den;
    // A zero view angle or size would make the picture's focal length
    // infinite.
    return *angle != 0 && *width != 0 && *height != 0;
}

// Whole degrees of a code, rounding toward minus infinity.
int32_t code_degrees(int32_t code) { return code >> 7; }

}  // namespace

QNPL_GET_NEXT_RES QN_PTZLINK::GetNextPTZ(const char* command, __tag_point3D* point)
{
    qnpl_context* ctx = created(m_handle);
    if (!ctx || !ctx->running() || !command || !point || ctx->flags.test(flag::kProjectionFinished) ||
        std::strcmp(command, "next") != 0)
        return QNPL_NEXT_REFUSED;
    const int columns = ctx->columns();
    const int total = ctx->cell_count();
    const int n = static_cast<int>(ctx->progress.get(progress::kPositionsHandedOut));
    if (columns < 1 || n >= total) return QNPL_NEXT_ALL_HANDED_OUT;
    const int q = n / columns, r = n % columns;
    const int k = static_cast<int>(ctx->progress.get(progress::kLeadInPoint));
    if (r == 0 && k < 2 * q + 2) {
        const qnpl::RowRecord& row = ctx->rows[k / 2];
        const int32_t pan = (k % 2) ? row.pan1 : row.pan0;
        const int32_t tilt = (k % 2) ? row.tilt1 : row.tilt0;
        point->x = code_degrees(pan);
        point->y = code_degrees(tilt - qnpl::kTiltCodeZero);
        point->z = 0;
        ctx->progress.add(progress::kLeadInPoint, 1);
        return QNPL_NEXT_POSITION;
    }
    const qnpl::PositionCell& cell = ctx->cells[n];
    point->x = std::min(cell.pan_code / 128, 511);
    point->y = code_degrees(int32_t(cell.tilt_code) - qnpl::kTiltCodeZero);
    point->z = 1;
    ctx->progress.add(progress::kPositionsHandedOut, 1);
    return QNPL_NEXT_POSITION;
}

float QN_PTZLINK::CheckDuplicate(_qnpl_ptz_jpg_tail_* tail)
{
    qnpl_context* ctx = created(m_handle);
    if (!ctx || !ctx->running() || !tail) return -1.0f;
    const int taken = static_cast<int>(ctx->progress.get(progress::kPicturesTaken));
    if (taken < 1 || taken > ctx->cell_count()) return -1.0f;
    // The last picture taken: the cell numbered by the count has no picture yet.
    const qnpl::PositionCell& cell = ctx->cells[taken - 1];
    if (!cell.ready()) return -1.0f;
    const float limit = static_cast<float>(ctx->flags.get(flag::kPanStep)) * 0.6f;
    float best = 360.0f;
    const float dpan = std::fabs(static_cast<float>(cell.pan_code) * (1.0f / 128.0f) - static_cast<float>(tail_pan(*tail)) * 0.1f);
    if (dpan < limit && dpan < best) best = dpan;
    const float dtilt =
        std::fabs(static_cast<float>(cell.tilt_code) * (1.0f / 128.0f) - static_cast<float>(tail_tilt(*tail)) * 0.1f);
    if (dtilt < limit && dtilt < best) best = dtilt;
    return best < 360.0f ? best : -1.0f;
}

int QN_PTZLINK::InputPTZImage(_vm_screen* picture, _qnpl_ptz_jpg_tail_* tail)
{
    qnpl_context* ctx = created(m_handle);
    if (!ctx || !ctx->running() || !tail) return 0;
    // The projection thread still reads the previous picture, or every
    // position has its picture: a new one would overwrite or run past a cell.
    if (ctx->flags.test(flag::kPictureWaiting) || ctx->flags.test(flag::kProjectionFinished) ||
        static_cast<int>(ctx->progress.get(progress::kPicturesTaken)) >= ctx->cell_count())
        return 0;
    auto refuse = [&] {
        ctx->flags.set(flag::kReadyForInput);
        return 0;
    };
    if (!picture) {
        ctx->send("pstPTZImage is Null ");
        return refuse();
    }
    const uint64_t type = ctx->projection.UpdatePanoType(tail->word1);
    uint32_t angle, width, height;
    if (!decode_ptz_type(type, &angle, &width, &height)) {
        ctx->send("ullPanoTypePT is error ");
        return refuse();
    }
    ctx->ptz.view_angle = static_cast<float>(angle) * 0.1f;
    ctx->ptz.width = static_cast<int32_t>(width);
    ctx->ptz.height = static_cast<int32_t>(height);
    ctx->flags.clear(flag::kReadyForInput);
    if (qnpl::CachePTZImage(*ctx, picture) != 1) return refuse();
    ctx->ptz.pan = static_cast<float>(tail_pan(*tail)) * 0.1f;
    ctx->ptz.tilt = static_cast<float>(tail_tilt(*tail)) * 0.1f - 180.0f;
    ctx->progress.add(progress::kPicturesTaken, 1);
    ctx->flags.set(flag::kPictureWaiting);
    return 1;
}

_qnpl_progect_res_info_* QN_PTZLINK::GetProjectImage(uint32_t* count)
{
    qnpl_context* ctx = created(m_handle);
    if (!ctx) return nullptr;
    if (!ctx->running()) return ctx->project_results.data();
    const int taken = std::min(static_cast<int>(ctx->progress.get(progress::kPicturesTaken)), ctx->cell_count());
    uint32_t filled = 0;
    for (int i = 0; i < taken; ++i) {
        const qnpl::PositionCell& cell = ctx->cells[i];
        if (!cell.pixels || !cell.ready()) continue;
        _qnpl_progect_res_info_& r = ctx->project_results[i];
        r.picture = _vm_screen{};
        r.picture.width = cell.width;
        r.picture.height = cell.height;
        r.picture.format = VM_FMT_BGRX32;
        r.picture.packed.stride = cell.stride;
        r.picture.packed.pixels = cell.pixels;
        r.pan = static_cast<float>(cell.pan_code) * (1.0f / 128.0f);
        r.tilt = static_cast<float>(cell.tilt_code) * (1.0f / 128.0f) - 180.0f;
        ++filled;
    }
    if (count) *count = filled;
    return ctx->project_results.data();
}

_vm_screen* QN_PTZLINK::GetUnionImage(char** /*text*/, _qnpl_jpg_tail_ptz_pano_* tail)
{
    qnpl_context* ctx = created(m_handle);
    if (!ctx || !ctx->running() || !ctx->flags.test(flag::kUnionFinished) || !ctx->spare.ready()) return nullptr;
    const qnpl::PositionCell& spare = ctx->spare;
    if (tail) {
        const float span = static_cast<float>(spare.tilt_extent) * (1.0f / 128.0f);
        const float centre = static_cast<float>(spare.tilt_code) * (1.0f / 128.0f) - 180.0f;
        const float upper = centre + span * 0.5f;
        const float lower = upper - span;
        tail->tag = QNPL_UNION_TAIL_TAG;
        tail->upper_tilt = static_cast<uint16_t>((upper + 180.0f) * 10.0f + 0.5f);
        tail->lower_tilt = static_cast<uint16_t>((lower + 180.0f) * 10.0f + 0.5f);
    }
    _vm_screen& u = ctx->union_picture;
    u = _vm_screen{};
    u.width = spare.width;
    u.height = spare.height;
    u.format = VM_FMT_BGRX32;
    u.packed.stride = spare.stride;
    u.packed.pixels = spare.pixels;
    return &u;
}
