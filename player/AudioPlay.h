// Playback of received talk audio: G.711 A-law decoded, cleaned by speexdsp's
// noise filter in 20 ms blocks, kept in a bounded buffer and written to the
// default output device by a playback thread. The thread runs its own event
// loop and owns the output device, which Qt wants used on one thread only.
#pragma once

#include "playback_buffer.h"

#include <QAudioDeviceInfo>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class QAudioOutput;
class QIODevice;
struct SpeexPreprocessState_;
struct SpeexEchoState_;

class AudioPlay : public QObject {
    Q_OBJECT
public:
    explicit AudioPlay(QObject* parent = nullptr);
    ~AudioPlay() override;
    AudioPlay(const AudioPlay&) = delete;
    AudioPlay& operator=(const AudioPlay&) = delete;

    // Opens the default output device on the playback thread and creates the
    // noise filter; nothing when done already. False without an output
    // device, when it refuses the talk format or when it cannot be started.
    bool init();
    // Stops listening and empties the buffers, when listening.
    void stop();
    // Stops the playback thread, closes the output and frees the filters.
    void release();

    void setListening(bool listening) { m_listening = listening; }
    bool isInitialised() const { return m_initialised; }
    bool isListening() const { return m_listening; }

    // Received A-law bytes: decoded, cleaned and queued for playback. Any
    // thread; nothing unless initialised and listening.
    void inputData(const uint8_t* alaw, int count);

public slots:
    // One write step: whole periods from the buffer to the output device, as
    // many as the device takes. Runs on the playback thread only.
    void playAudioSlot();

private:
    class PlaybackThread;

    void attachOutput(QAudioOutput* output, QIODevice* device);
    void freeFilters();

    std::atomic<bool> m_initialised{false};
    std::atomic<bool> m_listening{false};
    std::unique_ptr<PlaybackThread> m_thread;
    // Used on the playback thread only; set and cleared by it.
    QAudioOutput* m_output = nullptr;
    QIODevice* m_device = nullptr;

    // Guards the buffer and the filters: a filter is freed only under it, so
    // never while a block is being cleaned.
    std::mutex m_mutex;
    talk_audio::PlaybackBuffer m_buffer;
    SpeexPreprocessState_* m_preprocess = nullptr;
    // Created and destroyed with the noise filter; kept for cancelling the
    // speaker's echo in the microphone, which talk does not do yet.
    SpeexEchoState_* m_echo = nullptr;
};
