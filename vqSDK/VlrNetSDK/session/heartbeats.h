// The watch threads of the connections. Every 2000 ms each sends its
// connection's keep-alive and counts the periods without an answer; a
// connection that stays silent too long is closed and reported (80008 for the
// management and local connections, 1006 for a stream).
#pragma once

namespace qn_net::heartbeats {

constexpr int kPeriodMs = 2000;
// Heartbeats without any message back before the management or local
// connection counts as lost; from kOnlineQueryFirst to kOnlineQueryLast the
// management heartbeat also asks whether the playing camera is on line.
constexpr int kGiveUpCount = 10;
constexpr int kOnlineQueryFirst = 3;
constexpr int kOnlineQueryLast = 8;
// Keep-alive periods without a media block before a stream counts as stopped.
constexpr int kStreamGiveUpCount = 5;

// QN_NET_Init: the management, video and camera watchers.
void start_connection_watchers();
// QN_NET_Cleanup: signals and joins them.
void stop_connection_watchers();

// The local connection's heartbeat, from a type-2 QN_NET_Base_connect until
// the connection is dropped or lost.
void start_local();
// Signals the local heartbeat to end and joins it.
void stop_local();

} // namespace qn_net::heartbeats
