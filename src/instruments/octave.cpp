// SPDX-License-Identifier: GPL-3.0-or-later
// The octave slider and the instrument preview.

#include "app/main_window.h"
#include "midi/midi_facts.h"

namespace varkelon {

void Form1::show_octave() {
    Frame4.caption = "Октава = " + std::to_string(r.octave - 4) + " ";
    set_scroll_value(HScroll1, r.octave);
    r.solo_base_note = static_cast<std::int16_t>(r.octave * 12);
}

void Form1::octave_changed() {
    r.octave = static_cast<std::uint8_t>(HScroll1.value);
    if (!demo_sets_octave_) {
        r.saved_octave = r.octave;
    }
    show_octave();
    timer2.set_enabled(true);
    preview_instrument();
    refresh_key_tooltips();
}

void Form1::preview_instrument() {
    if (chan(0).checked && r.demo_running == kFalse) {
        send_short_message(status_byte(kNoteOn, kSoloChannel), r.octave * 12 + 12, r.master_volume);
    }
}

} // namespace varkelon
