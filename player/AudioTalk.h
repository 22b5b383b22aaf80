// Microphone capture for two-way talk: 8 kHz mono 16-bit PCM from the default
// input device, encoded to G.711 A-law and handed to the talk callback. Lives
// on the GUI thread; capture runs there through the device's readyRead().
#pragma once

#include "capture_encoder.h"

#include <QObject>

#include <cstdint>
#include <vector>

class QAudioInput;
class QIODevice;

// Told each block of encoded capture: (A-law bytes, count, user value).
using TalkDataCallback = void (*)(const char* data, int length, void* user);

class AudioTalk : public QObject {
    Q_OBJECT
public:
    explicit AudioTalk(QObject* parent = nullptr);
    ~AudioTalk() override;
    AudioTalk(const AudioTalk&) = delete;
    AudioTalk& operator=(const AudioTalk&) = delete;

    // Takes the default input device and builds the input; nothing when done
    // already. False without an input device or when it refuses the format.
    bool init();
    // Starts capture; false when not initialised or the input gives no device.
    bool start();
    // Stops capture when it runs.
    void stop();
    // Stops capture and frees the input; init may follow again.
    void release();

    void setTalkCallback(TalkDataCallback callback, void* user);

    bool isInitialised() const { return m_initialised; }
    bool isCapturing() const { return m_capturing; }

public slots:
    void AudioReadSlot();

private:
    static constexpr int kReadBytes = 4096;

    bool m_initialised = false;
    bool m_capturing = false;
    QAudioInput* m_input = nullptr;
    QIODevice* m_device = nullptr;
    std::vector<char> m_readBuffer;
    talk_audio::CaptureEncoder m_encoder;
    std::vector<uint8_t> m_alawBuffer;
    TalkDataCallback m_callback = nullptr;
    void* m_user = nullptr;
};
