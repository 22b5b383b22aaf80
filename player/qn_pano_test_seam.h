// A seam for tests only: holds a context's lock from outside, so that a test
// can show the UI calls and the frame path giving up after 200 ms. Hosts never
// include it.
#pragma once

#include "qn_pano.h"

struct QnPanoHold;
// Holds the context's lock until the returned token is released.
QnPanoHold* qnPanoHoldLock(QN_PANO_CONTEXT* context);
void qnPanoReleaseLock(QnPanoHold* hold);
