#include "map_slots.h"

#include <atomic>
#include <new>

namespace qn_dewarp {

bool maps_allocate(ViewRecord& view, bool triple)
{
    try {
        view.maps.assign(triple ? 3 : 1, CoordinateMap{});
        const size_t entries = size_t(2) * view.width * map_rows(view.height);
        for (CoordinateMap& m : view.maps) m.entries.assign(entries, kNoSource);
    } catch (const std::bad_alloc&) {
        view.maps.clear();
        return false;
    }
    return true;
}

CoordinateMap* map_begin_write(ViewRecord& view)
{
    CoordinateMap* chosen = nullptr;
    for (CoordinateMap& m : view.maps) {
        if (m.sequence < 0 && !m.busy) {
            chosen = &m;
            break;
        }
    }
    if (!chosen) {
        for (CoordinateMap& m : view.maps) {
            if (!m.busy && (!chosen || m.sequence < chosen->sequence)) chosen = &m;
        }
    }
    if (chosen) chosen->busy = true;
    return chosen;
}

void map_end_write(ViewRecord& view, CoordinateMap* map)
{
    // Stamps are never reused, not even by maps that are freed and
    // reallocated, so a gather plan keyed on one cannot go stale.
    static std::atomic<uint64_t> stamps{0};
    map->stamp = ++stamps;
    map->sequence = ++view.map_counter;
    map->busy = false;
}

CoordinateMap* map_begin_read(ViewRecord& view)
{
    CoordinateMap* chosen = nullptr;
    for (CoordinateMap& m : view.maps) {
        if (!m.busy && m.sequence >= 0 && (!chosen || m.sequence > chosen->sequence)) chosen = &m;
    }
    if (chosen) chosen->busy = true;
    return chosen;
}

void map_end_read(CoordinateMap* map)
{
    if (map) map->busy = false;
}

}  // namespace qn_dewarp
