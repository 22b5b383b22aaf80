#include "vqSDK/VlrRealplay/live_pacing.h"

#include <algorithm>

namespace realplay {

namespace {

constexpr uint32_t kCatchUpFromMs = 400;
constexpr uint32_t kKeyFramesOnlyAboveMs = 3000;
constexpr float kMaxCatchUpFactor = 2.0f;
constexpr float kKeyFramesOnlyFactor = 20.0f;

} // namespace

float UsableFrameRate(float reported, float previous)
{
    if (reported > 0.0f)
        return reported;
    return previous > 0.0f ? previous : kStartFrameRate;
}

uint32_t LagMs(uint32_t behind, uint32_t ahead, float frameRate)
{
    if (behind >= ahead || frameRate <= 0.0f)
        return 0;
    return static_cast<uint32_t>(static_cast<double>(ahead - behind) * 1000.0 / frameRate);
}

VideoPace NextVideoPace(uint32_t lagMs, float frameRate, bool keyFrame, bool keyFramesOnly)
{
    VideoPace pace{1.0f, keyFramesOnly, 0};
    // The factor as a fraction (lag + 600) / 600, so that an interval that comes out whole is not truncated to the
    // millisecond below by rounding.
    double numerator = 1.0;
    double denominator = 1.0;
    if (lagMs >= kCatchUpFromMs) {
        numerator = static_cast<double>(lagMs) + 600.0;
        denominator = 600.0;
        if (numerator / denominator >= kMaxCatchUpFactor) {
            numerator = kMaxCatchUpFactor;
            denominator = 1.0;
        }
    }
    if (lagMs > kKeyFramesOnlyAboveMs) {
        pace.keyFramesOnly = true;
        numerator = kKeyFramesOnlyFactor;
        denominator = 1.0;
    } else if (keyFrame) {
        pace.keyFramesOnly = false;
    }
    pace.factor = static_cast<float>(numerator / denominator);
    double rate = UsableFrameRate(frameRate, kStartFrameRate);
    pace.intervalMs = static_cast<uint32_t>(1000.0 * denominator / (rate * numerator));
    return pace;
}

float AudioFactor(uint32_t lagMs)
{
    if (lagMs >= 3000)
        return 6.0f;
    if (lagMs >= 1000)
        return 1.2f;
    return 1.0f;
}

uint32_t AudioHoldMs(uint32_t length, float sampleRate, float factor, uint32_t runOverPercent)
{
    double perSecond = static_cast<double>(sampleRate) * factor;
    if (perSecond <= 0.0)
        return 0;
    auto hold = static_cast<uint32_t>(static_cast<double>(length) * 1000.0 / perSecond);
    return hold * 100 / (100 + std::min<uint32_t>(runOverPercent, 100));
}

VideoSleep SleepAfterVideo(uint32_t intervalMs, uint32_t elapsedMs, uint32_t debtMs, bool compensate)
{
    if (!compensate) {
        uint32_t rest = elapsedMs < intervalMs ? intervalMs - elapsedMs : 0;
        return {std::min(rest, kMaxVideoSleepMs), debtMs};
    }
    if (elapsedMs >= intervalMs)
        return {0, std::min(debtMs + (elapsedMs - intervalMs), kMaxLatenessDebtMs)};
    uint32_t rest = intervalMs - elapsedMs;
    uint32_t paid = std::min(debtMs, rest - 1);
    return {std::min(rest - paid, kMaxVideoSleepMs), debtMs - paid};
}

} // namespace realplay
