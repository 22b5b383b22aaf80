// Opens an MP4 file, lists its top-level boxes, parses its movie box and
// reads samples. Bytes after the last whole top-level box (an end marker, a
// torn tail) are left alone; a file whose movie box is missing or damaged,
// or whose samples lie outside it, is refused.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "vqSDK/QnMp4Helper/mp4_movie.h"

namespace qn_mp4 {

struct TopLevelBox {
    uint32_t type = 0;
    uint64_t offset = 0;     // of the box header
    uint64_t headerSize = 0; // 8, or 16 with a 64-bit size
    uint64_t size = 0;       // whole box
};

class Mp4FileReader {
public:
    enum class OpenResult { kOpened, kCannotOpen, kDamaged };

    Mp4FileReader() = default;
    ~Mp4FileReader();
    Mp4FileReader(const Mp4FileReader&) = delete;
    Mp4FileReader& operator=(const Mp4FileReader&) = delete;

    // Opens the file and parses its movie. A movie box larger than
    // `maxMovieBytes` counts as damaged.
    OpenResult Open(const std::string& path, uint64_t maxMovieBytes = kDefaultMaxMovieBytes);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    uint64_t FileSize() const { return fileSize_; }
    const std::vector<TopLevelBox>& TopLevelBoxes() const { return boxes_; }
    const MovieInfo& Movie() const { return movie_; }
    // The body of the movie box, for boxes the parser does not know.
    const std::vector<uint8_t>& MovieBody() const { return movieBody_; }

    // Reads one sample of `track` (a track of Movie()) into `out`. Safe from
    // several threads at once.
    bool ReadSample(const TrackInfo& track, std::size_t index, std::vector<uint8_t>& out) const;
    // Reads `length` bytes at `offset`; false when they are not all in the file.
    bool ReadAt(uint64_t offset, std::size_t length, uint8_t* out) const;

    static constexpr uint64_t kDefaultMaxMovieBytes = 512ull << 20;

private:
    bool ListTopLevelBoxes();

    std::FILE* file_ = nullptr;
    uint64_t fileSize_ = 0;
    std::vector<TopLevelBox> boxes_;
    std::vector<uint8_t> movieBody_;
    MovieInfo movie_;
    mutable std::mutex lock_; // a seek and its read go together
};

} // namespace qn_mp4
