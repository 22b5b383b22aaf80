// The video window's projection mode: mouse gestures on the projected picture
// become PTZ requests, and each source picture is projected for the current
// view through the window's lens record.
#ifndef OSTRELS_PLAYER_VIEWCONTROL_H
#define OSTRELS_PLAYER_VIEWCONTROL_H

#include <cstdint>

#include "lens_projector.h"
#include "vm_screen.h"

// Events: "ptz_move_prepare", "ptz_move", "ptz_goto", "3d_ctrl_goto" and
// "3d_ctrl_clear", each with three floats.
typedef void (*ViewControlEventCallback)(const float* data, const char* name, void* user);

// A point in a picture of width x height pixels.
struct ViewPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct ViewCrop {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class ViewControl {
public:
    enum GestureState { kRelease = 0, kPressOrMove = 1, kTwoPointZoom = 2 };

    // State bits.
    static constexpr uint32_t kClickToGoto = 0x80;
    static constexpr uint32_t kPanoTypeSet = 0x100;
    static constexpr uint32_t kAnglesValid = 0x200;
    static constexpr uint32_t kSourceSizeSet = 0x400;
    static constexpr uint32_t kPrepared = 0x800;
    static constexpr uint32_t kOpen = 0x1000;
    static constexpr uint32_t kBusy = 0x2000;

    ViewControl();
    ~ViewControl();
    ViewControl(const ViewControl&) = delete;
    ViewControl& operator=(const ViewControl&) = delete;

    void reset();
    void setEventCallback(ViewControlEventCallback function, void* user);

    // Stores a 96-byte lens record for a panorama type in the windows' shared
    // table; 0 or a QN_VPI_ERR_* code. `value` is the caller's and not used.
    static int addLensRecord(const uint8_t* record, int length, uint64_t pano_type, int value);

    bool setSourceSize(int32_t width, int32_t height);
    bool getSourceSize(int32_t* width, int32_t* height) const;
    bool setPanoType(uint64_t pano_type);
    bool open();
    void close();
    bool setCurrentAngles(float pan, float tilt);

    bool inputFrame(const _vm_screen* picture, uint32_t frame_counter);
    // Fills `output` with a record of the projected picture (format 273; its
    // pixels stay this object's) and `crop` with the zoomed part; 1 when a
    // picture was rendered, else 0.
    int outputFrame(_vm_screen* output, ViewCrop* crop);

    // 0 when the gesture was taken, 1 when the projection is not ready or
    // busy. State 2 measures the distance from `point` to `second`.
    int onGesture(const ViewPoint& point, int state, int64_t time_ms, const ViewPoint* second = nullptr);
    void zoomIn(int steps);
    void zoomOut(int steps);

    uint32_t state() const { return state_; }
    float zoomLevel() const { return zoom_; }
    float panOffset() const { return pan_offset_; }
    float tiltOffset() const { return tilt_offset_; }
    int32_t outputWidth() const { return out_width_; }
    int32_t outputHeight() const { return out_height_; }
    // The open projection's source position of every output pixel, or null.
    const __tag_point* projectionMap() const { return projector_.Map(); }

private:
    struct Gesture {
        static constexpr uint32_t kGotoLatched = 0x1;
        static constexpr uint32_t kKindMask = 0x6;
        static constexpr uint32_t kDrag = 0x2;
        static constexpr uint32_t kZoom = 0x4;
        static constexpr uint32_t kFast = 0x8;
        uint32_t flags = 0;
        bool point_known = false;  // a real point was seen since the gesture began
        bool start_known = false;  // the drag's start is such a point
        int64_t last_time = 0, start_time = 0, previous_time = 0;
        float start[2] = {}, previous[2] = {}, current[2] = {};
        float start_scaled[2] = {}, previous_scaled[2] = {}, current_scaled[2] = {};
        double previous_angles[2] = {kUnsetAngle, kUnsetAngle};
        ViewPoint raw;
        float zoom_base_level = 0.0f, zoom_base_distance = -1.0f;
        float velocity[2] = {};
    };
    struct EventRecord {
        float move[3] = {};
        float go_to[3] = {};
    };
    static constexpr double kUnsetAngle = 400.0;

    void raiseEvent(const float* data, const char* name);
    void clearGesture();
    bool takePoint(const ViewPoint& point);
    void dragStep(int64_t time_ms);
    void twoPointZoom(const ViewPoint& first, const ViewPoint& second);
    void finishGesture();
    void updateZoomView();
    void releaseBuffers();
    void releaseInputs();
    float axisFov(int axis) const;

    float pan_ = 0.0f, tilt_ = 0.0f;
    float horizontal_fov_ = 0.0f, vertical_fov_ = 0.0f;
    uint32_t state_ = 0;
    int32_t out_width_ = 0, out_height_ = 0;
    float point_scale_[2] = {};
    float axis_value_[2] = {};
    EventRecord event_;
    float zoom_ = 0.0f;
    float pan_limit_ = 0.0f, tilt_limit_ = 0.0f;
    float pan_offset_ = 0.0f, tilt_offset_ = 0.0f;
    float previous_pan_offset_ = 0.0f, previous_tilt_offset_ = 0.0f;
    float view_fov_ = 0.0f, view_vertical_fov_ = 0.0f;
    uint64_t pano_type_ = 0;
    int32_t source_width_ = 0, source_height_ = 0;
    _vm_screen* inputs_[3] = {};
    uint32_t input_counter_[3] = {};
    int newest_input_ = -1;
    _vm_screen* output_ = nullptr;
    Gesture gesture_;
    ViewControlEventCallback callback_ = nullptr;
    void* callback_user_ = nullptr;
    player::LensProjector projector_;
};

#endif
