#include "pulse_server.h"

#include "support/run_command.h"
#include "support/wait_until.h"

#include <fstream>

namespace player_test {

namespace {

// Gone, or ended and waiting for a parent that does not reap it (a
// container's first process may not): the daemon is not our child.
bool ProcessGone(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    std::size_t end = line.rfind(')');
    return end == std::string::npos || line.compare(end, 3, ") Z") == 0;
}

} // namespace

PulseServer::PulseServer()
{
    if (!testing_support::HaveCommand("pulseaudio") || !testing_support::HaveCommand("pactl")) {
        m_error = "pulseaudio and pactl are needed (Debian packages pulseaudio, pulseaudio-utils)";
        return;
    }
    m_socket = m_folder.Path() + "/native";
    // Started as root in CI: no system-wide mode, no real-time or D-Bus
    // requests, no shared memory (a chroot may lack /dev/shm), no default
    // script; daemonizing returns once it is ready.
    std::string command = Environment() +
                          " pulseaudio --daemonize=yes --use-pid-file=yes -n --exit-idle-time=-1 --realtime=no"
                          " --high-priority=no --disable-shm=yes --log-target=file:" +
                          m_folder.Path() + "/pulse.log" + " --load='module-native-protocol-unix socket=" + m_socket +
                          " auth-anonymous=1'" + " --load='module-null-sink sink_name=vs rate=8000 channels=1'" +
                          " --load='module-remap-source master=vs.monitor source_name=mic'" + " 2>&1";
    auto started = testing_support::RunCommand(command);
    std::ifstream pidFile(m_folder.Path() + "/runtime/pid");
    if (started.exitCode != 0 || !(pidFile >> m_pid)) {
        std::ifstream log(m_folder.Path() + "/pulse.log");
        std::string logText((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        m_error = "pulseaudio did not start: " + started.output + logText;
        m_pid = 0;
        return;
    }
    m_server = std::make_unique<testing_support::ScopedEnv>("PULSE_SERVER", ("unix:" + m_socket).c_str());
    if (Pactl("set-default-sink vs") != 0 || Pactl("set-default-source mic") != 0) {
        m_error = "pactl could not set the default devices";
    }
}

PulseServer::~PulseServer()
{
    if (m_pid <= 0) return;
    Pactl("exit");
    if (!testing_support::WaitUntil([&] { return ProcessGone(m_pid); })) {
        testing_support::RunCommand("kill " + std::to_string(m_pid));
        testing_support::WaitUntil([&] { return ProcessGone(m_pid); });
    }
}

int PulseServer::Pactl(const std::string& arguments, std::string* output) const
{
    auto result =
        testing_support::RunCommand(Environment() + " PULSE_SERVER=unix:" + m_socket + " pactl " + arguments + " 2>&1");
    if (output != nullptr) *output = result.output;
    return result.exitCode;
}

std::string PulseServer::Environment() const
{
    const std::string& home = m_folder.Path();
    return "env HOME=" + home + " XDG_RUNTIME_DIR=" + home + " XDG_CONFIG_HOME=" + home + "/config" +
           " PULSE_RUNTIME_PATH=" + home + "/runtime PULSE_STATE_PATH=" + home + "/state";
}

} // namespace player_test
