// The own variant's writer of mp4_lite_api.h: samples go to the file as they
// arrive; the tables stay in memory until the close writes the movie box.
#include <cstdio>
#include <mutex>
#include <vector>

#include "vqSDK/QnMp4Helper/aac_encoder.h"
#include "vqSDK/QnMp4Helper/adts_header.h"
#include "vqSDK/QnMp4Helper/annexb.h"
#include "vqSDK/QnMp4Helper/g711_alaw.h"
#include "vqSDK/QnMp4Helper/mp4_boxes.h"
#include "vqSDK/QnMp4Helper/mp4_lite_api.h"
#include "vqSDK/QnMp4Helper/mp4_lite_layout.h"

namespace {

using Bytes = std::vector<uint8_t>;
using qn_mp4::FourCC;

struct LiteTrack {
    std::vector<uint32_t> sizes;
    std::vector<uint64_t> offsets; // every sample is its own chunk
};

struct LiteWriter {
    std::recursive_mutex lock;
    std::FILE* file = nullptr;
    bool usable = true;
    bool stopped = true;
    bool videoStarted = false;
    bool audioHeaderSeen = false;
    QnMp4FrameInfo picture{};

    Bytes sps, pps, side;
    int audioRate = 0, audioChannels = 0, audioObjectType = 0;
    qn_mp4::AacEncoder encoder;

    uint64_t offset = 0; // where the next byte goes
    double videoMs = 0, audioMs = 0;
    LiteTrack video, audio;
    std::vector<uint32_t> keyFrames; // 1-based
    std::vector<uint32_t> sideSizes, sideOffsets;

    QnMp4EventCallback eventCallback = nullptr;
    void* eventUser = nullptr;
};

LiteWriter& Writer()
{
    static LiteWriter writer;
    return writer;
}

qn_mp4::AacEncoderSettings EncoderSettings()
{
    qn_mp4::AacEncoderSettings settings;
    settings.mpegVersion = 0; // MPEG-4
    settings.objectType = 2;  // LC: FAAC refuses Main
    settings.useTns = true;
    settings.quantQuality = 500;
    settings.bandWidth = 0;
    settings.outputFormat = 1; // ADTS
    return settings;
}

void ClearTables(LiteWriter& w)
{
    w.offset = 0;
    w.videoMs = w.audioMs = 0;
    w.video = LiteTrack{};
    w.audio = LiteTrack{};
    w.keyFrames.clear();
    w.sideSizes.clear();
    w.sideOffsets.clear();
    w.side.clear();
}

bool Write(LiteWriter& w, const uint8_t* data, std::size_t length)
{
    return std::fwrite(data, 1, length, w.file) == length;
}

// Offsets of the variant are 32-bit: data that would pass them is refused.
bool Fits(const LiteWriter& w, std::size_t more) { return w.offset + more <= UINT32_MAX; }

bool WriteAudioSample(LiteWriter& w, const uint8_t* data, std::size_t length)
{
    if (!Fits(w, length)) return false;
    if (w.audioRate == 0) {
        // Ready AAC before any encoded block: its own header tells the rate.
        qn_mp4::AdtsHeader header;
        if (qn_mp4::ParseAdtsHeader(data, length, header)) w.audioRate = int(qn_mp4::SamplingFrequency(header.frequencyIndex));
    }
    bool ok = Write(w, data, length);
    w.audio.sizes.push_back(uint32_t(length));
    w.audio.offsets.push_back(w.offset);
    w.offset += length;
    w.audioMs += 1024000.0 / (w.audioRate > 0 ? w.audioRate : qn_mp4::kLiteDefaultAudioRate);
    return ok;
}

bool WriteEncodedBlock(LiteWriter& w, const uint8_t* data, std::size_t length)
{
    if (!w.audioHeaderSeen) {
        qn_mp4::AdtsHeader header;
        if (!qn_mp4::ParseAdtsHeader(data, length, header) || header.hasCrc) return true;
        if (header.frequencyIndex == 4) w.audioRate = 44100;
        if (header.frequencyIndex == 11) w.audioRate = 8000;
        if (header.channels == 1) w.audioChannels = 1;
        w.audioObjectType = header.objectType;
        w.audioHeaderSeen = true;
    }
    return WriteAudioSample(w, data, length);
}

// A video sample from its first start code on: the side piece collected for
// it, then the sample with its start code turned into its length.
bool WriteVideoSample(LiteWriter& w, const uint8_t* data, std::size_t length, bool key)
{
    if (length < 4 || !Fits(w, 4 + w.side.size() + length)) return false;
    bool ok = true;
    uint8_t field[4];
    uint32_t sideSize = 0, sideOffset = 0;
    if (!w.side.empty()) {
        qn_mp4::PutBigEndian32(field, uint32_t(w.side.size()));
        ok = Write(w, field, 4) && Write(w, w.side.data(), w.side.size());
        sideSize = uint32_t(w.side.size());
        sideOffset = uint32_t(w.offset + 4);
        w.offset += 4 + w.side.size();
        w.side.clear();
    }
    w.sideSizes.push_back(sideSize);
    w.sideOffsets.push_back(sideOffset);
    qn_mp4::PutBigEndian32(field, uint32_t(length - 4));
    ok = Write(w, field, 4) && Write(w, data + 4, length - 4) && ok;
    w.video.sizes.push_back(uint32_t(length));
    w.video.offsets.push_back(w.offset);
    if (key) w.keyFrames.push_back(uint32_t(w.video.sizes.size()));
    w.offset += length;
    w.videoMs += 1000.0 / w.picture.frameRate;
    return ok;
}

bool WriteKeyFrame(LiteWriter& w, const uint8_t* data, std::size_t length)
{
    long at = qn_mp4::FindNalStart(data, length, 5);
    if (at < 0) return true;
    return WriteVideoSample(w, data + at, length - std::size_t(at), true);
}

void RaiseEvent(LiteWriter& w, int code)
{
    if (w.eventCallback != nullptr) w.eventCallback(code, 0, w.eventUser);
}

bool WriteFrameLocked(LiteWriter& w, const uint8_t* data, std::size_t length, int code, const QnMp4FrameInfo* info)
{
    switch (code) {
    case QN_MP4_STREAM_FRAME_TYPE_A_G711: {
        std::vector<int16_t> samples(length);
        qn_g711::DecodeAlaw(data, length, samples.data());
        w.encoder.EncodePcm(samples.data(), samples.size(),
                            [&w](const uint8_t* bytes, std::size_t size) { return WriteEncodedBlock(w, bytes, size); });
        return true;
    }
    case QN_MP4_STREAM_FRAME_TYPE_AAC:
        WriteAudioSample(w, data, length);
        return true;
    // The key frame's private SEI goes with the others: it carries the
    // panorama parameters the player needs for that picture.
    case QN_MP4_STREAM_FRAME_TYPE_SEI:
    case QN_MP4_STREAM_FRAME_TYPE_SEI_QN:
    case QN_MP4_STREAM_FRAME_TYPE_SPS:
    case QN_MP4_STREAM_FRAME_TYPE_PPS:
        w.side.insert(w.side.end(), data, data + length);
        break;
    default:
        break;
    }

    if (!w.videoStarted) {
        switch (code) {
        case QN_MP4_STREAM_FRAME_TYPE_I:
            if (info == nullptr) return false;
            if (info->frameRate <= 0) {
                RaiseEvent(w, MP4_EVENT_NO_FRAME_RATE);
                return false;
            }
            w.picture = *info;
            w.videoStarted = true;
            return WriteKeyFrame(w, data, length);
        case QN_MP4_STREAM_FRAME_TYPE_SPS:
        case QN_MP4_STREAM_FRAME_TYPE_PPS:
            if (length > 4) (code == QN_MP4_STREAM_FRAME_TYPE_SPS ? w.sps : w.pps).assign(data + 4, data + length);
            return false;
        default:
            return false;
        }
    }
    switch (code) {
    case QN_MP4_STREAM_FRAME_TYPE_I:
        if (info == nullptr || info->width != w.picture.width || info->height != w.picture.height ||
            info->frameRate != w.picture.frameRate) {
            w.usable = false;
            RaiseEvent(w, MP4_EVENT_PICTURE_CHANGED);
            return false;
        }
        return WriteKeyFrame(w, data, length);
    case QN_MP4_STREAM_FRAME_TYPE_P:
        return WriteVideoSample(w, data, length, false);
    case QN_MP4_STREAM_FRAME_TYPE_SEI_QN_P:
        w.side.insert(w.side.end(), data, data + length);
        return true;
    default:
        return true;
    }
}

void WriteTrackStart(qn_mp4::BoxBuilder& out, uint32_t trackId, uint32_t durationMs, bool video,
                     const QnMp4FrameInfo& picture)
{
    qn_mp4::WriteTrackHeader(out, {.flags = 7,
                                   .trackId = trackId,
                                   .duration = durationMs,
                                   .volume = uint16_t(video ? 0 : 0x0100),
                                   .width = picture.width,
                                   .height = picture.height});
}

void WriteCommonTables(qn_mp4::BoxBuilder& out, const LiteTrack& track, uint32_t durationMs)
{
    uint32_t count = uint32_t(track.sizes.size());
    qn_mp4::WriteTimeToSample(out, {{count, count == 0 ? 0 : durationMs / count}});
}

void WriteChunks(qn_mp4::BoxBuilder& out, const LiteTrack& track)
{
    std::vector<qn_mp4::ChunkRun> runs;
    for (uint32_t i = 1; i <= track.sizes.size(); ++i) runs.push_back({i, 1, 1});
    qn_mp4::WriteSampleToChunk(out, runs);
    qn_mp4::WriteChunkOffsets(out, track.offsets);
}

void WriteTrack(qn_mp4::BoxBuilder& out, const LiteWriter& w, bool video, uint32_t durationMs)
{
    const LiteTrack& track = video ? w.video : w.audio;
    std::size_t trak = out.BeginBox(FourCC("trak"));
    WriteTrackStart(out, video ? 1 : 2, durationMs, video, w.picture);
    std::size_t mdia = out.BeginBox(FourCC("mdia"));
    qn_mp4::WriteMediaHeader(out, {.timeScale = 1000, .duration = durationMs, .language = 0x15C7});
    qn_mp4::WriteHandler(out, FourCC(video ? "vide" : "soun"), "");
    std::size_t minf = out.BeginBox(FourCC("minf"));
    if (video) {
        qn_mp4::WriteVideoMediaHeader(out);
    } else {
        qn_mp4::WriteSoundMediaHeader(out);
    }
    qn_mp4::WriteDataInformation(out);
    std::size_t stbl = out.BeginBox(FourCC("stbl"));
    qn_mp4::WriteSampleSizes(out, track.sizes);
    if (video) {
        qn_mp4::WriteAvcSampleDescription(out, {.width = w.picture.width,
                                                .height = w.picture.height,
                                                .nalLengthSize = 4,
                                                .sequenceParameterSets = {w.sps},
                                                .pictureParameterSets = {w.pps}});
        WriteCommonTables(out, track, durationMs);
        qn_mp4::WriteSyncSamples(out, w.keyFrames);
    } else {
        int rate = w.audioRate > 0 ? w.audioRate : qn_mp4::kLiteDefaultAudioRate;
        int channels = w.audioChannels > 0 ? w.audioChannels : 1;
        int objectType = w.audioObjectType > 0 ? w.audioObjectType : 2;
        qn_mp4::AacSampleEntry entry;
        entry.channelCount = 2;
        entry.sampleRate = uint16_t(rate);
        entry.bufferSize = 469;
        entry.maxBitrate = 128248;
        entry.averageBitrate = 95224;
        entry.decoderSpecificInfo = qn_mp4::AudioSpecificConfig(uint8_t(objectType), uint32_t(rate), uint8_t(channels));
        qn_mp4::WriteAacSampleDescription(out, entry);
        WriteCommonTables(out, track, durationMs);
    }
    WriteChunks(out, track);
    for (std::size_t mark : {stbl, minf, mdia, trak}) out.EndBox(mark);
}

bool WriteMovie(LiteWriter& w)
{
    uint32_t videoMs = uint32_t(w.videoMs);
    uint32_t audioMs = uint32_t(w.audioMs);
    qn_mp4::BoxBuilder out;
    std::size_t moov = out.BeginBox(FourCC("moov"));
    qn_mp4::WriteMovieHeader(out, {.timeScale = 1000, .duration = videoMs, .nextTrackId = 3});
    WriteTrack(out, w, true, videoMs);
    WriteTrack(out, w, false, audioMs);
    std::size_t skip = out.BeginBox(FourCC("skip"));
    std::size_t sizes = out.BeginBox(FourCC("size"));
    for (uint32_t size : w.sideSizes) out.U32(size);
    out.EndBox(sizes);
    std::size_t offsets = out.BeginBox(FourCC("offs"));
    for (uint32_t offset : w.sideOffsets) out.U32(offset);
    out.EndBox(offsets);
    out.EndBox(skip);
    out.EndBox(moov);
    return !out.Failed() && Write(w, out.Data().data(), out.Size());
}

bool CloseFile(LiteWriter& w)
{
    if (w.keyFrames.empty()) return false;
    uint8_t header[8];
    qn_mp4::PutBigEndian32(header, uint32_t(w.offset - qn_mp4::kLiteMediaDataOffset));
    qn_mp4::PutBigEndian32(header + 4, FourCC("mdat"));
    if (fseeko(w.file, off_t(qn_mp4::kLiteMediaDataOffset), SEEK_SET) != 0 || !Write(w, header, 8)) return false;
    if (fseeko(w.file, off_t(w.offset), SEEK_SET) != 0) return false;
    return WriteMovie(w);
}

} // namespace

bool qn_MP4LiteStartWrite(const char* path)
{
    LiteWriter& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    if (path == nullptr || w.file != nullptr) return false;
    w.videoStarted = w.audioHeaderSeen = false;
    w.audioRate = w.audioChannels = w.audioObjectType = 0;
    w.sps.clear();
    w.pps.clear();
    ClearTables(w);
    w.file = std::fopen(path, "wb");
    if (w.file == nullptr) return false;
    qn_mp4::BoxBuilder head;
    qn_mp4::WriteFileType(head, {FourCC("isom"), 512, {FourCC("mp41"), FourCC("mp42"), FourCC("isom")}});
    std::size_t free = head.BeginBox(FourCC("free"));
    head.U32(FourCC("free"));
    head.EndBox(free);
    head.Zeros(8); // the "mdat" header, written at the close
    if (head.Size() != qn_mp4::kLiteSampleDataOffset || !Write(w, head.Data().data(), head.Size()) ||
        !w.encoder.Open(8000, 1, EncoderSettings())) {
        std::fclose(w.file);
        w.file = nullptr;
        return false;
    }
    w.offset = head.Size();
    w.stopped = false;
    return true;
}

bool qn_MP4LiteWriteFrame(const uint8_t* data, int length, int code, const QnMp4FrameInfo* info)
{
    LiteWriter& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    if (!w.usable || w.stopped || data == nullptr || length <= 0) return false;
    return WriteFrameLocked(w, data, std::size_t(length), code, info);
}

bool qn_MP4LiteStopWrite()
{
    LiteWriter& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    if (w.stopped || w.file == nullptr) return false;
    w.encoder.Close();
    bool written = CloseFile(w);
    ClearTables(w);
    if (written) {
        w.videoStarted = w.audioHeaderSeen = false;
        w.picture = QnMp4FrameInfo{};
        w.eventCallback = nullptr;
        w.eventUser = nullptr;
        w.usable = true;
    }
    std::fflush(w.file);
    written = std::fclose(w.file) == 0 && written;
    w.file = nullptr;
    w.stopped = true;
    return written;
}

bool qn_MP4LiteSetWriteEvent(QnMp4EventCallback callback, void* user)
{
    LiteWriter& w = Writer();
    std::lock_guard<std::recursive_mutex> hold(w.lock);
    w.eventCallback = callback;
    w.eventUser = user;
    return true;
}
