// SPDX-License-Identifier: GPL-3.0-or-later
// The stream checker that the soak and the fuzz targets rely on: if it
// missed a bad byte or a hanging note, they would pass on a faulty core.

#include "midi/recording_midi.h"
#include "support/midi_stream_checker.h"

#include <gtest/gtest.h>

#include <vector>

namespace varkelon::test_support {
namespace {

constexpr std::uint32_t pack(std::uint32_t status, std::uint32_t d1, std::uint32_t d2) {
    return status | (d1 << 8) | (d2 << 16);
}

struct ValidityCase {
    const char* name;
    std::uint32_t message;
    bool valid;
};

class MessageValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(MessageValidity, IsJudgedByStatusAndBothDataBytes) {
    MidiStreamChecker checker;
    checker.send(GetParam().message);
    EXPECT_EQ(checker.faults().empty(), GetParam().valid) << checker.report();
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageValidity,
    ::testing::Values(ValidityCase{"NoteOn", pack(0x90, 60, 100), true},
                      ValidityCase{"LowestStatus", pack(0x80, 0, 0), true},
                      ValidityCase{"HighestStatusAndData", pack(0xFF, 127, 127), true},
                      ValidityCase{"ProgramChange", pack(0xCF, 127, 0), true},
                      ValidityCase{"StatusBelow0x80", pack(0x7F, 60, 100), false},
                      ValidityCase{"ZeroWord", 0, false},
                      ValidityCase{"Data1Above127", pack(0x90, 128, 100), false},
                      ValidityCase{"Data2Above127", pack(0x90, 60, 128), false},
                      // one data byte by its kind, but the packed second byte is checked too
                      ValidityCase{"ProgramChangeSecondByte", pack(0xC0, 5, 0xFF), false},
                      ValidityCase{"ChannelPressureSecondByte", pack(0xD3, 5, 200), false},
                      ValidityCase{"HighBitsSet", pack(0x90, 60, 100) | 0x01000000U, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SoundingNotes, EndByNoteOffVelocityZeroAndAllNotesOffOfTheirChannel) {
    MidiStreamChecker checker;
    checker.send(pack(0x90, 60, 100)); // ch 1
    checker.send(pack(0x90, 64, 100)); // ch 1
    checker.send(pack(0x9F, 72, 90));  // ch 16
    checker.send(pack(0x9D, 43, 90));  // ch 14
    EXPECT_EQ(checker.sounding_notes(),
              (std::vector<SoundingNote>{{1, 60}, {1, 64}, {14, 43}, {16, 72}}));

    checker.send(pack(0x80, 60, 0));  // note-off
    checker.send(pack(0x9F, 72, 0));  // note-on with velocity 0
    checker.send(pack(0xB0, 7, 100)); // another controller changes nothing
    checker.send(pack(0x8D, 44, 0));  // a note-off for another note neither
    checker.send(pack(0xBD, 123, 0)); // all-notes-off on channel 14 only
    EXPECT_EQ(checker.sounding_notes(), (std::vector<SoundingNote>{{1, 64}}));
    checker.send(pack(0xB0, 123, 0));
    EXPECT_TRUE(checker.sounding_notes().empty());
    EXPECT_TRUE(checker.faults().empty()) << checker.report();
}

// Without this the soak would miss a pedal that nothing lets go.
TEST(SoundingNotes, ThePedalHoldsReleasedNotesThroughAllNotesOffUntilLetGo) {
    MidiStreamChecker checker;
    checker.send(pack(0xBF, 64, 127));
    checker.send(pack(0x9F, 72, 90));
    checker.send(pack(0x9F, 74, 90));
    checker.send(pack(0x9E, 60, 90)); // another channel has no pedal
    checker.send(pack(0x8F, 72, 0));
    checker.send(pack(0x8E, 60, 0));
    checker.send(pack(0xBF, 123, 0)); // 74 is still keyed: the pedal takes it too
    EXPECT_TRUE(checker.pedal_down(16));
    EXPECT_EQ(checker.sounding_notes(), (std::vector<SoundingNote>{{16, 72}, {16, 74}}));

    checker.send(pack(0x9F, 72, 90)); // struck again, then let go under the pedal
    checker.send(pack(0x9F, 72, 0));
    EXPECT_TRUE(checker.sounding(16, 72));
    checker.send(pack(0xBF, 64, 0));
    EXPECT_FALSE(checker.pedal_down(16));
    EXPECT_TRUE(checker.sounding_notes().empty());

    checker.send(pack(0xBF, 64, 100));
    checker.send(pack(0x9F, 50, 90));
    checker.send(pack(0x8F, 50, 0));
    checker.send(pack(0xBF, 120, 0)); // all sound off ends even what the pedal holds
    EXPECT_TRUE(checker.sounding_notes().empty());
    EXPECT_TRUE(checker.faults().empty()) << checker.report();
}

TEST(SoundingNotes, AnInvalidMessageChangesNothingButIsReported) {
    MidiStreamChecker checker;
    checker.send(pack(0x90, 60, 100));
    checker.send(pack(0x80, 60, 200)); // a note-off whose velocity is no data byte
    checker.send(pack(0x90, 200, 100));
    EXPECT_TRUE(checker.sounding(1, 60));
    EXPECT_EQ(checker.sounding_notes().size(), 1U);
    ASSERT_EQ(checker.faults().size(), 2U);
    EXPECT_EQ(checker.faults()[0].index, 1U);
    EXPECT_EQ(checker.faults()[1].index, 2U);
}

TEST(ExpectSilent, NamesEveryMelodicNoteAndLetsPercussionRingOut) {
    MidiStreamChecker checker;
    checker.send(pack(0x99, 36, 100)); // a kick never gets a note-off
    checker.expect_silent("after stop");
    EXPECT_TRUE(checker.faults().empty());

    checker.send(pack(0x9E, 67, 80));
    checker.send(pack(0x94, 50, 80));
    checker.expect_silent("after stop");
    ASSERT_EQ(checker.faults().size(), 2U);
    EXPECT_TRUE(checker.faults()[0].silence);
    EXPECT_EQ(checker.faults()[0].what, "after stop: note 50 still sounds on channel 5");
    EXPECT_EQ(checker.faults()[1].what, "after stop: note 67 still sounds on channel 15");
}

TEST(Watch, FollowsTheRecordingPortAndNeedsAClosingPortSilent) {
    RecordingMidiSystem midi;
    MidiStreamChecker checker;
    checker.watch(midi);
    midi.send(pack(0x90, 60, 100)); // no port open: lost
    EXPECT_EQ(checker.message_count(), 0U);

    midi.open(-1);
    midi.send(pack(0x90, 60, 100));
    midi.send(pack(0xB0, 123, 0));
    midi.close();
    EXPECT_TRUE(checker.faults().empty()) << checker.report();

    midi.open(0);
    midi.send(pack(0x91, 62, 100));
    midi.close();
    ASSERT_EQ(checker.faults().size(), 1U);
    EXPECT_EQ(checker.faults()[0].what, "port closed: note 62 still sounds on channel 2");
    midi.open(1); // a new port starts silent
    EXPECT_TRUE(checker.sounding_notes().empty());
    EXPECT_EQ(checker.message_count(), 3U);
}

} // namespace
} // namespace varkelon::test_support
