// The recording writer of mp4_v2_api.h.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "Depend/qn_log.h"
#include "vqSDK/QnMp4Helper/aac_encoder.h"
#include "vqSDK/QnMp4Helper/annexb.h"
#include "vqSDK/QnMp4Helper/g711_alaw.h"
#include "vqSDK/QnMp4Helper/mp4_file_writer.h"
#include "vqSDK/QnMp4Helper/mp4_v2_api.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kEndMarker[8] = {0x00, 0x00, 0xFE, 0xEF, 0xC8, 0x00, 0x00, 0x00};
constexpr int kDefaultFrameRate = 25; // for a key frame that states none

struct V2Writer {
    std::recursive_mutex lock;
    qn_mp4::Mp4FileWriter file;
    uint32_t audioTrack = 0;
    uint32_t videoTrack = 0;

    qn_mp4::AacEncoder encoder;

    Bytes sps, pps; // payloads for the sample description
    bool spsSeen = false, ppsSeen = false, pictureSeen = false;
    bool usable = true;
    bool stopped = true;
    QnMp4FrameInfo picture{};      // of the last key frame seen
    QnMp4FrameInfo trackPicture{}; // of the key frame that created the track

    // Parts of the next key-frame sample, and the SEI of the next P frame.
    Bytes pendingKey, pendingSei, pendingPps, pendingSps, pendingPSei;

    std::string path;
    QnMp4EventCallback eventCallback = nullptr;
    void* eventUser = nullptr;
};

V2Writer& Writer()
{
    static V2Writer writer;
    return writer;
}

qn_mp4::AacEncoderSettings EncoderSettings()
{
    qn_mp4::AacEncoderSettings settings;
    settings.mpegVersion = 0; // MPEG-4
    settings.objectType = 2;  // LC
    settings.allowMidSide = 1;
    settings.useTns = true;
    settings.bitRate = 48000;
    settings.bandWidth = 32000;
    settings.quantQuality = 500;
    settings.outputFormat = 0; // raw
    return settings;
}

void ResetStreamState(V2Writer& w)
{
    w.audioTrack = w.videoTrack = 0;
    w.sps.clear();
    w.pps.clear();
    w.spsSeen = w.ppsSeen = w.pictureSeen = false;
    w.picture = w.trackPicture = QnMp4FrameInfo{};
    for (Bytes* part : {&w.pendingKey, &w.pendingSei, &w.pendingPps, &w.pendingSps, &w.pendingPSei}) part->clear();
}

bool WriteAudioSample(V2Writer& w, const uint8_t* data, std::size_t length)
{
    if (w.file.WriteSample(w.audioTrack, data, length, true)) return true;
    QNConsoleTrace("[%s %s %d], MP4EncodeMP4WriteSample m_AudioTrackId err\n", "MP4_V2API", __func__, __LINE__);
    return false;
}

bool WriteVideoSample(V2Writer& w, Bytes& sample, bool sync)
{
    qn_mp4::PutBigEndian32(sample.data(), uint32_t(sample.size() - 4));
    if (w.file.WriteSample(w.videoTrack, sample.data(), sample.size(), sync)) return true;
    QNConsoleTrace("[%s %s %d], MP4EncodeMP4WriteSample m_VedioTrackId err\n", "MP4_V2API", __func__, __LINE__);
    return false;
}

bool PcmToAacEncode(V2Writer& w, const int16_t* samples, std::size_t count)
{
    bool ok = w.encoder.EncodePcm(samples, count, [&w](const uint8_t* bytes, std::size_t length) {
        return WriteAudioSample(w, bytes, length);
    });
    if (!ok) QNConsoleTrace("[%s %s %d], MP4Encode faacEncEncode err\n", "MP4_V2API", __func__, __LINE__);
    return ok;
}

bool WriteKeyFrameSample(V2Writer& w)
{
    Bytes sample;
    sample.swap(w.pendingKey);
    for (Bytes* part : {&w.pendingSei, &w.pendingPps, &w.pendingSps}) {
        sample.insert(sample.end(), part->begin(), part->end());
        part->clear();
    }
    return WriteVideoSample(w, sample, true);
}

bool CreateVideoTrack(V2Writer& w)
{
    int rate = w.picture.frameRate > 0 ? w.picture.frameRate : kDefaultFrameRate;
    qn_mp4::VideoTrackOptions options;
    options.timeScale = 90000;
    options.sampleDuration = uint32_t(90000 / rate);
    options.entry.width = w.picture.width;
    options.entry.height = w.picture.height;
    options.entry.nalLengthSize = 4;
    options.entry.sequenceParameterSets = {w.sps};
    options.entry.pictureParameterSets = {w.pps};
    w.videoTrack = w.file.AddVideoTrack(options);
    if (w.videoTrack == 0) return false;
    w.trackPicture = w.picture;
    return true;
}

bool SamePicture(const QnMp4FrameInfo& a, const QnMp4FrameInfo& b)
{
    return a.width == b.width && a.height == b.height && a.frameRate == b.frameRate;
}

// A key frame once the video track exists: it waits for the side units that
// go behind it, or is written at once when they came first.
bool TakeKeyFrame(V2Writer& w, const uint8_t* data, std::size_t length, const QnMp4FrameInfo& info)
{
    if (!SamePicture(info, w.trackPicture)) {
        w.usable = false;
        if (w.eventCallback != nullptr) w.eventCallback(MP4_EVENT_PICTURE_CHANGED, 0, w.eventUser);
        return false;
    }
    long at = qn_mp4::FindNalStart(data, length, 5);
    if (at < 0) return true;
    w.pendingKey.assign(data + at, data + length);
    if (!w.pendingSei.empty() || !w.pendingPps.empty() || !w.pendingSps.empty()) return WriteKeyFrameSample(w);
    return true;
}

bool TakePFrame(V2Writer& w, const uint8_t* data, std::size_t length)
{
    // A key frame still waiting for its side units goes first, or the P
    // frame would land before the picture it refers to.
    bool ok = w.pendingKey.empty() || WriteKeyFrameSample(w);
    long at = qn_mp4::FindNalStart(data, length, 1);
    if (at < 0) return ok;
    Bytes sample(data + at, data + length);
    sample.insert(sample.end(), w.pendingPSei.begin(), w.pendingPSei.end());
    w.pendingPSei.clear();
    return WriteVideoSample(w, sample, false) && ok;
}

// SPS or PPS before the video track exists: its payload goes to the track's
// sample description.
bool TakeParameterSet(V2Writer& w, const uint8_t* data, std::size_t length, int code)
{
    bool sps = code == QN_MP4_STREAM_FRAME_TYPE_SPS;
    long at = qn_mp4::FindNalStart(data, length, sps ? 7 : 8);
    if (at < 0) return false;
    (sps ? w.sps : w.pps).assign(data + at + 4, data + length);
    (sps ? w.spsSeen : w.ppsSeen) = true;
    if (w.pictureSeen && w.spsSeen && w.ppsSeen) return CreateVideoTrack(w);
    return false;
}

bool WriteFrameLocked(V2Writer& w, const uint8_t* data, std::size_t length, int code, const QnMp4FrameInfo* info)
{
    switch (code) {
    case QN_MP4_STREAM_FRAME_TYPE_A_G711: {
        std::vector<int16_t> samples(length);
        qn_g711::DecodeAlaw(data, length, samples.data());
        return PcmToAacEncode(w, samples.data(), samples.size());
    }
    case QN_MP4_STREAM_FRAME_TYPE_AAC:
        return WriteAudioSample(w, data, length);
    case QN_MP4_STREAM_FRAME_TYPE_SEI_QN:
    case QN_MP4_STREAM_FRAME_TYPE_SPS:
    case QN_MP4_STREAM_FRAME_TYPE_PPS: {
        Bytes& part = code == QN_MP4_STREAM_FRAME_TYPE_SEI_QN ? w.pendingSei
                      : code == QN_MP4_STREAM_FRAME_TYPE_SPS  ? w.pendingSps
                                                              : w.pendingPps;
        part.assign(data, data + length);
        if (!w.pendingKey.empty() && !WriteKeyFrameSample(w)) return false;
        break;
    }
    default:
        break;
    }

    if (w.videoTrack == 0) {
        switch (code) {
        case QN_MP4_STREAM_FRAME_TYPE_I:
            if (info == nullptr) return false;
            w.picture = *info;
            w.pictureSeen = true;
            if (!w.spsSeen || !w.ppsSeen || !CreateVideoTrack(w)) return false;
            return TakeKeyFrame(w, data, length, *info);
        case QN_MP4_STREAM_FRAME_TYPE_P:
            w.spsSeen = w.ppsSeen = w.pictureSeen = false;
            return false;
        case QN_MP4_STREAM_FRAME_TYPE_SPS:
        case QN_MP4_STREAM_FRAME_TYPE_PPS:
            return TakeParameterSet(w, data, length, code);
        default:
            return false;
        }
    }
    switch (code) {
    case QN_MP4_STREAM_FRAME_TYPE_I:
        return info != nullptr && TakeKeyFrame(w, data, length, *info);
    case QN_MP4_STREAM_FRAME_TYPE_P:
        return TakePFrame(w, data, length);
    case QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P:
        w.pendingPSei.assign(data, data + length);
        return true;
    default:
        return true;
    }
}

bool AppendEndMarker(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return false;
    bool ok = std::fwrite(kEndMarker, 1, sizeof kEndMarker, file) == sizeof kEndMarker;
    return std::fclose(file) == 0 && ok;
}

} // namespace

bool qn_MP4V2StartWrite(const char* path)
{
    V2Writer& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    if (path == nullptr || w.file.IsOpen()) return false;
    ResetStreamState(w);
    qn_mp4::MovieOptions movie;
    movie.timeScale = 90000;
    movie.profiles.audioProfileLevel = 2;
    movie.profiles.videoProfileLevel = 127;
    if (!w.file.Create(path, movie)) {
        QNLogPrintW(L"%hs(%d) ERR_MP4FILE_CREATE\n", __func__, __LINE__);
        return false;
    }
    if (!w.encoder.Open(8000, 1, EncoderSettings())) {
        QNLogPrint("%s(%d) Failed to call faacEncOpen()\n", __func__, __LINE__);
        w.file.Close();
        std::remove(path);
        return false;
    }
    qn_mp4::AudioTrackOptions audio;
    audio.timeScale = 8000;
    audio.sampleDuration = 1024;
    audio.entry.channelCount = 1;
    audio.entry.sampleRate = 8000;
    audio.entry.decoderSpecificInfo = w.encoder.DecoderSpecificInfo();
    w.audioTrack = w.file.AddAudioTrack(audio);
    if (w.audioTrack == 0) {
        QNConsoleTrace("[%s %s %d], mp4_start----ERR_MP4FILE_AudioTrack------\n", "MP4_V2API", __func__, __LINE__);
        w.encoder.Close();
        w.file.Close();
        return false;
    }
    w.path = path;
    w.stopped = false;
    return true;
}

bool qn_MP4V2WriteFrame(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info)
{
    V2Writer& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    if (!w.usable || w.stopped || data == nullptr || length <= 0) return false;
    return WriteFrameLocked(w, data, std::size_t(length), code, info);
}

bool qn_MP4V2StopWrite()
{
    V2Writer& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    if (w.stopped) return false;
    // A key frame still waiting for its side units is the recording's last
    // picture; it is kept.
    bool ok = w.pendingKey.empty() || WriteKeyFrameSample(w);
    w.encoder.Close();
    ok = w.file.Close() && ok;
    ok = AppendEndMarker(w.path) && ok;
    ResetStreamState(w);
    w.path.clear();
    w.usable = true;
    w.stopped = true;
    return ok;
}

bool qn_MP4V2SetWriteEvent(QnMp4EventCallback callback, void* user)
{
    V2Writer& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    w.eventCallback = callback;
    w.eventUser = user;
    return true;
}
