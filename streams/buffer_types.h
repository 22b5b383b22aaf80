// The buffer types a data source takes, named by the caller and compared
// exactly (upper and lower case as written).
#pragma once

namespace streams {

enum class BufferType {
    Unknown = -1,
    MixStreamQn1,        // camera packets in any cut
    MixStreamQn2,
    VideoH264,
    VideoH264Qn1,
    VideoH264Qn2,
    AudioG711aQn1,       // one audio packet with its 8-byte header
    AudioG711aQn2,       // bare A-law
    VideoH264Single,     // one access unit, Annex B
    VideoH264SingleQn1,  // one video packet (FC or FD header)
    VideoH264SingleQn2,  // 32-bit frame number, then one access unit
    AudioG711aSingle,
    AudioG711aSingleQn1,
    AudioG711aSingleQn2,
    Pcm,
    Jpeg,
    GvmScreen,
};

BufferType BufferTypeFromName(const char* name);
// Types that go through a source's input cache when it is on.
bool IsCacheable(BufferType type);

} // namespace streams
