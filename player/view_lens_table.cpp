#include "view_lens_table.h"

#include <cstring>
#include <mutex>

#include "lens_record.h"
#include "projection_format.h"
#include "qn_ptzlink.h"

namespace player {
namespace {

struct Entry {
    bool used = false;
    uint32_t lens_id = 0;
    uint32_t uses = 0;
    ViewLensRecord record{};
};

// Every window adds and opens on the GUI thread, but the lock costs nothing
// and keeps a second caller safe.
struct Table {
    std::mutex lock;
    std::array<Entry, kViewLensEntries> entries;
};

Table& TheTable()
{
    static Table table;
    return table;
}

int FindLocked(const Table& t, uint32_t lens_id)
{
    for (int i = 0; i < kViewLensEntries; ++i)
        if (t.entries[i].used && t.entries[i].lens_id == lens_id) return i;
    return -1;
}

int ChooseEntryLocked(const Table& t)
{
    for (int i = 0; i < kViewLensEntries; ++i)
        if (!t.entries[i].used) return i;
    int least = 0;
    for (int i = 1; i < kViewLensEntries; ++i)
        if (t.entries[i].uses < t.entries[least].uses) least = i;
    return least;
}

bool TypeAccepted(uint64_t type)
{
    const uint64_t form = type & 0xf;
    return (form == kPanoFormWide || form == kPanoFormPlain) && ((type >> 4) & 0x7) == 5;
}

uint32_t LensIdOf(uint64_t type) { return qnpl::pano_type_lens_id(LinkageLensType(type)); }

}  // namespace

int AddViewLensRecord(const uint8_t* record, int length, uint64_t pano_type)
{
    if (!record || length != qnpl::kLensRecordBytes) return QN_VPI_ERR_LENGTH;
    if (!TypeAccepted(pano_type)) return QN_VPI_ERR_TYPE;
    const qnpl::LensRecord fields = qnpl::decode_lens_record(record);
    const uint32_t lens_id = LensIdOf(pano_type);
    // A record the projection could not use is refused now rather than
    // failing every open later.
    if (fields.kind != 0 || fields.lens_id != lens_id || !qnpl::lens_record_usable(fields))
        return QN_VPI_ERR_RECORD;
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (FindLocked(t, lens_id) >= 0) return 0;
    Entry& e = t.entries[ChooseEntryLocked(t)];
    e.used = true;
    e.lens_id = lens_id;
    e.uses = 0;
    std::memcpy(e.record.data(), record, e.record.size());
    return 0;
}

bool UseViewLensRecord(uint64_t pano_type, ViewLensRecord* record)
{
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    const int i = FindLocked(t, LensIdOf(pano_type));
    if (i < 0) return false;
    Entry& e = t.entries[i];
    if (e.uses < UINT32_MAX) ++e.uses;
    *record = e.record;
    return true;
}

bool ViewLensEntry(int index, uint32_t* lens_id, uint32_t* uses)
{
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (index < 0 || index >= kViewLensEntries || !t.entries[index].used) return false;
    *lens_id = t.entries[index].lens_id;
    *uses = t.entries[index].uses;
    return true;
}

void ClearViewLensTable()
{
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    for (Entry& e : t.entries) e = Entry{};
}

}  // namespace player
