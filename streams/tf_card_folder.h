// One opened TF-card folder and the summaries searched in it. Results are
// the TF-card module's codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "streams/tf_card_layout.h"

namespace streams {

enum TfResult : int {
    kTfOk = 0,
    kTfNotPlaying = 1,
    kTfBadDate = 2,
    kTfNotInitialised = 3,
    kTfNullArgument = 5,
    kTfOtherCard = 6,
    kTfNoCard = 7,
    kTfBufferTooSmall = 13,
};

class TfCardFolder {
public:
    // Reads "rec_info" and the years of the card's day folders.
    int Open(const char* folder, VQ_TF_CARD_INFO* out, const char* account);
    // "year_month_day": with all three the day map (8660 bytes); with the
    // year and month that month's flags refreshed; with the year alone the
    // whole year's; each time the whole flag table (384 bytes) is copied out.
    int Search(const char* text, void* buffer, std::size_t size);
    // The day map of a date, rebuilt when the cached one is of another date.
    const VQ_TF_DAY_MAP& DayMap(int year, int month, int day);

    bool IsOpen() const { return !folder_.empty(); }
    const std::string& Folder() const { return folder_; }
    const std::string& Account() const { return account_; }
    const TfRecInfo& RecInfo() const { return recInfo_; }
    const VQ_TF_CARD_INFO& CardInfo() const { return cardInfo_; }

private:
    std::string folder_; // ends in "/"
    std::string account_;
    TfRecInfo recInfo_;
    VQ_TF_CARD_INFO cardInfo_{};
    VQ_TF_DATE_FLAGS dateFlags_{};
    VQ_TF_DAY_MAP dayMap_{};
    bool dayMapBuilt_ = false;
};

} // namespace streams
