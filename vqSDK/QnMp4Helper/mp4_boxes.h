// The boxes of an MP4 file, one function each, with every field a writer may
// want to choose as a parameter. A writer puts them together in the order
// its files need; Mp4FileWriter is one such writer.
#pragma once

#include <cstdint>
#include <vector>

#include "vqSDK/QnMp4Helper/mp4_box_builder.h"

namespace qn_mp4 {

// 1970-01-01 00:00:00 counted in seconds from 1904, the epoch of MP4 times.
constexpr uint32_t kMp4Epoch1970 = 2082844800u;

struct FileTypeBox {
    uint32_t majorBrand = FourCC("mp42");
    uint32_t minorVersion = 0;
    std::vector<uint32_t> compatibleBrands{FourCC("mp42"), FourCC("isom")};
};
void WriteFileType(BoxBuilder& out, const FileTypeBox& box);

struct MovieHeaderBox {
    uint32_t creationTime = kMp4Epoch1970;
    uint32_t timeScale = 1000;
    uint64_t duration = 0; // in timeScale units
    uint32_t nextTrackId = 1;
};
// "mvhd": rate 1.0, volume 1.0, identity matrix. Headers with durations take
// version 1 (64-bit times) only when the duration needs more than 32 bits.
void WriteMovieHeader(BoxBuilder& out, const MovieHeaderBox& box);

// "iods": the initial object descriptor with the profile levels of the
// movie (0xFF: no such content or no profile named).
struct ObjectProfiles {
    uint8_t audioProfileLevel = 0xFF;
    uint8_t videoProfileLevel = 0xFF;
};
void WriteObjectDescriptor(BoxBuilder& out, const ObjectProfiles& profiles);

struct TrackHeaderBox {
    uint32_t flags = 3; // enabled, in movie
    uint32_t creationTime = kMp4Epoch1970;
    uint32_t trackId = 1;
    uint64_t duration = 0; // in the movie's time scale
    uint16_t volume = 0;   // 8.8 fixed point: 0x0100 for sound
    // Stored as given: standard files hold 16.16 fixed point (Fixed16(w)).
    uint32_t width = 0;
    uint32_t height = 0;
};
constexpr uint32_t Fixed16(uint32_t whole) { return whole << 16; }
void WriteTrackHeader(BoxBuilder& out, const TrackHeaderBox& box);

struct MediaHeaderBox {
    uint32_t creationTime = kMp4Epoch1970;
    uint32_t timeScale = 1000;
    uint64_t duration = 0;
    uint16_t language = 0x55C4; // packed ISO 639-2 "und"
};
void WriteMediaHeader(BoxBuilder& out, const MediaHeaderBox& box);

// "hdlr" with handler "vide" or "soun" and a name (empty: one zero byte).
void WriteHandler(BoxBuilder& out, uint32_t handler, const char* name);
// "vmhd" (flags 1) and "smhd".
void WriteVideoMediaHeader(BoxBuilder& out);
void WriteSoundMediaHeader(BoxBuilder& out);
// "dinf" with one "dref" entry: a "url " saying the data is in this file.
void WriteDataInformation(BoxBuilder& out);

struct AvcSampleEntry {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t nalLengthSize = 4; // 1, 2 or 4
    // Each set without its start code; profile, compatibility and level come
    // from bytes 1 to 3 of the first sequence parameter set.
    std::vector<std::vector<uint8_t>> sequenceParameterSets;
    std::vector<std::vector<uint8_t>> pictureParameterSets;
};
// "stsd" with one "avc1" entry holding its "avcC".
void WriteAvcSampleDescription(BoxBuilder& out, const AvcSampleEntry& entry);

struct AacSampleEntry {
    uint16_t channelCount = 1;
    uint16_t sampleSize = 16;
    uint16_t sampleRate = 8000; // Hz, the upper half of a 16.16 value
    uint16_t esId = 0;
    uint8_t objectType = 0x40; // MPEG-4 audio
    uint8_t streamType = 0x15; // audio stream, upstream 0, reserved 1
    uint32_t bufferSize = 0;   // 24 bits
    uint32_t maxBitrate = 0;
    uint32_t averageBitrate = 0;
    std::vector<uint8_t> decoderSpecificInfo; // the AudioSpecificConfig
};
// "stsd" with one "mp4a" entry holding its "esds".
void WriteAacSampleDescription(BoxBuilder& out, const AacSampleEntry& entry);

// An AudioSpecificConfig of two bytes: object type, sampling-frequency index
// (of the ISO 14496-3 table; 15 when the rate is not in it, which the short
// form cannot say) and channel configuration.
std::vector<uint8_t> AudioSpecificConfig(uint8_t objectType, uint32_t sampleRate, uint8_t channels);
// The table's index of a rate, or -1.
int SamplingFrequencyIndex(uint32_t sampleRate);
uint32_t SamplingFrequency(int index);

// Sample tables: "stts", "stss", "stsc", "stsz" and "stco" or "co64".
struct TimeRun {
    uint32_t count;
    uint32_t delta;
    bool operator==(const TimeRun&) const = default;
};
struct ChunkRun {
    uint32_t firstChunk; // 1-based
    uint32_t samplesPerChunk;
    uint32_t descriptionIndex;
    bool operator==(const ChunkRun&) const = default;
};
void WriteTimeToSample(BoxBuilder& out, const std::vector<TimeRun>& runs);
void WriteSyncSamples(BoxBuilder& out, const std::vector<uint32_t>& sampleNumbers);
void WriteSampleToChunk(BoxBuilder& out, const std::vector<ChunkRun>& runs);
void WriteSampleSizes(BoxBuilder& out, const std::vector<uint32_t>& sizes);
// "co64" when an offset needs more than 32 bits, else "stco".
void WriteChunkOffsets(BoxBuilder& out, const std::vector<uint64_t>& offsets);

} // namespace qn_mp4
