// Times of cloud play: the day and span a caller asks for, and the clock of
// the frames played, which the camera stamps in its private SEI.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/clock.h"

// Word 0: bits 0-5 start minute, 6-10 start hour, 11-16 end minute, 17-21
// end hour, 22-26 day, 27-30 month, 31 bit 0 of the year less 2000; word 1
// bits 0-5 bits 1-6 of the year less 2000.
struct VQ_CLOUD_TIME {
    uint32_t word0;
    uint32_t word1;
};
static_assert(sizeof(VQ_CLOUD_TIME) == 8);

namespace streams {

struct CloudDay {
    int year = 0, month = 0, day = 0;
    int startHour = 0, startMinute = 0;
    int endHour = 23, endMinute = 59;
};

VQ_CLOUD_TIME PackCloudTime(const CloudDay& day);
// The caller's day and span: a missing time or invalid date takes `today`
// with times 0; a span that fails a test becomes 00:00 to 23:59.
CloudDay ReadCloudTime(const VQ_CLOUD_TIME* time, const platform::CivilTime& today);
// From start hour:minute:00 to end hour:minute:59 local time; empty when the
// local times do not exist or the end is not after the start.
struct CloudSpan {
    int64_t start = 0;
    int64_t end = 0;
};
std::optional<CloudSpan> LocalSpan(const CloudDay& day);
// The day ended before `today` began.
bool IsPastDay(const CloudDay& day, const platform::CivilTime& today);

struct CloudFrameTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// A key frame's time word gives the date and the time; a later frame's own
// word gives only minute and second, the hour moving on when they go back,
// into the next day (month and year ends included) after hour 23.
class CloudFrameClock {
public:
    void KeyFrame(uint32_t word);
    void OtherFrame(uint32_t word);
    bool Known() const { return known_; }
    const CloudFrameTime& Now() const { return now_; }

private:
    bool known_ = false;
    CloudFrameTime now_{};
};

} // namespace streams
