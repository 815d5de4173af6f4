// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of one rhythm tick in the core, for callgrind: plays style STYLE
// in accompaniment (C major) for one bar, then runs tick TICK of the second
// bar with instrumentation on. Everything before it runs uninstrumented, so
// callgrind's total is that tick alone. The port only counts, so the figure
// is the core's own work. bench/tick_cost.sh runs every tick of every style.
//
// Usage: valgrind --tool=callgrind --instr-atstart=no bench_tick_cost STYLE_FILE STYLE TICK

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/program.h"
#include "engine/style_format.h"

#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace varkelon;

class CountingMidi final : public MidiSystem {
public:
    int sent = 0;
    std::vector<std::string> output_names() override { return {}; }
    int open(int /*id*/) override { return 0; }
    void send(std::uint32_t /*message*/) override { ++sent; }
    void close() override {}
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: bench_tick_cost STYLE_FILE STYLE TICK\n", stderr);
        return 2;
    }
    const int style = std::atoi(argv[2]);
    const int tick = std::atoi(argv[3]);
    CountingMidi midi;
    MemorySettingsStore settings;
    MemoryStyleFile style_file(DiskStyleFile{argv[1]}.read());
    ScriptedDialogs dialogs;
    Program program({midi, settings, style_file, dialogs});
    if (!program.start() || style < 1 || style > kStyleCount || tick < 0 || tick >= kTicksPerBar) {
        return 1;
    }
    Form1& form = program.form1();
    for (int s = 1; s < style; ++s) {
        form.mouse_down(ControlId{Ctl::Command1, 1}, kLeftButton, 0);
    }
    form.click(ControlId{Ctl::Command7, -1});
    form.key_down(90, 0); // Z: the chord key of C starts drums and accompaniment
    form.key_up(90, 0);
    for (int t = 0; t < kTicksPerBar + tick; ++t) {
        form.timer_tick(TimerId::Timer1);
    }
    const int before = midi.sent;
    CALLGRIND_START_INSTRUMENTATION;
    form.timer_tick(TimerId::Timer1);
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("style %d tick %d messages %d\n", style, tick, midi.sent - before);
    return 0;
}
