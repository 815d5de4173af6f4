// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern player on style files built byte by byte: the files here break
// limits that the style compiler would refuse, so they show what the player
// does when a file is not what it should be.

#include "core_fixture.h"
#include "support/style_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varkelon::test {
namespace {

using namespace test_support;

constexpr int kStatusDrumOn = 0x99;

// Brings the byte sum back to the original's by changing bytes in [from, to),
// which no block of the file reads.
void restore_sum(StyleBytes& bytes, std::size_t from, std::size_t to) {
    long delta =
        static_cast<long>(kStyleFileByteSum) - static_cast<long>(style_file_byte_sum(bytes));
    for (std::size_t i = from; i < to && delta != 0; ++i) {
        const long now = std::clamp<long>(bytes[i] + delta, 1, 255);
        delta -= now - bytes[i];
        bytes[i] = static_cast<std::uint8_t>(now);
    }
    ASSERT_EQ(delta, 0);
}

void set_table_entry(StyleBytes& bytes, int style, int low, int high) {
    bytes[2 * static_cast<std::size_t>(style - 1)] = static_cast<std::uint8_t>(low);
    bytes[2 * static_cast<std::size_t>(style - 1) + 1] = static_cast<std::uint8_t>(high);
}

// Style 1's stream: `events` at tick 0 and 15 empty ticks.
Built style1_with(const std::vector<std::uint8_t>& events) {
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    streams[0] = bar_with(0, events);
    return build(streams);
}

class CraftedStyles : public ::testing::Test {
protected:
    Core core;

    void start_with(const StyleBytes& bytes) {
        ASSERT_EQ(bytes.size(), kStyleFileSize);
        ASSERT_EQ(style_file_byte_sum(bytes), kStyleFileByteSum);
        core.style_file.file = {StyleFileSource::Status::Ok, bytes};
        core.start();
    }

    // Accompaniment mode, then the chord key k with `mask`, which starts the
    // rhythm; the first tick plays.
    std::vector<std::uint32_t> first_tick_in_chord(int k, int mask) {
        core.click(Ctl::Command7);
        core.r().key_index = static_cast<std::int16_t>(k);
        core.r().shift_state = static_cast<std::int16_t>(mask);
        core.form().press_key();
        const auto from = core.mark();
        core.form().timer_tick(TimerId::Timer1);
        return core.sent_since(from);
    }
};

// A table entry that leads outside the file names a style with no instrument
// and no tempo: they stay as they were, and its bar plays as silence.
struct OutsideCase {
    const char* name;
    int low;
    int high;
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const OutsideCase& c, std::ostream* os) {
    *os << c.name;
}

class StyleOutsideTheFile : public CraftedStyles,
                            public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(StyleOutsideTheFile, KeepsInstrumentAndTempoAndPlaysSilence) {
    Built built = style1_with({kStatusDrumOn, 36, 100});
    built.bytes[built.offsets[0]] = 5; // style 1's instrument
    set_table_entry(built.bytes, 2, GetParam().low, GetParam().high);
    restore_sum(built.bytes, 1000, 1600);
    start_with(built.bytes);
    core.click(Ctl::Command5, 1);
    ASSERT_EQ(core.r().tempo, 140);

    core.mouse_down(Ctl::Command1, 1);
    EXPECT_EQ(core.r().sttil, 2);
    EXPECT_EQ(core.control(Ctl::Label1).caption, "Диско ");
    EXPECT_EQ(core.r().solo_program, 5);
    EXPECT_EQ(core.r().tempo, 140);
    EXPECT_EQ(core.form().timer1.interval_ms, 115);

    core.click(Ctl::Command2);
    const auto from = core.mark();
    for (int t = 0; t < 2 * kTicksPerBar; ++t) {
        core.form().timer_tick(TimerId::Timer1);
    }
    EXPECT_TRUE(core.sent_since(from).empty());
    EXPECT_EQ(core.r().tick_in_bar, 0);
    EXPECT_EQ(core.control(Ctl::Picture4).picture, pictures::kLampBeat1);
}

INSTANTIATE_TEST_SUITE_P(Entries, StyleOutsideTheFile,
                         ::testing::Values(OutsideCase{"PastTheEnd", 0xD0, 0x07},
                                           OutsideCase{"HeaderHalfInside", 0x4F, 0x06},
                                           OutsideCase{"HighByte128", 14, 0x80},
                                           OutsideCase{"HighByte255", 0xFF, 0xFF}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(CraftedStyles, InstrumentAndTempoBytesBeyondTheirRangeAreTakenAtTheirLimits) {
    Built built = style1_with({});
    built.bytes[built.offsets[0]] = 200;
    built.bytes[built.offsets[0] + 1] = 255;
    restore_sum(built.bytes, 1000, 1600);
    start_with(built.bytes);
    EXPECT_EQ(core.r().solo_program, 127);
    EXPECT_EQ(core.r().tempo, 254);
    EXPECT_EQ(core.form().timer1.interval_ms, 1);
    core.click(Ctl::Command5, 1); // 264 would leave the range: nothing changes
    EXPECT_EQ(core.r().tempo, 254);
}

TEST_F(CraftedStyles, AStreamThatRunsOffTheEndOfTheFileReadsSilenceAndStillWrapsTheBar) {
    // Style 1's block is the file's last six bytes: a kick and one tick mark.
    Built built = style1_with({});
    const std::size_t block = kStyleFileSize - 6;
    set_table_entry(built.bytes, 1, block & 0xFF, block >> 8);
    const std::uint8_t tail[] = {0, 130, kStatusDrumOn, 36, 100, 0};
    std::copy(std::begin(tail), std::end(tail), built.bytes.begin() + block);
    restore_sum(built.bytes, 1000, 1500);
    start_with(built.bytes);

    core.click(Ctl::Command2);
    const auto from = core.mark();
    for (int t = 0; t < 2 * kTicksPerBar + 1; ++t) {
        core.form().timer_tick(TimerId::Timer1);
    }
    const auto kick = pack_short_message(kStatusDrumOn, 36, 61);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>(3, kick));
    EXPECT_EQ(core.r().tick_in_bar, 1);
}

TEST_F(CraftedStyles, ATickWithMoreThanSixteenNoteOnsRecordsTheFirstSixteen) {
    std::vector<std::uint8_t> events;
    for (int n = 0; n < 18; ++n) {
        events.insert(events.end(), {0x90, static_cast<std::uint8_t>(40 + n), 100});
    }
    start_with(style1_with(events).bytes);
    EXPECT_EQ(first_tick_in_chord(0, 0).size(), 18u);
    EXPECT_EQ(core.r().replay_count, kReplaySlots);

    // D major while it plays: all notes off, then the 16 recorded notes a tone up.
    const auto from = core.mark();
    core.r().key_index = 2;
    core.r().shift_state = 0;
    core.form().press_key();
    const auto sent = core.sent_since(from);
    std::vector<std::uint32_t> replay(sent.end() - kReplaySlots, sent.end());
    for (int n = 0; n < kReplaySlots; ++n) {
        const int written = 40 + n;
        const int moved = (written + 2) % 12 + 12 * (written / 12);
        EXPECT_EQ(replay[static_cast<std::size_t>(n)], note_on(1, moved, 61)) << n;
    }
}

// Notes that the rules move out of 0..127 come back by whole octaves.
struct RangeCase {
    const char* name;
    std::uint8_t status;
    std::uint8_t data1;
    int key;
    int mask;
    int sent;
};

void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class NoteRange : public CraftedStyles, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(NoteRange, ComesBackByOctaves) {
    const RangeCase& c = GetParam();
    start_with(style1_with({c.status, c.data1, 100}).bytes);
    const auto sent = first_tick_in_chord(c.key, c.mask);
    EXPECT_EQ(sent, std::vector<std::uint32_t>{pack_short_message(c.status, c.sent, 61)});
}

INSTANTIATE_TEST_SUITE_P(Rules, NoteRange,
                         ::testing::Values(
                             // 125 + 8 (G#) = 133
                             RangeCase{"Channel2HighNote", 0x91, 125, 8, 0, 121},
                             // 126 + 6 (F#) = 132
                             RangeCase{"Channel3HighNote", 0x92, 126, 6, 0, 120},
                             // 2 lowered by Shift+Ctrl+Alt = -5
                             RangeCase{"Channel5LowNoteAllModifiers", 0x94, 2, 0, 7, 7},
                             // degree 2 of octave 0 lowered by 7 semitones = -3
                             RangeCase{"ScaleCodedThirdBelowZero", 0x90, scale_code(2, 0), 0, 7, 9},
                             // a note-off follows the same rule
                             RangeCase{"Channel2NoteOff", 0x81, 125, 8, 0, 121}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(CraftedStyles, EveryDataByteSentIsAMidiDataByteAndStatusesBelow0x80AreDropped) {
    start_with(style1_with({
                               kStatusDrumOn, 36, 255, // velocity beyond MIDI
                               0xB0, 200, 64,          // controller number beyond MIDI
                               0x45, 60, 100,          // no status byte
                               0xC0, 130, 0,           // program beyond MIDI
                           })
                   .bytes);
    core.scroll(Ctl::HScroll3, 127);
    core.scroll(Ctl::HScroll4, 127);
    const auto sent = first_tick_in_chord(0, 0);
    EXPECT_EQ(sent, (std::vector<std::uint32_t>{pack_short_message(kStatusDrumOn, 36, 127),
                                                pack_short_message(0xB0, 127, 63),
                                                pack_short_message(0xC0, 127, 0)}));
}

} // namespace
} // namespace varkelon::test
