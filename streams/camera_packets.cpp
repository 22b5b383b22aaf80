#include "streams/camera_packets.h"

#include <cstring>

#include "vqSDK/VlrNetSDK/wire_bytes.h"

namespace streams {

std::size_t HeaderSizeOf(PacketType type)
{
    return type == PacketType::KeyFrame ? kKeyHeaderSize : kOtherHeaderSize;
}

bool IsPacketType(uint8_t byte)
{
    return byte == 0xFA || byte == 0xFC || byte == 0xFD;
}

uint32_t DeclaredLength(const uint8_t* header, PacketType type)
{
    switch (type) {
    case PacketType::Audio: return qn_net::ReadU16(header + 6);
    case PacketType::KeyFrame: return qn_net::ReadU32(header + 12);
    default: return qn_net::ReadU32(header + 4);
    }
}

uint32_t KeyFrameWidth(const uint8_t* header)
{
    return ((uint32_t{header[4]} >> 4) * 256 + header[6]) * 8;
}

uint32_t KeyFrameHeight(const uint8_t* header)
{
    return ((uint32_t{header[4]} >> 6) * 256 + header[7]) * 8;
}

long MontPacketBuffer::Append(const uint8_t* data, std::size_t length)
{
    if (consumed_ > 0) {
        std::memmove(bytes_.get(), bytes_.get() + consumed_, used_ - consumed_);
        used_ -= consumed_;
        consumed_ = 0;
    }
    std::size_t room = kCapacity - used_;
    if (length >= room) return static_cast<long>(room);
    std::memcpy(bytes_.get() + used_, data, length);
    used_ += length;
    return 0;
}

void MontPacketBuffer::Scan(Visitor& visitor)
{
    std::size_t at = consumed_;
    while (used_ - at >= kMinScan) {
        const uint8_t* base = bytes_.get();
        std::size_t start = at;
        while (start + 4 <= used_ &&
               !(base[start] == 0 && base[start + 1] == 0 && base[start + 2] == 1 && IsPacketType(base[start + 3]))) {
            ++start;
        }
        if (start + 4 > used_) {
            at = used_ - 3; // keep what may be the start of a start code
            break;
        }
        auto type = static_cast<PacketType>(base[start + 3]);
        std::size_t headerSize = HeaderSizeOf(type);
        if (used_ - start < headerSize) {
            at = start;
            break;
        }
        uint32_t declared = DeclaredLength(base + start, type);
        if (declared > kCapacity - headerSize) {
            visitor.OnBadLength(declared);
            at = start + 3;
            continue;
        }
        if (used_ - start - headerSize < declared) {
            at = start;
            break;
        }
        CameraPacket packet{type, base + start, headerSize, base + start + headerSize, declared};
        at = start + headerSize + declared;
        consumed_ = at;
        visitor.OnPacket(packet);
    }
    consumed_ = at;
}

void MontPacketBuffer::Clear()
{
    used_ = 0;
    consumed_ = 0;
}

} // namespace streams
