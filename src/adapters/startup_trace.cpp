// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/startup_trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace varkelon {

namespace {

// Field 22 of /proc/self/stat: start time in clock ticks after boot. The
// command name (field 2) may hold blanks, so counting starts after its ')'.
double process_start_ms() {
    std::ifstream in("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close_paren = stat.rfind(')');
    if (close_paren == std::string::npos) {
        return 0.0;
    }
    std::istringstream fields(stat.substr(close_paren + 2));
    std::string field;
    // Fields 3 .. 21 come before starttime.
    for (int i = 3; i <= 21 && fields >> field; ++i) {
    }
    unsigned long long ticks = 0;
    if (!(fields >> ticks)) {
        return 0.0;
    }
    const long ticks_per_s = sysconf(_SC_CLK_TCK);
    return ticks_per_s > 0 ? static_cast<double>(ticks) * 1000.0 / static_cast<double>(ticks_per_s)
                           : 0.0;
}

// The calling thread's time on a CPU and waiting for one, in ms, from
// /proc/thread-self/schedstat ("on-cpu-ns runqueue-wait-ns slices").
bool thread_cpu_ms(double& on_cpu, double& waiting) {
    std::ifstream in("/proc/thread-self/schedstat");
    unsigned long long run_ns = 0;
    unsigned long long wait_ns = 0;
    if (!(in >> run_ns >> wait_ns)) {
        return false;
    }
    on_cpu = static_cast<double>(run_ns) / 1.0e6;
    waiting = static_cast<double>(wait_ns) / 1.0e6;
    return true;
}

} // namespace

double ms_since_process_start() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double now_ms =
        static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
    return now_ms - process_start_ms();
}

void trace_startup(std::string_view event) {
    if (std::getenv("VARKELON_STARTUP_TRACE") == nullptr) {
        return;
    }
    // The thread's own time shows whether it worked, waited for a CPU, or
    // waited for something else (the rest).
    double on_cpu = 0;
    double waiting = 0;
    const double at = ms_since_process_start();
    if (thread_cpu_ms(on_cpu, waiting)) {
        std::fprintf(stderr,
                     "startup: %.*s %.0f (this thread on a CPU %.0f, waiting for one %.0f)\n",
                     static_cast<int>(event.size()), event.data(), at, on_cpu, waiting);
    } else {
        std::fprintf(stderr, "startup: %.*s %.0f\n", static_cast<int>(event.size()), event.data(),
                     at);
    }
}

} // namespace varkelon
