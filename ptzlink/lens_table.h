// The process-wide table of lens-correction records, one per lens id, shared
// by every QN_VIR_PROJECT_IMG object. A full table replaces the entry that
// was looked up least recently.
#ifndef OSTRELS_PTZLINK_LENS_TABLE_H
#define OSTRELS_PTZLINK_LENS_TABLE_H

#include <array>
#include <cstdint>

#include "lens_record.h"

namespace qnpl {

inline constexpr int kLensTableEntries = 32;

using LensRecordBytes = std::array<uint8_t, kLensRecordBytes>;

// Stores a record checked by the caller. A lens id already present keeps its
// first record. 0, or QN_VPI_ERR_STORE when no memory is left.
int lens_table_store(const LensRecordBytes& record, uint32_t lens_id, uint64_t pano_type);

struct LensTableHit {
    int index = -1;
    uint64_t pano_type = 0;
    LensRecordBytes record{};
};

// Finds the record of a lens id and stamps it as used; false when none.
bool lens_table_find(uint32_t lens_id, LensTableHit* hit);

// Lens id held by an entry, or -1 when the entry is free (for inspection).
int64_t lens_table_entry_lens_id(int index);

// Empties the table (the process keeps its records otherwise).
void lens_table_clear();

}  // namespace qnpl

#endif
