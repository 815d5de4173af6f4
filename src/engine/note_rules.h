// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The note rules of the styles: how a note byte of the style file becomes the
// note that is sent, in the chord the user holds. The pattern player applies
// them, the style checker walks them over every chord, the style compiler
// writes and reads scale steps with them. Pure and inline: the player runs
// them on every tick.

#include "midi/midi_facts.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace varkelon {

// Scale-coded note in data 1 of a note-off/note-on: bit 7 set, bits 5-3 the
// octave, bits 2-0 the degree; bit 6 is ignored by the player.
inline constexpr std::uint8_t kScaleCodedFlag = 0x80;
inline constexpr int kScaleDegreeKeepLast = 7;
inline constexpr std::array<int, 7> kMajorScaleSemitones = {0, 2, 4, 5, 7, 9, 11};

constexpr bool is_scale_coded(std::uint8_t status, std::uint8_t data1) {
    return is_note_status(status) && (data1 & kScaleCodedFlag) != 0;
}
constexpr std::uint8_t scale_code(int degree, int octave) {
    return static_cast<std::uint8_t>(kScaleCodedFlag | ((octave & 7) << 3) | (degree & 7));
}
constexpr int scale_code_degree(std::uint8_t data1) {
    return data1 & 7;
}
constexpr int scale_code_octave(std::uint8_t data1) {
    return (data1 >> 3) & 7;
}

// Semitone above the octave's C of scale `degree` in the chord's mode: the
// third, sixth and seventh come down by `minor` (the chord's lowered third,
// 0 for major). Degree 7 keeps `previous`, the semitone decoded last.
constexpr int degree_semitone(int degree, int minor, int previous) {
    switch (degree) {
    case 2:
    case 5:
    case 6:
        return kMajorScaleSemitones[static_cast<std::size_t>(degree)] - minor;
    case kScaleDegreeKeepLast:
        return previous;
    default:
        return kMajorScaleSemitones[static_cast<std::size_t>(degree)];
    }
}

// The pitch-class arithmetic of the rules, for notes that a lowered third can
// take below 0.
constexpr int floor_div12(int n) {
    return n >= 0 ? n / 12 : -((-n + 11) / 12);
}

// `note` moved to the chord on `root` (0 = C .. 11 = B), its pitch class
// turning within the note's own octave.
constexpr int chord_note(int note, int root) {
    return (note + root) - 12 * floor_div12(note + root) + 12 * floor_div12(note);
}

// The note a style note of 1-based `channel` sounds as, in the chord on `root`
// with its third lowered by `minor`; `chord` is chord_note(note, root), which
// the player keeps anyway. Channels 1 and 4 follow the chord within their
// octave, channel 5 does so a third lower in minor; channels 2 and 6 move up
// with the root and fall an octave from A on, channel 3 from G on. The
// others, the drums among them, play as written. May leave 0..127.
constexpr int transposed_note(int channel, int note, int root, int minor, int chord) {
    switch (channel) {
    case 1:
    case 4:
        return chord;
    case 5:
        return chord - minor;
    case 2:
    case 6:
        return note + root - 12 * ((root + 3) / 12);
    case 3:
        return note + root - 12 * ((root + 5) / 12);
    default:
        return note;
    }
}
constexpr int transposed_note(int channel, int note, int root, int minor) {
    return transposed_note(channel, note, root, minor, chord_note(note, root));
}

// A note the rules move out of MIDI's range comes back by whole octaves.
constexpr int into_range(int note) {
    while (note < 0) {
        note += 12;
    }
    while (note > kMaxDataValue) {
        note -= 12;
    }
    return note;
}

// The style whose channel-6 note-ons are recorded as well.
inline constexpr int kStyleRecordingChannel6 = 7;

// Whether the player keeps this event for the replay that sounds a new chord
// at once: note-ons of channels 1, 2 and 5, and 6 in one style.
constexpr bool is_recorded_note_on(std::uint8_t status, int style) {
    return status == status_byte(kNoteOn, 1) || status == status_byte(kNoteOn, 2) ||
           status == status_byte(kNoteOn, 5) ||
           (style == kStyleRecordingChannel6 && status == status_byte(kNoteOn, 6));
}

} // namespace varkelon
