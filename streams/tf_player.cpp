#include "streams/tf_player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "streams/key_slots.h"
#include "streams/record_stream.h"
#include "streams/tf_card_layout.h"
#include "streams/tf_frame_decrypt.h"
#include "streams/tf_packet_parser.h"
#include "streams/tf_play_plan.h"

namespace streams {

namespace {

constexpr std::size_t kReadChunk = 10240;
constexpr int kStopWaitMs = 4000;
// An empty or full queue is looked at again when the other side changed it,
// or after this at the latest. These waits are not pacing, so they are not
// taken on the play clock.
constexpr int kIdleMs = 10;
// Threads whose span is done look for a new one after this at the latest.
constexpr int kSpanDoneIdleMs = 200;
// The reader reads on while the video byte pool is filled to at most this
// many thousandths.
constexpr uint64_t kFillGate = 700;
// The longest pacing wait of a video and of an audio frame.
constexpr int64_t kLongestVideoWaitMs = 2000;
constexpr int64_t kLongestAudioWaitMs = 500;

} // namespace

TfPlayer::TfPlayer()
{
    queue_.Open(kQueueOwner);
}

TfPlayer::~TfPlayer()
{
    Stop();
    queue_.Close(kQueueOwner);
}

void TfPlayer::Stop()
{
    reader_.run = 0;
    video_.run = 0;
    audio_.run = 0;
    wake_.Set();
    // The output threads let go of the frame they read before the queue is
    // cleared under them.
    QNThreadStop(&video_, kStopWaitMs);
    QNThreadStop(&audio_, kStopWaitMs);
    QNThreadStop(&reader_, kStopWaitMs);
    queue_.Command(kQueueOwner, "clear_all", "");
    std::lock_guard<std::mutex> hold(pendingLock_);
    restart_ = false;
}

bool TfPlayer::Start(const TfPlayRequest& request, const VQ_TF_DAY_MAP& map)
{
    const bool running = reader_.exited == 0 && video_.exited == 0 && audio_.exited == 0 && reader_.run &&
                         video_.run && audio_.run;
    if (running && request.clock == clock_) {
        // The running threads go on with the new span: the reader takes it
        // over as soon as it looks, between two packets.
        std::lock_guard<std::mutex> hold(pendingLock_);
        pending_ = request;
        pendingMap_ = map;
        restart_ = true;
        restartSet_.Set();
        return true;
    }
    Stop();
    clock_ = request.clock;
    pano_ = {};
    request_ = request;
    {
        std::lock_guard<std::mutex> hold(pendingLock_);
        pending_ = request;
        pendingMap_ = map;
        restart_ = true;
    }
    wake_.Reset();
    if (!QNThreadStart(&reader_, &TfPlayer::ReadThread, this)) return false;
    if (!QNThreadStart(&video_, &TfPlayer::VideoThread, this) ||
        !QNThreadStart(&audio_, &TfPlayer::AudioThread, this)) {
        Stop();
        return false;
    }
    return true;
}

bool TfPlayer::RestartAsked()
{
    std::lock_guard<std::mutex> hold(pendingLock_);
    return restart_;
}

void TfPlayer::TakeSpan()
{
    // Neither output thread holds a frame while the queue is cleared and the
    // request changes under them.
    std::scoped_lock handing(videoHanding_, audioHanding_, pendingLock_);
    request_ = pending_;
    map_ = pendingMap_;
    restart_ = false;
    queue_.Command(kQueueOwner, "clear_all", "");
    readerDone_ = false;
    lastAudioValue_ = 0;
    frameRate_ = 25;
    security_ = {};
    outputsLeft_ = 2;
    endReported_[0] = endReported_[1] = false;
}

void TfPlayer::ReadThread(void* self)
{
    auto* player = static_cast<TfPlayer*>(self);
    clQnhParse parser;
    if (!parser.Create(player->request_.parserSize)) {
        player->TakeSpan();
        if (player->request_.error) player->request_.error(kTfParserFailed, "clQnhParse.Create failed.");
        player->EndOfSpan();
        return;
    }
    // After its span the reader waits for a new one, or for the stop.
    while (player->reader_.run) {
        if (player->RestartAsked()) {
            player->TakeSpan();
            parser.Reset();
            player->ReadSpan(parser);
            continue;
        }
        player->Idle(player->restartSet_, kSpanDoneIdleMs);
    }
}

void TfPlayer::VideoThread(void* self)
{
    static_cast<TfPlayer*>(self)->Output(true);
}

void TfPlayer::AudioThread(void* self)
{
    static_cast<TfPlayer*>(self)->Output(false);
}

void TfPlayer::Idle(platform::Event& change, int64_t ms)
{
    platform::EventSet events;
    events.Add(wake_);
    events.Add(change);
    events.WaitAny(ms);
}

bool TfPlayer::RoomToRead()
{
    StreamQueueStats stats;
    if (!queue_.State(kQueueOwner, &stats)) return true;
    return (stats.word >> 6 & 0x3FF) <= kFillGate;
}

bool TfPlayer::PutFrame(const StreamFrameRecord& record)
{
    const bool audio = record.kind == static_cast<int>(QueueKind::Audio);
    while (reader_.run && !RestartAsked()) {
        StreamQueueStats stats;
        if (queue_.Put(kQueueOwner, record, &stats)) {
            (audio ? audioPut_ : videoPut_).Set();
            return true;
        }
        Idle(roomMade_, kIdleMs);
    }
    return false;
}

void TfPlayer::EndOfSpan()
{
    readerDone_ = true;
    videoPut_.Set();
    audioPut_.Set();
}

void TfPlayer::ReadSpan(clQnhParse& parser)
{
    uint32_t videoFrames = 0;
    uint32_t audioFrames = 0;
    uint64_t audioBytes = 0;
    std::vector<char> chunk(kReadChunk);
    auto deliver = [&](const TfPacket& packet) {
        if (packet.payloadLength == 0 || packet.payloadLength > queue_.MaxFrameLength(QueueKind::Video)) return true;
        StreamFrameRecord record;
        record.data = packet.payload;
        record.length = packet.payloadLength;
        if (packet.audio) {
            record.kind = static_cast<int>(QueueKind::Audio);
            // A number of its own keeps each packet a frame of its own in the
            // queue, which would gather packets of one number into one.
            record.frameNumber = audioFrames++;
            // Audio carries its media time in video-frame units, so that the
            // output threads compare it with the video frame index.
            audioBytes += packet.payloadLength;
            record.value = static_cast<uint32_t>(audioBytes / 8 * static_cast<uint64_t>(frameRate_.load()) / 1000);
        } else {
            const TfFrameScan scan = ScanTfFrame(packet.payload, packet.payloadLength, nullptr);
            if (scan.frameRate > 0) frameRate_ = scan.frameRate;
            record.kind = static_cast<int>(QueueKind::Video);
            record.flags = packet.keyFrame ? 1u : 0u;
            record.frameNumber = videoFrames;
            record.value = videoFrames++;
        }
        return PutFrame(record);
    };
    TfPacket packet;
    bool going = true;
    auto reading = [this] { return reader_.run && !RestartAsked(); };
    for (int minute = request_.startMinute; going && minute < request_.endMinute && minute < 24 * 60 && reading();
         ++minute) {
        if (map_.slots[minute * 6] == 0) continue;
        std::ifstream in(TfSegmentPath(request_.cardFolder, request_.year, request_.month, request_.day, minute),
                         std::ios::binary);
        while (going && in && reading()) {
            if (!RoomToRead()) {
                Idle(roomMade_, kIdleMs);
                continue;
            }
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<std::size_t>(in.gcount());
            const auto* bytes = reinterpret_cast<const uint8_t*>(chunk.data());
            while (going && !parser.Append(bytes, got)) {
                if (parser.Next(&packet)) {
                    going = deliver(packet);
                    continue;
                }
                parser.Append(bytes, got);
                break;
            }
            while (going && parser.Next(&packet)) going = deliver(packet);
        }
    }
    // A new span was asked for: it starts over, without the end of this one.
    if (!reading()) return;
    // The span's end: an empty video packet lets the last one out.
    static const uint8_t kEnd[64] = {0, 0, 1, 0xFD};
    parser.Append(kEnd, sizeof kEnd);
    while (going && parser.Next(&packet)) going = deliver(packet);
    // The queue hands an audio frame out once the next one follows: a last
    // byte, never read, lets the span's last sound out.
    if (going && audioFrames > 0) {
        static const uint8_t kLast = 0xD5; // A-law silence
        StreamFrameRecord last;
        last.kind = static_cast<int>(QueueKind::Audio);
        last.data = &kLast;
        last.length = 1;
        last.frameNumber = audioFrames;
        PutFrame(last);
    }
    EndOfSpan();
}

const uint8_t* TfPlayer::Plain(const uint8_t* data, uint32_t length)
{
    if (request_.keys == nullptr) return nullptr;
    plain_.assign(data, data + length);
    const int result = DecryptTfVideo(*request_.keys, security_, plain_.data(), plain_.size());
    if (result == QNPS_RETURN_VAL_OK) {
        if (request_.event) request_.event(21, "ok");
        return plain_.data();
    }
    if (result == QNPS_RETURN_VAL_IGNORE_BY_LV) return data;
    if (const char* text = TfPasswordText(result); text != nullptr && request_.event) request_.event(19, text);
    return nullptr;
}

void TfPlayer::Record(const uint8_t* data, uint32_t length, bool video)
{
    if (request_.recording == nullptr || !*request_.recording || data == nullptr || length == 0) return;
    std::vector<uint8_t>& copy = video ? videoRecord_ : audioRecord_;
    copy.assign(data, data + length);
    RecordOwner owner;
    owner.recordCallback = request_.recordCallback;
    RecordFrame frame;
    frame.plaintext = true; // decrypted already, when it was protected
    if (video) {
        TfParseH264Frame(copy.data(), static_cast<int>(copy.size()), &frame, owner);
        return;
    }
    frame.kind = "g711a";
    frame.data = copy.data();
    frame.length = static_cast<int>(copy.size());
    TfRecordStream().Write(&frame, owner);
}

void TfPlayer::Output(bool video)
{
    QNThread& self = video ? video_ : audio_;
    std::mutex& handing = video ? videoHanding_ : audioHanding_;
    const int kind = static_cast<int>(video ? QueueKind::Video : QueueKind::Audio);
    bool dropToKey = false;
    while (self.run) {
        std::unique_lock<std::mutex> hold(handing);
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        StreamQueueStats stats;
        if (!queue_.Read(kQueueOwner, &data, &length, &stats, kind)) {
            // Nothing is put after the reader ended its span, so an empty
            // queue then stays empty until a new span; the thread waits for it.
            const bool spanDone = readerDone_ && !queue_.Read(kQueueOwner, &data, &length, &stats, kind);
            if (spanDone || !readerDone_) {
                if (spanDone && !endReported_[video ? 0 : 1]) {
                    endReported_[video ? 0 : 1] = true;
                    if (--outputsLeft_ == 0 && request_.finished) request_.finished();
                }
                hold.unlock();
                Idle(video ? videoPut_ : audioPut_, spanDone ? kSpanDoneIdleMs : kIdleMs);
                continue;
            }
        }
        // Pacing counts from the moment the frame was taken.
        const int64_t taken = Clock().MonotonicMs();
        const bool key = (stats.word & 2u) != 0;
        VQ_FRAME_INFO info{};
        info.deviceNumber = request_.deviceNumber;
        info.length = static_cast<int32_t>(length);
        info.queueValue = stats.value;
        info.kind = 2;
        info.data = data;
        int64_t waitMs;
        bool skip = false;
        const uint8_t* recorded = nullptr;
        if (video) {
            const VQ_PANO_PARAM before = pano_;
            const TfFrameScan scan = ScanTfFrame(data, length, &pano_);
            if (request_.panorama && std::memcmp(&before, &pano_, sizeof pano_) != 0) request_.panorama(pano_);
            const float rate = scan.frameRate > 0 ? scan.frameRate : frameRate_.load();
            if (key) security_ = scan;
            info.key = key ? 0 : 1;
            if (security_.secure) {
                const uint8_t* plain = Plain(data, length);
                // A frame that cannot be decrypted is not shown.
                skip = plain == nullptr;
                if (plain != nullptr) info.data = plain;
            }
            // Recorded whenever it could be shown, key-frames-only catch-up aside.
            if (!skip) recorded = info.data;
            info.nal = info.data + scan.frameStart;
            info.nalLength = static_cast<int32_t>(length - scan.frameStart);
            for (int i = 0; i < 3; ++i) info.ptz[i] = scan.ptz[i];
            if (scan.haveTime) {
                info.year = scan.time.year;
                info.month = scan.time.month;
                info.day = scan.time.day;
                info.hour = scan.time.hour;
                info.minute = scan.time.minute;
                info.second = scan.time.second;
            }
            const float factor = TfPaceFactor(TfLagMs(lastAudioValue_, stats.value, rate));
            // Far behind the sound: only key frames are shown until it catches up.
            skip = skip || (factor >= 20.0f && !key);
            if (key) dropToKey = false;
            skip = skip || dropToKey;
            waitMs = std::min(static_cast<int64_t>(TfFrameIntervalMs(rate) / factor), kLongestVideoWaitMs);
        } else {
            info.key = 2;
            lastAudioValue_ = stats.value;
            recorded = data;
            // A little faster than the sound plays, so that its device never runs dry.
            waitMs = std::min(static_cast<int64_t>(TfAudioDurationMs(static_cast<int>(length), 1.0f)) * 100 / 120,
                              kLongestAudioWaitMs);
        }
        const std::function<int(VQ_FRAME_INFO*)>& callback = video ? request_.video : request_.audio;
        if (!skip && callback) {
            const int answer = callback(&info);
            if (answer == 1) {
                hold.unlock();
                Clock().WaitFor(wake_, kIdleMs);
                continue;
            }
            if (answer == 2 && video) dropToKey = true;
        }
        Record(recorded, length, video);
        queue_.Release(kQueueOwner, kind);
        hold.unlock();
        roomMade_.Set();
        const int64_t left = taken + waitMs - Clock().MonotonicMs();
        if (!skip && left > 0) Clock().WaitFor(wake_, left);
    }
}

} // namespace streams
