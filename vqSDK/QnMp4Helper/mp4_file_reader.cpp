#include "vqSDK/QnMp4Helper/mp4_file_reader.h"

#include "vqSDK/QnMp4Helper/mp4_box_builder.h"
#include "vqSDK/QnMp4Helper/mp4_byte_reader.h"

namespace qn_mp4 {

Mp4FileReader::~Mp4FileReader() { Close(); }

void Mp4FileReader::Close()
{
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    fileSize_ = 0;
    boxes_.clear();
    movieBody_.clear();
    movie_ = MovieInfo{};
}

Mp4FileReader::OpenResult Mp4FileReader::Open(const std::string& path, uint64_t maxMovieBytes)
{
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return OpenResult::kCannotOpen;
    off_t end = -1;
    if (fseeko(file_, 0, SEEK_END) == 0) end = ftello(file_);
    if (end < 0) {
        Close();
        return OpenResult::kCannotOpen;
    }
    fileSize_ = uint64_t(end);

    ListTopLevelBoxes();
    const TopLevelBox* moov = nullptr;
    for (const TopLevelBox& box : boxes_) {
        if (box.type == FourCC("moov")) moov = &box;
    }
    if (moov == nullptr || moov->size - moov->headerSize > maxMovieBytes) {
        Close();
        return OpenResult::kDamaged;
    }
    movieBody_.resize(std::size_t(moov->size - moov->headerSize));
    if (!ReadAt(moov->offset + moov->headerSize, movieBody_.size(), movieBody_.data()) ||
        !ParseMovie(movieBody_.data(), movieBody_.size(), fileSize_, movie_)) {
        Close();
        return OpenResult::kDamaged;
    }
    return OpenResult::kOpened;
}

// Walks the top level up to the end of the file or the first box that does
// not fit in what is left of it.
bool Mp4FileReader::ListTopLevelBoxes()
{
    uint64_t offset = 0;
    while (fileSize_ - offset >= 8) {
        uint8_t header[16];
        if (!ReadAt(offset, 8, header)) return false;
        ByteReader in(header, sizeof header);
        TopLevelBox box;
        uint32_t size32 = 0;
        in.U32(size32);
        in.U32(box.type);
        box.offset = offset;
        box.headerSize = 8;
        box.size = size32;
        if (size32 == 1) {
            if (fileSize_ - offset < 16 || !ReadAt(offset + 8, 8, header + 8)) return false;
            in.U64(box.size);
            box.headerSize = 16;
        } else if (size32 == 0) {
            box.size = fileSize_ - offset;
        }
        if (box.size < box.headerSize || box.size > fileSize_ - offset) return false;
        boxes_.push_back(box);
        offset += box.size;
    }
    return offset == fileSize_;
}

bool Mp4FileReader::ReadAt(uint64_t offset, std::size_t length, uint8_t* out) const
{
    if (file_ == nullptr || offset > fileSize_ || length > fileSize_ - offset) return false;
    std::lock_guard<std::mutex> hold(lock_);
    if (fseeko(file_, off_t(offset), SEEK_SET) != 0) return false;
    return std::fread(out, 1, length, file_) == length;
}

bool Mp4FileReader::ReadSample(const TrackInfo& track, std::size_t index, std::vector<uint8_t>& out) const
{
    if (index >= track.samples.size()) return false;
    const SampleRef& sample = track.samples[index];
    out.resize(sample.size);
    return ReadAt(sample.offset, sample.size, out.data());
}

} // namespace qn_mp4
