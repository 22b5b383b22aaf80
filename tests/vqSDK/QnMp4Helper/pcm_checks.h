// Checks on decoded 16-bit PCM: WAV files written by outside decoders, the
// share of a tone in a signal, and how closely two decodes agree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mp4_test {

struct WavAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
};
// A 16-bit PCM WAV file; false when it is not one.
bool ReadWav(const std::string& path, WavAudio& audio);

// One channel of interleaved samples.
std::vector<int16_t> Channel(const std::vector<int16_t>& interleaved, int channels, int channel);

// Raw 16-bit little-endian samples, as ffmpeg's "-f s16le" writes them.
std::vector<int16_t> ReadS16le(const std::string& path);

// The share (0..1) of the signal's energy that lies at `frequency`.
double ToneShare(const std::vector<int16_t>& samples, int sampleRate, double frequency);

// The signal-to-noise ratio in dB of `tested` against `reference`, at the
// shift of `tested` (within +-maxShift samples) where they agree best.
// Only the overlap of at least `length` samples from `from` counts.
double BestAlignedSnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& tested, std::size_t from,
                        std::size_t length, int maxShift);

} // namespace mp4_test
