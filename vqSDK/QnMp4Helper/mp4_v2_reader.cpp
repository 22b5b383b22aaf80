// The reader of mp4_v2_api.h: two threads pace the audio and the video
// samples out to the frame callback.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "vqSDK/QnMp4Helper/annexb.h"
#include "vqSDK/QnMp4Helper/mp4_box_builder.h"
#include "vqSDK/QnMp4Helper/mp4_file_reader.h"
#include "vqSDK/QnMp4Helper/mp4_lite_api.h"
#include "vqSDK/QnMp4Helper/mp4_read_clock.h"
#include "vqSDK/QnMp4Helper/mp4_v2_api.h"

namespace {

using qn_mp4::FourCC;

constexpr int64_t kPausePollMs = 50;

struct V2Reader {
    qn_mp4::Mp4FileReader file;
    const qn_mp4::TrackInfo* video = nullptr;
    const qn_mp4::TrackInfo* audio = nullptr;
    platform::Event stop{true, false};
    std::atomic<bool> paused{false};
    std::atomic<float> speed{1.0f};
    std::thread audioThread, videoThread;
    QnMp4FrameCallback frameCallback = nullptr;
    void* frameUser = nullptr;
    QnMp4EventCallback eventCallback = nullptr;
    void* eventUser = nullptr;
    bool ownVariant = false; // the own variant's reader is the active one
    bool active = false;
};

V2Reader& Reader()
{
    static V2Reader reader;
    return reader;
}

int32_t ToMs(uint64_t units, uint32_t timeScale)
{
    return timeScale == 0 ? 0 : int32_t(units * 1000 / timeScale);
}

// Hands the samples of one track out, each after the one before has had its
// own duration (times the speed factor).
void ReadTrack(V2Reader& r, const qn_mp4::TrackInfo& track, bool isVideo)
{
    const platform::Clock& clock = qn_mp4::ReadClock();
    QnMp4ReadTime time{ToMs(track.duration, track.timeScale), 0};
    std::vector<uint8_t> sample;
    for (std::size_t index = 0; index < track.samples.size();) {
        if (r.stop.IsSet()) return;
        if (r.paused) {
            clock.WaitFor(r.stop, kPausePollMs);
            continue;
        }
        const qn_mp4::SampleRef& ref = track.samples[index];
        int32_t sampleMs = ToMs(ref.duration, track.timeScale);
        time.elapsedMs += sampleMs;
        int taken = 1;
        if (r.file.ReadSample(track, index, sample) && !sample.empty()) {
            int code = QN_MP4_STREAM_FRAME_TYPE_AAC;
            if (isVideo) {
                qn_mp4::ReorderSampleForReading(sample);
                code = ref.sync ? QN_MP4_STREAM_FRAME_TYPE_I : QN_MP4_STREAM_FRAME_TYPE_P;
            }
            if (r.frameCallback != nullptr) {
                taken = r.frameCallback(sample.data(), int(sample.size()), code, &time, r.frameUser);
            }
        }
        if (taken == 0) {
            time.elapsedMs -= sampleMs;
        } else {
            ++index;
        }
        if (sampleMs >= 1) clock.WaitFor(r.stop, int64_t(double(sampleMs) * r.speed.load()));
    }
    if (isVideo && r.eventCallback != nullptr) r.eventCallback(MP4_EVENT_READ_END, 0, r.eventUser);
}

const qn_mp4::TrackInfo* LastTrack(const qn_mp4::MovieInfo& movie, uint32_t handler)
{
    const qn_mp4::TrackInfo* found = nullptr;
    for (const qn_mp4::TrackInfo& track : movie.tracks) {
        if (track.handler == handler) found = &track;
    }
    return found;
}

bool HasEndMarker(const char* path, uint64_t* size = nullptr)
{
    if (path == nullptr) return false;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    uint8_t tail[8];
    bool marked = false;
    if (fseeko(file, 0, SEEK_END) == 0) {
        off_t end = ftello(file);
        if (size != nullptr) *size = uint64_t(end);
        marked = end > 499 && fseeko(file, end - 8, SEEK_SET) == 0 && std::fread(tail, 1, 8, file) == 8 &&
                 tail[0] == 0 && tail[1] == 0 && tail[2] == 0xFE && tail[3] == 0xEF &&
                 (uint32_t(tail[4]) | uint32_t(tail[5]) << 8 | uint32_t(tail[6]) << 16 | uint32_t(tail[7]) << 24) >= 200;
    }
    std::fclose(file);
    return marked;
}

} // namespace

bool mp4CheckIsV2File(const char* path) { return HasEndMarker(path); }

int qn_MP4V2CheckFile(const char* path)
{
    if (!mp4CheckIsV2File(path)) return qn_MP4LiteTest(path);
    qn_mp4::Mp4FileReader file;
    return file.Open(path) == qn_mp4::Mp4FileReader::OpenResult::kOpened ? 0 : -2;
}

bool qn_MP4V2StarRead(const char* path, QnMp4FrameCallback frameCallback, void* frameUser,
                      QnMp4EventCallback eventCallback, void* eventUser)
{
    V2Reader& r = Reader();
    if (r.active || path == nullptr) return false;
    if (!mp4CheckIsV2File(path)) {
        r.ownVariant = qn_MP4LiteStartRead(path, frameCallback, frameUser, eventCallback, eventUser);
        r.active = r.ownVariant;
        return r.ownVariant;
    }
    if (r.file.Open(path) != qn_mp4::Mp4FileReader::OpenResult::kOpened) {
        if (eventCallback != nullptr) eventCallback(MP4_EVENT_OPEN_FAILED, 0, eventUser);
        return false;
    }
    r.video = LastTrack(r.file.Movie(), FourCC("vide"));
    r.audio = LastTrack(r.file.Movie(), FourCC("soun"));
    if (r.video == nullptr || r.audio == nullptr) {
        r.file.Close();
        return false;
    }
    r.stop.Reset();
    r.paused = false;
    r.frameCallback = frameCallback;
    r.frameUser = frameUser;
    r.eventCallback = eventCallback;
    r.eventUser = eventUser;
    r.audioThread = std::thread([&r] { ReadTrack(r, *r.audio, false); });
    r.videoThread = std::thread([&r] { ReadTrack(r, *r.video, true); });
    r.active = true;
    return true;
}

bool qn_MP4V2StopRead()
{
    V2Reader& r = Reader();
    if (r.ownVariant) {
        qn_MP4LiteStopRead();
    } else {
        r.stop.Set();
        if (r.audioThread.joinable()) r.audioThread.join();
        if (r.videoThread.joinable()) r.videoThread.join();
        r.file.Close();
        r.video = r.audio = nullptr;
    }
    r.ownVariant = false;
    r.active = false;
    return true;
}

bool qn_MP4V2PauseRead()
{
    V2Reader& r = Reader();
    if (r.ownVariant) {
        qn_MP4LitePauseRead();
    } else {
        r.paused = true;
    }
    return true;
}

bool qn_MP4V2ResumeRead()
{
    V2Reader& r = Reader();
    if (r.ownVariant) {
        qn_MP4LiteResumeRead();
    } else {
        r.paused = false;
    }
    return true;
}

void qn_MP4V2SetSpeed(float factor) { Reader().speed = factor; }

int qn_MP4ReadFirstIFrame(const char* path, uint8_t** data, int* length)
{
    if (data == nullptr || length == nullptr) return -2;
    if (!mp4CheckIsV2File(path)) return -1;
    qn_mp4::Mp4FileReader file;
    if (file.Open(path) != qn_mp4::Mp4FileReader::OpenResult::kOpened) return -2;
    const qn_mp4::TrackInfo* video = file.Movie().FindTrack(FourCC("vide"));
    if (video == nullptr) return -2;
    long first = video->FirstSyncSample();
    if (first < 0) return -3;
    std::vector<uint8_t> sample;
    if (!file.ReadSample(*video, std::size_t(first), sample) || sample.empty()) return -4;
    qn_mp4::ReorderSampleForReading(sample);
    *data = static_cast<uint8_t*>(std::malloc(sample.size()));
    if (*data == nullptr) return -4;
    std::memcpy(*data, sample.data(), sample.size());
    *length = int(sample.size());
    return 0;
}
