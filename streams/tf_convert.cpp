#include "streams/tf_convert.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "Depend/qn_time.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/paths.h"
#include "streams/key_slots.h"
#include "streams/record_stream.h"
#include "streams/tf_card_layout.h"
#include "streams/tf_frame_decrypt.h"
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

constexpr int kPasswordRetryMs = 1000;

// Writes the packets of a span into the open MP4 part, decrypting protected
// video first so that the record stream meets plain frames only.
class PacketWriter {
public:
    PacketWriter(const TfConvertRequest& r, const std::atomic<int>& run) : r_(r), run_(run)
    {
        owner_.recordCallback = r.recordCallback;
    }

    // A frame still waiting for its password when the run ends is not written.
    void Write(const TfPacket& packet)
    {
        scratch_.assign(packet.payload, packet.payload + packet.payloadLength);
        RecordFrame frame;
        frame.plaintext = true;
        if (packet.audio) {
            frame.kind = "g711a";
            frame.data = scratch_.data();
            frame.length = static_cast<int>(scratch_.size());
            TfRecordStream().Write(&frame, owner_);
            return;
        }
        const VQ_PANO_PARAM before = pano_;
        const TfFrameScan scan = ScanTfFrame(scratch_.data(), scratch_.size(), &pano_);
        if (r_.panorama && std::memcmp(&before, &pano_, sizeof pano_) != 0) r_.panorama(pano_);
        if (packet.keyFrame) security_ = scan;
        if (security_.secure && !Decrypt()) return;
        TfParseH264Frame(scratch_.data(), static_cast<int>(scratch_.size()), &frame, owner_);
    }

private:
    // False when the run ended first.
    bool Decrypt()
    {
        platform::Event& wake = r_.wake != nullptr ? *r_.wake : neverSet_;
        const platform::Clock& clock = r_.clock != nullptr ? *r_.clock : platform::Clock::System();
        while (run_) {
            // A failed key test leaves the frame as it was, so it is tried again as read.
            const int result = r_.keys != nullptr ? DecryptTfVideo(*r_.keys, security_, scratch_.data(), scratch_.size())
                                                  : kQnpsNoKeyTable;
            if (result == QNPS_RETURN_VAL_OK) {
                if (r_.event) r_.event(21, "ok");
                return true;
            }
            const char* text = TfPasswordText(result);
            if (text == nullptr) return true; // nothing to decrypt, or a frame the key test cannot judge
            if (r_.event) r_.event(19, text);
            clock.WaitFor(wake, kPasswordRetryMs);
        }
        return false;
    }

    const TfConvertRequest& r_;
    const std::atomic<int>& run_;
    RecordOwner owner_;
    TfFrameScan security_{};
    VQ_PANO_PARAM pano_{};
    std::vector<uint8_t> scratch_;
    platform::Event neverSet_{true, false}; // the wake of a request without one
};

} // namespace

TfConvertResult ConvertTfSpan(const TfConvertRequest& r, const VQ_TF_DAY_MAP& map, const std::atomic<int>& run)
{
    TfConvertResult result;
    const int total = CountTfMinuteFiles(map, r.startMinute, r.endMinute);
    if (r.progress) r.progress(0, total);
    clQnhParse parser;
    if (!parser.Create(r.parserSize)) {
        if (r.error) r.error(kTfParserFailed, "clQnhParse.Create failed.");
        result.failed = true;
        return result;
    }
    PacketWriter writer(r, run);
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
                    writer.Write(packet);
                    continue;
                }
                // The parser made room for a large packet; a second refusal
                // cannot follow, but never loop on it.
                parser.Append(bytes, got);
                break;
            }
            while (parser.Next(&packet)) writer.Write(packet);
        }
    }
    // The span's end: an empty video packet lets the last one out.
    static const uint8_t kEnd[64] = {0, 0, 1, 0xFD};
    parser.Append(kEnd, sizeof kEnd);
    TfPacket packet;
    while (parser.Next(&packet)) {
        if (packet.payloadLength > 0) writer.Write(packet);
    }
    if (open && QnMp4Coder::getInstance()->stopWrite() < 0) result.failed = true;
    if (r.progress) r.progress(total, total);
    return result;
}

} // namespace streams
