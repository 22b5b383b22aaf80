// The per-source stream processor: turns input buffers of a named type into
// frames. It unpacks the cameras' packets, splits Annex-B H.264 at 4-byte
// start codes into NAL units with their kind names, parses SPS and the
// camera's private SEI, finds JPEG lens blocks and hands every frame with a
// MontOutputFrame to the source's frame callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "streams/buffer_types.h"
#include "streams/camera_packets.h"
#include "streams/private_sei.h"

namespace streams {

struct MontOutputFrame {
    int userValue;       // the platform handle
    int sourceId;
    const char* kind;    // "h264_I", "h264_P", "g711a", "jpg", ...
    uint32_t bits;       // bits 0-3 packet flags; 4-13 offset in the input ("union_nal")
    uint32_t frameNumber;
    uint16_t width, height;
    int interval;        // video: milliseconds per frame; audio: sample rate
    float frameRate;
};

using MontFrameCallback = void (*)(const uint8_t* data, int length, const MontOutputFrame* frame, void* user,
                                   int userValue);

// Information codes handed to the platform.
enum class MontInfo : int {
    PanoramaQn = 2,      // QnLensSeiInfo of SEI kind 2
    PanoramaCode = 3,    // kind 3
    Ptz = 32,            // kind 4
    PtzPosition = 33,    // kinds 5 and 7
    PanoramaBlock = 5,   // 48-byte JPEG block
    PtzBlock = 6,        // 32-byte JPEG block
    TiltBlock = 7,       // 8-byte JPEG block
    Sps = 34,            // MontSpsInfo
};

struct MontSpsInfo {
    uint32_t width;
    uint32_t height;
    float frameRate;
};

using MontInfoHandler = void (*)(void* owner, int sourceId, MontInfo code, const void* data);
using MontMessageHandler = void (*)(void* owner, int kind, const char* text);

// Packet flag codes of SEI units.
constexpr uint32_t kFlagPrivateSei = 13;
constexpr uint32_t kFlagSei = 14;
constexpr uint32_t kFlagPtzSei = 15;

class MontProcessor {
public:
    MontProcessor(int platformHandle, int sourceId);

    void SetInfoHandler(MontInfoHandler handler, void* owner);
    void SetMessageHandler(MontMessageHandler handler, void* owner);
    void SetFrameCallback(MontFrameCallback callback, void* user, int userValue);
    void SetUnionNal(bool on);
    void SetAudioFrameNumber(uint32_t number);
    void SetVideoFrameNumber(uint32_t number);
    // Forgets the packet being gathered.
    void ForgetPacket();

    // One input buffer; no data (null or 0 bytes) drains what earlier input
    // left. 1 on success, 0 on failure.
    int Input(BufferType type, const uint8_t* data, std::size_t length);

    bool StreamValid() const { return streamValid_; }
    uint16_t Width() const { return width_; }
    uint16_t Height() const { return height_; }
    float FrameRate() const { return frameRate_; }
    int SampleRate() const { return sampleRate_; }

private:
    struct PacketSink;
    friend struct PacketSink;

    int InputPackets(const uint8_t* data, std::size_t length);
    int InputAudioPacket(const uint8_t* data, std::size_t length);
    int InputVideoPacket(const uint8_t* data, std::size_t length);
    int InputJpeg(const uint8_t* data, std::size_t length);
    void OnPacket(const CameraPacket& packet);
    void ReadPacketHeader(const CameraPacket& packet);
    void OutputNal(const uint8_t* data, std::size_t length, uint32_t frameNumber);
    void OutputAudio(const uint8_t* data, std::size_t length);
    bool HandleSei(const uint8_t* unit, std::size_t length, const char** kind, uint32_t* flags);
    void HandleSps(const uint8_t* unit, std::size_t length);
    void Emit(const uint8_t* data, std::size_t length, const char* kind, uint32_t bits, uint32_t frameNumber,
              bool video);
    void Message(int kind, const char* text);
    void Info(MontInfo code, const void* data);

    int platformHandle_;
    int sourceId_;
    std::recursive_mutex mutex_;

    uint16_t width_ = 0;
    uint16_t height_ = 0;
    float frameRate_ = 0;
    uint32_t packetFlags_ = 0;
    int sampleRate_ = 0;
    int audioCodec_ = 0; // 0 none, 1 linear PCM, 2 G.711 A-law
    int bitsPerSample_ = 0;
    uint32_t packetCount_ = 0;
    bool keyFramePending_ = true;
    bool unionNal_ = false;
    bool streamValid_ = true;
    bool streamKindTwo_ = false;
    uint32_t securityLow_ = 0;
    uint32_t securityHigh_ = 0;
    uint32_t audioFrameNumber_ = 0;
    uint32_t videoFrameNumber_ = 0;
    int intervalMs_ = 0;

    MontPacketBuffer packets_;
    std::vector<uint8_t> lastSps_;
    uint32_t currentFrameNumber_ = 0;

    MontInfoHandler infoHandler_ = nullptr;
    void* infoOwner_ = nullptr;
    MontMessageHandler messageHandler_ = nullptr;
    void* messageOwner_ = nullptr;
    MontFrameCallback frameCallback_ = nullptr;
    void* frameUser_ = nullptr;
    int frameUserValue_ = 0;
};

} // namespace streams
