#include "AudioPlay.h"

#include "Depend/qn_log.h"
#include "event_loop_thread.h"
#include "talk_audio_format.h"
#include "vqSDK/QnMp4Helper/g711_alaw.h"

#include <QAudioOutput>
#include <QThread>
#include <QTimer>

#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <bit>
#include <future>
#include <vector>

// Decoded samples go to the device as they lie in memory.
static_assert(std::endian::native == std::endian::little, "talk audio is little-endian PCM");

namespace {

constexpr int kNoiseSuppressDb = -20;
// 200 ms of echo tail at 8 kHz.
constexpr int kEchoFilterSamples = 1600;
constexpr int kWriteIntervalMs = 5;
constexpr int kStopWaitMs = 1000;

} // namespace

// Opens the output on its own thread, writes to it from a timer there and
// closes it there when the event loop ends.
class AudioPlay::PlaybackThread : public QThread {
public:
    PlaybackThread(AudioPlay* owner, const QAudioDeviceInfo& device) : m_owner(owner), m_deviceInfo(device) {}

    // Starts the thread and waits until the output is open or has failed.
    bool startOutput()
    {
        std::future<bool> opened = m_opened.get_future();
        start();
        return opened.get();
    }

protected:
    void run() override
    {
        QAudioOutput output(m_deviceInfo, talk_audio::TalkFormat());
        QIODevice* device = output.start();
        if (device == nullptr) {
            m_opened.set_value(false);
            return;
        }
        m_owner->attachOutput(&output, device);
        QTimer timer;
        timer.setInterval(kWriteIntervalMs);
        connect(&timer, &QTimer::timeout, [this] { m_owner->playAudioSlot(); });
        timer.start();
        m_opened.set_value(true);
        exec();
        timer.stop();
        m_owner->attachOutput(nullptr, nullptr);
        output.stop();
    }

private:
    AudioPlay* m_owner;
    QAudioDeviceInfo m_deviceInfo;
    std::promise<bool> m_opened;
};

AudioPlay::AudioPlay(QObject* parent) : QObject(parent) {}

AudioPlay::~AudioPlay() { release(); }

bool AudioPlay::init()
{
    if (m_initialised) return true;
    if (QAudioDeviceInfo::availableDevices(QAudio::AudioOutput).isEmpty()) {
        QNLogPrint("%s(%d) NO AUDIO OUTPUT DEVICES!\n", "AudioPlay::init", __LINE__);
        return false;
    }
    QAudioDeviceInfo device = QAudioDeviceInfo::defaultOutputDevice();
    if (device.isNull()) return false;
    if (!talk_audio::DeviceTakesTalkFormat(device)) {
        QNLogPrint("%s(%d) output device %s refuses 8000 Hz mono 16-bit\n", "AudioPlay::init", __LINE__,
                   device.deviceName().toUtf8().constData());
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_preprocess == nullptr) {
            m_preprocess = speex_preprocess_state_init(int(talk_audio::kBlockSamples), talk_audio::kSampleRate);
            if (m_preprocess == nullptr) return false;
            int denoise = 1, suppress = kNoiseSuppressDb;
            speex_preprocess_ctl(m_preprocess, SPEEX_PREPROCESS_SET_DENOISE, &denoise);
            speex_preprocess_ctl(m_preprocess, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &suppress);
        }
        if (m_echo == nullptr) m_echo = speex_echo_state_init(int(talk_audio::kBlockSamples), kEchoFilterSamples);
        m_buffer.Clear();
    }
    m_thread = std::make_unique<PlaybackThread>(this, device);
    if (!m_thread->startOutput()) {
        m_thread->wait();
        m_thread.reset();
        freeFilters();
        return false;
    }
    m_initialised = true;
    return true;
}

void AudioPlay::stop()
{
    if (!m_listening) return;
    m_listening = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_buffer.Clear();
}

void AudioPlay::release()
{
    // Flags first, so that new input stops at the door; the filters go last,
    // under the mutex, so that input already inside finishes with them.
    m_listening = false;
    m_initialised = false;
    if (m_thread) {
        talk_audio::StopEventLoopThread(m_thread.get(), kStopWaitMs);
        m_thread.reset();
    }
    freeFilters();
}

void AudioPlay::freeFilters()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_preprocess != nullptr) speex_preprocess_state_destroy(m_preprocess);
    m_preprocess = nullptr;
    if (m_echo != nullptr) speex_echo_state_destroy(m_echo);
    m_echo = nullptr;
    m_buffer.Clear();
}

void AudioPlay::inputData(const uint8_t* alaw, int count)
{
    if (!m_initialised || !m_listening || alaw == nullptr || count <= 0) return;
    std::vector<int16_t> pcm(std::size_t(count), 0);
    qn_g711::DecodeAlaw(alaw, pcm.size(), pcm.data());

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_preprocess == nullptr) return;
    SpeexPreprocessState* preprocess = m_preprocess;
    std::size_t dropped = m_buffer.Append(
        pcm.data(), pcm.size(), [preprocess](int16_t* block) { return speex_preprocess_run(preprocess, block) != 0; });
    if (dropped != 0) {
        QNLogPrint("####%s(%d) Len:%d Remove Buffer:%d Mid:%d\n", "AudioPlay::inputData", __LINE__, count,
                   int(m_buffer.PlayableBytes() + dropped), int(dropped));
    }
}

void AudioPlay::playAudioSlot()
{
    if (!m_listening || m_output == nullptr || m_device == nullptr) return;
    QAudio::State state = m_output->state();
    if (state == QAudio::StoppedState || state == QAudio::SuspendedState) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 period = m_output->periodSize();
    if (period <= 0) return;
    while (qint64(m_buffer.PlayableBytes()) >= period && m_output->bytesFree() >= period) {
        qint64 written = m_device->write(m_buffer.PlayableData(), period);
        if (written <= 0) break;
        m_buffer.Consume(std::size_t(written));
    }
}

void AudioPlay::attachOutput(QAudioOutput* output, QIODevice* device)
{
    m_output = output;
    m_device = device;
}
