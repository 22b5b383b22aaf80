#include "vqSDK/QnMp4Helper/qnfaaddecoder.h"

#include <neaacdec.h>

#include "Depend/qn_log.h"

qnfaaddecoder::~qnfaaddecoder() { close(); }

bool qnfaaddecoder::open()
{
    {
        std::lock_guard<std::mutex> hold(decoderLock_);
        if (decoder_ != nullptr) return false;
        decoder_ = NeAACDecOpen();
        if (decoder_ == nullptr) return false;
    }
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = false;
    frames_.clear();
    return true;
}

void qnfaaddecoder::setCallback(QnAacPcmCallback callback, void* user)
{
    std::lock_guard<std::mutex> hold(decoderLock_);
    callback_ = callback;
    user_ = user;
}

unsigned long qnfaaddecoder::sampleRate() const
{
    std::lock_guard<std::mutex> hold(decoderLock_);
    return sampleRate_;
}

unsigned qnfaaddecoder::channels() const
{
    std::lock_guard<std::mutex> hold(decoderLock_);
    return channels_;
}

bool qnfaaddecoder::input(const uint8_t* data, int length, bool direct)
{
    if (data == nullptr || length <= 0) return false;
    std::vector<uint8_t> frame(data, data + length);
    if (direct) {
        {
            std::lock_guard<std::mutex> hold(decoderLock_);
            if (decoder_ == nullptr) return false;
        }
        decode(frame);
        return true;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (stop_) return false;
        if (!thread_.joinable()) thread_ = std::thread(&qnfaaddecoder::decodeThread, this);
        frames_.push_back(std::move(frame));
    }
    wake_.notify_one();
    return true;
}

bool qnfaaddecoder::close()
{
    std::thread decodeThread;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
        decodeThread = std::move(thread_);
    }
    wake_.notify_all();
    if (decodeThread.joinable()) decodeThread.join();
    {
        std::lock_guard<std::mutex> hold(decoderLock_);
        if (decoder_ != nullptr) NeAACDecClose(decoder_);
        decoder_ = nullptr;
        initialised_ = false;
        sampleRate_ = 0;
        channels_ = 0;
    }
    std::lock_guard<std::mutex> hold(lock_);
    frames_.clear();
    return true;
}

bool qnfaaddecoder::decode(const std::vector<uint8_t>& frame)
{
    auto* bytes = const_cast<unsigned char*>(frame.data());
    std::vector<int16_t> mono;
    QnAacPcmCallback callback = nullptr;
    void* user = nullptr;
    {
        std::lock_guard<std::mutex> hold(decoderLock_);
        if (decoder_ == nullptr) return false;
        if (!initialised_) {
            NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder_);
            config->defObjectType = LC;
            config->defSampleRate = 8000;
            config->outputFormat = FAAD_FMT_16BIT;
            config->dontUpSampleImplicitSBR = 1;
            NeAACDecSetConfiguration(decoder_, config);
            unsigned long rate = 0;
            unsigned char channels = 0;
            if (NeAACDecInit(decoder_, bytes, static_cast<unsigned long>(frame.size()), &rate, &channels) < 0) {
                return false;
            }
            sampleRate_ = rate;
            channels_ = channels;
            initialised_ = true;
        }
        NeAACDecFrameInfo info{};
        auto* samples = static_cast<const int16_t*>(
            NeAACDecDecode(decoder_, &info, bytes, static_cast<unsigned long>(frame.size())));
        if (info.error != 0 || samples == nullptr || info.samples == 0 || info.channels == 0) return false;
        // Mono streams come out as two equal channels: the first one is the signal.
        std::size_t perChannel = info.samples / info.channels;
        mono.resize(perChannel);
        for (std::size_t i = 0; i < perChannel; ++i) mono[i] = samples[i * info.channels];
        callback = callback_;
        user = user_;
    }
    // Outside the lock, so a callback may hand the next frame in at once.
    if (callback != nullptr) {
        callback(reinterpret_cast<const uint8_t*>(mono.data()), int(mono.size() * sizeof(int16_t)), user);
    }
    return true;
}

void qnfaaddecoder::decodeThread()
{
    QNConsoleTrace("[%s %s %d], AACDecode---AACDecodeThread begin:%d---\n", "qnfaaddecoder", __func__, __LINE__, 1);
    std::unique_lock<std::mutex> hold(lock_);
    while (!stop_) {
        if (frames_.empty()) {
            wake_.wait(hold, [this] { return stop_ || !frames_.empty(); });
            continue;
        }
        std::vector<uint8_t> frame = std::move(frames_.front());
        frames_.pop_front();
        hold.unlock();
        decode(frame);
        hold.lock();
    }
    QNConsoleTrace("[%s %s %d], AACDecode---AACDecodeThread end---\n", "qnfaaddecoder", __func__, __LINE__);
}
