// QN_NET_ReadStreamFile and QN_NET_Parse_Stream: downloaded cloud segments
// read frame by frame.
#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/cloud/stream_reader.h"

void QN_NET_STREAM_READER::Reset()
{
    segments.Reset();
    source_open = false;
    key_frame_seen = false;
    frame_number = 0;
}

extern "C" int QN_NET_ReadStreamFile(QN_NET_STREAM_READER* reader, const QN_NET_TIME_SPAN* span, const char* folder)
{
    if (reader == nullptr) return 0;
    reader->Reset();
    if (folder != nullptr) {
        if (span == nullptr) return 0;
        reader->source_open = reader->segments.LoadList(span->start, span->end, folder) == 0;
    } else {
        reader->segments.LoadFile(reader->file_path);
        reader->source_open = reader->segments.OpenNext() == qn_cloud::SegmentReader::kOpened;
    }
    return reader->source_open ? 1 : 0;
}

extern "C" int QN_NET_Parse_Stream(int32_t, QN_NET_STREAM_READER* reader, const QN_NET_TIME_SPAN*,
                                   QN_NET_STREAM_FRAME_CALLBACK callback)
{
    if (reader == nullptr || !reader->source_open) {
        QNConsoleTrace("QN_NET_Parse_Stream Init failed\n");
        return -3;
    }
    bool opened = false;
    // Each pass takes one unit or one segment off the list, so this ends.
    for (;;) {
        if (reader->segments.NeedsNext()) {
            const int result = reader->segments.OpenNext();
            if (result != qn_cloud::SegmentReader::kOpened) return result;
            opened = true;
        }
        qn_cloud::SegmentUnit unit;
        const int length = reader->segments.ReadUnit(unit);
        if (length <= 0) continue;
        if (!reader->key_frame_seen) {
            // Nothing plays before the first key frame.
            if (unit.frameType != 0) continue;
            reader->key_frame_seen = true;
            reader->frame_number = 1;
        } else if (unit.frameType == 0 || unit.frameType == 1) {
            ++reader->frame_number;
        }
        if (callback != nullptr) {
            callback(reinterpret_cast<char*>(const_cast<uint8_t*>(reader->segments.UnitData())), unit.frameType,
                     reader->frame_number, length);
        }
        return opened ? 2 : 1;
    }
}
