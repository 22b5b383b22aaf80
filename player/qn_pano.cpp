#include "qn_pano.h"
#include "qn_pano_test_seam.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "pano_tour.h"
#include "platform/clock.h"
#include "qn_imageprocess.h"
#include "Depend/qn_log.h"
#include "view_layout.h"

namespace {

constexpr auto kLockWait = std::chrono::milliseconds(200);
constexpr int kDefaultDragStep = 24; // on the 2520 scale, when the layout gives none
constexpr int kEngines = 2;

enum HighlightState { kNormal = 0, kReleased = 1, kPressed = 2, kOtherDragged = 3, kOtherControlled = 4 };

struct RuntimeView {
    int id = 0;
    int area = 0;
    int centre_x = 0, centre_y = 0;
    int width = 0, height = 0;
    int rect[4] = {};
    int kind = 0;
    int aimer_active = 0;
    QnTourState tour;
};

struct Area {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

}  // namespace

struct QN_PANO_CONTEXT {
    int format = 0;
    int out_width = 0, out_height = 0;
    int src_width = 0, src_height = 0;
    int second_width = 0, second_height = 0;
    QN_PRO_ENGINE* engine[kEngines] = {};
    QN_PRO_ENGINE_PARA para{};
    _vm_screen* work[kEngines] = {};
    int created = 0;

    std::unique_ptr<QnViewLayout> layout; // the views of kind 1..6, in file order
    int views = 0;                        // added to the first engine
    Area area;
    RuntimeView runtime[QN_LAYOUT_MAX_VIEWS];

    int selected = -1;
    int drag_prev_x = 0, drag_prev_y = 0;
    int drag_active = 0;
    int control_active = 0;

    std::timed_mutex lock;
    const platform::Clock* clock = &platform::Clock::System();
};

struct QnPanoHold {
    std::unique_lock<std::timed_mutex> held;
};

namespace {

int FloorTo4(int v)
{
    return v >= 0 ? v & ~3 : -((-v + 3) & ~3);
}

// The layout's reference aspect kept inside the picture.
Area FitArea(int w, int h, int refW, int refH)
{
    Area a{0, 0, w, h};
    if (refW <= 0 || refH <= 0) return a;
    const int u = w - static_cast<int>(int64_t(refW) * h / refH);
    if (u >= 1) {
        a.left = (u / 2) & ~1;
        a.right = w - 2 * (u / 4);
        return a;
    }
    const int o = h - static_cast<int>(int64_t(w) * refH / refW);
    if (o > 0) {
        a.top = (o / 2) & ~1;
        a.bottom = h - 2 * (o / 4);
    }
    return a;
}

int Scale(int extent, int value)
{
    return static_cast<int>(int64_t(extent) * value / QN_LAYOUT_SCALE);
}

void ViewRectangle(const QnLayoutView& v, const Area& a, int rect[4])
{
    int l, t, r, b;
    if (v.use_centre) {
        const int cx = Scale(a.Width(), v.centre[0]) + a.left, cy = Scale(a.Height(), v.centre[1]) + a.top;
        int hw = Scale(a.Width(), v.centre[2]), hh = Scale(a.Height(), v.centre[3]);
        if (hw == 0) hw = hh;
        if (hh == 0) hh = hw;
        l = cx - hw;
        r = cx + hw;
        t = cy - hh;
        b = cy + hh;
    } else {
        l = Scale(a.Width(), v.rect[0]) + a.left;
        t = Scale(a.Height(), v.rect[1]) + a.top;
        r = Scale(a.Width(), v.rect[2]) + a.left;
        b = Scale(a.Height(), v.rect[3]) + a.top;
    }
    l = FloorTo4(l);
    t = FloorTo4(t);
    r = FloorTo4(r);
    b = FloorTo4(b);
    rect[0] = std::min(std::max(l, a.left), a.right - 2);
    rect[1] = std::min(std::max(t, a.top), a.bottom - 2);
    rect[2] = std::min(std::max(r, a.left + 2), a.right);
    rect[3] = std::min(std::max(b, a.top + 2), a.bottom);
}

void ApplyState(const QnEffectState& s, QN_PRO_DST_EFFECT& e)
{
    if (!s.present) return;
    if (!s.keep_b) e.color_b = s.color_b;
    if (!s.keep_g) e.color_g = s.color_g;
    if (!s.keep_r) e.color_r = s.color_r;
    if (!s.keep_width) e.border_width = s.border_width;
    if (!s.keep_fill) e.blend = s.grey_fill;
    if (!s.keep_remap) e.remap_mode = s.remap;
}

// A view's part of the work picture: its planes point into the picture, so
// the engine renders in place.
_vm_screen ViewPicture(const _vm_screen& work, const int rect[4])
{
    _vm_screen s = work;
    s.base = nullptr;
    s.width = rect[2] - rect[0];
    s.height = rect[3] - rect[1];
    s.planar.plane[0] = work.planar.plane[0] + int64_t(rect[1]) * work.planar.stride[0] + rect[0];
    for (int p = 1; p < 3; ++p)
        s.planar.plane[p] = work.planar.plane[p] + int64_t(rect[1] / 2) * work.planar.stride[p] + rect[0] / 2;
    return s;
}

void FillGrey(_vm_screen& picture)
{
    for (int p = 0; p < 3; ++p) {
        const int rows = vm_plane_rows(picture.format, picture.height, p);
        std::memset(picture.planar.plane[p], 128, size_t(picture.planar.stride[p]) * rows);
    }
}

void ClearEngine(QN_PRO_ENGINE* engine)
{
    for (;;) {
        QN_PRO_DST_INFO* table = nullptr;
        int views = 0;
        if (qn_pro_GetDstList(engine, &table, &views) != 0 || views <= 0) return;
        if (qn_pro_DelDstImage(engine, 0) != 0) return;
    }
}

// Adds the layout's views to one engine; the first refusal ends the adding
// with its result. `runtime`, when given, gets each added view's geometry.
int AddViews(QN_PANO_CONTEXT& c, int e, RuntimeView* runtime, int& added)
{
    const _vm_screen& work = *c.work[e];
    const Area area = FitArea(work.width, work.height, c.layout->ref_width, c.layout->ref_height);
    if (e == 0) c.area = area;
    added = 0;
    for (int n = 0; n < c.layout->view_count; ++n) {
        const QnLayoutView& v = c.layout->views[n];
        int rect[4];
        ViewRectangle(v, area, rect);
        QN_PRO_DST_CONFIG config{};
        config.id = v.id;
        config.kind = v.kind;
        config.screen = ViewPicture(work, rect);
        config.effect = v.effect;
        ApplyState(v.states[kNormal], config.effect);
        config.posi = v.posi;
        const int result = qn_pro_AddDstImage(c.engine[e], &config, nullptr);
        if (result != 0) {
            QNLogPrint("%s(%d) view %d of %d refused: %d\n", __func__, __LINE__, n, c.layout->view_count, result);
            return result;
        }
        if (runtime) {
            RuntimeView& r = runtime[n];
            r = RuntimeView{};
            r.id = v.id;
            r.kind = v.kind;
            std::copy(rect, rect + 4, r.rect);
            r.width = rect[2] - rect[0];
            r.height = rect[3] - rect[1];
            r.area = r.width * r.height;
            r.centre_x = (rect[0] + rect[2]) / 2;
            r.centre_y = (rect[1] + rect[3]) / 2;
        }
        ++added;
    }
    return 0;
}

void SetState(QN_PANO_CONTEXT& c, int view, int state)
{
    if (view < 0 || view >= c.views) return;
    const QnEffectState& s = c.layout->views[view].states[state];
    if (!s.present) return;
    for (QN_PRO_ENGINE* engine : c.engine) {
        if (!engine) continue;
        QN_PRO_DST_EFFECT effect{};
        if (qn_pro_GetDstEffectNo(engine, &effect, view) != 0) continue;
        ApplyState(s, effect);
        qn_pro_SetDstEffectNo(engine, &effect, view);
    }
}

void SetStateOnOthers(QN_PANO_CONTEXT& c, int except, int state)
{
    for (int n = 0; n < c.views; ++n)
        if (n != except) SetState(c, n, state);
}

struct WorkPoint {
    int x, y;
};

WorkPoint ToWork(const QN_PANO_CONTEXT& c, const QN_PANO_POINT& p)
{
    const float sx = p.ref_width > 0 ? float(c.out_width) / p.ref_width : 1.0f;
    const float sy = p.ref_height > 0 ? float(c.out_height) / p.ref_height : 1.0f;
    return {static_cast<int>(std::lround(p.x * sx)), static_cast<int>(std::lround(p.y * sy))};
}

// The view under a point. Of two views under it the smaller wins, unless
// the other's centre is more than 50 pixels nearer; so the answer does not
// depend on the order of the layout.
int HitTest(const QN_PANO_CONTEXT& c, WorkPoint p)
{
    int best = -1, bestDistance = 0;
    for (int n = 0; n < c.views; ++n) {
        const RuntimeView& v = c.runtime[n];
        if (p.x < v.rect[0] - 1 || p.x > v.rect[2] + 2 || p.y < v.rect[1] - 1 || p.y > v.rect[3] + 2) continue;
        const int distance = std::abs(p.x - v.centre_x) + std::abs(p.y - v.centre_y);
        bool take = best < 0;
        if (!take) {
            if (distance + 50 < bestDistance)
                take = true;
            else if (bestDistance + 50 >= distance)
                take = v.area < c.runtime[best].area;
        }
        if (take) {
            best = n;
            bestDistance = distance;
        }
    }
    return best;
}

QN_PRO_POINT InView(const RuntimeView& v, WorkPoint p)
{
    return QN_PRO_POINT{float(p.x - v.rect[0]), float(p.y - v.rect[1]), v.width, v.height};
}

// One drag step of a control-mode-0 view in one of eight directions.
QN_PRO_DST_POSI DragStep(const QN_PANO_CONTEXT& c, int view, int dx, int dy)
{
    const RuntimeView& v = c.runtime[view];
    int step = c.layout->views[view].sdp;
    if (step <= 0) step = kDefaultDragStep;
    const float pixels = float(step) * c.area.Width() / QN_LAYOUT_SCALE;
    QN_PRO_DST_POSI delta{};
    const QN_PRO_DST_POSI& start = c.layout->views[view].posi;
    switch (v.kind) {
    case QN_PRO_DST_ORIGINAL:
        delta.original.rotation = dx * std::max(1, step / 8);
        break;
    case QN_PRO_DST_ZOOM: // the content follows the mouse
        delta.zoom.x = -dx * pixels;
        delta.zoom.y = -dy * pixels;
        break;
    case QN_PRO_DST_ROTATE_ZOOM:
        delta.rotate_zoom.x = -dx * pixels;
        delta.rotate_zoom.y = -dy * pixels;
        break;
    case QN_PRO_DST_PANORAMA:
        delta.panorama.pan = dx * pixels * std::max(start.panorama.span, 1) / std::max(v.width, 1);
        break;
    case QN_PRO_DST_DPTZ: {
        const float fov = start.dptz.fov > 0 ? float(start.dptz.fov) : 90.0f;
        const float degrees = pixels * fov / std::max(v.width, 1);
        delta.dptz.pan = dx * degrees;
        delta.dptz.tilt = dy * degrees;
        break;
    }
    case QN_PRO_DST_STRETCH:
        delta.stretch.x = -dx * static_cast<int>(pixels * 1024 / std::max(v.width, 1));
        delta.stretch.y = -dy * static_cast<int>(pixels * 1024 / std::max(v.height, 1));
        break;
    default:
        break;
    }
    return delta;
}

// The eight 45-degree sectors of a drag direction, as unit steps (x right,
// y down on screen).
void Sector(int dx, int dy, int& sx, int& sy)
{
    int angle = static_cast<int>(std::lround(std::atan2(-double(dy), double(dx)) * 180.0 / M_PI));
    if (angle < 0) angle += 360;
    static const int kBounds[] = {23, 67, 112, 157, 202, 247, 292, 337};
    static const int kX[] = {1, 1, 0, -1, -1, -1, 0, 1};
    static const int kY[] = {0, -1, -1, -1, 0, 1, 1, 1};
    int sector = 0;
    while (sector < 8 && angle >= kBounds[sector]) ++sector;
    sector %= 8;
    sx = kX[sector];
    sy = kY[sector];
}

bool Usable(QN_PANO_CONTEXT* c)
{
    return c && c->created;
}

// The entry step of the pointer calls: 2 for a missing context or point, 0
// for a context not made yet or held longer than the user interface waits.
template <typename Step>
int UnderUiLock(QN_PANO_CONTEXT* context, bool pointGiven, Step step)
{
    if (!context) return 2;
    if (!context->created) return 0;
    if (!pointGiven) return 2;
    std::unique_lock<std::timed_mutex> hold(context->lock, kLockWait);
    if (!hold.owns_lock()) return 0;
    return step(*context);
}

}  // namespace

int qnPanoCreate(QN_PANO_CONTEXT** context, const QN_PANO_CREATE_PARAM* param, _vm_screen** work)
{
    if (!context || !param) return 2;
    // A zero size would divide by zero when the second picture is sized.
    if (param->out_width <= 0 || param->out_height <= 0 || param->src_width <= 0 || param->src_height <= 0) return 2;
    if ((param->format != VM_FMT_YUV420 && param->format != VM_FMT_YVU420) || param->window == 0) return 2;
    QN_PANO_CONTEXT* c = new (std::nothrow) QN_PANO_CONTEXT;
    if (!c) return 4;
    c->layout.reset(new (std::nothrow) QnViewLayout);
    if (!c->layout) {
        delete c;
        return 4;
    }
    *c->layout = QnViewLayout{};
    *context = c;
    c->format = param->format;
    c->out_width = param->out_width;
    c->out_height = param->out_height;
    c->src_width = param->src_width;
    c->src_height = param->src_height;
    int result = qnCreateImage(&c->work[0], c->out_width, c->out_height, c->format);
    if (result != 0) return result;
    FillGrey(*c->work[0]);
    if (param->second_engine) {
        const double g = std::sqrt(double(c->src_width) * c->src_height / (double(c->out_width) * c->out_height));
        c->second_width = (static_cast<int>(std::lround(c->out_width * g)) + 7) & ~7;
        c->second_height = (static_cast<int>(std::lround(c->out_height * g)) + 7) & ~7;
        if (double(c->out_width) * c->out_height > 1.2 * double(c->second_width) * c->second_height) {
            c->second_width = c->out_width;
            c->second_height = c->out_height;
        }
        result = qnCreateImage(&c->work[1], c->second_width, c->second_height, c->format);
        if (result != 0) return result;
        FillGrey(*c->work[1]);
    }
    *work = c->work[0];
    QN_PRO_ENGINE_PARA& p = c->para;
    p.width = param->src_width;
    p.height = param->src_height;
    p.camera_code = param->camera_code;
    p.mount_angle = param->mount_tilt;
    p.circle_x = param->circle_x;
    p.circle_y = param->circle_y;
    p.circle_r = param->circle_r;
    p.ref_circle_x = param->ref_circle_x;
    p.ref_circle_y = param->ref_circle_y;
    p.ref_circle_r = param->ref_circle_r;
    for (int e = 0; e < (param->second_engine ? 2 : 1); ++e) {
        result = qn_pro_CreateEngine(&c->engine[e], &p);
        if (result != 0) {
            QNLogPrint("%s(%d) engine %d not created: %d\n", __func__, __LINE__, e, result);
            for (_vm_screen*& w : c->work)
                if (w) qnReleaseImage(&w);
            *work = nullptr;
            return result;
        }
    }
    c->selected = -1;
    c->created = 1;
    return 0;
}

int qnPanoDestroy(QN_PANO_CONTEXT* context)
{
    if (!context) return 2;
    for (QN_PRO_ENGINE*& engine : context->engine) {
        if (engine) qn_pro_DestroyEngine(engine);
        engine = nullptr;
    }
    for (_vm_screen*& w : context->work)
        if (w) qnReleaseImage(&w);
    context->created = 0;
    delete context;
    return 0;
}

int qnPanoLoadLayout(QN_PANO_CONTEXT* context, const char* layoutPath, const char* presetPath)
{
    if (!context) return 2;
    if (!context->created) return 0;
    if (!layoutPath) return 2;
    std::unique_ptr<QnViewLayout> read(new (std::nothrow) QnViewLayout);
    std::unique_ptr<QnViewPresets[]> presets(new (std::nothrow) QnViewPresets[QN_LAYOUT_MAX_VIEWS]);
    if (!read || !presets) return 4;
    *read = QnViewLayout{};
    std::fill(presets.get(), presets.get() + QN_LAYOUT_MAX_VIEWS, QnViewPresets{});
    if (!QnReadLayoutFile(layoutPath, *read)) {
        QNLogPrint("%s(%d) no layout in %s\n", __func__, __LINE__, layoutPath);
        return 2;
    }
    if (presetPath && *presetPath && !QnReadPresetFile(presetPath, *read, presets.get()))
        QNLogPrint("%s(%d) presets of %s not used\n", __func__, __LINE__, presetPath);
    // Views without a kind take no place: the later ones move up.
    int kept = 0;
    for (int n = 0; n < read->view_count; ++n) {
        if (read->views[n].kind < 1) continue;
        read->views[kept] = read->views[n];
        presets[kept] = presets[n];
        ++kept;
    }
    read->view_count = kept;

    std::unique_lock<std::timed_mutex> hold(context->lock, kLockWait);
    if (!hold.owns_lock()) return 0;
    for (QN_PRO_ENGINE* engine : context->engine)
        if (engine) ClearEngine(engine);
    context->layout = std::move(read);
    context->views = 0;
    context->selected = -1;
    context->drag_active = context->control_active = 0;
    int result = AddViews(*context, 0, context->runtime, context->views);
    const int64_t now = context->clock->MonotonicMs();
    for (int n = 0; n < context->views; ++n) {
        QnTourState& t = context->runtime[n].tour;
        QnTourLoad(t, presets[n], now);
        qn_pro_GetDstPosi(context->engine[0], &t.position, n);
    }
    if (context->engine[1]) {
        int added = 0;
        const int second = AddViews(*context, 1, nullptr, added);
        if (result == 0) result = second;
    }
    return result;
}

int qnPanoProcessVideo(QN_PANO_CONTEXT* context, _vm_screen* source)
{
    if (!context) return 2;
    if (!context->created || !source) return 0;
    std::unique_lock<std::timed_mutex> hold(context->lock, kLockWait);
    if (!hold.owns_lock()) return 0;
    const int64_t now = context->clock->MonotonicMs();
    for (int n = 0; n < context->views; ++n) {
        RuntimeView& v = context->runtime[n];
        if (QnTourStep(v.tour, v.kind, now)) qn_pro_SetDstPosiByNo(context->engine[0], &v.tour.position, n);
    }
    QN_PRO_DST_INFO* table = nullptr;
    int records = 0;
    return qn_pro_ProcessVideo(context->engine[0], source, &table, &records);
}

int qnPanoMousePress(QN_PANO_CONTEXT* context, const QN_PANO_POINT* point)
{
    return UnderUiLock(context, point != nullptr, [&](QN_PANO_CONTEXT& c) {
        const WorkPoint p = ToWork(c, *point);
        const int hit = HitTest(c, p);
        if (hit != c.selected) SetState(c, c.selected, kNormal);
        c.selected = hit;
        if (hit < 0) return 0;
        SetState(c, hit, kPressed);
        c.drag_prev_x = p.x;
        c.drag_prev_y = p.y;
        c.drag_active = 1;
        c.control_active = 0;
        const QN_PRO_POINT inView = InView(c.runtime[hit], p);
        switch (c.layout->views[hit].control_mode) {
            case 1:
                qn_pro_ControlByDst(c.engine[0], hit, &inView, 0, 1, 1);
                c.control_active = 1;
                break;
            case 2: c.control_active = qn_pro_ControlByDst(c.engine[0], hit, &inView, 0, 1, 0) == 0; break;
            default: break;
        }
        SetStateOnOthers(c, hit, c.control_active ? kOtherControlled : kOtherDragged);
        return 0;
    });
}

int qnPanoMouseMove(QN_PANO_CONTEXT* context, const QN_PANO_POINT* point)
{
    return UnderUiLock(context, point != nullptr, [&](QN_PANO_CONTEXT& c) {
        const WorkPoint p = ToWork(c, *point);
        if (!c.drag_active || c.selected < 0) {
            const int hit = HitTest(c, p);
            if (hit != c.selected) {
                SetState(c, c.selected, kNormal);
                SetState(c, hit, kReleased);
                c.selected = hit;
            }
            return 0;
        }
        const int n = c.selected;
        if (c.control_active) {
            const QN_PRO_POINT inView = InView(c.runtime[n], p);
            qn_pro_ControlByDst(c.engine[0], n, &inView, 0, 0, 1);
            return 0;
        }
        const int dx = p.x - c.drag_prev_x, dy = p.y - c.drag_prev_y;
        if (dx == 0 && dy == 0) return 0;
        int sx, sy;
        Sector(dx, dy, sx, sy);
        QN_PRO_DST_POSI delta = DragStep(c, n, sx, sy);
        for (QN_PRO_ENGINE* engine : c.engine)
            if (engine) qn_pro_ChangeDstPosiByID(engine, &delta, c.runtime[n].id);
        c.drag_prev_x = p.x;
        c.drag_prev_y = p.y;
        return 0;
    });
}

int qnPanoMouseRelease(QN_PANO_CONTEXT* context, const QN_PANO_POINT* point)
{
    return UnderUiLock(context, point != nullptr, [&](QN_PANO_CONTEXT& c) {
        const int hit = HitTest(c, ToWork(c, *point));
        SetState(c, c.selected, kNormal);
        SetStateOnOthers(c, hit, kNormal);
        SetState(c, hit, kReleased);
        c.selected = hit;
        c.drag_active = c.control_active = 0;
        return 0;
    });
}

int qnPanoWheel(QN_PANO_CONTEXT* context, int delta)
{
    return UnderUiLock(context, true, [&](QN_PANO_CONTEXT& c) {
        for (int n = 0; n < c.views; ++n) c.runtime[n].tour.enabled = 0;
        const int n = c.selected;
        if (n < 0 || n >= c.views || delta == 0) return 0;
        const int sign = delta > 0 ? 1 : -1;
        const QnLayoutView& layout = c.layout->views[n];
        if (layout.control_mode == 1 || layout.control_mode == 2) {
            qn_pro_ControlByDst(c.engine[0], n, nullptr, delta, 0, 1);
            return 0;
        }
        if (c.runtime[n].aimer_active) {
            qn_pro_SetDstAimerByNo(c.engine[0], nullptr, n, 1, sign);
            return 0;
        }
        QN_PRO_DST_POSI change{};
        switch (layout.kind) {
            case QN_PRO_DST_ZOOM:
                if (layout.posi.zoom.exponent < 0) return 0;
                change.zoom.exponent = float(sign);
                break;
            case QN_PRO_DST_ROTATE_ZOOM:
                if (layout.posi.rotate_zoom.exponent < 0) return 0;
                change.rotate_zoom.exponent = float(sign);
                break;
            case QN_PRO_DST_DPTZ:
                if (layout.posi.dptz.zoom < 0) return 0;
                change.dptz.zoom = float(sign);
                break;
            case QN_PRO_DST_STRETCH:
                if (layout.posi.stretch.zoom < 0) return 0;
                change.stretch.zoom = sign;
                break;
            default: return 0;
        }
        qn_pro_ChangeDstPosiByNo(c.engine[0], &change, n);
        return 0;
    });
}

int qnPanoSetTour(QN_PANO_CONTEXT* context, int view, int on)
{
    if (!Usable(context)) return 0;
    std::unique_lock<std::timed_mutex> hold(context->lock, kLockWait);
    if (!hold.owns_lock()) return 0;
    QN_PANO_CONTEXT& c = *context;
    int first = view, last = view;
    if (view == -1) {
        first = 0;
        last = c.views - 1;
    } else if (view == -2) {
        first = last = c.selected;
    }
    if (first < 0 || last >= c.views) return 0;
    const int64_t now = c.clock->MonotonicMs();
    for (int n = first; n <= last; ++n) {
        QnTourState& t = c.runtime[n].tour;
        QN_PRO_DST_POSI current{};
        if (on && qn_pro_GetDstPosi(c.engine[0], &current, n) == 0) t.home = current;
        QnTourSwitch(t, on != 0, now);
    }
    return 1;
}

void qnPanoSetClock(QN_PANO_CONTEXT* context, const platform::Clock* clock)
{
    if (context) context->clock = clock ? clock : &platform::Clock::System();
}

QN_PRO_ENGINE* qnPanoEngine(QN_PANO_CONTEXT* context, int second)
{
    return context ? context->engine[second ? 1 : 0] : nullptr;
}

int qnPanoViewCount(QN_PANO_CONTEXT* context)
{
    return context ? context->views : 0;
}

bool qnPanoViewRect(QN_PANO_CONTEXT* context, int view, int32_t rect[4])
{
    if (!context || view < 0 || view >= context->views) return false;
    std::copy(context->runtime[view].rect, context->runtime[view].rect + 4, rect);
    return true;
}

QnPanoHold* qnPanoHoldLock(QN_PANO_CONTEXT* context)
{
    if (!context) return nullptr;
    return new QnPanoHold{std::unique_lock<std::timed_mutex>(context->lock)};
}

void qnPanoReleaseLock(QnPanoHold* hold)
{
    delete hold;
}
