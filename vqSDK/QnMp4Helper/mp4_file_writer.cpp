#include "vqSDK/QnMp4Helper/mp4_file_writer.h"

#include <algorithm>

namespace qn_mp4 {
namespace {

// The head reserves 16 bytes for the "mdat" header: an 8-byte "free" box and
// an 8-byte header while the data fits 32 bits, one 16-byte header after.
constexpr uint64_t kMediaHeaderRoom = 16;

// `value` counted in `from` units, in `to` units (rounded down).
uint64_t Rescale(uint64_t value, uint32_t from, uint32_t to)
{
    if (from == 0) return 0;
    return value / from * to + value % from * to / from;
}

} // namespace

struct Mp4FileWriter::Track {
    uint32_t id = 0;
    uint32_t handler = 0;
    uint32_t timeScale = 0;
    uint32_t sampleDuration = 0;
    VideoTrackOptions video;
    AudioTrackOptions audio;
    TrackTables tables;
};

Mp4FileWriter::Mp4FileWriter() = default;

Mp4FileWriter::~Mp4FileWriter()
{
    if (file_ != nullptr) Close();
}

bool Mp4FileWriter::Create(const std::string& path, const MovieOptions& options)
{
    if (file_ != nullptr) return false;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    options_ = options;
    failed_ = false;
    tracks_.clear();

    BoxBuilder head;
    WriteFileType(head, options.fileType);
    mediaDataStart_ = head.Size();
    head.U32(8);
    head.U32(FourCC("free"));
    head.U32(0); // "mdat" size: 0 (to the end of the file) until the close
    head.U32(FourCC("mdat"));
    position_ = head.Size();
    if (std::fwrite(head.Data().data(), 1, head.Size(), file_) != head.Size()) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

Mp4FileWriter::Track* Mp4FileWriter::FindTrack(uint32_t trackId) const
{
    for (const auto& track : tracks_) {
        if (track->id == trackId) return track.get();
    }
    return nullptr;
}

uint32_t Mp4FileWriter::AddTrack(std::unique_ptr<Track> track)
{
    if (file_ == nullptr) return 0;
    track->id = uint32_t(tracks_.size() + 1);
    tracks_.push_back(std::move(track));
    return tracks_.back()->id;
}

uint32_t Mp4FileWriter::AddVideoTrack(const VideoTrackOptions& options)
{
    auto track = std::make_unique<Track>();
    track->handler = FourCC("vide");
    track->timeScale = options.timeScale;
    track->sampleDuration = options.sampleDuration;
    track->video = options;
    return AddTrack(std::move(track));
}

uint32_t Mp4FileWriter::AddAudioTrack(const AudioTrackOptions& options)
{
    auto track = std::make_unique<Track>();
    track->handler = FourCC("soun");
    track->timeScale = options.timeScale;
    track->sampleDuration = options.sampleDuration;
    track->audio = options;
    return AddTrack(std::move(track));
}

bool Mp4FileWriter::WriteSample(uint32_t trackId, const uint8_t* data, std::size_t length, bool sync, uint32_t duration)
{
    Track* track = FindTrack(trackId);
    if (file_ == nullptr || failed_ || track == nullptr || length > UINT32_MAX) return false;
    if (length > 0 && std::fwrite(data, 1, length, file_) != length) {
        // The movie box goes over the torn sample at the close, so the samples before stay usable.
        failed_ = true;
        return false;
    }
    if (!track->tables.AddSample(position_, uint32_t(length), duration != 0 ? duration : track->sampleDuration, sync)) {
        failed_ = true;
        return false;
    }
    position_ += length;
    return true;
}

uint32_t Mp4FileWriter::SampleCount(uint32_t trackId) const
{
    const Track* track = FindTrack(trackId);
    return track != nullptr ? track->tables.SampleCount() : 0;
}

bool Mp4FileWriter::Close()
{
    if (file_ == nullptr) return false;
    bool written = !failed_;
    written = FinishMediaData() && written;
    written = WriteMovie() && written;
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    tracks_.clear();
    return written;
}

bool Mp4FileWriter::FinishMediaData()
{
    uint64_t dataSize = position_ - (mediaDataStart_ + kMediaHeaderRoom);
    BoxBuilder header;
    uint64_t at = mediaDataStart_;
    if (dataSize + 8 <= UINT32_MAX) {
        at += 8;
        header.U32(uint32_t(dataSize + 8));
        header.U32(FourCC("mdat"));
    } else {
        header.U32(1);
        header.U32(FourCC("mdat"));
        header.U64(dataSize + kMediaHeaderRoom);
    }
    if (fseeko(file_, off_t(at), SEEK_SET) != 0) return false;
    bool ok = std::fwrite(header.Data().data(), 1, header.Size(), file_) == header.Size();
    return fseeko(file_, off_t(position_), SEEK_SET) == 0 && ok;
}

bool Mp4FileWriter::WriteMovie()
{
    uint64_t movieDuration = 0;
    for (const auto& track : tracks_) {
        movieDuration =
            std::max(movieDuration, Rescale(track->tables.TotalDuration(), track->timeScale, options_.timeScale));
    }
    BoxBuilder out;
    std::size_t moov = out.BeginBox(FourCC("moov"));
    WriteMovieHeader(
        out, {.timeScale = options_.timeScale, .duration = movieDuration, .nextTrackId = uint32_t(tracks_.size() + 1)});
    WriteObjectDescriptor(out, options_.profiles);
    for (const auto& track : tracks_) BuildTrack(out, *track);
    out.EndBox(moov);
    if (out.Failed()) return false;
    return std::fwrite(out.Data().data(), 1, out.Size(), file_) == out.Size();
}

void Mp4FileWriter::BuildTrack(BoxBuilder& out, const Track& track) const
{
    bool video = track.handler == FourCC("vide");
    const TrackTables& tables = track.tables;
    std::size_t trak = out.BeginBox(FourCC("trak"));
    TrackHeaderBox header;
    header.trackId = track.id;
    header.duration = Rescale(tables.TotalDuration(), track.timeScale, options_.timeScale);
    if (video) {
        header.width = Fixed16(track.video.entry.width);
        header.height = Fixed16(track.video.entry.height);
    } else {
        header.volume = 0x0100;
    }
    WriteTrackHeader(out, header);

    std::size_t mdia = out.BeginBox(FourCC("mdia"));
    WriteMediaHeader(out, {.timeScale = track.timeScale, .duration = tables.TotalDuration()});
    WriteHandler(out, track.handler, video ? "VideoHandler" : "SoundHandler");
    std::size_t minf = out.BeginBox(FourCC("minf"));
    if (video) {
        WriteVideoMediaHeader(out);
    } else {
        WriteSoundMediaHeader(out);
    }
    WriteDataInformation(out);
    std::size_t stbl = out.BeginBox(FourCC("stbl"));
    if (video) {
        WriteAvcSampleDescription(out, track.video.entry);
    } else {
        WriteAacSampleDescription(out, track.audio.entry);
    }
    WriteTimeToSample(out, tables.TimeRuns());
    if (!tables.AllSync()) WriteSyncSamples(out, tables.SyncSamples());
    WriteSampleToChunk(out, tables.ChunkRuns());
    WriteSampleSizes(out, tables.Sizes());
    WriteChunkOffsets(out, tables.ChunkOffsets());
    out.EndBox(stbl);
    out.EndBox(minf);
    out.EndBox(mdia);
    out.EndBox(trak);
}

} // namespace qn_mp4
