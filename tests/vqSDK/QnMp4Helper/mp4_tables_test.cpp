// Chunk runs as the writer gathers them, and the wide fields of files past
// 4 GiB or 2^32 time units, read back by our parser.
#include <gtest/gtest.h>

#include "vqSDK/QnMp4Helper/mp4_boxes.h"
#include "vqSDK/QnMp4Helper/mp4_movie.h"
#include "vqSDK/QnMp4Helper/mp4_track_tables.h"

namespace {

using qn_mp4::ChunkRun;
using qn_mp4::FourCC;

TEST(Mp4TrackTablesTest, AdjacentSamplesShareChunksAndEqualChunksShareRuns)
{
    struct Case {
        qn_mp4::ChunkPolicy policy;
        std::vector<uint64_t> gapsBefore; // bytes of other tracks before each sample
        std::vector<uint64_t> offsets;
        std::vector<ChunkRun> runs;
    };
    const std::vector<Case> cases{
        // chunks of 2, 2, 1, 3 samples
        {qn_mp4::ChunkPolicy::kJoinAdjacent,
         {0, 0, 5, 0, 5, 5, 0, 0},
         {100, 125, 150},
         {{1, 2, 1}, {3, 1, 1}, {4, 3, 1}}},
        {qn_mp4::ChunkPolicy::kSamplePerChunk, {0, 0, 5}, {100, 110, 125}, {{1, 1, 1}}},
    };
    for (const Case& c : cases) {
        qn_mp4::TrackTables tables(c.policy);
        uint64_t at = 100;
        for (uint64_t gap : c.gapsBefore) {
            at += gap;
            ASSERT_TRUE(tables.AddSample(at, 10, 40, gap == 5));
            at += 10;
        }
        EXPECT_EQ(tables.ChunkRuns(), c.runs);
        ASSERT_GE(tables.ChunkOffsets().size(), c.offsets.size());
        for (std::size_t i = 0; i < c.offsets.size(); ++i) EXPECT_EQ(tables.ChunkOffsets()[i], c.offsets[i]);
        ASSERT_EQ(tables.TimeRuns().size(), 1u);
        EXPECT_EQ(tables.TimeRuns()[0].count, c.gapsBefore.size());
        EXPECT_EQ(tables.TotalDuration(), 40u * c.gapsBefore.size());
    }
}

TEST(Mp4TrackTablesTest, LongRecordingTakesVersionOneHeadersAndCo64)
{
    const uint64_t fiveGiB = 5ull << 30;
    const uint64_t longDuration = (1ull << 32) + 90000; // past 13 hours at 90 kHz
    qn_mp4::BoxBuilder moov;
    qn_mp4::WriteMovieHeader(moov, {.timeScale = 90000, .duration = longDuration, .nextTrackId = 2});
    std::size_t trak = moov.BeginBox(FourCC("trak"));
    qn_mp4::WriteTrackHeader(moov, {.trackId = 1, .duration = longDuration});
    std::size_t mdia = moov.BeginBox(FourCC("mdia"));
    qn_mp4::WriteMediaHeader(moov, {.timeScale = 90000, .duration = longDuration});
    qn_mp4::WriteHandler(moov, FourCC("vide"), "VideoHandler");
    std::size_t minf = moov.BeginBox(FourCC("minf"));
    std::size_t stbl = moov.BeginBox(FourCC("stbl"));
    qn_mp4::WriteTimeToSample(moov, {{2, 3600}});
    qn_mp4::WriteSampleToChunk(moov, {{1, 1, 1}});
    qn_mp4::WriteSampleSizes(moov, {10, 20});
    qn_mp4::WriteChunkOffsets(moov, {1000, fiveGiB});
    for (std::size_t mark : {stbl, minf, mdia, trak}) moov.EndBox(mark);
    ASSERT_FALSE(moov.Failed());
    const auto& bytes = moov.Data();
    const char co64[] = "co64";
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), co64, co64 + 4), bytes.end());

    qn_mp4::MovieInfo movie;
    ASSERT_TRUE(qn_mp4::ParseMovie(bytes.data(), bytes.size(), fiveGiB + 100, movie));
    EXPECT_EQ(movie.duration, longDuration);
    ASSERT_EQ(movie.tracks.size(), 1u);
    const qn_mp4::TrackInfo& track = movie.tracks[0];
    EXPECT_EQ(track.duration, longDuration);
    EXPECT_EQ(track.timeScale, 90000u);
    EXPECT_EQ(track.trackId, 1u);
    ASSERT_EQ(track.samples.size(), 2u);
    EXPECT_EQ(track.samples[1].offset, fiveGiB);
    EXPECT_EQ(track.samples[1].size, 20u);
    // The same tables in a file too short for the second sample are refused.
    EXPECT_FALSE(qn_mp4::ParseMovie(bytes.data(), bytes.size(), fiveGiB + 19, movie));
}

} // namespace
