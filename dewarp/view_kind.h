// What each kind of view does inside the engine's per-view operations. A
// view record owns one object of its kind, which holds the kind's position
// state; the engine dispatches through it.
#ifndef QN_DEWARP_VIEW_KIND_H
#define QN_DEWARP_VIEW_KIND_H

#include <memory>

#include "geometry.h"
#include "qn_dewarp.h"

struct QN_PRO_ENGINE;

namespace qn_dewarp {

struct ViewRecord;

// Outputs of an angle query; each pointer may be null.
struct AngleOutputs {
    QN_PRO_POINT* source = nullptr; // in the reference frame, with its size
    Angles* camera = nullptr;       // direction seen from the lens
    Angles* linkage = nullptr;      // direction in the mounted world
};

class ViewKind {
public:
    virtual ~ViewKind() = default;

    // A fresh object of the same kind for the view's companion.
    virtual std::unique_ptr<ViewKind> make_companion() const = 0;

    virtual int add(QN_PRO_ENGINE& engine, ViewRecord& view, const QN_PRO_DST_CONFIG& config) = 0;
    // 0 or a refusal; the record may be written back (clamped values).
    virtual int position(QN_PRO_ENGINE& engine, ViewRecord& view, QN_PRO_DST_POSI& posi) = 0;
    // The view's position as it stands, in the reference frame.
    virtual void current_position(const QN_PRO_ENGINE& engine, const ViewRecord& view,
                                  QN_PRO_DST_POSI& posi) const = 0;
    // Moves `posi` (the current position) by `delta`.
    virtual void change_position(const QN_PRO_ENGINE& engine, QN_PRO_DST_POSI& posi,
                                 const QN_PRO_DST_POSI& delta) const = 0;
    virtual int angle(QN_PRO_ENGINE& engine, ViewRecord& view, const QN_PRO_POINT& point,
                      const AngleOutputs& out) = 0;
    // Rebuilds the view's map when it is dirty; 0, or 2 with no free map.
    virtual int update(QN_PRO_ENGINE& engine, ViewRecord& view, bool progressive) = 0;

    // Re-aims `companion` at the aimer point of `view`; 3 when the kind has
    // no companion aiming.
    virtual int aim_companion(QN_PRO_ENGINE&, ViewRecord&, ViewRecord&) { return 3; }
    // Draws the outline of `other` into `view`; false when the kind draws none.
    virtual bool draws_outlines() const { return false; }
    virtual void overlay(QN_PRO_ENGINE&, ViewRecord&, const ViewRecord&) {}

    // Mouse control; 2 for kinds without it.
    virtual int control_step(QN_PRO_ENGINE&, ViewRecord&, int /*record*/, const QN_PRO_POINT*,
                             int /*mode*/)
    {
        return 2;
    }
    // The source point under a view point and its direction in the mounted
    // world (pan, tilt), for moving the linked view.
    virtual int point_to_source(QN_PRO_ENGINE&, ViewRecord&, const QN_PRO_POINT&, QN_PRO_POINT*,
                                Angles*)
    {
        return 2;
    }
    // A new position for this (linked) view from the current one, centred on
    // `source` when given, and zoomed one step by the wheel's sign; false
    // for kinds that cannot follow another view.
    virtual bool follow(const QN_PRO_ENGINE&, const ViewRecord&, const QN_PRO_POINT*,
                        const Angles*, int /*wheel*/, QN_PRO_DST_POSI&) const
    {
        return false;
    }
};

// The object of a kind, or null for a kind this engine cannot render.
std::unique_ptr<ViewKind> make_view_kind(int kind);

}  // namespace qn_dewarp

#endif
