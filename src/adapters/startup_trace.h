// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Start-up timing for the benchmark: with VARKELON_STARTUP_TRACE set, the
// milestones of start-up are printed to stderr as "startup: EVENT MS".

#include <string_view>

namespace varkelon {

// Milliseconds since this process started, on the kernel's boot-time clock
// (the one /proc/self/stat's starttime uses), so it includes the time before
// main(): loading the executable and its libraries.
double ms_since_process_start();

// Prints "startup: EVENT MS" to stderr when VARKELON_STARTUP_TRACE is set.
void trace_startup(std::string_view event);

} // namespace varkelon
