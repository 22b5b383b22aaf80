// The resources the three play modules share: one stream platform with its
// sources "single", "streamparse" and "streamfileid", one frame queue and one
// MP4 frame queue, and which module holds the camera.
#pragma once

#include <cstdint>

namespace streams {
class Montage;
class StreamQueue;
class MP4QUE;
} // namespace streams

enum { RES_PACK_USER_NONE = 0, RES_PACK_USER_REALPLAY = 1, RES_PACK_USER_IPCRCD = 2 };

struct RESPACK {
    const char* tag;          // "RESPACK"; a module refuses a pack whose tag differs
    int32_t owner;            // RES_PACK_USER_*
    streams::Montage* platform;
    streams::StreamQueue* queue;
    int32_t source;           // the id of "single", -1 until built
    int32_t reserved;
    streams::MP4QUE* mp4Queue;
};

// 1 when a module may use the pack: the tag, the platform, the queue and the
// source are all set.
int ResPackUsable(const RESPACK* pack);
