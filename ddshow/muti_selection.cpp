#include "muti_selection.h"

#include <algorithm>

namespace ostrels::ddshow {

bool isValidItem(const QN_DDR_MUTI_ITEM& item)
{
    const _vm_screen* p = item.pImage;
    if (!p || (p->format != VM_FMT_YUV420 && p->format != VM_FMT_YVU420)) return false;
    if (p->width <= 8 || p->height <= 8) return false;
    const auto& pl = p->planar;
    if (!pl.plane[0] || !pl.plane[1] || !pl.plane[2]) return false;
    if (pl.stride[0] < p->width || pl.stride[1] < p->width / 2 || pl.stride[2] < p->width / 2) return false;
    if (item.nRefWidth <= 8 || item.nRefHeight <= 8) return false;
    return 0 <= item.nLeft && item.nLeft < item.nRight && item.nRight <= item.nRefWidth && 0 <= item.nTop &&
           item.nTop < item.nBottom && item.nBottom <= item.nRefHeight;
}

std::vector<int> selectItems(const QN_DDR_MUTI_ITEM* items, int count)
{
    std::vector<int> order;
    if (!items || count <= 0) return order;
    const int first = std::max(0, count - kMaxMutiItems);
    std::vector<bool> taken(size_t(count - first), false);
    // Take the highest priority (the later item on a tie) and put it in front,
    // until nothing is left: the list runs from the lowest priority up.
    for (int round = 0; round < 2 * kMaxMutiItems; ++round) {
        int best = -1;
        for (int i = first; i < count; ++i) {
            if (taken[i - first]) continue;
            if (!isValidItem(items[i])) {
                taken[i - first] = true;
                continue;
            }
            if (best < 0 || items[i].nPriority >= items[best].nPriority) best = i;
        }
        if (best < 0) break;
        taken[best - first] = true;
        order.insert(order.begin(), best);
    }
    return order;
}

} // namespace ostrels::ddshow
