// Reads the segments of a recorded time range one unit at a time: the list of
// segment files comes from the day index, each file is opened in turn, and
// every unit is taken out of it into one 1 MiB buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vqSDK/VlrNetSDK/cloud/byte_source.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrNetSDK/cloud/segment_unit.h"

namespace qn_cloud {

class SegmentReader {
public:
    enum : int {
        kOpened = 1,
        kNoneLeft = 0,
        kOpenFailed = -2,
        kListFailed = -2,
    };

    SegmentReader();

    // The segments of [start, end] from the day index in `folder`: 0, or
    // kListFailed unless between 1 and one day of segments are listed.
    int LoadList(int64_t start, int64_t end, const std::string& folder);
    // A list of exactly this one file.
    void LoadFile(const std::string& path);
    // Forgets the list and closes the open segment.
    void Reset();

    // True when the open segment has ended or none is open.
    bool NeedsNext() const { return !open_ || ended_; }
    // Closes the open segment and opens the next one of the list: kOpened,
    // kNoneLeft, or kOpenFailed (the list still moves past that file).
    int OpenNext();

    // The next unit of the open segment, its length, or a length of 0 or less
    // at the end of the segment (which then needs the next one).
    int ReadUnit(SegmentUnit& unit);
    const uint8_t* UnitData() const { return buffer_.data(); }

    std::size_t SegmentCount() const { return segments_.size(); }
    const std::string& CurrentPath() const { return currentPath_; }
    UnitKind LastUnitKind() const { return lastKind_; }

    // Copies the first SPS and the first PPS unit of the open segment (start
    // codes included) and rewinds it. 0, or -1 without an open segment, when
    // a unit does not fit its buffer, or when the segment has none of them.
    int ReadParameterSets(uint8_t* sps, std::size_t spsCapacity, std::size_t& spsLength, uint8_t* pps,
                          std::size_t ppsCapacity, std::size_t& ppsLength);

private:
    std::vector<SegmentListEntry> segments_;
    std::size_t next_ = 0;
    std::string currentPath_;
    bool open_ = false;
    bool ended_ = false;
    UnitKind lastKind_ = UnitKind::Private;
    FileByteSource file_;
    std::vector<uint8_t> buffer_;
};

} // namespace qn_cloud
