// Decodes the AAC frames of MP4 files into 16-bit mono PCM through FAAD2,
// at once on the caller's thread or queued for a decode thread of its own.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Gets every decoded block: PCM bytes, their count, the user value.
using QnAacPcmCallback = void (*)(const uint8_t* pcm, int length, void* user);

class qnfaaddecoder {
public:
    qnfaaddecoder() = default;
    ~qnfaaddecoder();
    qnfaaddecoder(const qnfaaddecoder&) = delete;
    qnfaaddecoder& operator=(const qnfaaddecoder&) = delete;

    // False when a decoder is open already or FAAD2 cannot make one.
    bool open();
    void setCallback(QnAacPcmCallback callback, void* user);
    // Decodes `data` at once (`direct`) or queues a copy for the decode
    // thread. False without an open decoder, also while close runs.
    bool input(const uint8_t* data, int length, bool direct);
    // Stops the decode thread, closes the decoder and drops queued frames.
    bool close();

    unsigned long sampleRate() const;
    unsigned channels() const;

private:
    bool decode(const std::vector<uint8_t>& frame);
    void decodeThread();

    // Held while FAAD2 decodes and while the decoder opens or closes: a frame
    // decoded at once on a caller's thread and one of the decode thread, or a
    // close, never meet inside the decoder.
    mutable std::mutex decoderLock_;
    void* decoder_ = nullptr;
    QnAacPcmCallback callback_ = nullptr;
    void* user_ = nullptr;
    unsigned long sampleRate_ = 0;
    unsigned channels_ = 0;
    bool initialised_ = false;

    // The queue and its thread.
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = true; // until opened, and from the start of a close
    std::thread thread_;
    std::deque<std::vector<uint8_t>> frames_;
};
