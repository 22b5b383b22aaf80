// Numbers the play calls share: pending-request keys, stream numbers and the
// playback commands.
#pragma once

#include <cstdint>

#include "vqSDK/VlrNetSDK/mgr_messages.h"

namespace qn_net::play {

// The camera's local address arrives as a second answer to the
// video-address request; the request id stands for the camera in its key.
constexpr int32_t kLocalAddressKey = static_cast<int32_t>(wire_id(mgr_msg::local_address));
constexpr int32_t kLocalAddressKind = kind_value(mgr_row(mgr_msg::local_address).kind);
// The online check of a camera: (camera, its kind).
constexpr int32_t kOnlineKind = kind_value(mgr_row(mgr_msg::online_query).kind);
// The remote file search: (camera, its kind).
constexpr int32_t kRemoteFileKind = kind_value(mgr_row(mgr_msg::search_remote_file).kind);

// Stream numbers of the camera and video connections.
constexpr uint32_t kStreamLive = 1;
constexpr uint32_t kStreamPlayback = 2;

// Playback commands as the callers name them.
constexpr int32_t kPlaybackStart = 99;
constexpr int32_t kPlaybackStop = 999;

} // namespace qn_net::play
