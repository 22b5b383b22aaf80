// The cameras' media packets. Each starts with 00 00 01 and a type byte;
// integers little-endian:
//   FA audio      8-byte header: codec (byte 4; 14 = G.711 A-law), sample-rate
//                 index (byte 5), payload length u16 (bytes 6-7)
//   FC key frame 16-byte header: byte 4 bits 0-3 stream kind and the high
//                 bits of width / 8 and height / 8, byte 5 frame rate,
//                 bytes 6-7 the low bits of width / 8 and height / 8,
//                 payload length u32 (bytes 12-15)
//   FD other     8-byte header: payload length u32 (bytes 4-7)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace streams {

enum class PacketType : uint8_t { Audio = 0xFA, KeyFrame = 0xFC, OtherFrame = 0xFD };

constexpr std::size_t kAudioHeaderSize = 8;
constexpr std::size_t kKeyHeaderSize = 16;
constexpr std::size_t kOtherHeaderSize = 8;
constexpr uint8_t kCodecG711a = 14;

struct CameraPacket {
    PacketType type = PacketType::OtherFrame;
    const uint8_t* header = nullptr;
    std::size_t headerSize = 0;
    const uint8_t* payload = nullptr;
    std::size_t payloadLength = 0;
};

std::size_t HeaderSizeOf(PacketType type);
bool IsPacketType(uint8_t byte);
// The payload length a header declares (the header must be whole).
uint32_t DeclaredLength(const uint8_t* header, PacketType type);
uint32_t KeyFrameWidth(const uint8_t* header);
uint32_t KeyFrameHeight(const uint8_t* header);

// The packet buffer of one source: input is appended behind what is left of
// earlier input, and whole packets are taken from the front. A packet whose
// declared length could never fit is skipped (its start code is passed over
// and the scan resynchronises on the next one), so a corrupt length cannot
// stall the stream.
class MontPacketBuffer {
public:
    static constexpr std::size_t kCapacity = 512 * 1024;
    // Scanning needs this many bytes from the scan position.
    static constexpr std::size_t kMinScan = 64;

    // Bytes are only ever read below the used length, so they start unset.
    MontPacketBuffer() : bytes_(std::make_unique_for_overwrite<uint8_t[]>(kCapacity)) {}

    // 0 when taken; otherwise the room there was (the content stays).
    long Append(const uint8_t* data, std::size_t length);

    struct Visitor {
        virtual ~Visitor() = default;
        virtual void OnPacket(const CameraPacket& packet) = 0;
        // A packet whose declared length exceeds what the buffer can hold.
        virtual void OnBadLength(uint32_t declared) = 0;
    };
    // Hands out every whole packet; an incomplete one stays for later input.
    void Scan(Visitor& visitor);
    // Forgets the current content.
    void Clear();
    std::size_t Pending() const { return used_ - consumed_; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    std::size_t used_ = 0;
    std::size_t consumed_ = 0;
};

} // namespace streams
