// SPDX-License-Identifier: GPL-3.0-or-later
// The live chord of the twelve left keys in accompaniment mode.

#include "app/main_window.h"
#include "midi/midi_facts.h"

namespace varkelon {

void Form1::sound_chord() {
    const int k = r.key_index;
    const int lowered_third = r.shift_state; // Shift (1) makes the chord minor
    const int bass = chord_bass_velocity();
    const int chord = chord_note_velocity();
    const std::uint8_t chord_on = status_byte(kNoteOn, kLiveChordChannel);
    send_short_message(status_byte(kNoteOn, kLiveChordBassChannel), 36 + k, bass);
    send_short_message(chord_on, 60 + k, chord);
    send_short_message(chord_on, 64 + k - lowered_third, chord);
    send_short_message(chord_on, 67 + k, chord);
}

} // namespace varkelon
