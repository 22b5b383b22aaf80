// A fuzz target with undefined behaviour on one input, which its corpus
// holds: the fuzz stage must fail on it, or a UBSan report in a real target
// would pass unseen.
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    int32_t value;
    std::memcpy(&value, data, sizeof value);
    if (value < 0x7f000000) return 0;
    volatile int32_t next = value + 0x7fffffff;  // overflows
    (void)next;
    return 0;
}
