// Spin locks kept in shared memory as a 0/1 word, taken with one atomic
// exchange. A holder that died leaves the word at 1; after a bounded wait the
// next writer takes the lock over instead of waiting forever.
#ifndef BASEKIT_SHARED_LOCK_H
#define BASEKIT_SHARED_LOCK_H

#include <cstdint>
#include <cstdio>

#include "basekit/system_functions.h"
#include "platform/clock.h"

namespace basekit {

constexpr int64_t kStaleLockMs = 2000;
constexpr int kLockPollMicroseconds = 10;

template <typename Word>
void takeSharedLock(Word *word, const char *owner) {
    const int64_t start = platform::MonotonicMs();
    while (__atomic_exchange_n(word, Word{1}, __ATOMIC_ACQUIRE) != 0) {
        if (platform::MonotonicMs() - start > kStaleLockMs) {
            std::fprintf(stderr, "%s: shared lock held for more than %lld ms, taking it over\n", owner,
                         static_cast<long long>(kStaleLockMs));
            return;
        }
        delay(kLockPollMicroseconds);
    }
}

template <typename Word>
void releaseSharedLock(Word *word) {
    __atomic_store_n(word, Word{0}, __ATOMIC_RELEASE);
}

}  // namespace basekit

#endif
