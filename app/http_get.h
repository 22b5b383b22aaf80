// The plain HTTP GET of the service's web server: the camera-type, lens,
// region and version look-ups.
#pragma once

#include <atomic>
#include <string>

struct HttpGetLimits {
    long connectTimeoutMs = 5000;
    // Covers the look-up, the request and the whole reply.
    long totalTimeoutMs = 10000;
};

// 1 when a reply with a 2xx status arrived, with its whole body in `body`
// (empty when the reply had none); else 0 with `body` empty. Any other
// status counts as no reply, so an error page is never read as an answer.
// When `stop` is given and becomes true the transfer ends early (0), so that
// whoever waits for the caller's thread does not wait out the time-outs.
int HttpGet(const std::string& url, std::string* body, const std::atomic<bool>* stop = nullptr,
            const HttpGetLimits& limits = {});
