// SPDX-License-Identifier: GPL-3.0-or-later
// Chords are matched on pitch classes, so octaves, doublings and inversions
// do not matter; only the bass (the lowest note) breaks a tie.

#include "keyboard/chord_recognition.h"

#include <array>
#include <bit>
#include <cstdint>

namespace varkelon {

namespace {

using PitchSet = std::uint16_t; // bit i: pitch class i semitones above the root

constexpr PitchSet pcs(std::initializer_list<int> intervals) {
    PitchSet s = 0;
    for (int i : intervals) {
        s = static_cast<PitchSet>(s | (1U << i));
    }
    return s;
}

struct Form {
    PitchSet tones;
    int third;
    bool takes_additions; // the 6th, 7th, major 7th and 9th may join
};

// In order of preference where a set names several chords and its lowest
// note names none of them.
constexpr std::array kForms = {
    Form{pcs({0, 4, 7}), 0, true}, // major
    Form{pcs({0, 3, 7}), 1, true}, // minor
    Form{pcs({0, 3, 6}), 1, true}, // diminished
    Form{pcs({0, 4, 8}), 0, true}, // augmented
    Form{pcs({0, 5, 7}), 0, true}, // sus4
    Form{pcs({0, 2, 7}), 2, true}, // sus2
    Form{pcs({0, 7}), 0, false},   // root and fifth
    Form{pcs({0, 4}), 0, false},   // major third
    Form{pcs({0, 3}), 1, false},   // minor third
};

constexpr PitchSet kAdditions = pcs({9, 10, 11, 2}); // 6th, 7th, major 7th, 9th

PitchSet relative_to(PitchSet set, int root) {
    const unsigned s = set;
    return static_cast<PitchSet>(((s >> root) | (s << (12 - root))) & 0xFFFU);
}

struct Candidate {
    int root;
    int form;
    int additions;
};

// Whether a beats b: the root on the bass first, then fewer added tones, then
// the form's order, then the root nearest above the bass.
bool better(const Candidate& a, const Candidate& b, int bass) {
    const bool a_bass = a.root == bass;
    const bool b_bass = b.root == bass;
    if (a_bass != b_bass) {
        return a_bass;
    }
    if (a.additions != b.additions) {
        return a.additions < b.additions;
    }
    if (a.form != b.form) {
        return a.form < b.form;
    }
    return (a.root - bass + 12) % 12 < (b.root - bass + 12) % 12;
}

} // namespace

std::optional<FingeredChord> recognise_chord(const std::bitset<128>& held) {
    PitchSet set = 0;
    int bass = -1;
    for (int note = 127; note >= 0; --note) {
        if (held.test(static_cast<std::size_t>(note))) {
            set = static_cast<PitchSet>(set | (1U << (note % 12)));
            bass = note % 12;
        }
    }
    if (set == 0) {
        return std::nullopt;
    }
    if (std::popcount(set) == 1) {
        return FingeredChord{bass, 0, true};
    }
    std::optional<Candidate> best;
    for (int root = 0; root < 12; ++root) {
        if ((set & (1U << root)) == 0) {
            continue;
        }
        const PitchSet rel = relative_to(set, root);
        for (int f = 0; f < static_cast<int>(kForms.size()); ++f) {
            const Form& form = kForms[static_cast<std::size_t>(f)];
            const auto extra = static_cast<PitchSet>(rel & ~form.tones);
            const bool fits = (rel & form.tones) == form.tones &&
                              (extra == 0 || (form.takes_additions && (extra & ~kAdditions) == 0));
            if (!fits) {
                continue;
            }
            const Candidate c{root, f, std::popcount(extra)};
            if (!best || better(c, *best, bass)) {
                best = c;
            }
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return FingeredChord{best->root, kForms[static_cast<std::size_t>(best->form)].third, false};
}

} // namespace varkelon
