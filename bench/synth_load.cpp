// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in synthesizer alone: how long its SoundFont takes to load off
// the caller's thread, what the process holds in memory afterwards, and how
// long a program change keeps the caller busy (reading that program's
// samples when they load on demand).
//
// Usage: synth_load SOUNDFONT [--all-samples] [--pin STYLE_FILE]
//   --pin  keeps the programs of this style data file loaded, as the program
//          does (the load then includes reading their samples)
// Prints one line of key=value pairs.

#include "midi/backends/builtin_synth.h"
#include "midi/backends/system_midi.h"
#include "midi/midi_facts.h"
#include "midi/midi_port.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

long rss_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

double ms_between(std::chrono::steady_clock::time_point a,
                  std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SOUNDFONT [--all-samples] [--pin STYLE_FILE]\n", argv[0]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    varkelon::BuiltinSynth::Options options;
    options.soundfont = argv[1];
    options.output = varkelon::BuiltinSynth::Output::Render;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--all-samples") == 0) {
            options.samples_on_demand = false;
        } else if (std::strcmp(argv[i], "--pin") == 0 && i + 1 < argc) {
            std::ifstream in(argv[++i], std::ios::binary);
            options.pinned_programs = varkelon::programs_to_keep_loaded(
                {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
        }
    }

    const long rss_before = rss_kib();
    varkelon::BuiltinSynth synth(options);
    const auto t0 = Clock::now();
    const int rc = synth.open();
    const auto t1 = Clock::now();
    if (rc != 0) {
        std::printf("open_rc=%d\n", rc);
        return 1;
    }
    const bool loaded = synth.wait_until_loaded(std::chrono::minutes(2));
    const auto t2 = Clock::now();
    const long rss_loaded = rss_kib();

    // The programs the start-up sends to the live chord and a spread of
    // solo programs, each on the GUI thread as the program would.
    double worst_program_ms = 0;
    double total_program_ms = 0;
    const std::vector<int> programs{varkelon::kLiveChordBassProgram,
                                    varkelon::kLiveChordProgram,
                                    0,
                                    16,
                                    24,
                                    40,
                                    56,
                                    73,
                                    80,
                                    104};
    for (const int program : programs) {
        const auto a = Clock::now();
        synth.send(varkelon::pack_short_message(
            varkelon::status_byte(varkelon::kProgramChange, varkelon::kSoloChannel), program, 0));
        const auto b = Clock::now();
        worst_program_ms = std::max(worst_program_ms, ms_between(a, b));
        total_program_ms += ms_between(a, b);
    }
    const long rss_programs = rss_kib();

    std::printf("soundfont=%s samples=%s pinned=%zu open_ms=%.1f load_ms=%.1f loaded=%d "
                "rss_before_mib=%.1f "
                "rss_loaded_mib=%.1f rss_after_%zu_programs_mib=%.1f program_change_worst_ms=%.1f "
                "program_change_mean_ms=%.1f\n",
                argv[1], options.samples_on_demand ? "on-demand" : "all",
                options.pinned_programs.size(), ms_between(t0, t1), ms_between(t0, t2),
                loaded ? 1 : 0, static_cast<double>(rss_before) / 1024.0,
                static_cast<double>(rss_loaded) / 1024.0, programs.size(),
                static_cast<double>(rss_programs) / 1024.0, worst_program_ms,
                total_program_ms / static_cast<double>(programs.size()));
    return loaded ? 0 : 1;
}
