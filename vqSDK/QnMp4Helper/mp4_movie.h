// What a movie box says about its tracks: their kind, time scale, codec
// set-up, and every sample's place, size, duration and sync flag, expanded
// from the sample tables (chunk runs of any length, "stco" or "co64").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qn_mp4 {

struct SampleRef {
    uint64_t offset = 0; // in the file
    uint32_t size = 0;
    uint32_t duration = 0; // in the track's time scale
    bool sync = false;
};

struct TrackInfo {
    uint32_t trackId = 0;
    uint32_t handler = 0; // "vide", "soun", ...
    uint32_t timeScale = 0;
    uint64_t duration = 0; // from "mdhd", in timeScale units
    // The "tkhd" picture size as stored: 16.16 fixed point in standard files.
    uint32_t headerWidth = 0;
    uint32_t headerHeight = 0;

    uint32_t codec = 0; // type of the first sample entry: "avc1", "mp4a", ...
    // "avc1": picture size of the entry and the "avcC" contents.
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t nalLengthSize = 0; // 0 when there is no "avcC"
    std::vector<std::vector<uint8_t>> sequenceParameterSets;
    std::vector<std::vector<uint8_t>> pictureParameterSets;
    // "mp4a": the entry's fields and the "esds" decoder configuration.
    uint16_t channelCount = 0;
    uint32_t sampleRate = 0; // Hz, from the entry's 16.16 value
    uint8_t objectType = 0;
    std::vector<uint8_t> decoderSpecificInfo;

    std::vector<SampleRef> samples;

    // Sum of the sample durations (mdhd's duration may say otherwise).
    uint64_t SampleTime() const;
    // Index of the first sync sample, or -1.
    long FirstSyncSample() const;
};

struct MovieInfo {
    uint32_t timeScale = 0;
    uint64_t duration = 0; // from "mvhd"
    std::vector<TrackInfo> tracks;

    // The first track with this handler, or none.
    const TrackInfo* FindTrack(uint32_t handler) const;
};

// Parses the body of a "moov" box of a file of `fileSize` bytes. False when
// the box is damaged: a field or table runs past its box, the tables disagree
// with each other, or a sample lies outside the file. Unknown boxes are
// skipped; a track without sample tables has no samples.
bool ParseMovie(const uint8_t* body, std::size_t size, uint64_t fileSize, MovieInfo& movie);

} // namespace qn_mp4
