#include "vqSDK/VlrFilePlay/protected_jpeg.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "streams/frame_decrypt.h"
#include "streams/jpeg_tail.h"

namespace fileplay {
namespace {

constexpr uint32_t kMaxFileBytes = 64u << 20; // far above any snapshot

uint32_t ReadU32(const uint8_t* at)
{
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

void WriteU32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Offset of the flag in a block of `version`; 0 for a block without one.
std::size_t FlagOffsetOf(uint32_t version)
{
    return version == 1 ? 32 : version == 2 ? 20 : 0;
}

} // namespace

int ReadJpegProtection(const uint8_t* data, std::size_t length, JpegProtection* out)
{
    streams::JpegTail tail;
    if (out == nullptr || !streams::FindJpegTail(data, length, &tail)) return kJpegNoTail;
    *out = JpegProtection{};
    out->pictureEnd = tail.pictureEnd;
    out->version = tail.block != nullptr ? tail.blockKind : 0;
    const std::size_t flag = FlagOffsetOf(out->version);
    if (flag == 0) return 0;
    const uint8_t* block = tail.block;
    out->flagOffset = tail.pictureEnd + flag;
    out->low = ReadU32(block + flag);
    out->high = ReadU32(block + flag + 4);
    const uint32_t word = ReadU32(block + flag + 8);
    out->cryptInfo = word & 0x3FFFFFF;
    out->keyType = word >> 26 & 0x7;
    uint64_t protectedLength = tail.pictureEnd;
    if (out->version == 1) protectedLength = uint64_t{ReadU32(block + flag + 12)} * 8;
    // A length past the picture would take the tail, or bytes beyond the
    // data, for picture.
    if (protectedLength > tail.pictureEnd) protectedLength = tail.pictureEnd;
    out->protectedLength = static_cast<uint32_t>(protectedLength);
    return 0;
}

bool WriteJpegProtection(uint8_t* block, uint32_t version, uint32_t low, uint32_t high, uint32_t cryptInfo,
                         uint32_t keyType, uint32_t protectedLength)
{
    const std::size_t flag = FlagOffsetOf(version);
    if (block == nullptr || flag == 0) return false;
    WriteU32(block + flag, low);
    WriteU32(block + flag + 4, high);
    WriteU32(block + flag + 8, (cryptInfo & 0x3FFFFFF) | (keyType & 0x7) << 26);
    if (version == 1) WriteU32(block + flag + 12, protectedLength / 8);
    return true;
}

int DecryptJpeg(streams::SecurityKeys& keys, uint8_t* data, std::size_t length, const JpegProtection& protection)
{
    if (!protection.Protected()) return 0;
    if (data == nullptr || protection.flagOffset + 8 > length) return streams::kQnpsBufferShort;
    const streams::CryptBuffer record{data, protection.protectedLength, protection.cryptInfo};
    const int result = streams::qnRecordDecrypt(keys, record, protection.low, protection.high);
    if (result == streams::QNPS_RETURN_VAL_OK) std::memset(data + protection.flagOffset, 0, 8);
    return result;
}

int ReadJpegFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return -1;
    int result = 0;
    long size = 0;
    if (std::fseek(file, 0, SEEK_END) != 0 || (size = std::ftell(file)) < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        result = -2;
    } else if (size == 0 || static_cast<unsigned long>(size) > kMaxFileBytes) {
        result = -3;
    } else {
        try {
            bytes->assign(static_cast<std::size_t>(size), 0);
            if (std::fread(bytes->data(), 1, bytes->size(), file) != bytes->size()) result = -5;
        } catch (const std::bad_alloc&) {
            result = -4;
        }
    }
    std::fclose(file);
    if (result != 0) bytes->clear();
    return result;
}

} // namespace fileplay
