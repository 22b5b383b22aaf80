#include "streams/cloud_time.h"

#include "streams/packed_date.h"

namespace streams {

namespace {

int Bits(uint32_t word, int shift, int count)
{
    return static_cast<int>(word >> shift & ((1u << count) - 1));
}

bool SpanHolds(const CloudDay& d)
{
    if (d.startHour > 23 || d.endHour > 23 || d.startMinute >= 60 || d.endMinute > 59) return false;
    if (d.endHour < d.startHour) return false;
    return !(d.startHour == d.endHour && d.startMinute == d.endMinute);
}

} // namespace

VQ_CLOUD_TIME PackCloudTime(const CloudDay& d)
{
    const auto year = static_cast<uint32_t>(d.year - 2000) & 0x7F;
    VQ_CLOUD_TIME time{};
    time.word0 = static_cast<uint32_t>(d.startMinute & 0x3F) | static_cast<uint32_t>(d.startHour & 0x1F) << 6 |
                 static_cast<uint32_t>(d.endMinute & 0x3F) << 11 | static_cast<uint32_t>(d.endHour & 0x1F) << 17 |
                 static_cast<uint32_t>(d.day & 0x1F) << 22 | static_cast<uint32_t>(d.month & 0xF) << 27 |
                 (year & 1u) << 31;
    time.word1 = year >> 1;
    return time;
}

CloudDay ReadCloudTime(const VQ_CLOUD_TIME* time, const platform::CivilTime& today)
{
    CloudDay d;
    if (time != nullptr) {
        const uint32_t w = time->word0;
        d.startMinute = Bits(w, 0, 6);
        d.startHour = Bits(w, 6, 5);
        d.endMinute = Bits(w, 11, 6);
        d.endHour = Bits(w, 17, 5);
        d.day = Bits(w, 22, 5);
        d.month = Bits(w, 27, 4);
        d.year = 2000 + (Bits(w, 31, 1) | Bits(time->word1, 0, 6) << 1);
    }
    if (time == nullptr || d.month < 1 || d.month > 12 || d.day == 0) {
        d = CloudDay{today.year, today.month, today.day, 0, 0, 0, 0};
    }
    if (!SpanHolds(d)) {
        d.startHour = d.startMinute = 0;
        d.endHour = 23;
        d.endMinute = 59;
    }
    return d;
}

std::optional<CloudSpan> LocalSpan(const CloudDay& d)
{
    platform::CivilTime start{};
    start.year = d.year;
    start.month = d.month;
    start.day = d.day;
    start.hour = d.startHour;
    start.minute = d.startMinute;
    start.isDst = -1;
    platform::CivilTime end = start;
    end.hour = d.endHour;
    end.minute = d.endMinute;
    end.second = 59;
    const auto from = platform::FromLocalTime(start);
    const auto to = platform::FromLocalTime(end);
    if (!from || !to || *to <= *from) return std::nullopt;
    return CloudSpan{*from, *to};
}

bool IsPastDay(const CloudDay& d, const platform::CivilTime& today)
{
    if (d.year != today.year) return d.year < today.year;
    if (d.month != today.month) return d.month < today.month;
    return d.day < today.day;
}

void CloudFrameClock::KeyFrame(uint32_t word)
{
    const platform::CivilTime civil = UnpackDate(word);
    now_ = {civil.year, civil.month, civil.day, civil.hour, civil.minute, civil.second};
    known_ = true;
}

void CloudFrameClock::OtherFrame(uint32_t word)
{
    if (!known_) return;
    const platform::CivilTime civil = UnpackDate(word);
    if (civil.minute * 60 + civil.second < now_.minute * 60 + now_.second) {
        if (++now_.hour == 24) {
            // Noon of the day after, normalised by the calendar, names the
            // next date whatever the zone's day-light saving does at midnight.
            platform::CivilTime next{};
            next.year = now_.year;
            next.month = now_.month;
            next.day = now_.day + 1;
            next.hour = 12;
            next.isDst = -1;
            if (const auto seconds = platform::FromLocalTime(next)) {
                const platform::CivilTime day = platform::ToLocalTime(*seconds);
                now_.year = day.year;
                now_.month = day.month;
                now_.day = day.day;
            }
            now_.hour = 0;
        }
    }
    now_.minute = civil.minute;
    now_.second = civil.second;
}

} // namespace streams
