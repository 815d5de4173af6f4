// SPDX-License-Identifier: GPL-3.0-or-later
// The state in which the main window's Load leaves every panel, and what it
// sends on the way.

#include "app/layout.h"
#include "core_fixture.h"
#include "engine/style_format.h"

namespace varkelon::test {
namespace {

using Kind = RecordingMidiSystem::Event::Kind;

class StartUp : public ::testing::Test {
protected:
    void SetUp() override { core.start(); }
    Core core;
};

TEST_F(StartUp, OpensTheMapperFirst) {
    ASSERT_FALSE(core.midi.events.empty());
    EXPECT_EQ(core.midi.events[0], (RecordingMidiSystem::Event{Kind::Open, kMidiMapperId, 0, 0}));
    EXPECT_EQ(core.r().midi_device_id, -1);
    EXPECT_TRUE(core.midi.is_open());
}

TEST_F(StartUp, GivesTheChordChannelsTheirProgramsInOrder) {
    const auto sent = core.sent_since(0);
    ASSERT_GE(sent.size(), 2U);
    EXPECT_EQ(sent[0], 0x000022CDU);
    EXPECT_EQ(sent[1], 0x000033CEU);
}

TEST_F(StartUp, StyleOneGivesInstrumentTempoNameAndProgramChange) {
    const auto block = read_style_block(shipped_style_bytes(), 1);
    ASSERT_TRUE(block && block->instrument && block->tempo);
    EXPECT_EQ(core.r().sttil, 1);
    EXPECT_EQ(core.r().sttil1, 1);
    EXPECT_EQ(core.r().solo_program, *block->instrument);
    EXPECT_EQ(core.r().tempo, *block->tempo);
    EXPECT_EQ(core.form().timer1.interval_ms, 255 - *block->tempo);
    EXPECT_EQ(core.control(Ctl::Label1).caption, "Поп ");
    EXPECT_EQ(core.control(Ctl::Picture1, 0).picture, 201);
    EXPECT_EQ(core.control(Ctl::Picture2, 0).picture, 200 + *block->tempo % 10);
    EXPECT_FALSE(core.control(Ctl::Command1, 0).enabled);
    EXPECT_TRUE(core.control(Ctl::Command1, 1).enabled);
    // Every message of the start, in order: the chord channels' programs,
    // the silent preview, style 1's instrument on the solo channel.
    EXPECT_EQ(core.sent_since(0),
              (std::vector<std::uint32_t>{0x000022CDU, 0x000033CEU, 0x00003C9FU,
                                          pack_short_message(0xCF, *block->instrument, 0)}));
    // The pattern player stands at the first stream byte of style 1.
    EXPECT_EQ(core.r().stream_pos, static_cast<int>(block->offset) + 3);
    EXPECT_EQ(core.r().tick_in_bar, 0);
}

TEST_F(StartUp, TheOnlyNoteIsTheSilentPreview) {
    std::vector<std::uint32_t> notes;
    for (const auto m : core.sent_since(0)) {
        const auto kind = m & 0xF0U;
        if (kind == 0x80U || kind == 0x90U) {
            notes.push_back(m);
        }
    }
    EXPECT_EQ(notes, std::vector<std::uint32_t>{0x00003C9FU});
}

TEST_F(StartUp, NoAllNotesOffUntilTimer2Ticks) {
    for (const auto m : core.sent_since(0)) {
        EXPECT_NE(m & 0xFFF0U, 0x7BB0U) << std::hex << m;
    }
    EXPECT_TRUE(core.form().timer2.enabled);
    EXPECT_EQ(core.form().timer2.interval_ms, 500);

    const auto from = core.mark();
    core.form().timer_tick(TimerId::Timer2);
    EXPECT_EQ(core.sent_since(from), all_notes_off_messages());
    EXPECT_FALSE(core.form().timer2.enabled);

    const auto after = core.mark();
    core.form().timer_tick(TimerId::Timer2);
    EXPECT_EQ(core.mark(), after) << "a disabled timer does not tick";
}

TEST_F(StartUp, RhythmTimerIsStopped) {
    EXPECT_FALSE(core.form().timer1.enabled);
    EXPECT_EQ(core.r().rhythm_running, kFalse);
    EXPECT_EQ(core.r().sync_armed, kFalse);
    EXPECT_EQ(core.r().accomp_mode, kFalse);
    EXPECT_EQ(core.r().accomp_active, kFalse);
}

TEST_F(StartUp, MenusCarryTheirCheckMarks) {
    EXPECT_TRUE(core.control(Ctl::chan, 0).checked);
    EXPECT_TRUE(core.control(Ctl::chan, 1).checked);
    EXPECT_TRUE(core.control(Ctl::device, 0).checked);
    EXPECT_EQ(core.control(Ctl::device, 0).caption, "MIDI Mapper");
    EXPECT_FALSE(core.control(Ctl::device, 1).checked);
}

TEST_F(StartUp, OctaveIsFourShownAsZero) {
    EXPECT_EQ(core.control(Ctl::Frame4).caption, "Октава = 0 ");
    EXPECT_EQ(core.control(Ctl::HScroll1).value, 4);
    EXPECT_EQ(core.r().octave, 4);
    EXPECT_EQ(core.r().saved_octave, 4);
    EXPECT_EQ(core.r().solo_base_note, 48);
}

TEST_F(StartUp, KeysArePaintedWhiteAndBlack) {
    for (int k = 0; k < kKeyCount; ++k) {
        SCOPED_TRACE(k);
        const bool black = k % 12 == 1 || k % 12 == 3 || k % 12 == 6 || k % 12 == 8 || k % 12 == 10;
        EXPECT_EQ(core.back_color(Ctl::key, k), black ? colors::kBlack : colors::kWhite);
        EXPECT_EQ(core.control(Ctl::key, k).value, 0);
    }
}

TEST_F(StartUp, PadsAreWhite) {
    for (int i = 0; i < kPadCount; ++i) {
        EXPECT_EQ(core.back_color(Ctl::Command17, i), colors::kWhite) << i;
    }
}

TEST_F(StartUp, LevelsAreAt100AndLabelled) {
    EXPECT_EQ(core.r().solo_volume, 100);
    EXPECT_EQ(core.r().accomp_volume, 100);
    EXPECT_EQ(core.r().master_volume, 100);
    EXPECT_EQ(core.control(Ctl::Label3).caption, "соло = 100 ");
    EXPECT_EQ(core.control(Ctl::Label5).caption, "аккомпанемент = 100 ");
    EXPECT_EQ(core.control(Ctl::Label9).caption, "общая = 100 ");
}

TEST_F(StartUp, TooltipsNameNotesAndOctaves) {
    EXPECT_EQ(core.control(Ctl::key, 0).tooltip, " C - 0 ");
    EXPECT_EQ(core.control(Ctl::key, 13).tooltip, " C# - 1 ");
    EXPECT_EQ(core.control(Ctl::key, 36).tooltip, " C - 3 ");
}

TEST_F(StartUp, ModeButtonsShowTheButtonFace) {
    // "Синхростарт" has its own colour in the design; start-up replaces it.
    EXPECT_EQ(core.back_color(Ctl::Command3), colors::kButtonFace);
    EXPECT_EQ(core.back_color(Ctl::Command2), colors::kButtonFace);
    EXPECT_EQ(core.back_color(Ctl::Command7), colors::kButtonFace);
}

TEST_F(StartUp, BarIndicatorsAreDark) {
    EXPECT_EQ(core.control(Ctl::Picture4).picture, 220);
    EXPECT_EQ(core.control(Ctl::Picture5).picture, 220);
}

TEST_F(StartUp, DemonstrationCopiesTakeTheirEarlyValues) {
    // They are copied before the octave and the instrument are set.
    EXPECT_EQ(core.r().demo_running, kFalse);
    EXPECT_EQ(core.r().demo_step, 0);
    EXPECT_EQ(core.r().sttil, 1);
    EXPECT_EQ(core.r().sttil1, 1);
    EXPECT_EQ(core.r().saved_accomp_mode, 0);
    EXPECT_EQ(core.r().saved_program, 0);
    EXPECT_EQ(core.r().style_header_size, 2);
    EXPECT_EQ(core.r().style_count, 7);
    EXPECT_EQ(core.r().tick_in_bar, 0);
}

TEST(StartUpWithoutPort, FailedMapperIsReportedAndStartUpGoesOn) {
    Core core;
    core.midi.open_rc = 2;
    core.start();

    ASSERT_EQ(core.dialogs.shown.size(), 1U);
    EXPECT_EQ(core.dialogs.shown[0].text, "Couldn't open midi out, rc = 2");
    EXPECT_TRUE(core.form().loaded());
    EXPECT_EQ(core.control(Ctl::Frame4).caption, "Октава = 0 ");
    EXPECT_EQ(core.control(Ctl::Label9).caption, "общая = 100 ");
    EXPECT_TRUE(core.sent_since(0).empty());
}

} // namespace
} // namespace varkelon::test
