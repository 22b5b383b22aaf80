// AAC encoding of 16-bit PCM through FAAC, one block of InputSamples() at a
// time. The settings name FAAC's fields; a writer chooses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qn_mp4 {

struct AacEncoderSettings {
    unsigned mpegVersion = 0;   // 0 MPEG-4, 1 MPEG-2
    unsigned objectType = 2;    // 1 Main, 2 LC
    int allowMidSide = -1;      // -1 keeps FAAC's default
    bool useTns = true;
    unsigned long bitRate = 0;  // per channel; 0 keeps FAAC's default
    unsigned bandWidth = 0;     // Hz; 0 lets FAAC choose
    unsigned long quantQuality = 500;
    unsigned outputFormat = 0;  // 0 raw, 1 ADTS
};

class AacEncoder {
public:
    AacEncoder() = default;
    ~AacEncoder() { Close(); }
    AacEncoder(const AacEncoder&) = delete;
    AacEncoder& operator=(const AacEncoder&) = delete;

    // False when FAAC cannot be opened for this rate or refuses the settings.
    bool Open(uint32_t sampleRate, uint32_t channels, const AacEncoderSettings& settings);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    // Samples (all channels) one block takes, and the most bytes it gives.
    std::size_t InputSamples() const { return inputSamples_; }
    std::size_t MaxOutputBytes() const { return maxOutputBytes_; }

    // Encodes one block of InputSamples() samples into `out` (MaxOutputBytes()
    // long). The byte count, 0 while the encoder is still filling its delay
    // line, or -1 on an error.
    int Encode(const int16_t* pcm, uint8_t* out);

    // Gathers samples into blocks and encodes each block as it fills; `sink`
    // gets the bytes of every block that yields some. A block that yields
    // none (the encoder's start-up delay) is consumed all the same, so no
    // audio is held back. False when the encoder failed or `sink` did.
    using Sink = std::function<bool(const uint8_t* bytes, std::size_t length)>;
    bool EncodePcm(const int16_t* samples, std::size_t count, const Sink& sink);

    // The AudioSpecificConfig the encoder describes its output with.
    std::vector<uint8_t> DecoderSpecificInfo() const;

private:
    void* handle_ = nullptr;
    std::size_t inputSamples_ = 0;
    std::size_t maxOutputBytes_ = 0;
    std::vector<int16_t> block_;
    std::size_t blockFill_ = 0;
    std::vector<uint8_t> output_;
};

} // namespace qn_mp4
