#include "vqSDK/QnMp4Helper/mp4_track_tables.h"

namespace qn_mp4 {

bool TrackTables::AddSample(uint64_t offset, uint32_t size, uint32_t duration, bool sync)
{
    if (sizes_.size() >= UINT32_MAX) return false;
    bool joins = policy_ == ChunkPolicy::kJoinAdjacent && samplesInChunk_ > 0 && offset == chunkEnd_;
    if (!joins) {
        if (samplesInChunk_ > 0) AddChunk(chunkRuns_, uint32_t(chunkOffsets_.size()), samplesInChunk_);
        chunkOffsets_.push_back(offset);
        samplesInChunk_ = 0;
    }
    ++samplesInChunk_;
    chunkEnd_ = offset + size;

    sizes_.push_back(size);
    if (sync) syncSamples_.push_back(uint32_t(sizes_.size()));
    if (!timeRuns_.empty() && timeRuns_.back().delta == duration && timeRuns_.back().count < UINT32_MAX) {
        ++timeRuns_.back().count;
    } else {
        timeRuns_.push_back({1, duration});
    }
    totalDuration_ += duration;
    return true;
}

std::vector<ChunkRun> TrackTables::ChunkRuns() const
{
    std::vector<ChunkRun> runs = chunkRuns_;
    if (samplesInChunk_ > 0) AddChunk(runs, uint32_t(chunkOffsets_.size()), samplesInChunk_);
    return runs;
}

// A chunk opens a new run only when its sample count differs from the run before.
void TrackTables::AddChunk(std::vector<ChunkRun>& runs, uint32_t chunkNumber, uint32_t samples)
{
    if (runs.empty() || runs.back().samplesPerChunk != samples) runs.push_back({chunkNumber, samples, 1});
}

} // namespace qn_mp4
