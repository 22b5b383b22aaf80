#include "vqSDK/QnMp4Helper/mp4_movie.h"

#include <algorithm>

#include "vqSDK/QnMp4Helper/mp4_box_builder.h"
#include "vqSDK/QnMp4Helper/mp4_byte_reader.h"

namespace qn_mp4 {
namespace {

// Above a week of 25 frames a second: more samples in one track mean a
// damaged table rather than a recording, and would only exhaust memory.
constexpr uint32_t kMaxSamplesPerTrack = 1u << 24;

bool FullBoxHeader(ByteReader& in, uint8_t& version)
{
    uint32_t flags = 0;
    return in.U8(version) && in.U24(flags);
}

// A count followed by `count` entries of `entrySize` bytes that must fit.
bool TableHeader(ByteReader& in, std::size_t entrySize, uint32_t& count)
{
    uint8_t version = 0;
    if (!FullBoxHeader(in, version) || !in.U32(count)) return false;
    return count <= in.Remaining() / entrySize;
}

// Creation and modification times, then (mvhd: time scale first) the duration.
bool TimedHeader(ByteReader& in, bool scaleFirst, uint32_t& timeScale, uint64_t& duration, uint32_t* trackId)
{
    uint8_t version = 0;
    if (!FullBoxHeader(in, version) || !in.Skip(version == 1 ? 16 : 8)) return false;
    if (trackId != nullptr && (!in.U32(*trackId) || !in.Skip(4))) return false;
    if (scaleFirst && !in.U32(timeScale)) return false;
    if (version == 1) return in.U64(duration);
    uint32_t duration32 = 0;
    if (!in.U32(duration32)) return false;
    duration = duration32;
    return true;
}

bool ParseTrackHeader(const BoxView& box, TrackInfo& track)
{
    ByteReader in(box.body, box.bodySize);
    uint32_t unusedScale = 0;
    uint64_t unusedDuration = 0;
    // reserved 8, layer, group, volume, reserved 2, matrix 36
    return TimedHeader(in, false, unusedScale, unusedDuration, &track.trackId) && in.Skip(52) &&
           in.U32(track.headerWidth) && in.U32(track.headerHeight);
}

bool ParseAvcConfig(const BoxView& box, TrackInfo& track)
{
    ByteReader in(box.body, box.bodySize);
    uint8_t version = 0, profile = 0, compatibility = 0, level = 0, lengthSize = 0, count = 0;
    if (!in.U8(version) || !in.U8(profile) || !in.U8(compatibility) || !in.U8(level) || !in.U8(lengthSize) ||
        !in.U8(count)) {
        return false;
    }
    track.nalLengthSize = uint8_t((lengthSize & 3) + 1);
    auto readSets = [&in](int sets, std::vector<std::vector<uint8_t>>& out) {
        for (int i = 0; i < sets; ++i) {
            uint16_t length = 0;
            const uint8_t* bytes = nullptr;
            if (!in.U16(length) || !in.Take(length, bytes)) return false;
            out.emplace_back(bytes, bytes + length);
        }
        return true;
    };
    if (!readSets(count & 0x1F, track.sequenceParameterSets) || !in.U8(count)) return false;
    return readSets(count, track.pictureParameterSets);
}

bool ParseVisualEntry(const BoxView& entry, TrackInfo& track)
{
    ByteReader in(entry.body, entry.bodySize);
    // reserved 6, data reference 2, pre-defined and reserved 16; then after
    // the size resolution 8, reserved 4, frame count 2, compressor 32, depth 2, pre-defined 2
    if (!in.Skip(24) || !in.U16(track.width) || !in.U16(track.height) || !in.Skip(50)) return false;
    BoxWalker children(in.Here(), in.Remaining());
    BoxView child;
    while (children.Next(child)) {
        if (child.type == FourCC("avcC") && !ParseAvcConfig(child, track)) return false;
    }
    return !children.Damaged();
}

// The elementary-stream descriptor of "esds": the decoder configuration and
// its decoder-specific information.
bool ParseEsDescriptor(const BoxView& box, TrackInfo& track)
{
    ByteReader in(box.body, box.bodySize);
    uint8_t version = 0, tag = 0, flags = 0;
    std::size_t length = 0;
    uint16_t esId = 0;
    if (!FullBoxHeader(in, version) || !in.DescriptorHeader(tag, length) || tag != 0x03) return false;
    ByteReader stream(in.Here(), length);
    if (!stream.U16(esId) || !stream.U8(flags)) return false;
    if ((flags & 0x80) != 0 && !stream.Skip(2)) return false; // depends on
    if ((flags & 0x40) != 0) {                                // URL
        uint8_t urlLength = 0;
        if (!stream.U8(urlLength) || !stream.Skip(urlLength)) return false;
    }
    if ((flags & 0x20) != 0 && !stream.Skip(2)) return false; // OCR stream
    while (stream.Remaining() > 0) {
        if (!stream.DescriptorHeader(tag, length)) return false;
        ByteReader inner(stream.Here(), length);
        stream.Skip(length);
        if (tag != 0x04) continue;
        uint8_t streamType = 0;
        if (!inner.U8(track.objectType) || !inner.U8(streamType) || !inner.Skip(11)) return false;
        while (inner.Remaining() > 0) {
            if (!inner.DescriptorHeader(tag, length)) return false;
            const uint8_t* bytes = nullptr;
            inner.Take(length, bytes);
            if (tag == 0x05) track.decoderSpecificInfo.assign(bytes, bytes + length);
        }
    }
    return true;
}

bool ParseAudioEntry(const BoxView& entry, TrackInfo& track)
{
    ByteReader in(entry.body, entry.bodySize);
    uint16_t soundVersion = 0;
    uint32_t rate = 0;
    // reserved 6, data reference 2, then the sound description's version
    if (!in.Skip(8) || !in.U16(soundVersion) || !in.Skip(6) || !in.U16(track.channelCount) || !in.Skip(6) ||
        !in.U32(rate)) {
        return false;
    }
    track.sampleRate = rate >> 16;
    // QuickTime sound descriptions of version 1 and 2 carry more fields.
    if ((soundVersion == 1 && !in.Skip(16)) || (soundVersion == 2 && !in.Skip(36))) return false;
    BoxWalker children(in.Here(), in.Remaining());
    BoxView child;
    while (children.Next(child)) {
        if (child.type == FourCC("esds") && !ParseEsDescriptor(child, track)) return false;
    }
    return !children.Damaged();
}

bool ParseSampleDescription(const BoxView& box, TrackInfo& track)
{
    ByteReader in(box.body, box.bodySize);
    uint8_t version = 0;
    uint32_t count = 0;
    if (!FullBoxHeader(in, version) || !in.U32(count)) return false;
    if (count == 0) return true;
    BoxWalker entries(in.Here(), in.Remaining());
    BoxView entry;
    if (!entries.Next(entry)) return false;
    track.codec = entry.type;
    if (entry.type == FourCC("avc1") || entry.type == FourCC("avc3")) return ParseVisualEntry(entry, track);
    if (entry.type == FourCC("mp4a")) return ParseAudioEntry(entry, track);
    return true;
}

struct SampleTableBoxes {
    BoxView sizes, chunks, runs, times, syncs;
    bool haveSizes = false, haveChunks = false, wideChunks = false, haveRuns = false, haveTimes = false,
         haveSyncs = false;
};

// Places every sample in its chunk: each run of chunks holds the same number
// of samples, and a sample follows the one before it within its chunk.
bool PlaceSamples(const SampleTableBoxes& boxes, uint64_t fileSize, TrackInfo& track)
{
    ByteReader sizes(boxes.sizes.body, boxes.sizes.bodySize);
    uint8_t version = 0;
    uint32_t fixedSize = 0, count = 0;
    if (!FullBoxHeader(sizes, version) || !sizes.U32(fixedSize) || !sizes.U32(count)) return false;
    if (count == 0) return true;
    if (count > kMaxSamplesPerTrack || (fixedSize == 0 && count > sizes.Remaining() / 4) ||
        (fixedSize != 0 && count > fileSize / fixedSize)) {
        return false;
    }
    if (!boxes.haveChunks || !boxes.haveRuns) return false;

    ByteReader chunks(boxes.chunks.body, boxes.chunks.bodySize);
    ByteReader runs(boxes.runs.body, boxes.runs.bodySize);
    uint32_t chunkCount = 0, runCount = 0;
    if (!TableHeader(chunks, boxes.wideChunks ? 8 : 4, chunkCount) || !TableHeader(runs, 12, runCount)) return false;

    track.samples.resize(count);
    uint32_t placed = 0;
    uint32_t firstChunk = 0, samplesPerChunk = 0, description = 0;
    if (runCount > 0 && (!runs.U32(firstChunk) || !runs.U32(samplesPerChunk) || !runs.U32(description))) return false;
    for (uint32_t run = 0; run < runCount && placed < count; ++run) {
        uint32_t nextFirst = uint32_t(std::min<uint64_t>(uint64_t(chunkCount) + 1, UINT32_MAX));
        uint32_t nextPerChunk = 0;
        if (run + 1 < runCount && (!runs.U32(nextFirst) || !runs.U32(nextPerChunk) || !runs.U32(description))) {
            return false;
        }
        if (firstChunk == 0 || nextFirst <= firstChunk || nextFirst - 1 > chunkCount) return false;
        for (uint32_t chunk = firstChunk; chunk < nextFirst && placed < count; ++chunk) {
            uint64_t offset = 0;
            if (boxes.wideChunks) {
                chunks.U64(offset);
            } else {
                uint32_t offset32 = 0;
                chunks.U32(offset32);
                offset = offset32;
            }
            for (uint32_t k = 0; k < samplesPerChunk && placed < count; ++k) {
                SampleRef& sample = track.samples[placed++];
                sample.size = fixedSize;
                if (fixedSize == 0) sizes.U32(sample.size);
                if (offset > fileSize || sample.size > fileSize - offset) return false;
                sample.offset = offset;
                offset += sample.size;
            }
        }
        firstChunk = nextFirst;
        samplesPerChunk = nextPerChunk;
    }
    return placed == count && !chunks.Failed() && !sizes.Failed();
}

// Durations from the time runs (samples past the runs keep 0) and sync flags
// (every sample is a sync sample when the track has no "stss").
bool TimeSamples(const SampleTableBoxes& boxes, TrackInfo& track)
{
    std::size_t count = track.samples.size();
    if (boxes.haveTimes) {
        ByteReader times(boxes.times.body, boxes.times.bodySize);
        uint32_t runCount = 0;
        if (!TableHeader(times, 8, runCount)) return false;
        std::size_t index = 0;
        for (uint32_t run = 0; run < runCount && index < count; ++run) {
            uint32_t samples = 0, delta = 0;
            times.U32(samples);
            times.U32(delta);
            for (std::size_t end = std::min<std::size_t>(count, index + samples); index < end; ++index) {
                track.samples[index].duration = delta;
            }
        }
    }
    if (!boxes.haveSyncs) {
        for (SampleRef& sample : track.samples) sample.sync = true;
        return true;
    }
    ByteReader syncs(boxes.syncs.body, boxes.syncs.bodySize);
    uint32_t syncCount = 0;
    if (!TableHeader(syncs, 4, syncCount)) return false;
    for (uint32_t i = 0; i < syncCount; ++i) {
        uint32_t number = 0;
        syncs.U32(number);
        if (number >= 1 && number <= count) track.samples[number - 1].sync = true;
    }
    return true;
}

bool ParseSampleTables(const BoxView& stbl, uint64_t fileSize, TrackInfo& track)
{
    SampleTableBoxes boxes;
    BoxWalker children(stbl.body, stbl.bodySize);
    BoxView child;
    while (children.Next(child)) {
        switch (child.type) {
            case FourCC("stsd"):
                if (!ParseSampleDescription(child, track)) return false;
                break;
            case FourCC("stsz"): boxes.sizes = child, boxes.haveSizes = true; break;
            case FourCC("stco"): boxes.chunks = child, boxes.haveChunks = true, boxes.wideChunks = false; break;
            case FourCC("co64"): boxes.chunks = child, boxes.haveChunks = true, boxes.wideChunks = true; break;
            case FourCC("stsc"): boxes.runs = child, boxes.haveRuns = true; break;
            case FourCC("stts"): boxes.times = child, boxes.haveTimes = true; break;
            case FourCC("stss"): boxes.syncs = child, boxes.haveSyncs = true; break;
            default: break;
        }
    }
    if (children.Damaged()) return false;
    if (!boxes.haveSizes) return true;
    return PlaceSamples(boxes, fileSize, track) && TimeSamples(boxes, track);
}

// Walks a container and hands each child to `visit`; false when the
// container or a child is damaged.
template <typename Visit>
bool EachChild(const uint8_t* body, std::size_t size, Visit visit)
{
    BoxWalker children(body, size);
    BoxView child;
    while (children.Next(child)) {
        if (!visit(child)) return false;
    }
    return !children.Damaged();
}

bool ParseTrack(const BoxView& trak, uint64_t fileSize, TrackInfo& track)
{
    auto media = [&](const BoxView& box) {
        if (box.type == FourCC("mdhd")) {
            ByteReader in(box.body, box.bodySize);
            return TimedHeader(in, true, track.timeScale, track.duration, nullptr);
        }
        if (box.type == FourCC("hdlr")) {
            ByteReader in(box.body, box.bodySize);
            uint8_t version = 0;
            return FullBoxHeader(in, version) && in.Skip(4) && in.U32(track.handler);
        }
        if (box.type != FourCC("minf")) return true;
        return EachChild(box.body, box.bodySize, [&](const BoxView& inner) {
            return inner.type != FourCC("stbl") || ParseSampleTables(inner, fileSize, track);
        });
    };
    return EachChild(trak.body, trak.bodySize, [&](const BoxView& box) {
        if (box.type == FourCC("tkhd")) return ParseTrackHeader(box, track);
        if (box.type == FourCC("mdia")) return EachChild(box.body, box.bodySize, media);
        return true;
    });
}

} // namespace

uint64_t TrackInfo::SampleTime() const
{
    uint64_t total = 0;
    for (const SampleRef& sample : samples) total += sample.duration;
    return total;
}

long TrackInfo::FirstSyncSample() const
{
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (samples[i].sync) return long(i);
    }
    return -1;
}

const TrackInfo* MovieInfo::FindTrack(uint32_t handler) const
{
    for (const TrackInfo& track : tracks) {
        if (track.handler == handler) return &track;
    }
    return nullptr;
}

bool ParseMovie(const uint8_t* body, std::size_t size, uint64_t fileSize, MovieInfo& movie)
{
    movie = MovieInfo{};
    return EachChild(body, size, [&](const BoxView& box) {
        if (box.type == FourCC("mvhd")) {
            ByteReader in(box.body, box.bodySize);
            return TimedHeader(in, true, movie.timeScale, movie.duration, nullptr);
        }
        if (box.type != FourCC("trak")) return true;
        movie.tracks.emplace_back();
        return ParseTrack(box, fileSize, movie.tracks.back());
    });
}

} // namespace qn_mp4
