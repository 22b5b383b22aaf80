// The TF-card record index: the camera's search and the decoder of the index
// it sends back.
#include "vqSDK/VlrSystem/vlr_system.h"

int VLR_SYSTEM::SearchRemoteIndexFile(int32_t camera, const QN_NET_SEARCH_FILE* search)
{
    if (search == nullptr) {
        ReportError(VLR_REPORT_PARAM, "SearchRemoteIndexFile");
        return 0;
    }
    if (QN_NET_SearchRemote(camera, search) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "SearchRemoteIndexFile");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::ParseRemoteIndex(qn_cloud::MinuteIndexEntry* spans, int capacity, const uint8_t* index,
                                 std::size_t length, int64_t dayTime)
{
    if (spans == nullptr || capacity <= 0 || index == nullptr) return 0;
    return qn_cloud::parse_day_index_minutes(spans, capacity, index, length, dayTime);
}
