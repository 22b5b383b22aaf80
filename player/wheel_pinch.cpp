#include "wheel_pinch.h"

void WheelPinch::onWheel(int delta, int64_t timeMs, const std::function<void(const qnTouchPoints&)>& send)
{
    qnTouchPoint& a = record_.points[0];
    qnTouchPoint& b = record_.points[1];
    a.width = b.width = 1000;
    a.height = b.height = 1000;
    const bool forward = delta > 0;
    if (!seen_ || timeMs - lastWheelMs_ > kGestureGapMs) {
        a.x = forward ? 450 : 100;
        b.x = forward ? 550 : 900;
        a.y = b.y = 500;
        record_.count = 0;
        send(record_);
        send(record_);
    } else {
        a.x += forward ? -20 : 40;
        b.x += forward ? 20 : -40;
        record_.count = 2;
        send(record_);
    }
    seen_ = true;
    lastWheelMs_ = timeMs;
}
