#include "ViewControl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gesture_math.h"
#include "projection_format.h"
#include "qn_imageprocess.h"
#include "view_lens_table.h"

namespace {

constexpr float kDefaultPointScale = 0.0083f;
constexpr float kDefaultAxisValue = 120.0f;
// A scaled point must leave its start by this much before a drag moves.
constexpr float kDragThreshold = 0.1f;
// Faster than this (0 ... 10,000 units per second) a drag is a throw: no go-to.
constexpr float kFastDrag = 4.0f;
constexpr float kZoomStep = 0.1f;
constexpr int kMaxZoomSteps = 3;
constexpr float kPinchDeadZone = 0.1f;
constexpr float kPinchRate = 1.5f;

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

int32_t RoundToEven(double v) { return int32_t(std::lround(v / 2.0)) * 2; }

}  // namespace

ViewControl::ViewControl() { reset(); }

ViewControl::~ViewControl()
{
    close();
    releaseBuffers();
}

void ViewControl::reset()
{
    close();
    releaseBuffers();
    pan_ = tilt_ = 0.0f;
    horizontal_fov_ = vertical_fov_ = 0.0f;
    state_ = 0;
    out_width_ = out_height_ = 0;
    point_scale_[0] = point_scale_[1] = kDefaultPointScale;
    axis_value_[0] = axis_value_[1] = kDefaultAxisValue;
    event_ = EventRecord{};
    zoom_ = 0.0f;
    pan_limit_ = tilt_limit_ = 0.0f;
    pan_offset_ = tilt_offset_ = previous_pan_offset_ = previous_tilt_offset_ = 0.0f;
    view_fov_ = view_vertical_fov_ = 0.0f;
    pano_type_ = 0;
    source_width_ = source_height_ = 0;
    gesture_ = Gesture{};
    callback_ = nullptr;
    callback_user_ = nullptr;
}

void ViewControl::setEventCallback(ViewControlEventCallback function, void* user)
{
    callback_ = function;
    callback_user_ = user;
}

int ViewControl::addLensRecord(const uint8_t* record, int length, uint64_t pano_type, int /*value*/)
{
    return player::AddViewLensRecord(record, length, pano_type);
}

void ViewControl::releaseInputs()
{
    for (_vm_screen*& picture : inputs_)
        if (picture) qnReleaseImage(&picture), picture = nullptr;
    newest_input_ = -1;
}

void ViewControl::releaseBuffers()
{
    releaseInputs();
    if (output_) qnReleaseImage(&output_), output_ = nullptr;
}

bool ViewControl::setSourceSize(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || (state_ & kBusy)) return false;
    if (!(state_ & kSourceSizeSet) || width != source_width_ || height != source_height_ || !inputs_[0]) {
        close();
        releaseInputs();
        state_ &= ~kSourceSizeSet;
        for (_vm_screen*& picture : inputs_) {
            if (qnCreateImage(&picture, width, height, VM_FMT_YUV420) != QN_IMG_OK) {
                picture = nullptr;
                releaseInputs();
                return false;
            }
        }
        source_width_ = width;
        source_height_ = height;
    }
    state_ |= kSourceSizeSet;
    return true;
}

bool ViewControl::getSourceSize(int32_t* width, int32_t* height) const
{
    if (!(state_ & kSourceSizeSet)) return false;
    *width = source_width_;
    *height = source_height_;
    return true;
}

bool ViewControl::setPanoType(uint64_t pano_type)
{
    if (state_ & kBusy) return false;
    player::ProjectionFormat format;
    if (!player::DecodeProjectionFormat(pano_type, &format)) return false;
    if ((state_ & kOpen) && pano_type != pano_type_) close();
    if (!output_ || format.width != out_width_ || format.height != out_height_) {
        close();
        if (output_) qnReleaseImage(&output_), output_ = nullptr;
        state_ &= ~kPanoTypeSet;
        if (qnCreateImage(&output_, format.width, format.height, VM_FMT_YUV420) != QN_IMG_OK) {
            output_ = nullptr;
            return false;
        }
    }
    pano_type_ = format.lens_type;
    out_width_ = format.width;
    out_height_ = format.height;
    horizontal_fov_ = format.horizontal_fov;
    vertical_fov_ = format.vertical_fov;
    updateZoomView();
    state_ |= kPanoTypeSet;
    return true;
}

bool ViewControl::open()
{
    if (state_ & kBusy) return false;
    if ((state_ & (kPanoTypeSet | kSourceSizeSet)) != (kPanoTypeSet | kSourceSizeSet)) return false;
    close();
    if (projector_.Open(pano_type_, source_width_, source_height_, out_width_, out_height_) != 0) return false;
    state_ |= kPrepared | kOpen;
    return true;
}

void ViewControl::close()
{
    projector_.Close();
    newest_input_ = -1;
    state_ &= ~(kPrepared | kOpen);
}

bool ViewControl::setCurrentAngles(float pan, float tilt)
{
    if (state_ & kBusy) return false;
    if (!(pan >= 0.0f && pan <= 360.0f) || !(tilt >= -90.0f && tilt <= 90.0f)) return false;
    pan_ = pan;
    tilt_ = tilt;
    state_ |= kAnglesValid;
    return true;
}

bool ViewControl::inputFrame(const _vm_screen* picture, uint32_t frame_counter)
{
    if (!(state_ & kOpen) || !picture || picture->width != source_width_ || picture->height != source_height_)
        return false;
    const int slot = (newest_input_ + 1) % 3;
    if (qnChangeFormat(picture, inputs_[slot]) != QN_IMG_OK) return false;
    input_counter_[slot] = frame_counter;
    newest_input_ = slot;
    return true;
}

void ViewControl::updateZoomView()
{
    const float visible = 1.0f / (3.0f * zoom_ + 1.0f);
    pan_limit_ = tilt_limit_ = (1.0f - visible) / 2.0f;
    pan_offset_ = std::clamp(pan_offset_, -pan_limit_, pan_limit_);
    tilt_offset_ = std::clamp(tilt_offset_, -tilt_limit_, tilt_limit_);
    const double tan_half = player::TanHalfFov(horizontal_fov_);
    view_fov_ = float(2.0 * Degrees(std::atan(tan_half * visible)));
    const double aspect = out_width_ > 0 ? double(out_height_) / double(out_width_) : 1.0;
    view_vertical_fov_ = float(2.0 * Degrees(std::atan(tan_half * visible * aspect)));
}

int ViewControl::outputFrame(_vm_screen* output, ViewCrop* crop)
{
    if (!(state_ & kOpen) || (state_ & kBusy) || newest_input_ < 0 || !output_) return 0;
    state_ |= kBusy;
    const bool rendered = projector_.Render(inputs_[newest_input_], output_);
    updateZoomView();
    if (crop) {
        const float visible = 1.0f / (3.0f * zoom_ + 1.0f);
        const double cw = double(visible) * out_width_, ch = double(visible) * out_height_;
        const double cx = (0.5 + pan_offset_) * out_width_, cy = (0.5 + tilt_offset_) * out_height_;
        crop->left = RoundToEven(cx - cw / 2.0);
        crop->top = RoundToEven(cy - ch / 2.0);
        crop->right = RoundToEven(cx + cw / 2.0);
        crop->bottom = RoundToEven(cy + ch / 2.0);
    }
    if (output && rendered) {
        *output = *output_;
        output->base = nullptr;  // the pixels stay ours
    }
    state_ &= ~kBusy;
    return rendered ? 1 : 0;
}

void ViewControl::raiseEvent(const float* data, const char* name)
{
    if (callback_) callback_(data, name, callback_user_);
}

void ViewControl::clearGesture() { gesture_ = Gesture{}; }

bool ViewControl::takePoint(const ViewPoint& point)
{
    // The window reports a press without its position; such a point only
    // starts the gesture.
    if (point.width <= 0 || point.height <= 0) return false;
    gesture_.raw = point;
    gesture_.current[0] = float(int64_t(point.x) * 10000 / point.width);
    gesture_.current[1] = float(int64_t(point.y) * 10000 / point.height);
    for (int axis = 0; axis < 2; ++axis) gesture_.current_scaled[axis] = gesture_.current[axis] * point_scale_[axis];
    gesture_.point_known = true;
    return true;
}

float ViewControl::axisFov(int axis) const { return axis == 0 ? view_fov_ : view_vertical_fov_; }

void ViewControl::dragStep(int64_t time_ms)
{
    Gesture& g = gesture_;
    const bool first = (g.flags & Gesture::kKindMask) != Gesture::kDrag;
    if (first || !g.start_known) {
        if (first) {
            g.flags &= ~Gesture::kKindMask;
            g.flags |= Gesture::kDrag;
            g.start_time = time_ms;
            g.previous_angles[0] = g.previous_angles[1] = kUnsetAngle;
        }
        // A drag starts where its first real point is.
        g.start_known = g.point_known;
        for (int axis = 0; axis < 2; ++axis) {
            g.start[axis] = g.previous[axis] = g.current[axis];
            g.start_scaled[axis] = g.previous_scaled[axis] = g.current_scaled[axis];
        }
        g.previous_time = g.last_time = time_ms;
        return;
    }
    const int64_t dt = time_ms - g.previous_time;
    if (dt > 0) {  // two events in one millisecond give no speed
        for (int axis = 0; axis < 2; ++axis) {
            g.velocity[axis] = (g.current_scaled[axis] - g.previous_scaled[axis]) * 1000.0f / float(dt);
            if (std::fabs(g.current[axis] - g.previous[axis]) * 1000.0f / float(dt) > kFastDrag)
                g.flags |= Gesture::kFast;
        }
    }
    const player::ViewAngles angles =
        player::PointAngles(player::PointOffset(g.current[0]), player::PointOffset(g.current[1]), out_width_,
                            out_height_, view_fov_);
    const double now[2] = {angles.horizontal, angles.vertical};
    float move[2] = {0.0f, 0.0f};
    for (int axis = 0; axis < 2; ++axis) {
        if (g.previous_angles[axis] == kUnsetAngle) g.previous_angles[axis] = now[axis];
        if (std::fabs(g.current_scaled[axis] - g.start_scaled[axis]) <= kDragThreshold) continue;
        const double change = now[axis] - g.previous_angles[axis];
        move[axis] = float(axis == 0 ? -change : change);
        g.previous_angles[axis] = now[axis];
    }
    float* offsets[2] = {&pan_offset_, &tilt_offset_};
    float* previous_offsets[2] = {&previous_pan_offset_, &previous_tilt_offset_};
    const float limits[2] = {pan_limit_, tilt_limit_};
    for (int axis = 0; axis < 2; ++axis) {
        const float fov = axisFov(axis);
        if (move[axis] == 0.0f || fov <= 0.0f) continue;
        const float change = (axis == 0 ? move[axis] : -move[axis]) / fov;
        *previous_offsets[axis] = *offsets[axis];
        if (player::ShiftCrop(offsets[axis], limits[axis], change)) move[axis] = 0.0f;
    }
    event_.move[0] = move[0];
    event_.move[1] = move[1];
    event_.move[2] = 0.0f;
    if (move[0] != 0.0f || move[1] != 0.0f) raiseEvent(event_.move, "ptz_move_prepare");
    g.previous_time = g.last_time = time_ms;
    for (int axis = 0; axis < 2; ++axis) {
        g.previous[axis] = g.current[axis];
        g.previous_scaled[axis] = g.current_scaled[axis];
    }
}

void ViewControl::twoPointZoom(const ViewPoint& first, const ViewPoint& second)
{
    if (first.width <= 0 || first.height <= 0 || second.width <= 0 || second.height <= 0) return;
    const auto scaled = [this](const ViewPoint& p, int axis) {
        const int64_t v = axis == 0 ? p.x : p.y;
        const int64_t size = axis == 0 ? p.width : p.height;
        return float(v * 10000 / size) * point_scale_[axis];
    };
    const float distance = std::hypot(scaled(first, 0) - scaled(second, 0), scaled(first, 1) - scaled(second, 1));
    Gesture& g = gesture_;
    if (g.zoom_base_distance < 0.0f) {
        g.zoom_base_distance = distance;
        g.zoom_base_level = zoom_;
    }
    const float d = distance - g.zoom_base_distance;
    if (d > kPinchDeadZone)
        zoom_ = (d - kPinchDeadZone) / kPinchRate + g.zoom_base_level;
    else if (d < -kPinchDeadZone)
        zoom_ = (d + kPinchDeadZone) / kPinchRate + g.zoom_base_level;
    zoom_ = std::clamp(zoom_, 0.0f, 1.0f);
}

void ViewControl::finishGesture()
{
    Gesture& g = gesture_;
    // A throw moves the camera only; a press whose position never came gives
    // no target; a click at the very centre is where the camera looks already.
    if (!(g.flags & Gesture::kFast) && g.point_known) {
        const double ox = player::PointOffset(g.current[0]), oy = player::PointOffset(g.current[1]);
        if (ox != 0.0 || oy != 0.0) {
            const player::GotoTarget target =
                player::GotoFromOffset(ox, oy, out_width_, out_height_, view_fov_, pan_, tilt_);
            event_.go_to[0] = target.pan;
            event_.go_to[1] = target.tilt;
            event_.go_to[2] = 1.0f;
            state_ |= kClickToGoto;
        }
    }
    if (event_.move[0] != 0.0f || event_.move[1] != 0.0f) raiseEvent(event_.move, "ptz_move");
    if (event_.go_to[2] != 0.0f) {
        raiseEvent(event_.go_to, "ptz_goto");
        g.flags |= Gesture::kGotoLatched;
        if (state_ & kClickToGoto) raiseEvent(event_.go_to, "3d_ctrl_goto");
    }
    state_ &= ~kClickToGoto;
    clearGesture();
    event_ = EventRecord{};
}

int ViewControl::onGesture(const ViewPoint& point, int state, int64_t time_ms, const ViewPoint* second)
{
    if ((state_ & (kAnglesValid | kOpen)) != (kAnglesValid | kOpen) || (state_ & kBusy)) return 1;
    state_ |= kBusy;
    static const float kNothing[3] = {0.0f, 0.0f, 0.0f};
    const uint32_t kind = gesture_.flags & Gesture::kKindMask;
    switch (state) {
    case kPressOrMove:
        if (kind != Gesture::kDrag) raiseEvent(kNothing, "3d_ctrl_clear");
        if (!(gesture_.flags & Gesture::kGotoLatched)) takePoint(point);
        dragStep(time_ms);
        break;
    case kTwoPointZoom:
        if (kind != Gesture::kZoom) {
            raiseEvent(kNothing, "3d_ctrl_clear");
            clearGesture();
            gesture_.flags |= Gesture::kZoom;
        }
        if (second) twoPointZoom(point, *second);
        break;
    case kRelease:
        if (kind == Gesture::kZoom)
            clearGesture();
        else
            finishGesture();
        gesture_.flags &= ~Gesture::kGotoLatched;
        break;
    default:
        break;
    }
    state_ &= ~kBusy;
    return 0;
}

void ViewControl::zoomIn(int steps)
{
    if (!(state_ & kOpen)) return;
    zoom_ = std::clamp(zoom_ + kZoomStep * float(std::clamp(steps, 0, kMaxZoomSteps)), 0.0f, 1.0f);
}

void ViewControl::zoomOut(int steps)
{
    if (!(state_ & kOpen)) return;
    zoom_ = std::clamp(zoom_ - kZoomStep * float(std::clamp(steps, 0, kMaxZoomSteps)), 0.0f, 1.0f);
}
