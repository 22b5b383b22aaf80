// The engine record and the view records behind the opaque handle.
#ifndef QN_DEWARP_ENGINE_H
#define QN_DEWARP_ENGINE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "coordinate_model.h"
#include "gather_plan.h"
#include "qn_dewarp.h"
#include "render_pool.h"
#include "view_kind.h"

namespace qn_dewarp {

inline constexpr int kMaxViews = 128;
inline constexpr int kMaxRecords = 2 * kMaxViews;
inline constexpr int32_t kNoSource = 128; // map entry (128, 128): render grey

// One coordinate map: per view pixel an (x, y) pair of source coordinates in
// 1/128 pixel of the reference frame.
struct CoordinateMap {
    std::vector<int32_t> entries;
    bool busy = false;
    int64_t sequence = -1; // -1: never written
    uint64_t stamp = 0;    // unique to each writing of any map in the process
};

struct Colour {
    uint8_t b = 0, g = 0, r = 0;
    bool is_zero() const { return b == 0 && g == 0 && r == 0; }
};

struct ViewEffect {
    bool border = false;
    bool show_on_others = false;
    bool dark_clear = false;
    Colour colour;
    uint8_t border_width = 0;
    uint8_t blend = 0;
    int remap_mode = 0;
    bool accept_outlines = false;
    int outline_style = 0;
};

// 32 border points of a view and what they show, for other views to draw.
struct Outline {
    static constexpr int kPoints = 32;
    bool valid = false;
    int32_t x[kPoints] = {}, y[kPoints] = {}; // source points x 1024
    // Directions of the points in the mounted world (degrees), for views
    // laid out by direction; only views that look along rays keep them.
    bool has_directions = false;
    float azimuth[kPoints] = {}, elevation[kPoints] = {};
    // Points in a stretch plane (plane units x 1024), kept by stretch views
    // so that other stretch views need not go through the source, where a
    // chord at the top or bottom of the circle shrinks to a point.
    bool has_plane = false;
    int32_t plane_x[kPoints] = {}, plane_y[kPoints] = {};
};

struct Aimer {
    bool on = false;
    bool changed = false;
    float x = 0, y = 0; // in view pixels
    int left = 0, top = 0, right = 0, bottom = 0; // companion rectangle in the view
    int angle = 0; // overlay rotation, degrees
};

enum class CompanionState { None = 0, Active = 1, Inactive = 2 };

struct ViewRecord {
    std::atomic<bool> dirty{true};
    std::atomic<bool> busy{false};
    std::atomic<bool> deleting{false};
    _vm_screen screen{};
    _vm_screen* allocated = nullptr; // the picture, when the engine made it
    int32_t id = 0;
    int32_t kind = 0;
    int width = 0, height = 0;
    int centre_x = 0, centre_y = 0;
    ViewEffect effect;
    bool auto_colour = false;
    bool marker = false;
    int content_left = 0, content_top = 0, content_right = 0, content_bottom = 0;
    std::vector<CoordinateMap> maps; // one, or three with the triple-buffer flag
    int64_t map_counter = 0;
    GatherPlan gather_plan; // the bilinear render of the map last shown
    std::unique_ptr<ViewKind> kind_state;
    QN_PRO_DST_CONFIG config{};
    QN_PRO_DST_POSI last_position{};
    Outline outline;
    int32_t state[16] = {}; // kind-written words of the side record
    Aimer aimer;
    CompanionState companion = CompanionState::None;
    float companion_zoom = 2.0f;

    ~ViewRecord();
};

struct SourceSlot {
    bool busy = false;
    int64_t sequence = -1;
    _vm_screen* picture = nullptr;
};

}  // namespace qn_dewarp

struct QN_PRO_ENGINE {
    // Held by frame processing and by every call that changes the view table,
    // a view or a map, so that rendering never sees a table being reshaped.
    std::mutex lock;
    std::atomic<bool> closing{false};
    std::atomic<bool> processing{false};

    bool keep_source = false;
    int mount_angle = 0;
    int width = 0, height = 0;           // source size in pixels
    float circle_x = 0, circle_y = 0, circle_r = 0;
    float ref_x = 0, ref_y = 0, ref_r = 0; // the circle in the reference frame
    int ref_width = 0, ref_height = 0;
    int32_t camera_code = 0;
    int lens = 0;
    int zoom_limit = 8;
    float mount[9] = {}, mount_inverse[9] = {};
    qn_dewarp::SourceSlot sources[3];
    int64_t source_counter = 0;
    bool triple_buffer = false;

    std::vector<std::unique_ptr<qn_dewarp::ViewRecord>> records; // view n: 2n, companion 2n + 1
    std::vector<QN_PRO_DST_INFO> infos;                          // side records, parallel
    int selected_linked = -1;  // record numbers, -1: none
    int last_controlled = -1;

    // Engines made from a packed code.
    uint32_t code_words[2] = {0, 0};
    std::unique_ptr<qn_dewarp::QN_COORDINATE_HOLDER> holder;
    std::unique_ptr<int32_t[]> private_projection;
    const int32_t* projection = nullptr;

    std::vector<int32_t> sharpen_scratch;
    // The threads a frame's views render on, in bands of rows; only frame
    // processing uses it, under the lock.
    std::unique_ptr<qn_dewarp::RenderPool> render_pool;

    int views() const { return static_cast<int>(records.size() / 2); }
    qn_dewarp::ViewRecord* view(int n)
    {
        return (n >= 0 && n < views()) ? records[2 * n].get() : nullptr;
    }
};

#endif
