// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the core with arbitrary sequences of user events and timer ticks and
// checks what must always hold: nothing crashes, every message sent is a
// valid short message, and every key shows one of its seven colours.

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/layout.h"
#include "app/program.h"
#include "midi/recording_midi.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace varkelon;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

bool is_key_colour(const Color& c) {
    for (const Color& k : {colors::kWhite, colors::kBlack, colors::kYellow, colors::kLightBlue,
                           colors::kDarkBlue, colors::kOrange, colors::kDarkRed}) {
        if (c == k) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const StyleFileSource::Result shipped = DiskStyleFile{VARKELON_DATA_FILE}.read();
    RecordingMidiSystem midi;
    midi.names = {"A", "B"};
    MemorySettingsStore settings;
    MemoryStyleFile style_file(shipped);
    ScriptedDialogs dialogs;
    Program program({midi, settings, style_file, dialogs});
    // Without a good style file every run would stop at the file check and
    // test nothing: end the harness loudly instead of passing.
    if (!program.start()) {
        std::fprintf(stderr, "events_fuzz: the program did not start with %s\n",
                     VARKELON_DATA_FILE);
        std::abort();
    }
    Form1& form = program.form1();
    const auto& controls = form.controls.all();

    for (std::size_t i = 0; i + 2 < size && !program.ended(); i += 3) {
        const int a = data[i + 1];
        const int b = data[i + 2];
        const ControlId id = controls[static_cast<std::size_t>(a) % controls.size()].id;
        switch (data[i] % 10) {
        case 0:
            form.key_down(a, b & 7);
            break;
        case 1:
            form.key_up(a, b & 7);
            break;
        case 2:
            form.mouse_down(id, 1 << (b % 3), b & 7);
            break;
        case 3:
            form.mouse_up(1 << (b % 3), b & 7);
            break;
        case 4:
            // "Выход" would end the run at once; leave it to the lifecycle tests.
            if (id.ctl != Ctl::vyhod) {
                form.click(id);
            }
            break;
        case 5:
            form.scroll(id, b);
            break;
        case 6:
            form.timer_tick(b % 2 == 0 ? TimerId::Timer1 : TimerId::Timer2);
            break;
        case 7:
            form.dbl_click(id);
            break;
        case 8:
            form.type_text(id, std::string(reinterpret_cast<const char*>(data + i), 3));
            break;
        default:
            program.close(b % 2 == 0 ? FormId::Form2 : FormId::Form4);
            break;
        }
        for (int k = 0; k < kKeyCount && form.loaded(); ++k) {
            check(is_key_colour(form.key(k).back_color));
            check(form.key(k).value == 0 || form.key(k).value == 1);
        }
    }
    for (const std::uint32_t m : midi.sent()) {
        check((m & 0x80U) != 0);     // a status byte
        check((m & 0x8000U) == 0);   // data 1 within 0-127
        check((m & 0x800000U) == 0); // data 2 within 0-127
        check((m & 0xFF000000U) == 0);
    }
    return 0;
}
