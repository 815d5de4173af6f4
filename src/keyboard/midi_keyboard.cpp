// SPDX-License-Identifier: GPL-3.0-or-later
// A MIDI keyboard plays like a hardware arranger. In accompaniment mode the
// notes below the split (the note of key(12)) are the chord zone, read
// together as a fingered chord; every other note plays the solo voice over
// the whole MIDI range with its touch. Notes under the virtual keys press
// them through the one input path, as the computer keyboard and the mouse
// do. The pedals, the wheels and pressure go to the solo channel.

#include "app/layout.h"
#include "app/main_window.h"
#include "keyboard/chord_recognition.h"
#include "midi/midi_facts.h"

namespace varkelon {

namespace {

// The controllers passed on to the solo voice.
constexpr int kModulation = 1;
constexpr int kSustain = 64;
constexpr int kSoftPedal = 67;
constexpr int kPedalDown = 64; // values from here up hold a switch pedal down

// The settings key of "Учитывать силу нажатия MIDI-клавиатуры": "0" unticked.
constexpr const char* kTouchSetting = "midi_touch";

} // namespace

void Form1::load_touch_option() {
    touch.checked = settings_.get(kTouchSetting) != std::optional<std::string>("0");
}

void Form1::touch_Click() {
    touch.checked = !touch.checked;
    settings_.set(kTouchSetting, touch.checked ? "1" : "0");
}

void Form1::midi_note(int status, int data1, int data2, int mask) {
    const int kind = status_kind(static_cast<std::uint8_t>(status));
    const int note = data_value(static_cast<std::uint8_t>(data1));
    MidiHeld& held = midi_held_[static_cast<std::size_t>(note)];
    if (kind == kNoteOn && data2 > 0) {
        if (held.role == MidiRole::ChordZone) {
            midi_note(kNoteOff, note, 0, mask); // struck again without a note-off
        }
        const int split = r.solo_base_note + kChordKeyCount;
        if (r.accomp_mode != kFalse && note < split) {
            held.role = MidiRole::ChordZone;
            chord_zone_.set(static_cast<std::size_t>(note));
            chord_struck_.set(static_cast<std::size_t>(note));
            chord_mask_ = mask;
            // The first note of a chord opens the gathering; the notes that
            // follow within it are struck together with it.
            chord_timer.set_enabled(true);
            return;
        }
        const int velocity = touch.checked
                                 ? midi_touch_velocity(data_value(static_cast<std::uint8_t>(data2)))
                                 : solo_velocity();
        // The octave slider moves the mapping: the lowest C plays key(0).
        const int k = note - r.solo_base_note;
        if (k < 0 || k >= kKeyCount) {
            held.role = MidiRole::Direct;
            send_short_message(status_byte(kNoteOn, kSoloChannel), note, velocity);
            return;
        }
        held = {MidiRole::Key, static_cast<std::int16_t>(k)};
        r.key_index = static_cast<std::int16_t>(k);
        r.shift_state = static_cast<std::int16_t>(mask);
        touch_velocity_ = velocity;
        press_key();
        touch_velocity_.reset();
    } else if (kind == kNoteOff || kind == kNoteOn) {
        const MidiHeld was = held;
        held = {};
        switch (was.role) {
        case MidiRole::None:
            break;
        case MidiRole::Key:
            // The key this note pressed, even if the octave has moved since.
            r.key_index = was.key;
            release_key();
            break;
        case MidiRole::Direct:
            send_short_message(status_byte(kNoteOff, kSoloChannel), note, 0);
            break;
        case MidiRole::ChordZone:
            // Letting go keeps the chord, as the release of a chord key does;
            // the last note lets go of the chord key.
            chord_zone_.reset(static_cast<std::size_t>(note));
            if (chord_zone_.none() && midi_chord_key_ >= 0) {
                r.key_index = static_cast<std::int16_t>(midi_chord_key_);
                midi_chord_key_ = -1;
                release_key();
            }
            break;
        }
    }
}

void Form1::chord_timer_tick() {
    chord_timer.set_enabled(false);
    const std::bitset<128> struck = chord_struck_;
    chord_struck_.reset();
    if (r.accomp_mode == kFalse) {
        return; // the mode went off while the chord was gathered
    }
    // A chord played legato can hold the old chord's notes a moment longer:
    // then the notes just struck name the new one.
    auto chord = recognise_chord(chord_zone_);
    if (!chord) {
        chord = recognise_chord(struck);
    }
    if (!chord) {
        return; // the chord stays as it was
    }
    const auto third = static_cast<std::int16_t>(chord->one_finger ? chord_mask_ : chord->third);
    if (midi_chord_key_ == chord->root && midi_chord_third_ == third) {
        return; // notes added to the chord that sounds
    }
    if (midi_chord_key_ >= 0) {
        r.key_index = static_cast<std::int16_t>(midi_chord_key_);
        release_key();
    }
    midi_chord_key_ = chord->root;
    midi_chord_third_ = third;
    r.key_index = static_cast<std::int16_t>(chord->root);
    r.shift_state = third;
    chord_from_midi_ = true;
    press_key();
    chord_from_midi_ = false;
    if (chord_zone_.none()) {
        // Struck and let go within the gathering: the chord key's release.
        midi_chord_key_ = -1;
        release_key();
    }
}

void Form1::midi_control(int status, int data1, int data2) {
    const int kind = status_kind(static_cast<std::uint8_t>(status));
    if (kind == kControlChange &&
        (data1 == kSustain || data1 == kSoftPedal || data1 == kModulation)) {
        send_short_message(status_byte(kControlChange, kSoloChannel), data1, data2);
        if (data1 == kSustain) {
            midi_pedal_down_ = data2 >= kPedalDown;
        }
    } else if (kind == kPitchBend) {
        send_short_message(status_byte(kPitchBend, kSoloChannel), data1, data2);
    } else if (kind == kChannelPressure) {
        send_short_message(status_byte(kChannelPressure, kSoloChannel), data1, 0);
    }
}

void Form1::release_midi_pedal() {
    // On many synths all-notes-off leaves the notes that the pedal holds.
    if (midi_pedal_down_) {
        midi_pedal_down_ = false;
        send_short_message(status_byte(kControlChange, kSoloChannel), kSustain, 0);
    }
}

void Form1::release_midi_keys() {
    for (int note = 0; note < static_cast<int>(midi_held_.size()); ++note) {
        if (midi_held_[static_cast<std::size_t>(note)].role != MidiRole::None) {
            midi_note(kNoteOff, note, 0, 0);
        }
    }
    chord_struck_.reset();
    chord_timer.set_enabled(false);
    release_midi_pedal();
}

} // namespace varkelon
