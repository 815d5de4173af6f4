// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of a program as the user sees it: from the moment it is launched
// to the moment the X server maps its first top-level window, and then its
// resident memory.
//
//   bench_map_wait [--settle MS] [--timeout S] -- PROGRAM [ARGS...]
//
// Prints one line: "map_ms X rss_mib R anon_mib A file_mib F shmem_mib S".
// The wait is driven by the server's MapNotify event on the root window
// (selected before the program is forked, so none is missed), not by polling;
// windows with override-redirect (menus, tool tips) do not count. RSS is read
// from /proc/PID/status --settle milliseconds (default 1000) after the map, so
// that what the program does right after showing its window is counted.
// The program is then ended with SIGTERM (SIGKILL 3 s later).

#include <X11/Xlib.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// VmRSS, RssAnon, RssFile, RssShmem in MiB.
std::map<std::string, double> rss_of(pid_t pid) {
    std::map<std::string, double> out;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    double kib = 0;
    while (status >> key) {
        if (key == "VmRSS:" || key == "RssAnon:" || key == "RssFile:" || key == "RssShmem:") {
            status >> kib;
            out[key] = kib / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return out;
}

void end_child(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char* argv[]) {
    int settle_ms = 1000;
    int timeout_s = 20;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--settle" && first + 1 < argc) {
            settle_ms = std::atoi(argv[++first]);
        } else if (arg == "--timeout" && first + 1 < argc) {
            timeout_s = std::atoi(argv[++first]);
        } else if (arg == "--") {
            ++first;
            break;
        } else {
            break;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: %s [--settle MS] [--timeout S] -- PROGRAM [ARGS...]\n",
                     argv[0]);
        return 2;
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_map_wait: cannot open display\n");
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const Clock::time_point launched = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(ConnectionNumber(display));
        execvp(argv[first], argv + first);
        std::perror("exec");
        _exit(127);
    }

    double map_ms = -1;
    const Clock::time_point deadline = launched + std::chrono::seconds(timeout_s);
    while (map_ms < 0 && Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.override_redirect == False) {
                map_ms = ms_between(launched, Clock::now());
                break;
            }
        }
        if (map_ms >= 0) {
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "bench_map_wait: the program ended before mapping a window\n");
            return 1;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 100); // wakes for the event; the timeout only checks the child
    }
    if (map_ms < 0) {
        std::fprintf(stderr, "bench_map_wait: no window mapped within %d s\n", timeout_s);
        end_child(pid);
        return 1;
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(settle_ms));
    auto rss = rss_of(pid);
    std::printf("map_ms %.1f rss_mib %.1f anon_mib %.1f file_mib %.1f shmem_mib %.1f\n", map_ms,
                rss["VmRSS:"], rss["RssAnon:"], rss["RssFile:"], rss["RssShmem:"]);
    std::fflush(stdout);
    end_child(pid);
    XCloseDisplay(display);
    return 0;
}
