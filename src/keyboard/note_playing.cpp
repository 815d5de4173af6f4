// SPDX-License-Identifier: GPL-3.0-or-later
// What a press and a release of one virtual key do: the solo note, the
// hand-over to chord entry, and the key colours, which are read back.

#include "app/layout.h"
#include "app/main_window.h"
#include "midi/midi_facts.h"

namespace varkelon {

namespace {

bool is_key(int k) {
    return k >= 0 && k < kKeyCount;
}

} // namespace

void Form1::press_key() {
    const int k = r.key_index;
    if (r.accomp_mode == kFalse || k >= kChordKeyCount) {
        solo_note_on();
    } else {
        paint_chord_keys();
        paint_black_keys();
        sound_chord();
    }
    if (!is_key(k)) {
        return;
    }

    Color& colour = key(k).back_color;
    if (colour == colors::kYellow) {
        colour = colors::kOrange;
    } else if (colour == colors::kWhite) {
        colour = colors::kLightBlue;
    } else if (colour == colors::kBlack) {
        colour =
            r.accomp_mode != kFalse && k < kChordKeyCount ? colors::kDarkRed : colors::kDarkBlue;
    }

    if (k >= kChordKeyCount) {
        return;
    }
    r.chord_root = static_cast<std::int16_t>(k);
    key(k).value = 1;
    r.chord_minor = r.shift_state;
    if (r.accomp_mode != kFalse) {
        on_chord_key();
    }
}

void Form1::solo_note_on() {
    const int k = r.key_index;
    if (k == kNoKey) {
        return;
    }
    key(k).value = 1;
    int note = r.solo_base_note + k;
    if (r.lower_next_press) {
        note -= 12;
        r.lowered_key = static_cast<std::int16_t>(k);
        r.lower_next_press = false;
    } else if (r.lowered_key == k) {
        r.lowered_key = kNoKey;
    }
    // A MIDI keyboard's note brings its own velocity.
    send_short_message(status_byte(kNoteOn, kSoloChannel), note,
                       touch_velocity_.value_or(solo_velocity()));
}

void Form1::release_key() {
    const int k = r.key_index;
    if (r.rhythm_running == kFalse && is_key(k)) {
        // While the rhythm plays a released chord key keeps its mark: it shows
        // the chord in force.
        Color& colour = key(k).back_color;
        if (colour == colors::kOrange) {
            colour = colors::kYellow;
        }
        if (colour == colors::kDarkRed) {
            colour = colors::kBlack;
        }
    }
    release_notes();
}

void Form1::release_notes() {
    const int k = r.key_index;
    if (k == kNoKey) {
        return;
    }
    key(k).value = 0;
    Color& colour = key(k).back_color;
    if (colour == colors::kLightBlue) {
        colour = colors::kWhite;
    }
    if (colour == colors::kDarkBlue) {
        colour = colors::kBlack;
    }

    int solo_note = r.solo_base_note + k;
    if (r.lowered_key == k) {
        solo_note -= 12;
        r.lowered_key = kNoKey;
    }
    send_short_message(status_byte(kNoteOff, kLiveChordBassChannel), 36 + k, 0);
    send_short_message(status_byte(kControlChange, kLiveChordChannel), kAllNotesOff, 0);
    send_short_message(status_byte(kNoteOff, kSoloChannel), solo_note, 0);
}

void Form1::paint_black_keys() {
    for (int k = 0; k < kKeyCount; ++k) {
        if (is_black_key(k)) {
            key(k).back_color = colors::kBlack;
        }
    }
}

void Form1::paint_chord_keys() {
    for (int k = 0; k < kChordKeyCount; ++k) {
        if (!is_black_key(k)) {
            key(k).back_color = colors::kYellow;
        }
    }
}

} // namespace varkelon
