// PrepareProcess: the grid of PTZ positions of a run.
#include <algorithm>
#include <cmath>

#include "cubic_weights.h"
#include "engine_context.h"
#include "engine_steps_internal.h"

namespace qnpl {
namespace {

constexpr int32_t kMaxRowTiltCode = 80 * kCodesPerDegree;  // rows stay within +-80 degrees
constexpr uint32_t kMaxStep = 63;                          // 6-bit step fields

// Tilt step from the picture's vertical view angle: rows overlap by half.
uint32_t derived_tilt_step(const qnpl_context& ctx)
{
    const float half = static_cast<float>(ctx.flags.get(flag::kViewAngle)) * 0.1f * kDegToRad * 0.5f;
    const float f = static_cast<float>(ctx.def_width / 2) / std::tan(half);
    const float v = 2.0f * std::atan(static_cast<float>(ctx.def_height / 2) / f) * kRadToDeg;
    if (!std::isfinite(v)) return 1;
    return 2u * static_cast<uint32_t>(std::clamp(v / 4.0f + 0.5f, 0.0f, 31.0f));
}

}  // namespace

int PrepareProcess(qnpl_context& ctx)
{
    if (ctx.running()) return 0;
    cubic_weights::table();

    const int columns = std::clamp(ctx.columns(), kMinColumns, kMaxColumns);
    const int rows = std::clamp(ctx.row_count(), 1, kMaxRows);
    ctx.flags.put(flag::kColumns, columns);
    ctx.flags.put(flag::kRows, rows);

    const uint32_t pan_step = static_cast<uint32_t>(360.0f / columns + 0.5f);
    ctx.flags.put(flag::kPanStep, pan_step);
    const uint32_t interval = static_cast<uint32_t>(ctx.flags.get(flag::kTiltInterval));
    const uint32_t tilt_step = std::clamp<uint32_t>(interval ? interval : derived_tilt_step(ctx), 1, kMaxStep);
    ctx.flags.put(flag::kTiltStep, tilt_step);
    // A view angle narrower than the pan step leaves no overlap, not a
    // negative one.
    const float margin = (static_cast<float>(ctx.flags.get(flag::kViewAngle)) * 0.1f - static_cast<float>(pan_step)) * 0.8f;
    ctx.progress.put(progress::kPanOverlap, static_cast<uint32_t>(std::clamp(margin, 0.0f, 63.0f)));

    ctx.progress.put(progress::kPicturesTaken, 0);
    ctx.progress.put(progress::kPositionsHandedOut, 0);
    ctx.progress.put(progress::kMatchProgress, 0);
    ctx.progress.clear(progress::kPhaseA);
    ctx.progress.clear(progress::kUnionMatching);
    ctx.progress.put(progress::kMatchField, 0);
    ctx.progress.clear(progress::kMatchBit);
    ctx.progress.put(progress::kLeadInPoint, 0);
    ctx.matching_words[0] = ctx.matching_words[1] = ctx.matching_words[2] = 0;
    ctx.reference_cell = -1;
    ctx.ptz.cached.reset();

    CannySetParam(ctx.canny, "auto_threshold", 0);
    CannySetParam(ctx.canny, "threshold_low", 4);
    CannySetParam(ctx.canny, "threshold_high", 12);
    CannySetParam(ctx.canny, "rate_low_100", 60);
    CannySetParam(ctx.canny, "rate_high_100", 85);
    CannySetParam(ctx.canny, "canny_direct", 1);

    for (PositionCell& cell : ctx.cells) cell.reset_plan();
    ctx.spare.reset_plan();

    const bool down = ctx.flags.test(flag::kTiltDown);
    for (int r = 0; r < rows; ++r) {
        const int32_t degrees = down ? ctx.start_tilt - r * int32_t(tilt_step) : ctx.start_tilt + r * int32_t(tilt_step);
        // Both sides are held: a start tilt beyond 80 degrees would leave the
        // sphere or wrap the unsigned tilt code.
        const int32_t tilt = std::clamp(static_cast<int32_t>(static_cast<float>(degrees) * 128.0f + 0.5f),
                                        -kMaxRowTiltCode, kMaxRowTiltCode);
        const int32_t tilt_code = tilt + kTiltCodeZero;
        ctx.rows[r] = RowRecord{0, tilt_code, int32_t(48 * pan_step), tilt_code};
        for (int c = 0; c < columns; ++c) {
            PositionCell& cell = ctx.cells[r * columns + c];
            cell.pan_code = static_cast<uint16_t>((kCodesPerDegree * c + 64) * pan_step);
            cell.tilt_code = static_cast<uint16_t>(tilt_code);
            cell.row = static_cast<uint8_t>(r);
            cell.column = static_cast<uint8_t>(c);
        }
    }
    return 1;
}

}  // namespace qnpl
