#include "streams/tf_card_folder.h"

#include <cstdio>
#include <cstring>

#include "platform/paths.h"

namespace streams {

int TfCardFolder::Open(const char* folder, VQ_TF_CARD_INFO* out, const char* account)
{
    if (folder == nullptr || out == nullptr) return kTfNullArgument;
    cardInfo_ = {};
    dateFlags_ = {};
    dayMapBuilt_ = false;
    recInfo_ = {};
    folder_ = folder;
    if (folder_.empty() || !platform::IsDirectory(folder_)) {
        folder_.clear();
        return kTfNoCard;
    }
    if (folder_.back() != '/') folder_ += '/';
    recInfo_ = ReadTfRecInfo(folder_);
    if (recInfo_.complete) {
        cardInfo_.deviceNumber = recInfo_.deviceNumber;
        account_ = account != nullptr ? account : "";
    }
    ListTfCardYears(folder_, cardInfo_.years);
    *out = cardInfo_;
    return kTfOk;
}

const VQ_TF_DAY_MAP& TfCardFolder::DayMap(int year, int month, int day)
{
    if (!dayMapBuilt_ || dayMap_.date != TfDayMapDate(year, month, day)) {
        BuildTfDayMap(folder_, year, month, day, &dayMap_);
        dayMapBuilt_ = true;
    }
    return dayMap_;
}

int TfCardFolder::Search(const char* text, void* buffer, std::size_t size)
{
    if (text == nullptr || buffer == nullptr) return kTfNullArgument;
    if (!IsOpen()) return kTfNoCard;
    int year = 0, month = 0, day = 0;
    std::sscanf(text, "%d_%d_%d", &year, &month, &day);
    if (year < 2000) year = 0;
    if (month < 1 || month > 12) month = 0;
    if (day < 1 || day > 31) day = 0;
    if (year == 0) return kTfBadDate;
    if (month != 0 && day != 0) {
        if (size < sizeof(VQ_TF_DAY_MAP)) return kTfBufferTooSmall;
        std::memcpy(buffer, &DayMap(year, month, day), sizeof(VQ_TF_DAY_MAP));
        return kTfOk;
    }
    if (size < sizeof(VQ_TF_DATE_FLAGS)) return kTfBufferTooSmall;
    if (month != 0) {
        std::memset(dateFlags_.days[month - 1], 0, sizeof dateFlags_.days[0]);
    } else {
        dateFlags_ = {};
    }
    FillTfDateFlags(folder_, year, month, &dateFlags_);
    std::memcpy(buffer, &dateFlags_, sizeof dateFlags_);
    return kTfOk;
}

} // namespace streams
