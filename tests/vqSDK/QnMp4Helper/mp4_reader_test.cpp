// Our MP4 reader against files from other writers (ffmpeg, a hand-built
// "co64" file) and our own, and against damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/media_fixtures.h"
#include "probe_checks.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/QnMp4Helper/mp4_byte_reader.h"
#include "vqSDK/QnMp4Helper/mp4_file_reader.h"
#include "vqSDK/QnMp4Helper/mp4_file_writer.h"

namespace {

using mp4_test::Bytes;
using mp4_test::ExpectSamplesMatchProbe;
using qn_mp4::FourCC;
using qn_mp4::Mp4FileReader;
using testing_support::RunCommand;

const Bytes kEndMarker{0x00, 0x00, 0xFE, 0xEF, 0xC8, 0x00, 0x00, 0x00};

// True when some sample starts where the one before it in its track ends:
// the file keeps several samples in one chunk.
bool HasSharedChunks(const qn_mp4::TrackInfo& track)
{
    for (std::size_t i = 1; i < track.samples.size(); ++i) {
        if (track.samples[i].offset == track.samples[i - 1].offset + track.samples[i - 1].size) return true;
    }
    return false;
}

// One ffmpeg-made file serves both checks; each works on its own copy.
class Mp4ReaderOutsideFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("ffprobe")) return;
        folder_ = new testing_support::TempFolder;
        std::string base = folder_->Path();
        made_ = mp4_test::MakeH264(base + "/v.h264", 2) && mp4_test::MakeAdts(base + "/a.aac", 2) &&
                mp4_test::Ffmpeg("-r 25 -f h264 -i " + base + "/v.h264 -i " + base + "/a.aac -map 0 -map 1 -c copy " +
                                 base + "/made.mp4");
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override
    {
        if (folder_ == nullptr) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
        ASSERT_TRUE(made_);
        ref_ = local_.Path() + "/ref.mp4";
        mp4_test::WriteFileBytes(ref_, mp4_test::ReadFileBytes(folder_->Path() + "/made.mp4"));
    }

    static inline testing_support::TempFolder* folder_ = nullptr;
    static inline bool made_ = false;
    testing_support::TempFolder local_;
    std::string ref_;
};

TEST_F(Mp4ReaderOutsideFilesTest, FfmpegFileWithEndMarkerReadsSampleForSample)
{
    Bytes file = mp4_test::ReadFileBytes(ref_);
    file.insert(file.end(), kEndMarker.begin(), kEndMarker.end());
    mp4_test::WriteFileBytes(ref_, file);

    ExpectSamplesMatchProbe(ref_, 2);
    Mp4FileReader reader;
    ASSERT_EQ(reader.Open(ref_), Mp4FileReader::OpenResult::kOpened);
    const qn_mp4::TrackInfo* video = reader.Movie().FindTrack(FourCC("vide"));
    const qn_mp4::TrackInfo* audio = reader.Movie().FindTrack(FourCC("soun"));
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_TRUE(HasSharedChunks(*video));
    EXPECT_EQ(video->samples.size(), 50u);
    EXPECT_EQ(video->codec, FourCC("avc1"));
    EXPECT_EQ(video->nalLengthSize, 4);
    ASSERT_EQ(video->sequenceParameterSets.size(), 1u);
    EXPECT_EQ(video->width, 320);
    EXPECT_EQ(audio->codec, FourCC("mp4a"));
    EXPECT_EQ(audio->sampleRate, 8000u);
    EXPECT_EQ(audio->objectType, 0x40);
    EXPECT_EQ(audio->decoderSpecificInfo, qn_mp4::AudioSpecificConfig(2, 8000, 1));
    EXPECT_EQ(video->FirstSyncSample(), 0);
}

// A file laid out by hand as other writers may: three samples to a chunk,
// gaps between chunks, 64-bit chunk offsets, a 64-bit "mdat" size.
TEST_F(Mp4ReaderOutsideFilesTest, HandBuiltFileWithCo64AndChunkRunsReadsSampleForSample)
{
    Mp4FileReader source;
    ASSERT_EQ(source.Open(ref_), Mp4FileReader::OpenResult::kOpened);
    const qn_mp4::TrackInfo& video = *source.Movie().FindTrack(FourCC("vide"));

    qn_mp4::BoxBuilder file;
    qn_mp4::WriteFileType(file, {});
    std::size_t mdatAt = file.Size();
    file.U32(1);
    file.U32(FourCC("mdat"));
    file.U64(0);
    std::vector<uint64_t> chunkOffsets;
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> syncs;
    for (std::size_t i = 0; i < video.samples.size(); ++i) {
        if (i % 3 == 0) {
            file.Zeros(5); // a gap, so that offsets are not one run
            chunkOffsets.push_back(file.Size());
        }
        Bytes data;
        ASSERT_TRUE(source.ReadSample(video, i, data));
        file.Bytes(data);
        sizes.push_back(uint32_t(data.size()));
        if (video.samples[i].sync) syncs.push_back(uint32_t(i + 1));
    }
    uint64_t mdatSize = file.Size() - mdatAt;
    Bytes bytes = file.Data();
    for (int i = 0; i < 8; ++i) bytes[mdatAt + 8 + std::size_t(i)] = uint8_t(mdatSize >> (56 - 8 * i));

    uint32_t count = uint32_t(sizes.size());
    qn_mp4::BoxBuilder movie;
    std::size_t moov = movie.BeginBox(FourCC("moov"));
    qn_mp4::WriteMovieHeader(movie, {.timeScale = 1000, .duration = count * 40, .nextTrackId = 2});
    std::size_t trak = movie.BeginBox(FourCC("trak"));
    qn_mp4::WriteTrackHeader(
        movie, {.trackId = 1, .duration = count * 40, .width = qn_mp4::Fixed16(320), .height = qn_mp4::Fixed16(240)});
    std::size_t mdia = movie.BeginBox(FourCC("mdia"));
    qn_mp4::WriteMediaHeader(movie, {.timeScale = 1000, .duration = count * 40});
    qn_mp4::WriteHandler(movie, FourCC("vide"), "");
    std::size_t minf = movie.BeginBox(FourCC("minf"));
    qn_mp4::WriteVideoMediaHeader(movie);
    qn_mp4::WriteDataInformation(movie);
    std::size_t stbl = movie.BeginBox(FourCC("stbl"));
    qn_mp4::WriteAvcSampleDescription(movie, {.width = 320,
                                              .height = 240,
                                              .nalLengthSize = 4,
                                              .sequenceParameterSets = video.sequenceParameterSets,
                                              .pictureParameterSets = video.pictureParameterSets});
    qn_mp4::WriteTimeToSample(movie, {{count, 40}});
    qn_mp4::WriteSyncSamples(movie, syncs);
    // Full chunks of three, then the last chunk holds what is left.
    std::vector<qn_mp4::ChunkRun> runs{{1, 3, 1}};
    if (count % 3 != 0) runs.push_back({uint32_t(chunkOffsets.size()), count % 3, 1});
    qn_mp4::WriteSampleToChunk(movie, runs);
    qn_mp4::WriteSampleSizes(movie, sizes);
    std::size_t co64 = movie.BeginFullBox(FourCC("co64"), 0, 0);
    movie.U32(uint32_t(chunkOffsets.size()));
    for (uint64_t offset : chunkOffsets) movie.U64(offset);
    movie.EndBox(co64);
    for (std::size_t mark : {stbl, minf, mdia, trak, moov}) movie.EndBox(mark);
    bytes.insert(bytes.end(), movie.Data().begin(), movie.Data().end());
    std::string handBuilt = local_.Path() + "/co64.mp4";
    mp4_test::WriteFileBytes(handBuilt, bytes);

    ExpectSamplesMatchProbe(handBuilt, 1);
    auto frames = RunCommand("ffmpeg -nostdin -v error -i " + handBuilt + " -f null - && echo decoded");
    EXPECT_EQ(testing_support::Chomp(frames.output), "decoded");
}

TEST(Mp4ReaderTest, OwnFileReadsBackWhatWasWritten)
{
    testing_support::TempFolder folder;
    std::string path = folder.Path() + "/own.mp4";
    qn_mp4::Mp4FileWriter writer;
    ASSERT_TRUE(writer.Create(path, {}));
    uint32_t audio = writer.AddAudioTrack({});
    uint32_t video = writer.AddVideoTrack({});
    std::vector<Bytes> written[2];
    // Three audio samples to each picture, so both tracks hold chunks of
    // several samples and of one.
    for (int i = 0; i < 40; ++i) {
        uint32_t track = i % 4 == 3 ? video : audio;
        Bytes sample(std::size_t(10 + i * 7), uint8_t(i));
        bool sync = track == audio || i % 8 == 3;
        ASSERT_TRUE(writer.WriteSample(track, sample.data(), sample.size(), sync, track == video ? 3000 : 0));
        written[track - 1].push_back(sample);
    }
    ASSERT_TRUE(writer.Close());
    Bytes file = mp4_test::ReadFileBytes(path);
    file.insert(file.end(), kEndMarker.begin(), kEndMarker.end());
    mp4_test::WriteFileBytes(path, file);

    Mp4FileReader reader;
    ASSERT_EQ(reader.Open(path), Mp4FileReader::OpenResult::kOpened);
    ASSERT_EQ(reader.Movie().tracks.size(), 2u);
    EXPECT_EQ(reader.Movie().timeScale, 90000u);
    for (uint32_t t = 0; t < 2; ++t) {
        const qn_mp4::TrackInfo& track = reader.Movie().tracks[t];
        EXPECT_EQ(track.trackId, t + 1);
        ASSERT_EQ(track.samples.size(), written[t].size());
        for (std::size_t i = 0; i < track.samples.size(); ++i) {
            Bytes data;
            ASSERT_TRUE(reader.ReadSample(track, i, data));
            EXPECT_EQ(data, written[t][i]) << "track " << t << " sample " << i;
            EXPECT_EQ(track.samples[i].sync, t == 0 || i % 2 == 0);
            EXPECT_EQ(track.samples[i].duration, t == 0 ? 1024u : 3000u);
        }
    }
    EXPECT_EQ(reader.Movie().tracks[0].handler, FourCC("soun"));
    EXPECT_EQ(reader.Movie().tracks[1].handler, FourCC("vide"));
    EXPECT_EQ(reader.Movie().tracks[1].timeScale, 90000u);
    EXPECT_EQ(reader.Movie().duration, 30u * 1024 * 90000 / 8000);
}

// Damaged copies of a good file: each is refused (or, where the damage lies
// outside what the movie needs, read without passing the file's end).
TEST(Mp4ReaderTest, DamagedFilesAreRefused)
{
    testing_support::TempFolder folder;
    std::string good = folder.Path() + "/good.mp4";
    {
        qn_mp4::Mp4FileWriter writer;
        ASSERT_TRUE(writer.Create(good, {}));
        uint32_t video = writer.AddVideoTrack({});
        for (int i = 0; i < 6; ++i) {
            Bytes sample(100, uint8_t(i));
            ASSERT_TRUE(writer.WriteSample(video, sample.data(), sample.size(), i == 0));
        }
        ASSERT_TRUE(writer.Close());
    }
    const Bytes original = mp4_test::ReadFileBytes(good);
    auto find = [&original](const char* type) {
        auto at = std::search(original.begin(), original.end(), type, type + 4);
        return std::size_t(at - original.begin()) - 4; // the box's size field
    };
    auto put32 = [](Bytes& bytes, std::size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = uint8_t(value >> (24 - 8 * i));
    };
    struct Damage {
        const char* what;
        std::function<void(Bytes&)> apply;
    };
    const std::vector<Damage> damages{
        {"movie box cut short", [](Bytes& b) { b.erase(b.end() - 20, b.end()); }},
        {"no movie box", [&](Bytes& b) { b.resize(find("moov")); }},
        {"moov larger than the file", [&](Bytes& b) { put32(b, find("moov"), 0x7FFFFFFF); }},
        {"stsz larger than its parent", [&](Bytes& b) { put32(b, find("stsz"), 0x10000); }},
        {"stsz box below its header", [&](Bytes& b) { put32(b, find("stsz"), 3); }},
        {"sample count past the size table", [&](Bytes& b) { put32(b, find("stsz") + 16, 0x40000000); }},
        {"chunk offset past the end", [&](Bytes& b) { put32(b, find("stco") + 16, 0xFFFFFF00); }},
        {"chunk count past its table", [&](Bytes& b) { put32(b, find("stco") + 12, 1000); }},
        {"chunk run starting at chunk 0", [&](Bytes& b) { put32(b, find("stsc") + 16, 0); }},
        {"chunk run past the chunks", [&](Bytes& b) { put32(b, find("stsc") + 16, 9); }},
        {"avcC length past its box", [&](Bytes& b) { b[find("avcC") + 8 + 5] = 0xE1; }},
        {"hdlr cut below its handler", [&](Bytes& b) { put32(b, find("hdlr"), 12); }},
    };
    for (const Damage& damage : damages) {
        Bytes bytes = original;
        damage.apply(bytes);
        std::string path = folder.Path() + "/damaged.mp4";
        mp4_test::WriteFileBytes(path, bytes);
        Mp4FileReader reader;
        EXPECT_EQ(reader.Open(path), Mp4FileReader::OpenResult::kDamaged) << damage.what;
    }
    Mp4FileReader reader;
    EXPECT_EQ(reader.Open(folder.Path() + "/missing.mp4"), Mp4FileReader::OpenResult::kCannotOpen);
}

} // namespace

namespace {

// A file laid out as the program's own variant lays it out: a fixed head,
// side pieces in front of samples, one chunk-run entry per sample, plain
// integer picture sizes, and a trailing "skip" box with the side tables.
TEST(Mp4ReaderTest, OwnVariantLayoutExposesItsSideTables)
{
    if (!testing_support::HaveCommand("ffprobe")) GTEST_SKIP() << "ffprobe is needed";
    testing_support::TempFolder folder;
    qn_mp4::BoxBuilder file;
    qn_mp4::WriteFileType(file, {FourCC("isom"), 512, {FourCC("mp41"), FourCC("mp42"), FourCC("isom")}});
    std::size_t free = file.BeginBox(FourCC("free"));
    file.U32(FourCC("free"));
    file.EndBox(free);
    std::size_t mdat = file.BeginBox(FourCC("mdat"));
    ASSERT_EQ(mdat, 40u);
    std::vector<uint64_t> offsets, sideOffsets;
    std::vector<uint32_t> sizes, sideSizes;
    std::vector<qn_mp4::ChunkRun> runs;
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t side = i % 2 == 0 ? 6 : 0; // key frames carry a side piece
        if (side != 0) {
            file.U32(side);
            sideOffsets.push_back(file.Size());
            file.Bytes(Bytes(side, uint8_t(0xA0 + i)));
        } else {
            sideOffsets.push_back(0);
        }
        sideSizes.push_back(side);
        offsets.push_back(file.Size());
        file.U32(8);
        file.Bytes(Bytes{uint8_t(side != 0 ? 0x65 : 0x41), 1, 2, 3, 4, 5, 6, uint8_t(i)});
        sizes.push_back(12);
        runs.push_back({i + 1, 1, 1});
    }
    file.EndBox(mdat);
    std::size_t moov = file.BeginBox(FourCC("moov"));
    qn_mp4::WriteMovieHeader(file, {.timeScale = 1000, .duration = 160, .nextTrackId = 3});
    std::size_t trak = file.BeginBox(FourCC("trak"));
    qn_mp4::WriteTrackHeader(file, {.flags = 7, .trackId = 1, .duration = 160, .width = 320, .height = 240});
    std::size_t mdia = file.BeginBox(FourCC("mdia"));
    qn_mp4::WriteMediaHeader(file, {.timeScale = 1000, .duration = 160, .language = 0x15C7});
    qn_mp4::WriteHandler(file, FourCC("vide"), "");
    std::size_t minf = file.BeginBox(FourCC("minf"));
    qn_mp4::WriteVideoMediaHeader(file);
    qn_mp4::WriteDataInformation(file);
    std::size_t stbl = file.BeginBox(FourCC("stbl"));
    qn_mp4::WriteSampleSizes(file, sizes);
    qn_mp4::WriteAvcSampleDescription(file, {.width = 320,
                                             .height = 240,
                                             .sequenceParameterSets = {{0x67, 0x42, 0, 0x1E}},
                                             .pictureParameterSets = {{0x68, 0xCE}}});
    qn_mp4::WriteTimeToSample(file, {{4, 40}});
    qn_mp4::WriteSyncSamples(file, {1, 3});
    qn_mp4::WriteSampleToChunk(file, runs);
    qn_mp4::WriteChunkOffsets(file, offsets);
    for (std::size_t mark : {stbl, minf, mdia, trak}) file.EndBox(mark);
    std::size_t skip = file.BeginBox(FourCC("skip"));
    std::size_t sizeTable = file.BeginBox(FourCC("size"));
    for (uint32_t size : sideSizes) file.U32(size);
    file.EndBox(sizeTable);
    std::size_t offsTable = file.BeginBox(FourCC("offs"));
    for (uint64_t offset : sideOffsets) file.U32(uint32_t(offset));
    file.EndBox(offsTable);
    file.EndBox(skip);
    file.EndBox(moov);
    std::string path = folder.Path() + "/lite.mp4";
    mp4_test::WriteFileBytes(path, file.Data());

    ExpectSamplesMatchProbe(path, 1);
    Mp4FileReader reader;
    ASSERT_EQ(reader.Open(path), Mp4FileReader::OpenResult::kOpened);
    std::vector<uint32_t> order;
    for (const qn_mp4::TopLevelBox& box : reader.TopLevelBoxes()) order.push_back(box.type);
    EXPECT_EQ(order, (std::vector<uint32_t>{FourCC("ftyp"), FourCC("free"), FourCC("mdat"), FourCC("moov")}));
    const qn_mp4::TrackInfo& track = reader.Movie().tracks.at(0);
    EXPECT_EQ(track.headerWidth, 320u);
    EXPECT_EQ(track.headerHeight, 240u);
    EXPECT_EQ(track.samples.at(0).duration, 40u);
    EXPECT_EQ(track.pictureParameterSets, (std::vector<Bytes>{{0x68, 0xCE}}));

    const Bytes& body = reader.MovieBody();
    qn_mp4::BoxView skipBox, sizeBox, offsBox;
    ASSERT_TRUE(qn_mp4::BoxWalker::Find(body.data(), body.size(), FourCC("skip"), skipBox));
    ASSERT_TRUE(qn_mp4::BoxWalker::Find(skipBox.body, skipBox.bodySize, FourCC("size"), sizeBox));
    ASSERT_TRUE(qn_mp4::BoxWalker::Find(skipBox.body, skipBox.bodySize, FourCC("offs"), offsBox));
    ASSERT_EQ(sizeBox.bodySize, 16u);
    ASSERT_EQ(offsBox.bodySize, 16u);
    Bytes side(6);
    ASSERT_TRUE(reader.ReadAt(sideOffsets[2], side.size(), side.data()));
    EXPECT_EQ(side, Bytes(6, 0xA2));
    EXPECT_FALSE(reader.ReadAt(reader.FileSize() - 2, 4, side.data()));
}

} // namespace
