#include "lens_table.h"

#include <memory>
#include <mutex>
#include <new>

#include "qn_ptzlink.h"

namespace qnpl {
namespace {

struct Entry {
    uint16_t stamp = 0;
    uint32_t lens_id = 0;
    uint64_t pano_type = 0;
    std::unique_ptr<LensRecordBytes> record;  // null while the entry is free
};

struct LensTable {
    std::mutex lock;
    uint16_t use_counter = 0;
    std::array<Entry, kLensTableEntries> entries;
};

LensTable& table()
{
    static LensTable instance;
    return instance;
}

int find_locked(LensTable& t, uint32_t lens_id)
{
    for (int i = 0; i < kLensTableEntries; ++i)
        if (t.entries[i].record && t.entries[i].lens_id == lens_id) return i;
    return -1;
}

int choose_slot_locked(LensTable& t)
{
    for (int i = 0; i < kLensTableEntries; ++i)
        if (!t.entries[i].record) return i;
    int oldest = 0;
    for (int i = 1; i < kLensTableEntries; ++i)
        if (t.entries[i].stamp < t.entries[oldest].stamp) oldest = i;
    return oldest;
}

}  // namespace

int lens_table_store(const LensRecordBytes& record, uint32_t lens_id, uint64_t pano_type)
{
    LensTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (find_locked(t, lens_id) >= 0) return 0;
    Entry& e = t.entries[choose_slot_locked(t)];
    if (!e.record) {
        e.record.reset(new (std::nothrow) LensRecordBytes);
        if (!e.record) return QN_VPI_ERR_STORE;
    }
    *e.record = record;
    e.stamp = 0;
    e.lens_id = lens_id;
    e.pano_type = pano_type;
    return 0;
}

bool lens_table_find(uint32_t lens_id, LensTableHit* hit)
{
    LensTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const int i = find_locked(t, lens_id);
    if (i < 0) return false;
    Entry& e = t.entries[i];
    e.stamp = ++t.use_counter;
    if (hit) {
        hit->index = i;
        hit->pano_type = e.pano_type;
        hit->record = *e.record;
    }
    return true;
}

int64_t lens_table_entry_lens_id(int index)
{
    LensTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (index < 0 || index >= kLensTableEntries || !t.entries[index].record) return -1;
    return t.entries[index].lens_id;
}

void lens_table_clear()
{
    LensTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (Entry& e : t.entries) e = Entry{};
    t.use_counter = 0;
}

}  // namespace qnpl
