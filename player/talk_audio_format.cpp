#include "talk_audio_format.h"

namespace talk_audio {

QAudioFormat TalkFormat()
{
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleSize(8 * kBytesPerSample);
    format.setCodec("audio/pcm");
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    return format;
}

bool DeviceTakesTalkFormat(const QAudioDeviceInfo& device) { return device.isFormatSupported(TalkFormat()); }

} // namespace talk_audio
