#include "vqSDK/QnMp4Helper/mp4_read_clock.h"

#include <atomic>

namespace qn_mp4 {
namespace {
std::atomic<const platform::Clock*> g_clock{nullptr};
}

const platform::Clock& ReadClock()
{
    const platform::Clock* clock = g_clock.load();
    return clock != nullptr ? *clock : platform::Clock::System();
}

void SetReadClock(const platform::Clock* clock) { g_clock = clock; }

} // namespace qn_mp4
