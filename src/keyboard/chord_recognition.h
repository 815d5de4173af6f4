// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fingered chords: the notes a player holds in the chord zone of a MIDI
// keyboard, read as the one chord the accompaniment can follow, a root and
// how far its third is lowered (0 major, 1 minor, 2 a second above the root).

#include <bitset>
#include <optional>

namespace varkelon {

struct FingeredChord {
    int root = 0;  // pitch class, 0 = C … 11 = B
    int third = 0; // semitones the chord's third lies below the major third
    // A single pitch class: the one-finger chord, whose third the computer
    // keyboard's modifiers choose.
    bool one_finger = false;

    friend bool operator==(const FingeredChord&, const FingeredChord&) = default;
};

// The chord that the held MIDI notes name, in any inversion, spacing and
// doubling: major and minor triads, also with an added 6th, 7th, major 7th or
// 9th; diminished (read as minor), augmented (major), sus4 (major), sus2
// (third 2), root and fifth (major), and two notes a third apart. A set that
// names two chords goes to the one on its lowest note. Nothing held, or a set
// that names no chord: nullopt.
std::optional<FingeredChord> recognise_chord(const std::bitset<128>& held);

} // namespace varkelon
