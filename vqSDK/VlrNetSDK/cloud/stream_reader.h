// The reader state of QN_NET_ReadStreamFile and QN_NET_Parse_Stream: one per
// player, owned by it. A player that plays a single file sets `file_path`
// and opens the reader without a folder.
#pragma once

#include <cstdint>
#include <string>

#include "vqSDK/VlrNetSDK/cloud/segment_reader.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

struct QN_NET_STREAM_READER {
    std::string file_path;

    // Closes the segment and forgets the list and the frame count.
    void Reset();

    qn_cloud::SegmentReader segments;
    bool source_open = false;
    bool key_frame_seen = false; // frames are counted from the first key frame
    int32_t frame_number = 0;
};
