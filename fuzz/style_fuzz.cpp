// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the style data file, made to pass the start-up checks, then
// played for many bars in random chords, levels, styles and tempos and with
// the demonstration: nothing may crash or hang, every message sent must be a
// valid short message, and nothing may sound after a stop or the exit.
//
// Input: the first 1616 bytes are the file (short input is filled with 0);
// the length is forced and the byte sum fixed in the last bytes. The bytes
// after them choose the actions; when they run out, a generator seeded from
// the file goes on.

#include "app/fakes.h"
#include "app/program.h"
#include "engine/style_format.h"
#include "midi/recording_midi.h"
#include "support/midi_stream_checker.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

using namespace varkelon;

constexpr int kSteps = 96;

// Raises or lowers the last bytes until the sum is the original's.
void force_original_sum(StyleBytes& bytes) {
    long delta =
        static_cast<long>(kStyleFileByteSum) - static_cast<long>(style_file_byte_sum(bytes));
    for (auto it = bytes.rbegin(); it != bytes.rend() && delta != 0; ++it) {
        const long now = std::clamp<long>(*it + delta, 0, 255);
        delta -= now - *it;
        *it = static_cast<std::uint8_t>(now);
    }
}

void require(const test_support::MidiStreamChecker& checker) {
    if (!checker.faults().empty()) {
        std::fputs(checker.report().c_str(), stderr);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t file_size = std::min(size, kStyleFileSize);
    StyleBytes file(data, data + file_size);
    file.resize(kStyleFileSize, 0);
    force_original_sum(file);

    RecordingMidiSystem midi;
    midi.names = {"A"};
    test_support::MidiStreamChecker checker;
    checker.watch(midi);
    MemorySettingsStore settings;
    MemoryStyleFile style_file({StyleFileSource::Status::Ok, file});
    ScriptedDialogs dialogs;
    Program program({midi, settings, style_file, dialogs});
    if (!program.start()) {
        std::fputs("style_fuzz: a file with the original length and sum did not start\n", stderr);
        std::abort();
    }
    Form1& form = program.form1();

    std::seed_seq seed(file.begin(), file.end());
    std::mt19937 rng(seed);
    std::size_t next = file_size;
    const auto choice = [&]() -> int {
        return next < size ? data[next++] : static_cast<int>(rng() & 0xFFU);
    };
    const auto click = [&](Ctl c, int index = -1) {
        const bool was_running = form.r.rhythm_running != kFalse;
        form.click(ControlId{c, index});
        if (was_running && form.r.rhythm_running == kFalse) {
            checker.expect_silent("stop by " + std::string(control_name(c)));
        }
    };

    click(Ctl::Command7); // accompaniment on: the chord keys start and steer it
    for (int step = 0; step < kSteps; ++step) {
        const int op = choice();
        const int arg = choice();
        switch (op % 8) {
        case 0:
        case 1: { // a chord key, any modifiers, held over the ticks that follow
            const int k = arg % 12;
            form.r.key_index = static_cast<std::int16_t>(k);
            form.r.shift_state = static_cast<std::int16_t>((arg >> 4) & 7);
            form.press_key();
            break;
        }
        case 2:
            form.scroll(arg % 3 == 0   ? Ctl::HScroll2
                        : arg % 3 == 1 ? Ctl::HScroll3
                                       : Ctl::HScroll4,
                        arg & 0x7F);
            break;
        case 3:
            form.mouse_down(ControlId{Ctl::Command1, arg & 1}, kLeftButton, 0);
            form.mouse_up(kLeftButton, 0);
            break;
        case 4:
            click(Ctl::Command5, arg & 1);
            break;
        case 5:
            if (arg % 4 == 0) {
                click(Ctl::Command15);
            } else {
                click(Ctl::Command2);
            }
            break;
        case 6:
            click(arg % 2 == 0 ? Ctl::Command7 : Ctl::Command3);
            break;
        default:
            form.scroll(ControlId{Ctl::HScroll1, -1}, arg % 8);
            break;
        }
        // A good part of a bar after each action; the chord key lets go.
        for (int t = 0; t < 4 + (arg % 16); ++t) {
            form.timer_tick(TimerId::Timer1);
        }
        for (int k = 0; k < 12; ++k) {
            form.r.key_index = static_cast<std::int16_t>(k);
            form.release_key();
        }
        form.timer_tick(TimerId::Timer2);
        require(checker);
    }
    program.exit_program();
    checker.expect_silent("exit");
    require(checker);
    return 0;
}
