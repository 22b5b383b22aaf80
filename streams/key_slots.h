// The key table of a play module: four key slots (default, custom, temp,
// default_old) filled from video passwords, each with three key texts and
// eight cipher key schedules, and the test of a stream's 64-bit security flag
// against them.
//
// A security flag is two 32-bit words L (low) and H (high): L bits 0-2 the key
// type (0 not encrypted, 1 default, 2 custom, 3 temp), bits 3-10 the
// encrypted frame kinds, bits 11-31 and H check bits that a key's words A and
// B must equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "streams/block_cipher.h"

namespace streams {

// Results of a key test or a decryption.
enum QnpsReturnVal : int {
    QNPS_RETURN_VAL_OK = 0,            // decrypted, or the stream is not encrypted
    QNPS_RETURN_VAL_IGNORE_BY_LV = 1,  // this frame kind is not encrypted
    QNPS_RETURN_VAL_NEED_DEF_CODE = 2, // the default slot holds no key
    QNPS_RETURN_VAL_NEED_CUS_CODE = 3,
    QNPS_RETURN_VAL_NEED_TMP_CODE = 4,
    QNPS_RETURN_VAL_CODE_DEF_ERR = 5, // the default key does not match
    QNPS_RETURN_VAL_CODE_CUS_ERR = 6,
};
constexpr int kQnpsTempCodeError = 7; // also: a key type that has no slot
constexpr int kQnpsNoKeyTable = 8;
constexpr int kQnpsBufferShort = 9; // buffer missing or too short

namespace key_slot {
enum Index { Default = 0, Custom = 1, Temp = 2, DefaultOld = 3, Count = 4 };
constexpr uint32_t kHoldsKey = 1;
constexpr uint32_t kTypeMask = 0x7;
constexpr int kKindShift = 3;
constexpr uint32_t kKindMask = 0xFFu << kKindShift;
} // namespace key_slot

struct QnKeySlot {
    uint32_t flags;
    char firstKeyText[24];
    char secondKeyText[20]; // no terminating zero
    char thirdKeyText[24];
    uint8_t blockOffsets[40]; // one per character of the second and third key texts
    DesSchedule schedules[8];
    uint32_t wordA; // bits 0-2 key type, 3-10 frame kinds of the last check, 11-31 check bits
    uint32_t wordB; // check bits
};
static_assert(sizeof(QnKeySlot) == 1528);
static_assert(offsetof(QnKeySlot, blockOffsets) == 72 && offsetof(QnKeySlot, schedules) == 112 &&
              offsetof(QnKeySlot, wordA) == 1520);

struct QnKeySlots {
    char name[16];           // the current key type's name; "no_code" at creation
    uint8_t blockOffsets[8]; // 3, 5, 7, 11, 13, 17, 19, 23: where the blocks of an interval lie
    uint32_t wordA;          // the words of the last key set
    uint32_t wordB;
    QnKeySlot slots[key_slot::Count];
};
static_assert(sizeof(QnKeySlots) == 6144);
static_assert(offsetof(QnKeySlots, wordA) == 24 && offsetof(QnKeySlots, slots) == 32);

// What a play module owns: its key table, made on the first key set, and the
// lock that keeps a key set from meeting a decryption halfway. The key
// material is wiped when the table is cleared or freed.
class SecurityKeys {
public:
    SecurityKeys() = default;
    SecurityKeys(const SecurityKeys&) = delete;
    SecurityKeys& operator=(const SecurityKeys&) = delete;
    ~SecurityKeys();

    // Runs the key test under the lock and, when the flag's key matches,
    // `decrypt` with the table and the matching slot, still under the lock.
    // The key test's result otherwise (0 for a stream that is not encrypted).
    using Decryption = std::function<int(const QnKeySlots& table, const QnKeySlot& slot)>;
    int WithMatchingKey(uint32_t low, uint32_t high, const Decryption& decrypt);

private:
    friend int qnSetSecurityKey(SecurityKeys&, const char*, const char*);
    friend std::string qnGetSecurityKeyName(SecurityKeys&);
    friend std::string qnGetSecurityKeyText(const SecurityKeys&, const char*);
    friend int qnCheckSecurity(SecurityKeys&, uint32_t, uint32_t);

    mutable std::mutex lock_;
    std::unique_ptr<QnKeySlots> table_;
};

// Fills a slot from a video password. Names: "default", "custom", "temp",
// "default_old", and "no_security", which empties every slot (its password
// is not read). An empty password empties that slot, so that streams of its
// key type report the key as needed. 1 when done; 0 for a missing password or
// name, an unknown name or a password that gives no key text (the slot is
// then left without a key).
int qnSetSecurityKey(SecurityKeys& keys, const char* password, const char* name);

// "no_security", "default", "custom", "temp" or "unknown" for the key type of
// the last key set; "no_code" before the first.
std::string qnGetSecurityKeyName(SecurityKeys& keys);

// The first key text of the slot named "default", "custom" or "temp"; any
// other name picks the slot whose number is the frame-kind bits of the last
// key set minus 1 when both its key type and frame-kind bits are set. Empty
// when that slot holds no key (or does not exist).
std::string qnGetSecurityKeyText(const SecurityKeys& keys, const char* name);

// The key test alone: 0 when the flag's key matches or the stream is not
// encrypted, else 2-8.
int qnCheckSecurity(SecurityKeys& keys, uint32_t low, uint32_t high);

} // namespace streams
