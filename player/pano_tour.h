// The preset tour of one view: from the home position through each preset,
// dwelling at each, and back home, moving at the presets' speeds.
#pragma once

#include <cstdint>

#include "qn_dewarp.h"
#include "view_layout.h"

struct QnTourState {
    int32_t count = 0;   // presets, at most QN_LAYOUT_MAX_PRESETS
    int32_t current = -1; // the preset reached last; -1 the home position
    int32_t dwelling = 0;
    int32_t enabled = 0;
    int64_t start_ms = 0; // of the current move or dwell
    QN_PRO_DST_POSI home{};
    QN_PRO_DST_POSI from{};     // where the current move started
    QN_PRO_DST_POSI position{}; // where the view is now
    int32_t dwell_seconds[QN_LAYOUT_MAX_PRESETS] = {};
    int32_t speed[QN_LAYOUT_MAX_PRESETS] = {};
    QN_PRO_DST_POSI presets[QN_LAYOUT_MAX_PRESETS] = {};
};

// Takes a view's presets; the tour stays off.
void QnTourLoad(QnTourState& tour, const QnViewPresets& presets, int64_t nowMs);
// Switches the tour; on starts from the home position.
void QnTourSwitch(QnTourState& tour, bool on, int64_t nowMs);
// Moves the tour on to `nowMs`; true when `position` changed and should be
// set on the view.
bool QnTourStep(QnTourState& tour, int kind, int64_t nowMs);
