// The single engine context of QN_PTZLINK: flag and progress words, settings,
// worker threads, the embedded lens projection and the edge detector.
#ifndef OSTRELS_PTZLINK_ENGINE_CONTEXT_H
#define OSTRELS_PTZLINK_ENGINE_CONTEXT_H

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "bit_word.h"
#include "canny.h"
#include "engine_flags.h"
#include "event_sink.h"
#include "position_cell.h"
#include "pyramid_plan.h"
#include "qn_ptzlink.h"

namespace qnpl {

struct EngineSteps;

inline constexpr float kDefaultPixelPerDegree = 6.0f;
inline constexpr float kDefaultTrustRate = 1.4f;
inline constexpr uint8_t kDefaultCorrectRange = 10;

enum CorrectRange { kPanLine = 0, kTiltLine = 1, kPanRow = 2, kTiltRow = 3 };

// A worker thread with the flag it clears when its loop has ended.
struct Worker {
    std::thread thread;
    std::atomic<bool> alive{false};

    bool held() const { return thread.joinable(); }
};

// Whether the calling thread is one of the engine's worker threads (inside
// an event callback). A worker never joins: two workers joining each other
// from their callbacks would wait for ever.
bool on_worker_thread();
void mark_worker_thread();
}  // namespace qnpl

struct qnpl_context {
    qnpl::AtomicBitWord flags;
    qnpl::AtomicBitWord progress;
    int16_t start_tilt = 0;  // whole degrees
    uint16_t def_width = 0, def_height = 0;
    std::array<uint8_t, 4> correct_range{};
    float res_range_enlarge = 0.0f;
    float pixel_per_degree = 0.0f;
    float trust_rate = 0.0f;
    qnpl::Worker project_worker;
    qnpl::Worker union_worker;
    uint64_t pano_type = 0;
    // The lens map of the embedded projection, for pictures of this size.
    const __tag_point* lens_map = nullptr;
    __tag_size lens_map_source{0, 0};
    std::array<uint16_t, qnpl::kMaxPyramidLevels> pyramid{};
    std::array<qnpl::RowRecord, qnpl::kMaxRows> rows{};
    std::array<qnpl::PositionCell, qnpl::kMaxCells> cells;
    qnpl::PositionCell spare;  // carries the union image
    _vm_screen union_picture{};
    qnpl::PtzPicture ptz;
    std::array<_qnpl_progect_res_info_, qnpl::kMaxCells> project_results{};
    uint32_t matching_words[3] = {0, 0, 0};
    int reference_cell = -1;  // of the colour balancing
    QN_VIR_PROJECT_IMG projection;
    qnpl::CannyRecord canny;
    char info_text[2] = {0, 0};
    qnpl::EventSink events;
    // The matching engine's steps that the worker threads run.
    const qnpl::EngineSteps* steps = nullptr;

    bool running() const { return flags.test(qnpl::flag::kRunning); }
    int columns() const { return static_cast<int>(flags.get(qnpl::flag::kColumns)); }
    int row_count() const { return static_cast<int>(flags.get(qnpl::flag::kRows)); }
    int cell_count() const { return columns() * row_count(); }
    bool send(const char* text, uint64_t code = 0) const { return events.send(code, text); }
};

#endif
