// Writes an MP4 file as samples arrive: "ftyp", then the samples in one
// "mdat", then at the close a "moov" built from the tables gathered on the
// way. The "mdat" header grows to its 64-bit form when the data passes 4 GiB,
// and chunk offsets then go to "co64".
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "vqSDK/QnMp4Helper/mp4_boxes.h"
#include "vqSDK/QnMp4Helper/mp4_track_tables.h"

namespace qn_mp4 {

struct MovieOptions {
    FileTypeBox fileType;
    uint32_t timeScale = 90000;
    ObjectProfiles profiles; // written as "iods"
};

struct VideoTrackOptions {
    uint32_t timeScale = 90000;
    uint32_t sampleDuration = 3600; // used when a sample brings none
    AvcSampleEntry entry;
};

struct AudioTrackOptions {
    uint32_t timeScale = 8000;
    uint32_t sampleDuration = 1024;
    AacSampleEntry entry;
};

class Mp4FileWriter {
public:
    Mp4FileWriter();
    ~Mp4FileWriter(); // closes an open file as Close does
    Mp4FileWriter(const Mp4FileWriter&) = delete;
    Mp4FileWriter& operator=(const Mp4FileWriter&) = delete;

    // Creates (or truncates) the file and writes its head. False when the
    // file cannot be written or one is already open.
    bool Create(const std::string& path, const MovieOptions& options);
    bool IsOpen() const { return file_ != nullptr; }

    // Adds a track and returns its id (1, 2, ... in the order added), or 0
    // when no file is open. A track may be added after samples of another.
    uint32_t AddVideoTrack(const VideoTrackOptions& options);
    uint32_t AddAudioTrack(const AudioTrackOptions& options);

    // Appends one sample to the track. `duration` 0 takes the track's fixed
    // sample duration. False when the track is unknown or the write failed;
    // after a failed write the file is kept as far as it was complete.
    bool WriteSample(uint32_t trackId, const uint8_t* data, std::size_t length, bool sync, uint32_t duration = 0);

    uint32_t SampleCount(uint32_t trackId) const;

    // Writes the movie box and the final "mdat" size, then closes the file.
    // False when nothing was open or a write failed.
    bool Close();

private:
    struct Track;
    Track* FindTrack(uint32_t trackId) const;
    uint32_t AddTrack(std::unique_ptr<Track> track);
    bool WriteMovie();
    bool FinishMediaData();
    void BuildTrack(BoxBuilder& out, const Track& track) const;

    std::FILE* file_ = nullptr;
    bool failed_ = false;
    MovieOptions options_;
    uint64_t mediaDataStart_ = 0; // where the 16 bytes reserved for the "mdat" header begin
    uint64_t position_ = 0;       // end of the written data
    std::vector<std::unique_ptr<Track>> tracks_;
};

} // namespace qn_mp4
