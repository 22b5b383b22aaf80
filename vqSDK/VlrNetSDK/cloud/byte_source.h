// Where the segment reader takes its bytes from: an open file, or bytes in
// memory (tests and fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qn_cloud {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `count` bytes; fewer only at the end.
    virtual std::size_t Read(uint8_t* into, std::size_t count) = 0;
    virtual int64_t Position() const = 0;
    virtual bool Seek(int64_t position) = 0;
};

class FileByteSource final : public ByteSource {
public:
    FileByteSource() = default;
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    // Opens for binary reading, closing any file open before.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    std::size_t Read(uint8_t* into, std::size_t count) override;
    int64_t Position() const override;
    bool Seek(int64_t position) override;

private:
    std::FILE* file_ = nullptr;
};

class MemoryByteSource final : public ByteSource {
public:
    MemoryByteSource(const uint8_t* bytes, std::size_t length) : bytes_(bytes), length_(length) {}

    std::size_t Read(uint8_t* into, std::size_t count) override;
    int64_t Position() const override { return static_cast<int64_t>(position_); }
    bool Seek(int64_t position) override;

private:
    const uint8_t* bytes_;
    std::size_t length_;
    std::size_t position_ = 0;
};

} // namespace qn_cloud
