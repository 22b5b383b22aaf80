// Ending the streams of the two routes: the stop message that fits what the
// connection carries (a live stop to the camera or video server, or a
// playback stop over the current connection), then the close. After a
// public stream's end no frame of it reaches a callback.
#pragma once

#include <cstdint>

namespace qn_net {
struct play_session_part;
}

namespace qn_net::play {

// The playback stop (20241, command 999) for the running playback, over the
// current connection; false when it could not be sent.
bool send_playback_stop(play_session_part& sdk, uint32_t camera);

// When the video connection plays: its stop message, close, deck reset.
// True when it played.
bool end_public_stream(play_session_part& sdk);
// When the camera connection streams: its stop message and close. True
// when it streamed.
bool end_local_stream(play_session_part& sdk);

// The local-route stop used when live play starts or stops: a local route
// still waiting for the camera's local address is told to give up; a camera
// connection that streams is asked to stop its stream.
void stop_local_route(play_session_part& sdk);

} // namespace qn_net::play
