// Turns wheel turns into a two-point pinch on a 1000 x 1000 field: a turn
// more than 500 ms after the last one starts a gesture, later turns move the
// points apart (forward) or together (backward). One per window.
#ifndef OSTRELS_PLAYER_WHEEL_PINCH_H
#define OSTRELS_PLAYER_WHEEL_PINCH_H

#include <cstdint>
#include <functional>

#include "qnTouchPoints.h"

class WheelPinch {
public:
    static constexpr int64_t kGestureGapMs = 500;

    // `send` gets the record once or twice per turn.
    void onWheel(int delta, int64_t timeMs, const std::function<void(const qnTouchPoints&)>& send);

private:
    qnTouchPoints record_{};
    int64_t lastWheelMs_ = 0;
    bool seen_ = false;
};

#endif
