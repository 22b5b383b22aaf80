// Matching of neighbouring sub-images on their edge planes, coarse to fine.
#ifndef OSTRELS_PTZLINK_MATCHING_H
#define OSTRELS_PTZLINK_MATCHING_H

#include "engine_context.h"

namespace qnpl {

struct PlaneMatch {
    float error;
    float weight;
};
inline constexpr float kNoMatch = 99999.0f;

struct PairResult {
    int16_t dx = 0, dy = 0;  // B's offset from A, 1/128 degree
    float x_score = kNoMatch, y_score = kNoMatch;
    float x_weight = 0.0f, y_weight = 0.0f;
};

// Placement (x, y) puts B's centre at A's centre plus (x, y) pixels.
PlaneMatch ComparePlanes(const PyramidPlane& a, const PyramidPlane& b, int x, int y, bool horizontal);
// Ranges in tenths of a degree.
PairResult MatchPair(const PositionCell& a, const qnpl_context& ctx, const PositionCell& b, int pan_range,
                     int tilt_range, bool horizontal);
int MatchRow(qnpl_context& ctx, int row);
int MatchColumn(qnpl_context& ctx, int column);
// The search radius at the coarsest level for a range in tenths of a degree.
int coarse_search_radius(int range, uint16_t coarsest_size);
// Sends "Match image" with the progress record.
void report_match_progress(qnpl_context& ctx, uint32_t thousandths);

}  // namespace qnpl

#endif
