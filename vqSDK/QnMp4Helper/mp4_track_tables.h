// The sample tables of one track as its samples are written: sizes, time
// runs, sync samples and chunks, all growing with the recording.
#pragma once

#include <cstdint>
#include <vector>

#include "vqSDK/QnMp4Helper/mp4_boxes.h"

namespace qn_mp4 {

enum class ChunkPolicy {
    // A sample that directly follows the previous one of its track in the
    // file joins that sample's chunk.
    kJoinAdjacent,
    // Every sample is a chunk of its own.
    kSamplePerChunk,
};

class TrackTables {
public:
    explicit TrackTables(ChunkPolicy policy = ChunkPolicy::kJoinAdjacent) : policy_(policy) {}

    // Records a sample that lies at `offset` in the file. False (and nothing
    // recorded) once the track holds UINT32_MAX samples, which the tables
    // cannot count.
    bool AddSample(uint64_t offset, uint32_t size, uint32_t duration, bool sync);

    uint32_t SampleCount() const { return uint32_t(sizes_.size()); }
    uint64_t TotalDuration() const { return totalDuration_; }
    bool AllSync() const { return syncSamples_.size() == sizes_.size(); }

    const std::vector<uint32_t>& Sizes() const { return sizes_; }
    const std::vector<TimeRun>& TimeRuns() const { return timeRuns_; }
    const std::vector<uint32_t>& SyncSamples() const { return syncSamples_; } // 1-based
    // The runs of chunks with equal sample counts, the chunk being filled included.
    std::vector<ChunkRun> ChunkRuns() const;
    const std::vector<uint64_t>& ChunkOffsets() const { return chunkOffsets_; }

private:
    static void AddChunk(std::vector<ChunkRun>& runs, uint32_t chunkNumber, uint32_t samples);

    ChunkPolicy policy_;
    std::vector<uint32_t> sizes_;
    std::vector<TimeRun> timeRuns_;
    std::vector<uint32_t> syncSamples_;
    std::vector<ChunkRun> chunkRuns_;
    std::vector<uint64_t> chunkOffsets_;
    uint64_t totalDuration_ = 0;
    uint64_t chunkEnd_ = 0;       // file offset just past the last sample
    uint32_t samplesInChunk_ = 0; // of the chunk being filled
};

} // namespace qn_mp4
