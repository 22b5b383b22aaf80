// Numbers the play calls share: pending-request keys, stream numbers and the
// playback commands.
#pragma once

#include <cstdint>

namespace qn_net::play {

// The camera's local address arrives as a second answer to the
// video-address request; the request id stands for the camera in its key.
constexpr int32_t kLocalAddressKey = 20311;
constexpr int32_t kLocalAddressKind = 8;
// The online check of a camera: (camera, kind 1).
constexpr int32_t kOnlineKind = 1;
// The remote file search: (camera, kind 3).
constexpr int32_t kRemoteFileKind = 3;

// Stream numbers of the camera and video connections.
constexpr uint32_t kStreamLive = 1;
constexpr uint32_t kStreamPlayback = 2;

// Playback commands as the callers name them.
constexpr int32_t kPlaybackStart = 99;
constexpr int32_t kPlaybackStop = 999;

} // namespace qn_net::play
