#include "vqSDK/VlrNetSDK/cloud/segment_reader.h"

#include <cstring>

#include "Depend/qn_log.h"

namespace qn_cloud {

SegmentReader::SegmentReader() : buffer_(kUnitBufferSize) {}

int SegmentReader::LoadList(int64_t start, int64_t end, const std::string& folder)
{
    Reset();
    const int count = ListDaySegments(segments_, start, end, folder);
    if (count < 1 || count > kDaySlotCount) {
        segments_.clear();
        QNConsoleTrace("Error: Index file read Failed..\n");
        return kListFailed;
    }
    return 0;
}

void SegmentReader::LoadFile(const std::string& path)
{
    Reset();
    segments_.push_back({path, 0});
}

void SegmentReader::Reset()
{
    file_.Close();
    segments_.clear();
    next_ = 0;
    currentPath_.clear();
    open_ = false;
    ended_ = false;
}

int SegmentReader::OpenNext()
{
    file_.Close();
    open_ = false;
    if (next_ >= segments_.size()) return kNoneLeft;
    const SegmentListEntry& entry = segments_[next_++];
    QNConsoleTrace("%s  %d\n", entry.path.c_str(), entry.sum);
    currentPath_ = entry.path;
    if (!file_.Open(entry.path)) {
        QNConsoleTrace("open InputFile failed:%s\n", entry.path.c_str());
        return kOpenFailed;
    }
    open_ = true;
    ended_ = false;
    return kOpened;
}

int SegmentReader::ReadUnit(SegmentUnit& unit)
{
    if (!open_) return kUnitEnd;
    const int length = ReadSegmentUnit(file_, buffer_.data(), buffer_.size(), unit);
    if (length <= 0) {
        ended_ = true;
        return length;
    }
    lastKind_ = unit.kind;
    return length;
}

int SegmentReader::ReadParameterSets(uint8_t* sps, std::size_t spsCapacity, std::size_t& spsLength,
                                     uint8_t* pps, std::size_t ppsCapacity, std::size_t& ppsLength)
{
    if (!open_) return -1;
    struct Wanted {
        int nalType;
        uint8_t* into;
        std::size_t capacity;
        std::size_t& length;
    };
    const Wanted wanted[] = {{7, sps, spsCapacity, spsLength}, {8, pps, ppsCapacity, ppsLength}};
    int result = 0;
    for (const Wanted& set : wanted) {
        SegmentUnit unit;
        int length = 0;
        for (;;) {
            length = ReadSegmentUnit(file_, buffer_.data(), buffer_.size(), unit);
            if (length <= 0) break;
            const int codeLength = StartCodeLength(buffer_.data(), static_cast<std::size_t>(length));
            if (unit.kind == UnitKind::Scanned && length > codeLength &&
                (buffer_[codeLength] & 0x1F) == set.nalType)
                break;
        }
        if (length <= 0 || set.into == nullptr || static_cast<std::size_t>(length) > set.capacity) {
            result = -1;
            break;
        }
        std::memcpy(set.into, buffer_.data(), static_cast<std::size_t>(length));
        set.length = static_cast<std::size_t>(length);
    }
    if (!file_.Seek(0)) {
        QNConsoleTrace("fseek: sdk_pVideo_H264_File Error..\n");
        return -1;
    }
    return result;
}

} // namespace qn_cloud
