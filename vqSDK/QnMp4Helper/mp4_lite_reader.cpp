// The own variant's reader of mp4_lite_api.h: a video and an audio thread
// pace the samples out, and a third thread reports the end of the video.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "vqSDK/QnMp4Helper/annexb.h"
#include "vqSDK/QnMp4Helper/mp4_box_builder.h"
#include "vqSDK/QnMp4Helper/mp4_byte_reader.h"
#include "vqSDK/QnMp4Helper/mp4_file_reader.h"
#include "vqSDK/QnMp4Helper/mp4_lite_api.h"
#include "vqSDK/QnMp4Helper/mp4_read_clock.h"

namespace {

using Bytes = std::vector<uint8_t>;
using qn_mp4::FourCC;

// What a file of the variant holds beyond the standard tables.
struct LiteLayout {
    int32_t totalMs = 0;
    const qn_mp4::TrackInfo* video = nullptr;
    const qn_mp4::TrackInfo* audio = nullptr;
    bool everyFrameKey = false; // a file without sync samples
    bool sideTables = false;
    std::vector<uint32_t> sideSizes, sideOffsets;
    Bytes keySide; // without side tables: the side piece of every key frame
};

bool ReadTable(const qn_mp4::BoxView& box, std::size_t count, std::vector<uint32_t>& table)
{
    if (box.bodySize != count * 4) return false;
    qn_mp4::ByteReader in(box.body, box.bodySize);
    table.resize(count);
    for (uint32_t& value : table) in.U32(value);
    return !in.Failed();
}

bool ParseLayout(const qn_mp4::Mp4FileReader& file, LiteLayout& layout)
{
    const auto& top = file.TopLevelBoxes();
    const uint32_t order[] = {FourCC("ftyp"), FourCC("free"), FourCC("mdat"), FourCC("moov")};
    if (top.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (top[i].type != order[i]) return false;
    }
    const qn_mp4::MovieInfo& movie = file.Movie();
    if (movie.tracks.size() != 2 || movie.tracks[0].handler != FourCC("vide") ||
        movie.tracks[1].handler != FourCC("soun")) {
        return false;
    }
    layout.video = &movie.tracks[0];
    layout.audio = &movie.tracks[1];
    layout.totalMs = int32_t(movie.duration);
    layout.everyFrameKey = layout.video->FirstSyncSample() < 0;

    const Bytes& body = file.MovieBody();
    qn_mp4::BoxView skip;
    if (!qn_mp4::BoxWalker::Find(body.data(), body.size(), FourCC("skip"), skip)) return false;
    qn_mp4::BoxWalker inner(skip.body, skip.bodySize);
    qn_mp4::BoxView sizes, offsets;
    if (inner.Next(sizes) && sizes.type == FourCC("size")) {
        std::size_t count = layout.video->samples.size();
        layout.sideTables = true;
        return inner.Next(offsets) && ReadTable(sizes, count, layout.sideSizes) &&
               ReadTable(offsets, count, layout.sideOffsets);
    }
    layout.keySide.assign(skip.body, skip.body + skip.bodySize);
    return true;
}

struct LiteReader {
    qn_mp4::Mp4FileReader file;
    LiteLayout layout;
    platform::Event stop{true, false};
    platform::Event videoEnded{false, false};
    std::mutex pauseLock;
    std::condition_variable pauseWake;
    bool paused = false;
    std::thread videoThread, audioThread, eventThread;
    QnMp4FrameCallback frameCallback = nullptr;
    void* frameUser = nullptr;
    QnMp4EventCallback eventCallback = nullptr;
    void* eventUser = nullptr;
    bool active = false;
};

LiteReader& Reader()
{
    static LiteReader reader;
    return reader;
}

// False when the reader is stopped.
bool WaitWhilePaused(LiteReader& r)
{
    std::unique_lock<std::mutex> hold(r.pauseLock);
    r.pauseWake.wait(hold, [&r] { return !r.paused || r.stop.IsSet(); });
    return !r.stop.IsSet();
}

// Keeps the samples on their interval: a late sample is made up for by
// shorter waits after it.
class Pacer {
public:
    Pacer(const platform::Clock& clock, int64_t intervalMs) : clock_(clock), interval_(intervalMs) {}
    void Start() { start_ = clock_.MonotonicMs(); }
    void Wait(platform::Event& stop)
    {
        int64_t spent = clock_.MonotonicMs() - start_;
        if (interval_ - spent >= lateness_) {
            clock_.WaitFor(stop, interval_ - spent - lateness_);
            lateness_ = 0;
        } else {
            lateness_ += spent - interval_;
        }
    }

private:
    const platform::Clock& clock_;
    int64_t interval_;
    int64_t start_ = 0;
    int64_t lateness_ = 0;
};

int64_t Interval(const qn_mp4::TrackInfo& track)
{
    return track.samples.empty() ? 0 : int64_t(track.samples[0].duration);
}

void VideoThread(LiteReader& r)
{
    const qn_mp4::TrackInfo& track = *r.layout.video;
    Pacer pacer(qn_mp4::ReadClock(), Interval(track));
    QnMp4ReadTime time{r.layout.totalMs, 0};
    Bytes sample, frame;
    for (std::size_t index = 0; index < track.samples.size(); ++index) {
        if (!WaitWhilePaused(r)) return;
        pacer.Start();
        bool key = track.samples[index].sync || r.layout.everyFrameKey;
        frame.clear();
        if (r.layout.sideTables) {
            uint32_t size = r.layout.sideSizes[index];
            if (size != 0) {
                frame.resize(size);
                if (!r.file.ReadAt(r.layout.sideOffsets[index], size, frame.data())) frame.clear();
            }
        } else if (key) {
            frame = r.layout.keySide;
        }
        time.elapsedMs += int32_t(Interval(track));
        if (r.file.ReadSample(track, index, sample) && sample.size() >= 4) {
            qn_mp4::PutBigEndian32(sample.data(), 1);
            frame.insert(frame.end(), sample.begin(), sample.end());
            if (r.frameCallback != nullptr) {
                r.frameCallback(frame.data(), int(frame.size()),
                                key ? QN_MP4_STREAM_FRAME_TYPE_I : QN_MP4_STREAM_FRAME_TYPE_P, &time, r.frameUser);
            }
        }
        pacer.Wait(r.stop);
    }
    r.videoEnded.Set();
}

void AudioThread(LiteReader& r)
{
    const qn_mp4::TrackInfo& track = *r.layout.audio;
    Pacer pacer(qn_mp4::ReadClock(), Interval(track));
    QnMp4ReadTime time{0, 0};
    Bytes sample;
    for (std::size_t index = 0; index < track.samples.size(); ++index) {
        if (!WaitWhilePaused(r)) return;
        pacer.Start();
        if (r.file.ReadSample(track, index, sample) && !sample.empty() && r.frameCallback != nullptr) {
            r.frameCallback(sample.data(), int(sample.size()), QN_MP4_STREAM_FRAME_TYPE_AAC, &time, r.frameUser);
        }
        pacer.Wait(r.stop);
    }
}

// Reports the end of the video as soon as it comes. The callback runs on a
// reader thread: it must not stop the reader itself.
void EventThread(LiteReader& r)
{
    platform::EventSet events;
    events.Add(r.stop);
    events.Add(r.videoEnded);
    while (events.WaitAny(platform::Event::kInfinite) == 1) {
        if (r.eventCallback != nullptr) r.eventCallback(MP4_EVENT_READ_END, 0, r.eventUser);
    }
}

int OpenLayout(const char* path, qn_mp4::Mp4FileReader& file, LiteLayout& layout)
{
    if (path == nullptr) return -1;
    switch (file.Open(path)) {
    case qn_mp4::Mp4FileReader::OpenResult::kCannotOpen:
        return -1;
    case qn_mp4::Mp4FileReader::OpenResult::kDamaged:
        return -2;
    case qn_mp4::Mp4FileReader::OpenResult::kOpened:
        break;
    }
    return ParseLayout(file, layout) ? 0 : -2;
}

} // namespace

int qn_MP4LiteTest(const char* path)
{
    qn_mp4::Mp4FileReader file;
    LiteLayout layout;
    return OpenLayout(path, file, layout);
}

bool qn_MP4LiteStartRead(const char* path, QnMp4FrameCallback frameCallback, void* frameUser,
                         QnMp4EventCallback eventCallback, void* eventUser)
{
    LiteReader& r = Reader();
    if (r.active) return false;
    r.layout = LiteLayout{};
    int opened = OpenLayout(path, r.file, r.layout);
    if (opened == -1) return false;
    if (opened != 0) {
        r.file.Close();
        if (eventCallback != nullptr) eventCallback(MP4_EVENT_OPEN_FAILED, 0, eventUser);
        return false;
    }
    r.stop.Reset();
    r.videoEnded.Reset();
    r.paused = false;
    r.frameCallback = frameCallback;
    r.frameUser = frameUser;
    r.eventCallback = eventCallback;
    r.eventUser = eventUser;
    r.videoThread = std::thread(VideoThread, std::ref(r));
    r.audioThread = std::thread(AudioThread, std::ref(r));
    r.eventThread = std::thread(EventThread, std::ref(r));
    r.active = true;
    return true;
}

void qn_MP4LitePauseRead()
{
    LiteReader& r = Reader();
    std::lock_guard<std::mutex> hold(r.pauseLock);
    r.paused = true;
}

void qn_MP4LiteResumeRead()
{
    LiteReader& r = Reader();
    {
        std::lock_guard<std::mutex> hold(r.pauseLock);
        r.paused = false;
    }
    r.pauseWake.notify_all();
}

void qn_MP4LiteStopRead()
{
    LiteReader& r = Reader();
    {
        std::lock_guard<std::mutex> hold(r.pauseLock);
        r.stop.Set();
    }
    r.pauseWake.notify_all();
    for (std::thread* thread : {&r.videoThread, &r.audioThread, &r.eventThread}) {
        if (thread->joinable()) thread->join();
    }
    r.frameCallback = nullptr;
    r.file.Close();
    r.layout = LiteLayout{};
    r.active = false;
}
