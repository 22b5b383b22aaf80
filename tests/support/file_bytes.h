// Whole-file reads and writes for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testing_support {

// The file's bytes into `bytes`; false when it cannot be opened.
template <typename Bytes>
bool ReadFileInto(const std::string& path, Bytes& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The file's bytes; empty when it cannot be opened.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    ReadFileInto(path, bytes);
    return bytes;
}

inline std::string ReadFileText(const std::string& path)
{
    std::string text;
    ReadFileInto(path, text);
    return text;
}

// Replaces the file's contents; false when they could not all be written.
inline bool WriteFileBytes(const std::string& path, const void* data, std::size_t length)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
    return static_cast<bool>(out);
}

inline bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

} // namespace testing_support
