// SPDX-License-Identifier: GPL-3.0-or-later
// The named MIDI facts against the bytes on the wire, and the note rules that
// the player, the style checker and the style compiler share.

#include "engine/note_rules.h"
#include "midi/midi_facts.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace varkelon::test {
namespace {

// Every status the program sends by name, with the byte a receiver sees.
struct StatusCase {
    std::uint8_t kind;
    int channel;
    std::uint8_t wire;
};

TEST(MidiFacts, NamedStatusesAreTheBytesOnTheWire) {
    const StatusCase cases[] = {
        {kNoteOn, kSoloChannel, 0x9F},
        {kNoteOff, kSoloChannel, 0x8F},
        {kProgramChange, kSoloChannel, 0xCF},
        {kNoteOn, kDrumChannel, 0x99},
        {kNoteOn, kLiveChordBassChannel, 0x9D},
        {kNoteOff, kLiveChordBassChannel, 0x8D},
        {kProgramChange, kLiveChordBassChannel, 0xCD},
        {kNoteOn, kLiveChordChannel, 0x9E},
        {kControlChange, kLiveChordChannel, 0xBE},
        {kProgramChange, kLiveChordChannel, 0xCE},
        {kControlChange, 1, 0xB0},
        {kPitchBend, kChannelCount, 0xEF},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.wire);
        EXPECT_EQ(status_byte(c.kind, c.channel), c.wire);
        EXPECT_EQ(status_kind(c.wire), c.kind);
        EXPECT_EQ(status_channel(c.wire), c.channel);
    }
    EXPECT_EQ(channel_index(kDrumChannel), 9); // what synthesizer libraries call it
}

TEST(MidiFacts, ShortMessagePacksLowByteFirstAndUnpacksEveryBit) {
    EXPECT_EQ(pack_short_message(0x9F, 60, 100), 0x00643C9FU);
    // Bits above a byte are cut when packing; unpacking keeps all eight of each
    // byte, so a checker still sees a data byte above 127 or a stray top byte.
    EXPECT_EQ(pack_short_message(0x1B0, 0x180, 0xFF), 0x00FF80B0U);
    const ShortMessage m = unpack_short_message(0x12FF80B5U);
    EXPECT_EQ(m.status, 0xB5);
    EXPECT_EQ(m.data1, 0x80);
    EXPECT_EQ(m.data2, 0xFF);
    EXPECT_EQ(m.rest, 0x12);
    EXPECT_EQ(m.kind(), kControlChange);
    EXPECT_EQ(m.channel(), 6);
    EXPECT_EQ(data_value(m.data1), 0);

    EXPECT_TRUE(unpack_short_message(0x00013C90U).is_sounding_note_on());
    EXPECT_FALSE(unpack_short_message(0x00003C90U).is_sounding_note_on()); // velocity 0 ends it
    EXPECT_FALSE(unpack_short_message(0x00803C90U).is_sounding_note_on()); // 7 bits of 0x80 are 0
    EXPECT_FALSE(unpack_short_message(0x00643C80U).is_sounding_note_on());
}

TEST(MidiFacts, StatusClasses) {
    EXPECT_EQ(data_byte_count(0xC3), 1);
    EXPECT_EQ(data_byte_count(0xDF), 1);
    EXPECT_EQ(data_byte_count(0xB0), 2);
    EXPECT_EQ(data_byte_count(0xE0), 2);
    EXPECT_TRUE(is_note_status(0x80));
    EXPECT_TRUE(is_note_status(0x9F));
    EXPECT_FALSE(is_note_status(0xA0));
    EXPECT_FALSE(is_note_status(0x7F));
    EXPECT_TRUE(is_channel_status(0x80));
    EXPECT_TRUE(is_channel_status(0xEF));
    EXPECT_FALSE(is_channel_status(0x7F));
    EXPECT_FALSE(is_channel_status(0xF0));
}

// One note through the transposition of each channel, in chords where the
// rules part: C, F# minor (third lowered by 1), G and A.
struct TransposeCase {
    int channel;
    int note;
    int root;
    int minor;
    int sent;
};

TEST(NoteRules, EachChannelFollowsTheChordItsOwnWay) {
    const TransposeCase cases[] = {
        {1, 60, 0, 0, 60}, {1, 64, 6, 1, 70}, {1, 67, 9, 0, 64},  // pitch class turns in octave
        {4, 67, 9, 1, 64}, {5, 64, 6, 1, 69}, {5, 60, 0, 3, 57},  // 5: and down by the minor
        {2, 36, 8, 0, 44}, {2, 36, 9, 0, 33}, {6, 36, 9, 1, 33},  // 2, 6: an octave down from A
        {3, 36, 6, 0, 42}, {3, 36, 7, 0, 31}, {10, 36, 7, 1, 36}, // 3 from G; drums as written
        {7, 50, 5, 0, 50}, {1, 2, 0, 7, 2},   {5, 2, 0, 7, -5},   // below 0 before folding
    };
    for (const TransposeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "channel " << c.channel << " note " << c.note
                                          << " root " << c.root << " minor " << c.minor);
        EXPECT_EQ(transposed_note(c.channel, c.note, c.root, c.minor), c.sent);
    }
    EXPECT_EQ(into_range(-5), 7);
    EXPECT_EQ(into_range(133), 121);
    EXPECT_EQ(into_range(127), 127);
}

TEST(NoteRules, ScaleDegreesFollowTheMode) {
    // Major, then a third lowered by 1: the third, sixth and seventh come down.
    const int major[] = {0, 2, 4, 5, 7, 9, 11};
    const int minor[] = {0, 2, 3, 5, 7, 8, 10};
    for (int degree = 0; degree < 7; ++degree) {
        EXPECT_EQ(degree_semitone(degree, 0, -1), major[degree]) << degree;
        EXPECT_EQ(degree_semitone(degree, 1, -1), minor[degree]) << degree;
    }
    EXPECT_EQ(degree_semitone(kScaleDegreeKeepLast, 1, 8), 8); // keeps the last one decoded
}

} // namespace
} // namespace varkelon::test
