// A 64-bit word of flags and small fields shared by the host's thread and the
// two worker threads. Single bits change with one atomic operation; a field of
// several bits changes in a compare-exchange loop, so no update is lost.
#ifndef OSTRELS_PTZLINK_BIT_WORD_H
#define OSTRELS_PTZLINK_BIT_WORD_H

#include <atomic>
#include <cstdint>

namespace qnpl {

// Bits first ... first + count - 1 of a word.
struct BitField {
    int first;
    int count;
    constexpr uint64_t mask() const { return (count >= 64 ? ~uint64_t(0) : (uint64_t(1) << count) - 1) << first; }
};

class AtomicBitWord {
public:
    uint64_t load() const { return m_word.load(std::memory_order_acquire); }
    void store(uint64_t v) { m_word.store(v, std::memory_order_release); }

    bool test(int bit) const { return (load() >> bit) & 1; }
    void set(int bit) { m_word.fetch_or(uint64_t(1) << bit, std::memory_order_acq_rel); }
    void clear(int bit) { m_word.fetch_and(~(uint64_t(1) << bit), std::memory_order_acq_rel); }
    void assign(int bit, bool on) { on ? set(bit) : clear(bit); }

    uint64_t get(BitField f) const { return (load() & f.mask()) >> f.first; }
    // Stores the low bits of `value` that fit the field.
    void put(BitField f, uint64_t value)
    {
        uint64_t old = m_word.load(std::memory_order_relaxed);
        uint64_t next;
        do {
            next = (old & ~f.mask()) | ((value << f.first) & f.mask());
        } while (!m_word.compare_exchange_weak(old, next, std::memory_order_acq_rel, std::memory_order_relaxed));
    }
    // Adds to a field, wrapping inside it; returns the new field value.
    uint64_t add(BitField f, uint64_t delta)
    {
        uint64_t old = m_word.load(std::memory_order_relaxed);
        uint64_t next;
        do {
            const uint64_t v = ((old & f.mask()) >> f.first) + delta;
            next = (old & ~f.mask()) | ((v << f.first) & f.mask());
        } while (!m_word.compare_exchange_weak(old, next, std::memory_order_acq_rel, std::memory_order_relaxed));
        return (next & f.mask()) >> f.first;
    }

private:
    std::atomic<uint64_t> m_word{0};
};

}  // namespace qnpl

#endif
