#include "vqSDK/VlrNetSDK/cloud/byte_source.h"

#include <algorithm>
#include <cstring>

namespace qn_cloud {

FileByteSource::~FileByteSource()
{
    Close();
}

bool FileByteSource::Open(const std::string& path)
{
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    return file_ != nullptr;
}

void FileByteSource::Close()
{
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

std::size_t FileByteSource::Read(uint8_t* into, std::size_t count)
{
    if (file_ == nullptr) return 0;
    return std::fread(into, 1, count, file_);
}

int64_t FileByteSource::Position() const
{
    return file_ == nullptr ? -1 : static_cast<int64_t>(std::ftell(file_));
}

bool FileByteSource::Seek(int64_t position)
{
    return file_ != nullptr && std::fseek(file_, static_cast<long>(position), SEEK_SET) == 0;
}

std::size_t MemoryByteSource::Read(uint8_t* into, std::size_t count)
{
    const std::size_t take = std::min(count, length_ - position_);
    if (take > 0) std::memcpy(into, bytes_ + position_, take);
    position_ += take;
    return take;
}

bool MemoryByteSource::Seek(int64_t position)
{
    if (position < 0 || static_cast<std::size_t>(position) > length_) return false;
    position_ = static_cast<std::size_t>(position);
    return true;
}

} // namespace qn_cloud
