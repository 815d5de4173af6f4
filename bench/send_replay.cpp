// SPDX-License-Identifier: GPL-3.0-or-later
// How long one send() to the built-in synthesizer keeps the event loop busy:
// replays a stream of packed messages at the pace of the rhythm timer and
// times every send on this one thread, as the program's event loop would.
//
// Usage: send_replay MESSAGES [--soundfont FILE] [--pin STYLE_FILE]
//                    [--render] [--tick-ms N]
//   MESSAGES    "midi 0x%08X" lines as varkelon-sim prints them (or as
//               style_messages writes them); every other line ends a tick
//   --pin       keep the programs of this style data file loaded, as the
//               program does; without it none are (the standard drum kit
//               always is, but the replay never changes channel 10's kit)
//   --render    no audio device: this thread renders each tick's audio
//               itself between the ticks (nothing runs beside the sends);
//               without it the synth plays to its audio output (the
//               benchmark script gives it a JACK server)
//   --tick-ms   interval of the ticks, default 100 (a tempo of 155)
//   --hold N    N more notes held throughout (strings on channels 11-13),
//               so the audio thread has far more to render each period
//   --probe     after each tick's sends, 8 pairs of probes: an empty timed
//               stretch (how long the scheduler keeps this thread off a
//               core) and a send that does next to nothing in FluidSynth,
//               channel pressure on the unused channel 9, which still takes
//               FluidSynth's API lock (how long the audio thread holds it)
// Prints one line of key=value pairs; times in milliseconds.

#include "bench_stats.h"
#include "midi/backends/builtin_synth.h"
#include "midi/backends/builtin_synth_fluid.h"
#include "midi/backends/system_midi.h"
#include "midi/midi_facts.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Tick = std::vector<std::uint32_t>;

std::vector<Tick> read_messages(const char* path) {
    std::ifstream in(path);
    std::vector<Tick> ticks(1);
    // An empty tick still takes its interval; only a trailing one is dropped.
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("midi 0x", 0) == 0) {
            ticks.back().push_back(
                static_cast<std::uint32_t>(std::stoul(line.substr(7), nullptr, 16)));
        } else {
            ticks.emplace_back();
        }
    }
    if (ticks.back().empty()) {
        ticks.pop_back();
    }
    return ticks;
}

varkelon::StyleBytes read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Every open of the SoundFont file: one for the load, then one for every
// program whose samples are read where it is selected.
std::atomic<std::uint64_t> soundfont_opens{0};
void count_soundfont_open() {
    soundfont_opens.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: %s MESSAGES [--soundfont FILE] [--pin STYLE_FILE] [--render] "
                     "[--tick-ms N]\n",
                     argv[0]);
        return 2;
    }
    varkelon::BuiltinSynth::Options options;
    options.soundfont = varkelon::find_gm_soundfont();
    const char* pin_file = nullptr;
    int tick_ms = 100;
    int hold = 0;
    bool probe = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--soundfont" && i + 1 < argc) {
            options.soundfont = argv[++i];
        } else if (arg == "--pin" && i + 1 < argc) {
            pin_file = argv[++i];
        } else if (arg == "--probe") {
            probe = true;
        } else if (arg == "--render") {
            options.output = varkelon::BuiltinSynth::Output::Render;
        } else if (arg == "--tick-ms" && i + 1 < argc) {
            tick_ms = std::stoi(argv[++i]);
        } else if (arg == "--hold" && i + 1 < argc) {
            hold = std::stoi(argv[++i]);
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (pin_file != nullptr) {
        options.pinned_programs = varkelon::programs_to_keep_loaded(read_file(pin_file));
    }
    const std::vector<Tick> ticks = read_messages(argv[1]);
    const bool render = options.output == varkelon::BuiltinSynth::Output::Render;

    varkelon::set_soundfont_open_hook(count_soundfont_open);
    varkelon::BuiltinSynth synth(options);
    if (const int rc = synth.open(); rc != 0) {
        std::printf("open_rc=%d\n", rc);
        return 1;
    }
    if (!synth.wait_until_loaded(std::chrono::minutes(2))) {
        std::printf("soundfont_loaded=0\n");
        return 1;
    }

    // Strings (program 48, two voices a note in most SoundFonts) never end
    // while held; the synth's polyphony (256) bounds them.
    for (int n = 0; n < hold; ++n) {
        const int channel = 10 + n / 40;
        if (n % 40 == 0) {
            synth.send(varkelon::pack_short_message(0xC0 | channel, 48, 0));
        }
        synth.send(varkelon::pack_short_message(0x90 | channel, 30 + n % 40 * 2, 90));
    }

    const auto interval = std::chrono::milliseconds(tick_ms);
    const int frames_per_tick = static_cast<int>(options.sample_rate * tick_ms / 1000.0);
    std::vector<float> audio(static_cast<std::size_t>(frames_per_tick) * 2);
    std::vector<double> sends;
    std::vector<double> empty_probes;
    std::vector<double> lock_probes;
    double worst_program_change = 0;
    double worst_other = 0;
    double longest = 0;
    std::uint32_t worst_message = 0;
    const std::uint64_t opens_before = soundfont_opens.load();
    auto due = Clock::now();
    for (const Tick& tick : ticks) {
        std::this_thread::sleep_until(due);
        for (const std::uint32_t message : tick) {
            const auto a = Clock::now();
            synth.send(message);
            const double took = ms(Clock::now() - a);
            sends.push_back(took);
            double& worst = varkelon::status_kind(varkelon::unpack_short_message(message).status) ==
                                    varkelon::kProgramChange
                                ? worst_program_change
                                : worst_other;
            worst = std::max(worst, took);
            if (took >= longest) {
                longest = took;
                worst_message = message;
            }
        }
        for (int i = 0; probe && i < 8; ++i) {
            // Spread over the first tenth of the tick, across several audio periods.
            std::this_thread::sleep_for(interval / 80);
            auto a = Clock::now();
            empty_probes.push_back(ms(Clock::now() - a));
            a = Clock::now();
            synth.send(varkelon::pack_short_message(0xD8, 0, 0));
            lock_probes.push_back(ms(Clock::now() - a));
        }
        if (render) {
            synth.render(audio.data(), frames_per_tick);
        }
        due += interval;
    }
    const std::uint64_t opens = soundfont_opens.load() - opens_before;

    const auto quantile = [](const std::vector<double>& v, double q) {
        return v.empty() ? 0.0 : varkelon::bench::percentile(v, q);
    };
    const auto at = [&](double q) { return quantile(sends, q); };
    const double mean = sends.empty() ? 0.0
                                      : std::accumulate(sends.begin(), sends.end(), 0.0) /
                                            static_cast<double>(sends.size());
    std::printf(
        "output=%s pinned=%s held=%d sends=%zu ticks=%zu longest_ms=%.3f p99_ms=%.4f p999_ms=%.4f "
        "mean_ms=%.4f longest_program_change_ms=%.3f longest_other_ms=%.3f "
        "longest_message=0x%08X soundfont_opens=%llu\n",
        render ? "render" : "audio", pin_file != nullptr ? "styles" : "none", hold, sends.size(),
        ticks.size(), longest, at(0.99), at(0.999), mean, worst_program_change, worst_other,
        worst_message, static_cast<unsigned long long>(opens));
    if (probe) {
        std::printf("probes=%zu empty_longest_ms=%.3f empty_p99_ms=%.4f lock_longest_ms=%.3f "
                    "lock_p99_ms=%.4f lock_p50_ms=%.4f\n",
                    lock_probes.size(), quantile(empty_probes, 1.0), quantile(empty_probes, 0.99),
                    quantile(lock_probes, 1.0), quantile(lock_probes, 0.99),
                    quantile(lock_probes, 0.5));
    }
    return 0;
}
