// The pointer record the OpenGL video window sends its owner (message code 6).
#ifndef OSTRELS_PLAYER_QNTOUCHPOINTS_H
#define OSTRELS_PLAYER_QNTOUCHPOINTS_H

struct qnTouchPoint {
    int x, y;          // position in the window
    int width, height; // the window's size
};

struct qnTouchPoints {
    qnTouchPoint points[5];
    int count; // 1 while a button is down, 0 at release, 0 or 2 from the wheel
};

#endif
