// Which items of a multi-picture draw are shown, and in what order.
#ifndef OSTRELS_DDSHOW_MUTI_SELECTION_H
#define OSTRELS_DDSHOW_MUTI_SELECTION_H

#include <vector>

#include "qn_ddshow.h"

namespace ostrels::ddshow {

constexpr int kMaxMutiItems = 64;

// A picture of 4:2:0 with all planes, larger than 8 x 8, whose rectangle lies
// inside a reference frame larger than 8 x 8.
bool isValidItem(const QN_DDR_MUTI_ITEM& item);

// Indexes of the valid items among the last 64, lowest priority first, equal
// priorities in array order.
std::vector<int> selectItems(const QN_DDR_MUTI_ITEM* items, int count);

} // namespace ostrels::ddshow

#endif
