// The body of a camera command (messages 20400 and 20402), which the
// management server passes on to one camera.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qn_net {

// The inner payload's room before the copy.
constexpr std::size_t kCameraCommandInner = 220;
constexpr std::size_t kCameraCommandCopyAt = 236;

// CAM, U, inner length, sub-command, the inner payload at 16, zeros up to 235,
// then a copy of the payload at 236 unless `withCopy` is false (the guard
// query ends at 236). Empty when the payload does not fit its room.
std::vector<uint8_t> camera_command_body(uint32_t camera, uint32_t user, uint32_t subCommand, const void* inner,
                                         std::size_t length, bool withCopy);

} // namespace qn_net
