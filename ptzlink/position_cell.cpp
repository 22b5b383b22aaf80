#include "position_cell.h"

namespace qnpl {

void PositionCell::reset_plan()
{
    state.store(0, std::memory_order_release);
    pan_code = tilt_code = 0;
    pan_position[0] = pan_position[1] = tilt_position[0] = tilt_position[1] = 0;
    pan_extent = tilt_extent = 0;
    row = column = 0;
    mean_brightness = 0;
    low_cut.fill(0);
    high_cut.fill(0);
    channel_mean.fill(0);
    for (auto& t : byte_table)
        for (int k = 0; k < 256; ++k) t[k] = static_cast<uint8_t>(k);
    for (auto& t : word_table)
        for (int k = 0; k < 256; ++k) t[k] = static_cast<uint16_t>(k);
    gains.fill(1.0f);
    links.fill(NeighbourLink{});
    x_placed = y_placed = false;
}

}  // namespace qnpl
