#include "vqSDK/VlrRealplay/playback_pacing.h"

#include "vqSDK/VlrRealplay/live_pacing.h"

#include <algorithm>
#include <cmath>

namespace realplay {

uint32_t PlaybackIntervalMs(float frameRate, uint32_t runOverPercent)
{
    float rate = UsableFrameRate(frameRate, kStartFrameRate);
    auto interval = static_cast<uint32_t>(1000.0 / rate);
    return interval * 100 / (100 + std::min<uint32_t>(runOverPercent, 100));
}

bool VideoMayLeave(uint32_t entryNumber, const AudioGate& gate)
{
    if (gate.msSinceAudioPut >= kVideoAloneAfterMs)
        return true;
    return gate.audioReleased && entryNumber <= gate.lastAudioNumber + 1;
}

std::optional<float> CapForFill(uint32_t byteFill, uint32_t entryFill, float frameRate)
{
    uint32_t fill = std::max(byteFill, entryFill);
    if (fill < 300)
        return 35.0f;
    if (fill >= 851 && byteFill >= 700)
        return 5.0f;
    if (fill >= 601 && byteFill >= 500 && byteFill < 700)
        return frameRate * 0.5f;
    if (fill >= 401 && byteFill < 500)
        return frameRate;
    return std::nullopt;
}

std::optional<float> RateForLoss(uint32_t lossRate, float received)
{
    if (lossRate == kLossRateUnknown)
        return std::nullopt;
    float wanted = lossRate < 51 ? received + 2.0f : std::min(received * 0.7f, received - 2.0f);
    return std::clamp(wanted, 5.0f, 35.0f);
}

std::optional<float> RateRequestTarget(float wanted, float cap, float received)
{
    float target;
    if (wanted > 0.0f && cap > 0.0f)
        target = std::min(wanted, cap);
    else if (wanted > 0.0f)
        target = wanted;
    else if (cap > 0.0f)
        target = cap;
    else
        return std::nullopt;
    if (std::fabs(target - received) < 2.0f)
        return std::nullopt;
    return target;
}

} // namespace realplay
