// The union result: buffer, high-dynamic hand-over, progress and edge bands.
#ifndef OSTRELS_PTZLINK_UNION_RESULT_H
#define OSTRELS_PTZLINK_UNION_RESULT_H

#include "engine_context.h"

namespace qnpl {

inline constexpr int32_t kTiltCodeTop = 34560;     // +90 degrees
inline constexpr int32_t kTiltCodeBottom = 11520;  // -90 degrees
inline constexpr int32_t kHalfTurn = 23040;        // 180 degrees in codes
inline constexpr int32_t kFullTurn = 46080;

// Progress function of the high-dynamic engine; `user` is the context.
void GenerateProgress(uint64_t progress, const char* text, uint64_t user);
// Lower and upper row around tilt t (1/128 degree, no offset).
void FindRowForTilt(const qnpl_context& ctx, int32_t t, int* lower, int* upper);
int DrawEdgeBands(qnpl_context& ctx);
// Blend half-width of the union image in 1/128 degree.
int32_t blend_half_width(const qnpl_context& ctx);

}  // namespace qnpl

#endif
