// The parameter-set head of a play module's stream: the SPS, PPS and private
// SEI that arrived since the last key frame, kept so that a decoder or a
// recorder can be primed with them at the next key frame. The live and the
// TF-card play modules keep two heads in turn (one current, one collecting);
// the facade copies the current one into its frame record for key frames.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "streams/private_sei.h"

// The head as the play modules hand it out. The addresses point into the
// head's own store, and the lengths are packed as the facade reads them.
struct MontStreamHead {
    const uint8_t* store; // the parameter sets in arrival order
    const uint8_t* sps;   // start code included
    const uint8_t* pps;
    const uint8_t* sei;   // the first private SEI; later ones follow it in the store
    uint32_t lengths;     // bits 0-9 bytes used in the store, 10-19 SPS, 20-29 PPS, 30-31 SEI length bits 0-1
    uint32_t seiHigh;     // bits 0-7 SEI length bits 2-9; the rest zero
};

namespace realplay {

constexpr uint32_t kStreamHeadStoreBytes = 256;

inline uint32_t HeadUsed(const MontStreamHead& head) { return head.lengths & 0x3FF; }
inline uint32_t HeadSpsLength(const MontStreamHead& head) { return head.lengths >> 10 & 0x3FF; }
inline uint32_t HeadPpsLength(const MontStreamHead& head) { return head.lengths >> 20 & 0x3FF; }
inline uint32_t HeadSeiLength(const MontStreamHead& head) { return head.lengths >> 30 | (head.seiHigh & 0xFF) << 2; }

enum class HeadPart { Sps, Pps, PrivateSei };

// One head with its fixed store. An append that would not fit is refused and
// the head keeps what it holds: a camera that sends more than a store's worth
// between two key frames loses the surplus, never the bytes next to the store.
class StreamHeadStore {
public:
    StreamHeadStore() { head_.store = bytes_; }
    StreamHeadStore(const StreamHeadStore&) = delete;
    StreamHeadStore& operator=(const StreamHeadStore&) = delete;

    // False when `length` bytes do not fit behind what the store holds.
    bool Append(HeadPart part, const uint8_t* data, uint32_t length);
    // Empties the head; the store keeps its bytes until they are overwritten.
    void Clear();
    const MontStreamHead& Head() const { return head_; }

private:
    MontStreamHead head_{};
    uint8_t bytes_[kStreamHeadStoreBytes] = {};
};

// The two heads of a play module and the lock between the stream's thread
// (which collects and switches) and callers that read the current head.
// Index -1: no key frame since the last reset; 0: head A is current and head
// B collects; 1 the other way round.
class StreamHeadPair {
public:
    StreamHeadPair() = default;
    StreamHeadPair(const StreamHeadPair&) = delete;
    StreamHeadPair& operator=(const StreamHeadPair&) = delete;

    // The index now; the stream callback reads it once per frame and passes it on.
    int CurrentIndex() const { return current_.load(); }
    // Empties both heads; no head is current until the next key frame.
    void Reset();
    // At a key frame the head that collected since the last one becomes
    // current and the other one starts collecting.
    void SwitchAtKeyFrame(int entryIndex);
    // Appends a parameter set to the head that collects at `entryIndex`.
    // False when the store had no room (logged once per pair).
    bool Collect(int entryIndex, HeadPart part, const uint8_t* data, uint32_t length);

    // The current head's private SEI, parsed; false when there is no current
    // head, it holds no private SEI or the SEI does not parse.
    bool CurrentSei(streams::MontSeiInfo* out) const;

    // The current head itself; its addresses stay valid only until the next
    // key frame, so only the stream's own thread may follow them. Null when
    // there is no current head.
    const MontStreamHead* Current() const;
    // A copy of the current head for any thread: its bytes go into `bytes`
    // (at least kStreamHeadStoreBytes) and the copy's addresses point there.
    // False when there is no current head.
    bool CopyCurrent(MontStreamHead* head, uint8_t* bytes, uint32_t capacity) const;

private:
    mutable std::mutex mutex_;
    std::atomic<int> current_{-1};
    StreamHeadStore heads_[2]; // A, B
    bool overflowLogged_ = false;
};

} // namespace realplay
