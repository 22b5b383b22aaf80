// libcurl's process-wide set-up. Every user of libcurl calls this before its
// first handle: the set-up is not thread-safe, so it must run exactly once,
// under one guard, however many parts of the program use libcurl.
#pragma once

void InitialiseCurlOnce();
