// Clocks. Intervals and time-outs use the monotonic clock in 64-bit
// milliseconds; dates and texts come from the wall clock broken down in the
// local time zone.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

class Event;

struct CivilTime {
    int year = 1970;
    int month = 1;   // 1-12
    int day = 1;     // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 4; // 0 = Sunday
    int yearday = 0; // 0-365
    int isDst = 0;
};

struct WallTime {
    int64_t seconds = 0; // since 1970-01-01 UTC
    int milliseconds = 0;
};

int64_t MonotonicMs();
WallTime WallNow();

CivilTime ToLocalTime(int64_t seconds, int milliseconds = 0);
CivilTime ToUtcTime(int64_t seconds, int milliseconds = 0);
CivilTime LocalNow();

// Seconds since 1970 for a local civil time (day-light saving from isDst when
// it is 0 or 1, guessed when negative); empty when out of range.
std::optional<int64_t> FromLocalTime(const CivilTime& civil);

void SleepMs(int64_t milliseconds);

// Time source for modules whose behaviour depends on time, so that their tests
// need not sleep.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t MonotonicMs() const { return platform::MonotonicMs(); }
    virtual WallTime WallNow() const { return platform::WallNow(); }
    // Waits up to `ms` milliseconds or until `wake` is set, whichever comes
    // first; true when `wake` ended the wait. The system clock blocks on the
    // event; a test clock moves its own time on by `ms` and returns at once,
    // so paced loops run at full speed under test.
    virtual bool WaitFor(Event& wake, int64_t ms) const;
    static const Clock& System();
};

} // namespace platform
