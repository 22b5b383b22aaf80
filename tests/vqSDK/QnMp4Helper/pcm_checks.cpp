#include "pcm_checks.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "support/media_fixtures.h"

namespace mp4_test {
namespace {

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

std::vector<int16_t> Samples(const uint8_t* data, std::size_t bytes)
{
    std::vector<int16_t> out(bytes / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = int16_t(Le16(data + 2 * i));
    return out;
}

} // namespace

bool ReadWav(const std::string& path, WavAudio& audio)
{
    Bytes file = ReadFileBytes(path);
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool haveFormat = false;
    for (std::size_t at = 12; file.size() - at >= 8;) {
        const uint8_t* chunk = file.data() + at;
        std::size_t size = Le32(chunk + 4);
        std::size_t available = std::min(size, file.size() - at - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            audio.channels = Le16(chunk + 10);
            audio.sampleRate = int(Le32(chunk + 12));
            haveFormat = Le16(chunk + 22) == 16;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            audio.samples = Samples(chunk + 8, available);
            return haveFormat && audio.channels > 0;
        }
        at += 8 + size + (size & 1);
        if (at > file.size()) break;
    }
    return false;
}

std::vector<int16_t> Channel(const std::vector<int16_t>& interleaved, int channels, int channel)
{
    std::vector<int16_t> out;
    for (std::size_t i = std::size_t(channel); i < interleaved.size(); i += std::size_t(channels)) {
        out.push_back(interleaved[i]);
    }
    return out;
}

std::vector<int16_t> ReadS16le(const std::string& path)
{
    Bytes bytes = ReadFileBytes(path);
    return Samples(bytes.data(), bytes.size());
}

double ToneShare(const std::vector<int16_t>& samples, int sampleRate, double frequency)
{
    // Goertzel: the power at one frequency, against the signal's whole power.
    if (samples.empty() || sampleRate <= 0) return 0;
    const double pi = std::acos(-1.0);
    double coefficient = 2 * std::cos(2 * pi * frequency / sampleRate);
    double s1 = 0, s2 = 0, energy = 0;
    for (int16_t sample : samples) {
        double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += double(sample) * sample;
    }
    double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    if (energy <= 0) return 0;
    return 2 * power / (double(samples.size()) * energy);
}

double BestAlignedSnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& tested, std::size_t from,
                        std::size_t length, int maxShift)
{
    double best = -std::numeric_limits<double>::infinity();
    for (int shift = -maxShift; shift <= maxShift; ++shift) {
        double signal = 0, noise = 0;
        std::size_t counted = 0;
        for (std::size_t i = from; i < reference.size(); ++i) {
            long j = long(i) + shift;
            if (j < 0 || std::size_t(j) >= tested.size()) continue;
            double difference = double(reference[i]) - tested[std::size_t(j)];
            signal += double(reference[i]) * reference[i];
            noise += difference * difference;
            ++counted;
        }
        if (counted < length || signal <= 0) continue;
        double snr = noise <= 0 ? 200.0 : 10 * std::log10(signal / noise);
        if (snr > best) best = snr;
    }
    return best;
}

} // namespace mp4_test
