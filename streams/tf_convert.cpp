#include "streams/tf_convert.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "Depend/qn_time.h"
#include "platform/paths.h"
#include "streams/record_stream.h"
#include "streams/tf_card_layout.h"
#include "streams/tf_packet_parser.h"
#include "streams/tf_play_plan.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"

namespace streams {

namespace {

constexpr std::size_t kReadChunk = 10240;

bool OpenPart(const TfConvertRequest& r, TfConvertResult* result)
{
    char now[32] = "";
    QNGetDateTimeText(now, sizeof now);
    const std::string name = TfConvertFileName(r.outputFolder, r.deviceId, now,
                                               [](const std::string& path) { return platform::PathExists(path); });
    if (!QnMp4Coder::getInstance()->startWrite(name.c_str())) return false;
    result->files.push_back(name);
    return true;
}

void WritePacket(const TfPacket& packet, const RecordOwner& owner, std::vector<uint8_t>& scratch)
{
    scratch.assign(packet.payload, packet.payload + packet.payloadLength);
    RecordFrame frame;
    frame.plaintext = true;
    if (packet.audio) {
        frame.kind = "g711a";
        frame.data = scratch.data();
        frame.length = static_cast<int>(scratch.size());
        TfRecordStream().Write(&frame, owner);
        return;
    }
    TfParseH264Frame(scratch.data(), static_cast<int>(scratch.size()), &frame, owner);
}

} // namespace

TfConvertResult ConvertTfSpan(const TfConvertRequest& r, const VQ_TF_DAY_MAP& map, const std::atomic<int>& run)
{
    TfConvertResult result;
    const int total = CountTfMinuteFiles(map, r.startMinute, r.endMinute);
    if (r.progress) r.progress(0, total);
    clQnhParse parser;
    if (!parser.Create(0)) {
        result.failed = true;
        return result;
    }
    RecordOwner owner;
    owner.recordCallback = r.recordCallback;
    std::vector<uint8_t> scratch;
    std::vector<char> chunk(kReadChunk);
    bool open = false;
    for (int minute = r.startMinute; minute < r.endMinute && minute < 24 * 60 && run; ++minute) {
        if (map.slots[minute * 6] == 0) continue;
        if (result.minuteFiles % std::max(r.filesPerPart, 1) == 0) {
            if (open && QnMp4Coder::getInstance()->stopWrite() < 0) result.failed = true;
            open = OpenPart(r, &result);
            if (!open) {
                result.failed = true;
                break;
            }
        }
        if (r.progress) r.progress(result.minuteFiles, total);
        ++result.minuteFiles;
        std::ifstream in(TfSegmentPath(r.cardFolder, r.year, r.month, r.day, minute), std::ios::binary);
        TfPacket packet;
        while (in && run) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<std::size_t>(in.gcount());
            const auto* bytes = reinterpret_cast<const uint8_t*>(chunk.data());
            // A chunk that does not fit waits for the packets ahead of it.
            while (!parser.Append(bytes, got)) {
                if (parser.Next(&packet)) {
                    WritePacket(packet, owner, scratch);
                    continue;
                }
                // The parser made room for a large packet; a second refusal
                // cannot follow, but never loop on it.
                parser.Append(bytes, got);
                break;
            }
            while (parser.Next(&packet)) WritePacket(packet, owner, scratch);
        }
    }
    // The span's end: an empty video packet lets the last one out.
    static const uint8_t kEnd[64] = {0, 0, 1, 0xFD};
    parser.Append(kEnd, sizeof kEnd);
    TfPacket packet;
    while (parser.Next(&packet)) {
        if (packet.payloadLength > 0) WritePacket(packet, owner, scratch);
    }
    if (open && QnMp4Coder::getInstance()->stopWrite() < 0) result.failed = true;
    if (r.progress) r.progress(total, total);
    return result;
}

} // namespace streams
