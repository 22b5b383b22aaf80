// The one audio format of talk: what the cameras send and take.
#pragma once

#include <QAudioDeviceInfo>
#include <QAudioFormat>

namespace talk_audio {

constexpr int kSampleRate = 8000;
constexpr int kBytesPerSample = 2;

// 8000 Hz, one channel, signed 16-bit little-endian PCM.
QAudioFormat TalkFormat();

// True when `device` takes the talk format as it is. The data stays 8 kHz
// mono 16-bit, so a device that offers only a nearer format would play or
// record at the wrong pitch: such a device is refused.
bool DeviceTakesTalkFormat(const QAudioDeviceInfo& device);

} // namespace talk_audio
