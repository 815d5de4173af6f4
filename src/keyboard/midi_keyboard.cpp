// Notes from a MIDI keyboard press and release the virtual keys, through the
// same path as the computer keyboard and the mouse.

#include "app/layout.h"
#include "app/main_window.h"
#include "midi/midi_facts.h"

namespace varkelon {

void Form1::midi_note(int status, int data1, int data2, int mask) {
    const int kind = status_kind(static_cast<std::uint8_t>(status));
    const auto note = static_cast<std::size_t>(data_value(static_cast<std::uint8_t>(data1)));
    if (kind == kNoteOn && data2 > 0) {
        // The octave slider moves the mapping: the lowest C plays key(0).
        const int k = static_cast<int>(note) - r.solo_base_note;
        if (k < 0 || k >= kKeyCount) {
            return;
        }
        midi_held_[note] = static_cast<std::int8_t>(k);
        r.key_index = static_cast<std::int16_t>(k);
        r.shift_state = static_cast<std::int16_t>(mask);
        press_key();
    } else if (kind == kNoteOff || kind == kNoteOn) {
        // The key this note pressed, even if the octave has moved since.
        const int k = midi_held_[note];
        if (k < 0) {
            return;
        }
        midi_held_[note] = -1;
        r.key_index = static_cast<std::int16_t>(k);
        release_key();
    }
}

void Form1::release_midi_keys() {
    for (std::size_t note = 0; note < midi_held_.size(); ++note) {
        if (midi_held_[note] >= 0) {
            midi_note(kNoteOff, static_cast<int>(note), 0, 0);
        }
    }
}

} // namespace varkelon
