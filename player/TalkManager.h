// Two-way talk as the controller sees it: one capture side (AudioTalk) and one
// playback side (AudioPlay), created on demand. Everything runs on the GUI
// thread except pushPlayback, which the stream thread that delivers received
// audio calls.
#pragma once

#include "AudioTalk.h"

#include <atomic>
#include <mutex>

class AudioPlay;

class TalkManager {
public:
    TalkManager() = default;
    ~TalkManager();
    TalkManager(const TalkManager&) = delete;
    TalkManager& operator=(const TalkManager&) = delete;

    // Releases both sides and unmutes.
    void clear();
    // Creates and initialises the capture and playback sides; true when both
    // are ready.
    bool open();
    // Where encoded capture blocks go.
    void setTalkCallback(TalkDataCallback callback, void* user);
    // Starts or stops capture; the result of starting.
    bool setTalk(bool on);
    // Plays received audio, when the playback side is ready; else stops it.
    void setListen(bool on);
    // Drops received audio while set; what is already buffered still plays.
    void setMute(bool mute) { m_mute = mute; }

    bool isTalkOpen() const;
    bool isTalking() const;
    bool isListening() const;

    // Received A-law bytes from the camera. Any thread.
    void pushPlayback(const char* data, int count);

    // Releases the capture side (it stays allocated) and the playback side.
    void close();
    // Stops capture and deletes both sides.
    void release();

private:
    std::atomic<bool> m_mute{false};
    AudioTalk* m_talk = nullptr;
    // pushPlayback holds it while it uses the playback side, so the GUI
    // thread never deletes or releases that side under it.
    mutable std::mutex m_playLock;
    AudioPlay* m_play = nullptr;
    TalkDataCallback m_callback = nullptr;
    void* m_user = nullptr;
};
