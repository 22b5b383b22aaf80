#include "vqSDK/QnMp4Helper/aac_encoder.h"

#include <faac.h>

#include <algorithm>
#include <cstdlib>

namespace qn_mp4 {

bool AacEncoder::Open(uint32_t sampleRate, uint32_t channels, const AacEncoderSettings& settings)
{
    Close();
    unsigned long inputSamples = 0;
    unsigned long maxOutputBytes = 0;
    faacEncHandle handle = faacEncOpen(sampleRate, channels, &inputSamples, &maxOutputBytes);
    if (handle == nullptr) return false;
    faacEncConfigurationPtr config = faacEncGetCurrentConfiguration(handle);
    config->mpegVersion = settings.mpegVersion;
    config->aacObjectType = settings.objectType;
    if (settings.allowMidSide >= 0) config->allowMidside = unsigned(settings.allowMidSide);
    config->useLfe = 0;
    config->useTns = settings.useTns ? 1 : 0;
    if (settings.bitRate != 0) config->bitRate = settings.bitRate;
    config->bandWidth = settings.bandWidth;
    config->quantqual = settings.quantQuality;
    config->outputFormat = settings.outputFormat;
    config->inputFormat = FAAC_INPUT_16BIT;
    config->shortctl = SHORTCTL_NORMAL;
    if (faacEncSetConfiguration(handle, config) == 0) {
        faacEncClose(handle);
        return false;
    }
    handle_ = handle;
    inputSamples_ = inputSamples;
    maxOutputBytes_ = maxOutputBytes;
    block_.assign(inputSamples, 0);
    blockFill_ = 0;
    output_.assign(maxOutputBytes, 0);
    return true;
}

void AacEncoder::Close()
{
    if (handle_ != nullptr) faacEncClose(handle_);
    handle_ = nullptr;
    inputSamples_ = 0;
    maxOutputBytes_ = 0;
    block_.clear();
    blockFill_ = 0;
    output_.clear();
}

bool AacEncoder::EncodePcm(const int16_t* samples, std::size_t count, const Sink& sink)
{
    if (handle_ == nullptr) return false;
    bool ok = true;
    while (count > 0) {
        std::size_t take = std::min(count, block_.size() - blockFill_);
        std::copy(samples, samples + take, block_.begin() + long(blockFill_));
        blockFill_ += take;
        samples += take;
        count -= take;
        if (blockFill_ < block_.size()) break;
        blockFill_ = 0;
        int bytes = Encode(block_.data(), output_.data());
        if (bytes < 0) {
            ok = false;
        } else if (bytes > 0) {
            ok = sink(output_.data(), std::size_t(bytes)) && ok;
        }
    }
    return ok;
}

int AacEncoder::Encode(const int16_t* pcm, uint8_t* out)
{
    if (handle_ == nullptr) return -1;
    // With 16-bit input FAAC reads the buffer as 16-bit samples.
    int32_t* input = reinterpret_cast<int32_t*>(const_cast<int16_t*>(pcm));
    return faacEncEncode(handle_, input, unsigned(inputSamples_), out, unsigned(maxOutputBytes_));
}

std::vector<uint8_t> AacEncoder::DecoderSpecificInfo() const
{
    std::vector<uint8_t> info;
    unsigned char* bytes = nullptr;
    unsigned long length = 0;
    if (handle_ != nullptr && faacEncGetDecoderSpecificInfo(handle_, &bytes, &length) == 0 && bytes != nullptr) {
        info.assign(bytes, bytes + length);
    }
    std::free(bytes);
    return info;
}

} // namespace qn_mp4
