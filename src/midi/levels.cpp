// SPDX-License-Identifier: GPL-3.0-or-later
// The three volume levels and the velocity rule of every kind of note.

#include "app/main_window.h"
#include "midi/midi_facts.h"

#include <algorithm>
#include <cmath>

namespace varkelon {

namespace {

// Nearest integer, halves to the even neighbour (the default rounding mode).
long nearest(double x) {
    return std::lrint(x);
}

} // namespace

const Form1::LevelSlider* Form1::level_of(const Control& slider) const {
    for (const LevelSlider& l : level_sliders_) {
        if (l.slider == &slider) {
            return &l;
        }
    }
    return nullptr;
}

void Form1::scroll_changed(Control& slider) {
    const LevelSlider* l = level_of(slider);
    if (l == nullptr) {
        return;
    }
    r.*(l->level) = static_cast<std::int16_t>(slider.value);
    show_level(slider);
}

void Form1::show_level(Control& slider) {
    const LevelSlider* l = level_of(slider);
    if (l != nullptr) {
        l->label->caption = l->text + std::to_string(r.*(l->level)) + " ";
    }
}

int Form1::solo_velocity() const {
    return r.solo_volume * r.master_volume / 127;
}

int Form1::chord_bass_velocity() const {
    return static_cast<int>(nearest(r.accomp_volume * 100 / 127.0 * r.master_volume) / 127);
}

int Form1::chord_note_velocity() const {
    return static_cast<int>(nearest(r.accomp_volume * 55 / 127.0 * r.master_volume) / 127);
}

int Form1::style_event_velocity(int data2) const {
    const long v = nearest(data2 * r.accomp_volume / 128.0 * r.master_volume) / 128;
    // A file byte above 127 would scale beyond a MIDI data byte.
    return static_cast<int>(std::min(v, 127L));
}

int Form1::midi_touch_velocity(int velocity) const {
    return static_cast<int>(nearest(velocity * r.solo_volume / 127.0 * r.master_volume) / 127);
}

void Form1::all_notes_off() {
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        send_short_message(status_byte(kControlChange, channel), kAllNotesOff, 0);
    }
    release_midi_pedal();
}

void Form1::silence_accompaniment() {
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        if (channel != kSoloChannel) {
            send_short_message(status_byte(kControlChange, channel), kAllNotesOff, 0);
        }
    }
}

void Form1::send_solo_program() {
    send_short_message(status_byte(kProgramChange, kSoloChannel), r.solo_program, 0);
}

} // namespace varkelon
