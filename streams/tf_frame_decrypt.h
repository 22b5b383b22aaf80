// Decryption of the video payloads of copied TF-card recordings. A camera
// encrypts every slice of a payload on its own, counting from the slice's
// start code, so the payload is split before its slices are decrypted; the
// parameter sets and SEI units in front stay as they are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "streams/tf_play_plan.h"

namespace streams {

class SecurityKeys;

// Decrypts the slices of `payload` in place with the security values of the
// stream's last key frame: 0 when a slice was decrypted, 1 when none needed
// it, else the key test's result (nothing is changed then).
int DecryptTfVideo(SecurityKeys& keys, const TfFrameScan& security, uint8_t* payload, std::size_t length);

// The text of event 19 for a result that wants a password (a table without
// any key wants the default one); null for others.
const char* TfPasswordText(int result);

} // namespace streams
