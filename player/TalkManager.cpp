#include "TalkManager.h"

#include "AudioPlay.h"

TalkManager::~TalkManager() { release(); }

void TalkManager::clear()
{
    release();
    m_mute = false;
}

bool TalkManager::open()
{
    if (m_talk == nullptr) {
        m_talk = new AudioTalk;
        m_talk->setTalkCallback(m_callback, m_user);
    }
    bool talkReady = m_talk->init();

    std::lock_guard<std::mutex> lock(m_playLock);
    if (m_play == nullptr) m_play = new AudioPlay;
    bool playReady = m_play->isInitialised() || m_play->init();
    return talkReady && playReady;
}

void TalkManager::setTalkCallback(TalkDataCallback callback, void* user)
{
    m_callback = callback;
    m_user = user;
    if (m_talk != nullptr) m_talk->setTalkCallback(callback, user);
}

bool TalkManager::setTalk(bool on)
{
    if (m_talk == nullptr) return false;
    if (on) return m_talk->start();
    m_talk->stop();
    return true;
}

void TalkManager::setListen(bool on)
{
    std::lock_guard<std::mutex> lock(m_playLock);
    if (m_play == nullptr) return;
    if (on && m_play->isInitialised()) {
        m_play->setListening(true);
    } else {
        m_play->stop();
    }
}

bool TalkManager::isTalkOpen() const { return m_talk != nullptr && m_talk->isInitialised(); }

bool TalkManager::isTalking() const { return m_talk != nullptr && m_talk->isCapturing(); }

bool TalkManager::isListening() const
{
    std::lock_guard<std::mutex> lock(m_playLock);
    return m_play != nullptr && m_play->isListening();
}

void TalkManager::pushPlayback(const char* data, int count)
{
    if (m_mute) return;
    std::lock_guard<std::mutex> lock(m_playLock);
    if (m_play == nullptr) return;
    m_play->inputData(reinterpret_cast<const uint8_t*>(data), count);
}

void TalkManager::close()
{
    if (m_talk != nullptr) m_talk->release();
    std::lock_guard<std::mutex> lock(m_playLock);
    if (m_play != nullptr) m_play->release();
}

void TalkManager::release()
{
    if (m_talk != nullptr) {
        m_talk->stop();
        m_talk->release();
        delete m_talk;
        m_talk = nullptr;
    }
    std::lock_guard<std::mutex> lock(m_playLock);
    if (m_play != nullptr) {
        m_play->stop();
        m_play->release();
        delete m_play;
        m_play = nullptr;
    }
}
