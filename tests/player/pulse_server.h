// A private PulseAudio daemon for audio tests: its runtime, state and
// configuration live in a temporary folder, it offers one null sink "vs" as
// the default output and that sink's monitor as the default input, and it
// listens on a socket of its own. While it runs, PULSE_SERVER names that
// socket, so every client of this process (Qt Multimedia among them) talks to
// it alone.
#pragma once

#include "support/scoped_env.h"
#include "support/temp_folder.h"

#include <memory>
#include <string>

namespace player_test {

class PulseServer {
public:
    PulseServer();
    // Asks the daemon to exit and waits until its process has gone.
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // False with the reason in Error() when pulseaudio is missing or did not start.
    bool Running() const { return m_pid > 0 && m_error.empty(); }
    const std::string& Error() const { return m_error; }
    // The daemon's temporary folder, free for the test's own files too.
    const std::string& Folder() const { return m_folder.Path(); }
    // "pactl <arguments>" against this daemon; its exit code.
    int Pactl(const std::string& arguments, std::string* output = nullptr) const;

private:
    std::string Environment() const;

    testing_support::TempFolder m_folder;
    std::unique_ptr<testing_support::ScopedEnv> m_server;
    std::string m_socket;
    int m_pid = 0;
    std::string m_error;
};

} // namespace player_test
