// The video windows' process-wide table of lens records: 32 entries, each a
// 96-byte record with its lens id and a use count. When the table is full a
// new lens takes the entry used least.
#ifndef OSTRELS_PLAYER_VIEW_LENS_TABLE_H
#define OSTRELS_PLAYER_VIEW_LENS_TABLE_H

#include <array>
#include <cstdint>

namespace player {

inline constexpr int kViewLensEntries = 32;

using ViewLensRecord = std::array<uint8_t, 96>;

// 0 when stored (or the lens already has a record); QN_VPI_ERR_LENGTH,
// QN_VPI_ERR_TYPE or QN_VPI_ERR_RECORD when refused.
int AddViewLensRecord(const uint8_t* record, int length, uint64_t pano_type);

// The record of the type's lens, counted as one more use; false when the
// table has none.
bool UseViewLensRecord(uint64_t pano_type, ViewLensRecord* record);

// Inspection: the lens id and use count of an entry; false when it is free.
bool ViewLensEntry(int index, uint32_t* lens_id, uint32_t* uses);

// Empties the table.
void ClearViewLensTable();

}  // namespace player

#endif
