// The playback controller's timing and rate-request arithmetic, kept apart from its threads.
#pragma once

#include <cstdint>
#include <optional>

namespace realplay {

// Without an audio entry put for this long, card video is released on its own timing: a recording made with the
// microphone off must still play.
constexpr uint32_t kVideoAloneAfterMs = 1000;

// Hold between two video releases, shortened by the "audio_run_over" percent; an unknown rate keeps the last one.
uint32_t PlaybackIntervalMs(float frameRate, uint32_t runOverPercent);

struct AudioGate
{
    bool audioReleased;        // some audio left since play
    uint32_t lastAudioNumber;  // number of the last audio entry released
    uint32_t msSinceAudioPut;  // since the last audio entry was put (or since play)
};

// Whether the video entry numbered `entryNumber` may leave: it waits for audio up to its own number, unless the
// stream has carried no audio for a while.
bool VideoMayLeave(uint32_t entryNumber, const AudioGate& gate);

// The rate cap that the queue's fill asks for (per mille), or nothing when the fill is in none of the bands.
std::optional<float> CapForFill(uint32_t byteFill, uint32_t entryFill, float frameRate);

// A packet-loss rate of this value stands for one not given.
constexpr uint32_t kLossRateUnknown = 1020;

// The rate the loss check wishes for, from the loss rate and the rate `received`: 2 frames more while the loss
// stays below 51, else at most 70 % and at least 2 frames less; always within 5 to 35. Nothing while the loss rate
// is unknown.
std::optional<float> RateForLoss(uint32_t lossRate, float received);

// The rate to ask the camera for, given the loss check's wish and the fill cap (0 when not set) and the rate `received`;
// nothing when neither is set or the target is within 2 fps of what arrives.
std::optional<float> RateRequestTarget(float wanted, float cap, float received);

} // namespace realplay
