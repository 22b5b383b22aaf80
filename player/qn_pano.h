// The panorama control context: one or two projection engines rendering the
// views of a layout file side by side into one work picture, with highlight
// states, mouse and wheel control and preset tours.
//
// One timed lock per context guards both engines and the view and tour
// state. A UI call that cannot take it within 200 ms changes nothing and
// returns 0; a frame that cannot take it within 200 ms is skipped (0).
#pragma once

#include <cstdint>

#include "qn_dewarp.h"
#include "vm_screen.h"

namespace platform {
class Clock;
}

struct QN_PANO_CREATE_PARAM {
    int32_t format; // 273 or 274
    int32_t src_width, src_height;
    int32_t out_width, out_height;
    int32_t camera_code;
    int32_t mount_tilt; // 90 ceiling, -90 floor, 0 wall
    float circle_x, circle_y, circle_r;
    float ref_circle_x, ref_circle_y, ref_circle_r; // the circle in the camera type's reference frame
    uintptr_t window;
    int32_t reserved[8];
    int32_t second_engine;
};

struct QN_PANO_CONTEXT; // owned by the layer

// The point of a mouse call: x, y in a reference frame of width x height.
struct QN_PANO_POINT {
    float x, y;
    int32_t ref_width, ref_height;
};

// Results: 0 success, 2 bad argument or missing file, 4 out of memory, the
// engine's or picture library's own codes passed through.
int qnPanoCreate(QN_PANO_CONTEXT** context, const QN_PANO_CREATE_PARAM* param, _vm_screen** work);
int qnPanoDestroy(QN_PANO_CONTEXT* context);
int qnPanoLoadLayout(QN_PANO_CONTEXT* context, const char* layoutPath, const char* presetPath);
int qnPanoProcessVideo(QN_PANO_CONTEXT* context, _vm_screen* source);
int qnPanoMousePress(QN_PANO_CONTEXT* context, const QN_PANO_POINT* point);
int qnPanoMouseMove(QN_PANO_CONTEXT* context, const QN_PANO_POINT* point);
int qnPanoMouseRelease(QN_PANO_CONTEXT* context, const QN_PANO_POINT* point);
int qnPanoWheel(QN_PANO_CONTEXT* context, int delta);
// view: n, -1 every view, -2 the selected one. 1 done, 0 not.
int qnPanoSetTour(QN_PANO_CONTEXT* context, int view, int on);

// For tests and hosts: the time source of the tours (the system clock unless
// set; the clock must outlive the context), the engine, the view count.
void qnPanoSetClock(QN_PANO_CONTEXT* context, const platform::Clock* clock);
QN_PRO_ENGINE* qnPanoEngine(QN_PANO_CONTEXT* context, int second);
int qnPanoViewCount(QN_PANO_CONTEXT* context);
// The view's rectangle in the work picture (left, top, right, bottom); false past the views.
bool qnPanoViewRect(QN_PANO_CONTEXT* context, int view, int32_t rect[4]);
