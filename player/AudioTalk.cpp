#include "AudioTalk.h"

#include "Depend/qn_log.h"
#include "talk_audio_format.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>

#include <cstring>

AudioTalk::AudioTalk(QObject* parent) : QObject(parent) {}

AudioTalk::~AudioTalk() { release(); }

bool AudioTalk::init()
{
    if (m_initialised) return true;
    QAudioDeviceInfo device = QAudioDeviceInfo::defaultInputDevice();
    if (device.isNull()) return false;
    if (!talk_audio::DeviceTakesTalkFormat(device)) {
        QNLogPrint("%s(%d) input device %s refuses 8000 Hz mono 16-bit\n", "AudioTalk::init", __LINE__,
                   device.deviceName().toUtf8().constData());
        return false;
    }
    m_readBuffer.assign(kReadBytes, 0);
    m_alawBuffer.assign(kReadBytes, 0);
    m_input = new QAudioInput(device, talk_audio::TalkFormat(), this);
    m_initialised = true;
    return true;
}

bool AudioTalk::start()
{
    if (!m_initialised) return false;
    if (m_capturing) return true;
    m_encoder.Reset();
    m_device = m_input->start();
    if (m_device == nullptr) return false;
    connect(m_device, &QIODevice::readyRead, this, &AudioTalk::AudioReadSlot);
    m_capturing = true;
    return true;
}

void AudioTalk::stop()
{
    if (!m_capturing) return;
    disconnect(m_device, &QIODevice::readyRead, this, &AudioTalk::AudioReadSlot);
    m_device->close();
    m_input->stop();
    m_device = nullptr;
    m_capturing = false;
}

void AudioTalk::release()
{
    stop();
    delete m_input;
    m_input = nullptr;
    m_readBuffer.clear();
    m_alawBuffer.clear();
    m_initialised = false;
}

void AudioTalk::setTalkCallback(TalkDataCallback callback, void* user)
{
    m_callback = callback;
    m_user = user;
}

void AudioTalk::AudioReadSlot()
{
    if (!m_capturing || m_device == nullptr) return;
    qint64 read = m_device->read(m_readBuffer.data(), kReadBytes);
    if (read <= 0) return;
    std::memset(m_alawBuffer.data(), 0, m_alawBuffer.size());
    std::size_t codes = m_encoder.Encode(m_readBuffer.data(), std::size_t(read), m_alawBuffer.data());
    if (codes > 0 && m_callback != nullptr) {
        m_callback(reinterpret_cast<const char*>(m_alawBuffer.data()), int(codes), m_user);
    }
}
