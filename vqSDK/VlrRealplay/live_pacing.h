// The live controller's timing arithmetic: how far video lags audio, how fast it catches up, how long each frame and
// each audio block is held, and how lateness is paid back. Kept apart from the threads so that every release time
// can be worked out from the frame rate alone.
#pragma once

#include <cstdint>

namespace realplay {

constexpr float kStartFrameRate = 20.0f;
constexpr uint32_t kMaxLatenessDebtMs = 3000;
constexpr uint32_t kMaxVideoSleepMs = 2000;
constexpr uint32_t kMaxAudioSleepMs = 500;

// A frame rate that the stream reported or that was probed from its SEI; 0 (no probe) keeps the last usable one.
float UsableFrameRate(float reported, float previous);

// Milliseconds by which the stream numbered `behind` trails `ahead` at the given video frame rate (0 when not behind).
uint32_t LagMs(uint32_t behind, uint32_t ahead, float frameRate);

struct VideoPace
{
    float factor;        // speed-up of the video release
    bool keyFramesOnly;  // far behind: only key frames leave
    uint32_t intervalMs; // hold between two releases
};

// The pace of the next video release. `keyFramesOnly` is the mode in force; a key frame within reach ends it.
VideoPace NextVideoPace(uint32_t lagMs, float frameRate, bool keyFrame, bool keyFramesOnly);

// Audio speeds up 1.2 times from 1 s behind video and 6 times from 3 s.
float AudioFactor(uint32_t lagMs);

// How long an audio block of `length` one-byte samples is held, shortened by the "audio_run_over" percent.
uint32_t AudioHoldMs(uint32_t length, float sampleRate, float factor, uint32_t runOverPercent);

struct VideoSleep
{
    uint32_t sleepMs;
    uint32_t debtMs;
};

// What is left of a video interval after `elapsedMs` of work. With compensation an overrun becomes debt (at most
// 3 s), paid back from later intervals, always leaving at least 1 ms of each.
VideoSleep SleepAfterVideo(uint32_t intervalMs, uint32_t elapsedMs, uint32_t debtMs, bool compensate);

} // namespace realplay
