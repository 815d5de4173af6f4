// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A desktop's sound server of the test's own: pipewire, wireplumber and
// pipewire-pulse in a D-Bus session of their own, with a private runtime
// folder (so no server of the user's is disturbed) and a null sink "null",
// since the machine may have no sound card. `pactl` talks to it.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace varkelon::pipewire_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What `command` prints on its standard output (its errors are dropped).
inline std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char chunk[4096];
    std::size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        out.append(chunk, n);
    }
    pclose(pipe);
    return out;
}

inline bool on_path(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Polls `done` every 50 ms until it holds or the time is up.
template <typename F> bool poll_until(F done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

class PipewireServer {
public:
    // Null, with the reason in `why`, when the servers cannot be started
    // here. On success every PipeWire and PulseAudio client of this process
    // (pactl among them) talks to them.
    static std::unique_ptr<PipewireServer> start(std::string& why) {
        for (const char* program :
             {"pipewire", "wireplumber", "pipewire-pulse", "dbus-run-session", "pactl"}) {
            if (!on_path(program)) {
                why = std::string(program) + " is not installed (scripts/install-deps)";
                return nullptr;
            }
        }
        auto server = std::unique_ptr<PipewireServer>(new PipewireServer);
        return server->launch(why) ? std::move(server) : nullptr;
    }

    ~PipewireServer() {
        if (group_ > 0) {
            ::kill(-group_, SIGTERM);
            const auto deadline = Clock::now() + 5s;
            while (waitpid(group_, nullptr, WNOHANG) == 0 && Clock::now() < deadline) {
                std::this_thread::sleep_for(20ms);
            }
            ::kill(-group_, SIGKILL);
            waitpid(group_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    PipewireServer(const PipewireServer&) = delete;
    PipewireServer& operator=(const PipewireServer&) = delete;

    const std::string& runtime_dir() const { return runtime_; }

    // The null sink's state as pactl lists it: RUNNING, IDLE or SUSPENDED.
    static std::string sink_state() {
        const std::string sinks = run("pactl list sinks short");
        const auto at = sinks.find("\tnull\t");
        if (at == std::string::npos) {
            return {};
        }
        const auto end = sinks.find('\n', at);
        const std::string line = sinks.substr(at, end - at);
        return line.substr(line.find_last_of('\t') + 1);
    }

private:
    PipewireServer() = default;

    bool launch(std::string& why) {
        char folder[] = "/tmp/varkelon-pipewire-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            why = "no temporary folder";
            return false;
        }
        folder_ = folder;
        runtime_ = folder_ + "/run";
        const std::string home = folder_ + "/home";
        std::filesystem::create_directories(runtime_);
        std::filesystem::create_directories(home);
        chmod(runtime_.c_str(), 0700);
        // The servers stop with the test process even when it dies: the
        // session's script watches it.
        const std::string script = "pipewire >" + folder_ + "/pipewire.log 2>&1 & sleep 0.3; " +
                                   "pipewire-pulse >" + folder_ + "/pulse.log 2>&1 & " +
                                   "wireplumber >" + folder_ + "/wireplumber.log 2>&1 & " +
                                   "while kill -0 " + std::to_string(getpid()) +
                                   " 2>/dev/null; do sleep 1; done; kill 0";
        const pid_t pid = fork();
        if (pid < 0) {
            why = "fork failed";
            return false;
        }
        if (pid == 0) {
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
            setenv("HOME", home.c_str(), 1);
            unsetenv("PIPEWIRE_RUNTIME_DIR");
            unsetenv("PIPEWIRE_REMOTE");
            execlp("dbus-run-session", "dbus-run-session", "--", "sh", "-c", script.c_str(),
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        setpgid(pid, pid);
        group_ = pid;
        setenv("PIPEWIRE_RUNTIME_DIR", runtime_.c_str(), 1);
        unsetenv("PIPEWIRE_REMOTE");
        setenv("PULSE_SERVER", ("unix:" + runtime_ + "/pulse/native").c_str(), 1);
        if (!poll_until([] { return std::system("pactl info >/dev/null 2>&1") == 0; }, 20s)) {
            why = "pipewire-pulse did not answer within 20 s";
            return false;
        }
        run("pactl load-module module-null-sink sink_name=null");
        if (!poll_until([] { return !sink_state().empty(); }, 10s)) {
            why = "the null sink did not show";
            return false;
        }
        return true;
    }

    pid_t group_ = -1;
    std::string folder_;
    std::string runtime_;
};

} // namespace varkelon::pipewire_test
