#include "streams/key_slots.h"

#include <openssl/crypto.h>

#include <cstring>

#include "streams/key_text.h"

namespace streams {
namespace {

constexpr uint8_t kFrameBlockOffsets[8] = {3, 5, 7, 11, 13, 17, 19, 23};

struct SlotKind {
    const char* name;
    int slot;
    uint32_t keyType;
    const char* label;
};
constexpr SlotKind kSlotKinds[] = {
    {"default", key_slot::Default, 1, "amber_lodge"},
    {"custom", key_slot::Custom, 2, "cider_knot"},
    {"temp", key_slot::Temp, 3, "fern_gap"},
    {"default_old", key_slot::DefaultOld, 1, "amber_lodge"},
};
constexpr char kSecondLabel[] = "oak_drift";
constexpr char kThirdLabel[] = "lanternly";

const SlotKind* FindSlotKind(const char* name)
{
    for (const SlotKind& kind : kSlotKinds)
        if (std::strcmp(kind.name, name) == 0) return &kind;
    return nullptr;
}

bool InAlphabet(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'V'); }

// 0-9 for digits, 10-35 for capitals, 0 otherwise, kept to 5 bits.
uint32_t CheckValue(char c)
{
    uint32_t value = 0;
    if (c >= '0' && c <= '9') value = static_cast<uint32_t>(c - '0');
    if (c >= 'A' && c <= 'Z') value = static_cast<uint32_t>(c - 'A' + 10);
    return value & 0x1F;
}

uint8_t BlockOffset(char c)
{
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c - 'A' + 10);
    return 37;
}

// The check bits of word A (bits 11-31) and word B that the cameras put into
// a stream's security flag for the key whose first key text is `t`.
void CheckWords(const char* t, uint32_t* a, uint32_t* b)
{
    *a = CheckValue(t[2]) << 11 | CheckValue(t[3]) << 16 | CheckValue(t[5]) << 21 | CheckValue(t[7]) << 26 |
         (CheckValue(t[11]) & 1) << 31;
    uint32_t mixed = 0;
    for (int i : {0, 1, 4, 6, 8, 9, 10, 12, 14, 15, 16, 18}) mixed ^= static_cast<uint8_t>(t[i]);
    *b = CheckValue(t[11]) >> 1 | CheckValue(t[13]) << 4 | CheckValue(t[17]) << 9 | CheckValue(t[19]) << 14 |
         (mixed & 0xFF) << 19;
}

void WipeSlot(QnKeySlot& slot) { OPENSSL_cleanse(&slot, sizeof slot); }

std::unique_ptr<QnKeySlots> NewTable()
{
    auto table = std::make_unique<QnKeySlots>();
    std::memset(table.get(), 0, sizeof *table);
    std::strcpy(table->name, "no_code");
    std::memcpy(table->blockOffsets, kFrameBlockOffsets, sizeof kFrameBlockOffsets);
    return table;
}

// Derives the slot's key texts, check words, block-offset table and key
// schedules from a non-empty password; false leaves the slot without a key.
bool FillSlot(QnKeySlot& slot, const SlotKind& kind, const char* password)
{
    char first[kKeyTextLength + 1];
    char second[kKeyTextLength + 1];
    char third[kKeyTextLength + 1];
    bool ok = qnDeriveKeyText(password, kind.label, first, sizeof first) == 0;
    for (std::size_t i = 0; ok && i < kKeyTextLength; ++i) ok = InAlphabet(first[i]);
    ok = ok && qnDeriveKeyText(first, kSecondLabel, second, sizeof second) == 0 &&
         qnDeriveKeyText(second, kThirdLabel, third, sizeof third) == 0;
    if (ok) {
        std::memcpy(slot.firstKeyText, first, sizeof first);
        std::memcpy(slot.secondKeyText, second, kKeyTextLength);
        std::memcpy(slot.thirdKeyText, third, sizeof third);
        uint32_t checkA = 0;
        uint32_t checkB = 0;
        CheckWords(first, &checkA, &checkB);
        slot.wordA |= checkA;
        slot.wordB = checkB;
        slot.flags |= key_slot::kHoldsKey;

        char run[2 * kKeyTextLength];
        std::memcpy(run, second, kKeyTextLength);
        std::memcpy(run + kKeyTextLength, third, kKeyTextLength);
        for (std::size_t i = 0; i < sizeof run; ++i) slot.blockOffsets[i] = BlockOffset(run[i]);
        for (int i = 0; i < 8; ++i)
            DesSetKey(reinterpret_cast<const uint8_t*>(run + 4 * i), &slot.schedules[i], Pc2Mode::Camera);
        OPENSSL_cleanse(run, sizeof run);
    }
    OPENSSL_cleanse(first, sizeof first);
    OPENSSL_cleanse(second, sizeof second);
    OPENSSL_cleanse(third, sizeof third);
    return ok;
}

// Copies the flag's frame kinds into the slot, as the cameras' words carry
// them, and compares.
bool SlotMatches(QnKeySlot& slot, uint32_t low, uint32_t high)
{
    if ((slot.flags & key_slot::kHoldsKey) == 0) return false;
    slot.wordA = (slot.wordA & ~key_slot::kKindMask) | (low & key_slot::kKindMask);
    return slot.wordA == low && slot.wordB == high;
}

// The key test; on a match `*matched` is the slot whose schedules decrypt.
int KeyTest(QnKeySlots* table, uint32_t low, uint32_t high, const QnKeySlot** matched)
{
    *matched = nullptr;
    if (table == nullptr) return kQnpsNoKeyTable;
    const uint32_t type = low & key_slot::kTypeMask;
    if (type == 0) return QNPS_RETURN_VAL_OK;
    // Types without a slot come from a corrupt or foreign flag: no key can match.
    if (type > 3) return kQnpsTempCodeError;
    QnKeySlot& slot = table->slots[type - 1];
    if ((slot.flags & key_slot::kHoldsKey) == 0) return static_cast<int>(QNPS_RETURN_VAL_NEED_DEF_CODE + type - 1);
    if (SlotMatches(slot, low, high)) {
        *matched = &slot;
        return QNPS_RETURN_VAL_OK;
    }
    QnKeySlot& older = table->slots[key_slot::DefaultOld];
    if (type == 1 && SlotMatches(older, low, high)) {
        *matched = &older;
        return QNPS_RETURN_VAL_OK;
    }
    return static_cast<int>(QNPS_RETURN_VAL_CODE_DEF_ERR + type - 1);
}

} // namespace

SecurityKeys::~SecurityKeys()
{
    if (table_) OPENSSL_cleanse(table_.get(), sizeof *table_);
}

int SecurityKeys::WithMatchingKey(uint32_t low, uint32_t high, const Decryption& decrypt)
{
    std::lock_guard<std::mutex> hold(lock_);
    const QnKeySlot* matched = nullptr;
    const int result = KeyTest(table_.get(), low, high, &matched);
    if (matched == nullptr) return result;
    return decrypt(*table_, *matched);
}

int qnSetSecurityKey(SecurityKeys& keys, const char* password, const char* name)
{
    if (name == nullptr) return 0;
    std::lock_guard<std::mutex> hold(keys.lock_);
    if (std::strcmp(name, "no_security") == 0) {
        if (!keys.table_) keys.table_ = NewTable();
        QnKeySlots& table = *keys.table_;
        table.wordA = 0;
        table.wordB = 0;
        for (QnKeySlot& slot : table.slots) WipeSlot(slot);
        return 1;
    }
    const SlotKind* kind = FindSlotKind(name);
    if (kind == nullptr || password == nullptr) return 0;
    if (!keys.table_) keys.table_ = NewTable();
    QnKeySlots& table = *keys.table_;
    QnKeySlot& slot = table.slots[kind->slot];

    table.wordA = (table.wordA & ~key_slot::kTypeMask) | kind->keyType;
    // The frame kinds of the slot's last check stay in its word A.
    const uint32_t emptyWordA = kind->keyType | (slot.wordA & key_slot::kKindMask);
    WipeSlot(slot);
    slot.wordA = emptyWordA;
    // An empty code takes the key out of its slot: streams of that key type
    // then report the code as needed.
    if (password[0] == '\0') return 1;
    if (!FillSlot(slot, *kind, password)) {
        WipeSlot(slot);
        slot.wordA = emptyWordA;
        return 0;
    }
    table.wordA = slot.wordA;
    table.wordB = slot.wordB;
    return 1;
}

std::string qnGetSecurityKeyName(SecurityKeys& keys)
{
    std::lock_guard<std::mutex> hold(keys.lock_);
    if (!keys.table_) return "no_code";
    static const char* const kNames[] = {"no_security", "default", "custom", "temp"};
    const uint32_t type = keys.table_->wordA & key_slot::kTypeMask;
    const char* name = type < 4 ? kNames[type] : "unknown";
    std::strncpy(keys.table_->name, name, sizeof keys.table_->name - 1);
    keys.table_->name[sizeof keys.table_->name - 1] = '\0';
    return keys.table_->name;
}

std::string qnGetSecurityKeyText(const SecurityKeys& keys, const char* name)
{
    if (name == nullptr) return {};
    std::lock_guard<std::mutex> hold(keys.lock_);
    if (!keys.table_) return {};
    const QnKeySlots& table = *keys.table_;
    int index = -1;
    const SlotKind* named = FindSlotKind(name);
    if (named != nullptr && named->slot != key_slot::DefaultOld) {
        index = named->slot;
    } else {
        const uint32_t kinds = (table.wordA & key_slot::kKindMask) >> key_slot::kKindShift;
        // Only kinds 1-4 name a slot; the field holds up to 255.
        if ((table.wordA & key_slot::kTypeMask) != 0 && kinds >= 1 && kinds <= key_slot::Count)
            index = static_cast<int>(kinds) - 1;
    }
    if (index < 0 || (table.slots[index].flags & key_slot::kHoldsKey) == 0) return {};
    return table.slots[index].firstKeyText;
}

int qnCheckSecurity(SecurityKeys& keys, uint32_t low, uint32_t high)
{
    return keys.WithMatchingKey(low, high, [](const QnKeySlots&, const QnKeySlot&) { return 0; });
}

} // namespace streams
