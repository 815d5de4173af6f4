// SPDX-License-Identifier: GPL-3.0-or-later
// Fingered chords read from the held notes of the chord zone.

#include "keyboard/chord_recognition.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <ostream>
#include <vector>

namespace varkelon {
namespace {

constexpr int C = 0, Cs = 1, D = 2, Eb = 3, E = 4, F = 5, Fs = 6, G = 7, Ab = 8, A = 9, Bb = 10,
              B = 11;

struct Case {
    const char* name;
    std::vector<int> notes;
    std::optional<FingeredChord> chord;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

FingeredChord chord(int root, int third) {
    return {root, third, false};
}

const Case kCases[] = {
    // Triads in root position and both inversions, on several roots.
    {"C", {48, 52, 55}, chord(C, 0)},
    {"C_first_inversion", {40, 43, 48}, chord(C, 0)},
    {"C_second_inversion", {43, 48, 52}, chord(C, 0)},
    {"C_open_and_doubled", {36, 43, 52, 60}, chord(C, 0)},
    {"F_sharp", {42, 46, 49}, chord(Fs, 0)},
    {"B_second_inversion", {42, 47, 51}, chord(B, 0)},
    {"Cm", {48, 51, 55}, chord(C, 1)},
    {"Cm_first_inversion", {51, 55, 60}, chord(C, 1)},
    {"Am_second_inversion", {40, 45, 48}, chord(A, 1)},
    {"Ebm", {51, 54, 58}, chord(Eb, 1)},
    // Added tones reduce to the triad.
    {"C6", {48, 52, 55, 57}, chord(C, 0)},
    {"C7", {48, 52, 55, 58}, chord(C, 0)},
    {"C7_third_in_bass", {40, 46, 48, 55}, chord(C, 0)},
    {"Cmaj7", {48, 52, 55, 59}, chord(C, 0)},
    {"Cadd9", {48, 50, 52, 55}, chord(C, 0)},
    {"C9", {48, 50, 52, 55, 58}, chord(C, 0)},
    {"Gm7", {43, 46, 50, 53}, chord(G, 1)},
    {"Dm6", {50, 53, 57, 59}, chord(D, 1)},
    {"Em_maj7", {40, 43, 47, 51}, chord(E, 1)},
    {"Am9", {45, 48, 52, 55, 59}, chord(A, 1)},
    // Diminished reads minor, augmented major, sus4 major, sus2 with the
    // second as its "third", root and fifth major.
    {"Bdim", {47, 50, 53}, chord(B, 1)},
    {"C_sharp_dim_first_inversion", {40, 43, 49}, chord(Cs, 1)},
    {"Caug", {48, 52, 56}, chord(C, 0)},
    {"Ebaug_bass_decides", {51, 55, 59}, chord(Eb, 0)},
    {"aug_on_B", {47, 51, 55}, chord(B, 0)},
    {"Dsus4", {50, 55, 57}, chord(D, 0)},
    {"Dsus2", {50, 52, 57}, chord(D, 2)},
    {"Asus2_open", {45, 52, 59}, chord(A, 2)},
    {"Esus4_same_notes_as_Asus2", {40, 45, 47}, chord(E, 0)},
    {"C5", {48, 55}, chord(C, 0)},
    {"C5_fifth_below", {43, 48}, chord(C, 0)},
    {"E5", {40, 47, 52}, chord(E, 0)},
    // Two notes a third apart: that triad, in either order.
    {"C_E", {48, 52}, chord(C, 0)},
    {"E_C", {40, 48}, chord(C, 0)},
    {"A_C", {45, 48}, chord(A, 1)},
    {"C_A", {48, 57}, chord(A, 1)},
    // A set that names two chords: the lowest note decides.
    {"C6_on_C", {48, 52, 55, 57}, chord(C, 0)},
    {"Am7_on_A", {45, 48, 52, 55}, chord(A, 1)},
    {"Csus4_on_C", {48, 53, 55}, chord(C, 0)},
    {"Fsus2_on_F", {41, 43, 48}, chord(F, 2)},
    {"Cm7_on_C", {48, 51, 55, 58}, chord(C, 1)},
    {"Eb6_on_Eb", {51, 55, 58, 60}, chord(Eb, 0)},
    {"dim7_on_Ab", {44, 47, 50, 53}, chord(Ab, 1)},
    // The bass names none of the chords: the plain triad, then the form's order.
    {"C6_or_Am7_on_E", {40, 45, 48, 55}, chord(C, 0)},
    {"Csus4_or_Fsus2_on_G", {43, 48, 53}, chord(C, 0)},
    // Sets that name nothing.
    {"tritone", {48, 54}, std::nullopt},
    {"second", {48, 50}, std::nullopt},
    {"cluster", {48, 49, 50}, std::nullopt},
    {"C_Db_E", {48, 49, 52}, std::nullopt},
    {"nothing_held", {}, std::nullopt},
    // One pitch class is the one-finger chord, in any octave.
    {"one_note", {55}, FingeredChord{G, 0, true}},
    {"one_pitch_class_doubled", {36, 48, 60}, FingeredChord{C, 0, true}},
    // The ends of the MIDI range: C and G, a fifth.
    {"notes_0_and_127", {0, 127}, chord(C, 0)},
};

class Recognise : public ::testing::TestWithParam<Case> {};

TEST_P(Recognise, NamesTheChord) {
    std::bitset<128> held;
    for (int n : GetParam().notes) {
        held.set(static_cast<std::size_t>(n));
    }
    EXPECT_EQ(recognise_chord(held), GetParam().chord);
}

INSTANTIATE_TEST_SUITE_P(Chords, Recognise, ::testing::ValuesIn(kCases),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

// Every triad shape on every root, in each of its inversions and spread over
// two octaves: a chord is the same chord wherever the hand lies.
TEST(Recognise, EveryRootAndInversion) {
    struct Shape {
        std::initializer_list<int> intervals;
        int third;
    };
    // (sus2 and augmented chords are the same sets as other chords of their
    // kind: the table above shows how their bass decides.)
    const Shape kShapes[] = {{{0, 4, 7}, 0}, {{0, 3, 7}, 1}, {{0, 3, 6}, 1}};
    for (const Shape& s : kShapes) {
        for (int root = 0; root < 12; ++root) {
            for (int inversion = 0; inversion < 3; ++inversion) {
                std::bitset<128> held;
                int i = 0;
                for (int interval : s.intervals) {
                    // The notes below the inversion's bass go up an octave.
                    held.set(
                        static_cast<std::size_t>(36 + root + interval + (i < inversion ? 12 : 0)));
                    ++i;
                }
                const auto got = recognise_chord(held);
                EXPECT_EQ(got, chord(root, s.third)) << root << " " << inversion;
            }
        }
    }
}

} // namespace
} // namespace varkelon
