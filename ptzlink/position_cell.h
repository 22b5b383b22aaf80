// The position grid of a run: one cell per PTZ picture, the row records with
// their lead-in points, and the record of the latest PTZ picture.
#ifndef OSTRELS_PTZLINK_POSITION_CELL_H
#define OSTRELS_PTZLINK_POSITION_CELL_H

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "picture_buffer.h"
#include "pyramid_plan.h"
#include "vm_screen.h"

namespace qnpl {

inline constexpr int kMaxColumns = 36;
inline constexpr int kMinColumns = 8;
inline constexpr int kMaxRows = 6;
inline constexpr int kMaxCells = kMaxColumns * kMaxRows;  // 216
// Tilt code of tilt 0: codes are 1/128 degree plus 180 degrees.
inline constexpr int32_t kTiltCodeZero = 23040;
inline constexpr int32_t kCodesPerDegree = 128;

// Angle constants in the single precision the engine computes with.
inline constexpr float kDegToRad = 0.01745329052209854f;
inline constexpr float kRadToDeg = 57.295780181884766f;

namespace cell_state {
inline constexpr uint32_t kSubImageReady = 1u << 0;  // spare cell: union image ready
inline constexpr uint32_t kSkipped = 1u << 1;  // its picture covered no pixel of the grid
inline constexpr uint32_t kReserved = 1u << 2;
}  // namespace cell_state

struct PyramidPlane {
    uint8_t* plane = nullptr;
    uint16_t width = 0, height = 0;
    uint16_t row_length = 0;  // width rounded up to a multiple of 4
    uint16_t size = 0;        // the level's pyramid size
};

// A link to a neighbour: the neighbour's offset from this cell (1/128
// degree) with the scores and weights of the two plane comparisons.
struct NeighbourLink {
    int16_t dx = 0, dy = 0;
    float x_score = 0.0f, y_score = 0.0f;
    float x_weight = 0.0f, y_weight = 0.0f;
};
enum LinkSlot { kLeftLink = 0, kRightLink = 1, kUpperLink = 2, kLowerLink = 3 };

struct PositionCell {
    // The sub-image: 0x00RRGGBB rows, then a work area of 6 bytes a pixel.
    int16_t width = 0, height = 0;
    int32_t stride = 0;
    std::unique_ptr<uint8_t[]> allocation;
    uint8_t* pixels = nullptr;
    uint8_t* work = nullptr;
    std::unique_ptr<uint8_t[]> pyramid_allocation;
    std::array<std::array<PyramidPlane, kMaxPyramidLevels>, 2> levels{};
    uint32_t padded_width = 0;
    std::atomic<uint32_t> state{0};

    uint16_t pan_code = 0, tilt_code = 0;
    int32_t pan_position[2] = {0, 0};   // the measured (later: placed) pan codes
    int32_t tilt_position[2] = {0, 0};  // the measured (later: placed) tilt codes
    uint16_t pan_extent = 0, tilt_extent = 0;
    uint8_t row = 0, column = 0;
    uint8_t mean_brightness = 0;
    std::array<uint8_t, 3> low_cut{}, high_cut{}, channel_mean{};  // B, G, R
    std::array<std::array<uint8_t, 256>, 3> byte_table{};
    std::array<std::array<uint16_t, 256>, 3> word_table{};
    std::array<float, 12> gains{};
    std::array<NeighbourLink, 4> links{};
    bool x_placed = false, y_placed = false;

    bool ready() const { return state.load(std::memory_order_acquire) & cell_state::kSubImageReady; }
    void set_ready() { state.fetch_or(cell_state::kSubImageReady, std::memory_order_acq_rel); }
    bool skipped() const { return state.load(std::memory_order_acquire) & cell_state::kSkipped; }
    void set_skipped() { state.fetch_or(cell_state::kSkipped, std::memory_order_acq_rel); }
    // Clears every planned and measured value; the pictures stay allocated
    // until the cell is set up again, so a host still holding one can read it.
    void reset_plan();
};

// Each row starts with two lead-in points (pan, tilt code) that steer the
// camera to the row before its first cell.
struct RowRecord {
    int32_t pan0 = 0, tilt0 = 0, pan1 = 0, tilt1 = 0;
};

struct PictureBufferDeleter {
    void operator()(_vm_screen* p) const { FreePictureBuffer(p); }
};
using PictureBufferPtr = std::unique_ptr<_vm_screen, PictureBufferDeleter>;

// The latest PTZ picture.
struct PtzPicture {
    PictureBufferPtr cached;  // lens-corrected, def_width x def_height, format 3
    float view_angle = 0.0f;  // horizontal, degrees
    int32_t width = 0, height = 0;
    float pan = 0.0f, tilt = 0.0f;  // degrees
};

}  // namespace qnpl

#endif
