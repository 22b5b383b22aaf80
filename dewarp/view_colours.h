// Outline colours given to views by their number when the caller gives none.
#ifndef QN_DEWARP_VIEW_COLOURS_H
#define QN_DEWARP_VIEW_COLOURS_H

#include "engine.h"

namespace qn_dewarp {

// False when the number is past the last intensity level (no colour).
bool colour_of_view_number(int n, Colour& colour);

}  // namespace qn_dewarp

#endif
