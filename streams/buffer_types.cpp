#include "streams/buffer_types.h"

#include <cstring>

namespace streams {
namespace {

struct NamedType {
    const char* name;
    BufferType type;
};

constexpr NamedType kTypes[] = {
    {"mix_stream_qn1", BufferType::MixStreamQn1},
    {"mix_stream_qn2", BufferType::MixStreamQn2},
    {"video_h264", BufferType::VideoH264},
    {"video_h264_qn1", BufferType::VideoH264Qn1},
    {"video_h264_qn2", BufferType::VideoH264Qn2},
    {"audio_g711a_qn1", BufferType::AudioG711aQn1},
    {"audio_g711a_qn2", BufferType::AudioG711aQn2},
    {"video_h264_single", BufferType::VideoH264Single},
    {"video_h264_single_qn1", BufferType::VideoH264SingleQn1},
    {"video_h264_single_qn2", BufferType::VideoH264SingleQn2},
    {"audio_g711a_single", BufferType::AudioG711aSingle},
    {"audio_g711a_single_qn1", BufferType::AudioG711aSingleQn1},
    {"audio_g711a_single_qn2", BufferType::AudioG711aSingleQn2},
    {"PCM", BufferType::Pcm},
    {"jpeg", BufferType::Jpeg},
    {"gvm_screen", BufferType::GvmScreen},
};

} // namespace

BufferType BufferTypeFromName(const char* name)
{
    if (name == nullptr) return BufferType::Unknown;
    for (const NamedType& entry : kTypes) {
        if (std::strcmp(entry.name, name) == 0) return entry.type;
    }
    return BufferType::Unknown;
}

bool IsCacheable(BufferType type)
{
    switch (type) {
    case BufferType::MixStreamQn1:
    case BufferType::MixStreamQn2:
    case BufferType::VideoH264:
    case BufferType::VideoH264Qn1:
    case BufferType::VideoH264Qn2:
    case BufferType::AudioG711aQn1:
    case BufferType::AudioG711aQn2: return true;
    default: return false;
    }
}

} // namespace streams
