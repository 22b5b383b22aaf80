// The map-slot protocol: a writer takes the oldest map nobody reads, a reader
// the newest finished one, so that with three maps a map can be rebuilt while
// another is rendered.
#ifndef QN_DEWARP_MAP_SLOTS_H
#define QN_DEWARP_MAP_SLOTS_H

#include "engine.h"

namespace qn_dewarp {

// Allocates the view's maps (one, or three): false when memory ran out.
bool maps_allocate(ViewRecord& view, bool triple);

// The map to write, marked busy; null when none is free.
CoordinateMap* map_begin_write(ViewRecord& view);
// Stamps a written map with the view's next sequence number and frees it.
void map_end_write(ViewRecord& view, CoordinateMap* map);

// The newest finished map, marked busy; null when none is.
CoordinateMap* map_begin_read(ViewRecord& view);
void map_end_read(CoordinateMap* map);

// Rows a map holds for a view height (rounded up for the block writers).
inline int map_rows(int height) { return (height + 3) & ~3; }

}  // namespace qn_dewarp

#endif
