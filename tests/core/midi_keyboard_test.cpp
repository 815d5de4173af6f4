// SPDX-License-Identifier: GPL-3.0-or-later
// A MIDI keyboard: what the golden scripts leave out, the gathering of a
// chord at its edges, the pedal at the demonstration's own end, and sessions
// that never see a MIDI keyboard.

#include "core_fixture.h"

namespace varkelon::test {
namespace {

constexpr int kNoteOn = 0x90;
constexpr int kNoteOff = 0x80;
const std::uint32_t kPedalUp = pack_short_message(0xBF, 64, 0);

class MidiKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        core.start();
        core.click(Ctl::Command7); // accompaniment on; "Синхростарт" armed
        core.click(Ctl::Command3); // disarmed: the rhythm stays stopped
    }
    void strike(std::initializer_list<int> notes) {
        for (int n : notes) {
            core.form().midi_in(kNoteOn, n, 100, 0);
        }
    }
    void let_go(std::initializer_list<int> notes) {
        for (int n : notes) {
            core.form().midi_in(kNoteOff, n, 0, 0);
        }
    }
    void gathering_ends() { core.form().timer_tick(TimerId::ChordTimer); }
    // The chord that sounds, as its bass note-on on channel 14, one for each time it sounded.
    std::vector<int> basses_since(std::size_t from) const {
        std::vector<int> out;
        for (std::uint32_t m : core.sent_since(from)) {
            if ((m & 0xFF) == 0x9D) {
                out.push_back(static_cast<int>(m >> 8 & 0x7F));
            }
        }
        return out;
    }
    Core core;
};

TEST_F(MidiKeyboard, NothingSoundsBeforeTheGatheringEnds) {
    const auto from = core.mark();
    strike({48, 52});
    EXPECT_TRUE(core.form().chord_timer.enabled);
    EXPECT_TRUE(core.sent_since(from).empty());
    strike({55});
    gathering_ends();
    EXPECT_FALSE(core.form().chord_timer.enabled);
    EXPECT_EQ(basses_since(from), std::vector<int>{36});
}

TEST_F(MidiKeyboard, NotesAddedToTheChordThatSoundsChangeNothing) {
    strike({48, 52, 55});
    gathering_ends();
    const auto from = core.mark();
    strike({58, 50}); // C9: still C major
    gathering_ends();
    EXPECT_TRUE(core.sent_since(from).empty());
}

TEST_F(MidiKeyboard, AStabShorterThanTheGatheringSoundsAndIsLetGo) {
    const auto from = core.mark();
    strike({45, 48, 52});
    let_go({45, 48, 52});
    gathering_ends();
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_on(14, 45, 62), note_on(15, 69, 34),
                                          note_on(15, 72, 34), note_on(15, 76, 34),
                                          note_off(14, 45), 0x00007BBEU, note_off(16, 57)}));
    EXPECT_EQ(core.r().chord_root, 9);
    EXPECT_EQ(core.r().chord_minor, 1);
    EXPECT_EQ(core.control(Ctl::key, 9).value, 0);
}

// A legato change can still hold the old chord's notes when the new ones
// are read: then the notes just struck name the chord.
TEST_F(MidiKeyboard, LegatoChangeReadsTheNotesJustStruck) {
    strike({48, 52, 55});
    gathering_ends();
    const auto from = core.mark();
    strike({49, 53, 56}); // Db major while C-E-G is still held
    gathering_ends();
    EXPECT_EQ(basses_since(from), std::vector<int>{37});
    EXPECT_EQ(core.r().chord_root, 1);
    EXPECT_EQ(core.r().chord_minor, 0);
}

TEST_F(MidiKeyboard, TheChordKeyIsLetGoOnlyWithTheLastChordNote) {
    strike({48, 52, 55});
    gathering_ends();
    auto from = core.mark();
    let_go({55, 48});
    EXPECT_TRUE(core.sent_since(from).empty());
    EXPECT_EQ(core.control(Ctl::key, 0).value, 1);
    core.form().midi_in(kNoteOn, 52, 0, 0); // velocity 0: a release
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 36), 0x00007BBEU, note_off(16, 48)}));
    EXPECT_EQ(core.control(Ctl::key, 0).value, 0);
}

TEST_F(MidiKeyboard, AccompanimentOffDuringTheGatheringDropsTheChord) {
    strike({48, 52, 55});
    core.click(Ctl::Command7);
    const auto from = core.mark();
    gathering_ends();
    EXPECT_TRUE(core.sent_since(from).empty());
    let_go({48, 52, 55});
    EXPECT_TRUE(core.sent_since(from).empty());
}

TEST_F(MidiKeyboard, UnpluggedWhileGatheringOrHoldingLetsEverythingGo) {
    strike({48, 52, 55});
    gathering_ends();
    strike({72});     // a melody note
    strike({41, 45}); // a change still being gathered
    core.form().midi_in(0xB0, 64, 127, 0);
    const auto from = core.mark();
    core.form().midi_keyboard_gone();
    EXPECT_FALSE(core.form().chord_timer.enabled);
    const auto sent = core.sent_since(from);
    EXPECT_NE(std::find(sent.begin(), sent.end(), note_off(14, 36)), sent.end());
    EXPECT_NE(std::find(sent.begin(), sent.end(), note_off(16, 72)), sent.end());
    EXPECT_EQ(sent.back(), kPedalUp);
    EXPECT_EQ(core.control(Ctl::key, 0).value, 0);
}

TEST_F(MidiKeyboard, AChordZoneNoteStruckAgainAsASoloNoteLeavesNoChordHeld) {
    strike({48, 52, 55});
    gathering_ends();
    core.click(Ctl::Command7); // accompaniment off: 48 is key(0) now
    const auto from = core.mark();
    strike({48});
    let_go({52, 55, 48});
    const auto sent = core.sent_since(from);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), note_off(14, 36)), 2)
        << "the chord key and key(0) are each released once";
    EXPECT_EQ(core.control(Ctl::key, 0).value, 0);
}

// The demonstration's last chord key silences every channel; a pedal pressed
// after it is let go when the piece ends by itself.
TEST(MidiKeyboardPedal, IsLetGoAtTheDemonstrationsOwnEnd) {
    Core core;
    core.start();
    core.click(Ctl::Command15);
    for (int i = 0; i < 300; ++i) {
        core.form().timer_tick(TimerId::Timer1);
    }
    ASSERT_NE(core.r().demo_running, kFalse);
    core.form().midi_in(0xB0, 64, 127, 0);
    const auto from = core.mark();
    for (int i = 0; i < 40 && core.r().demo_running != kFalse; ++i) {
        core.form().timer_tick(TimerId::Timer1);
    }
    ASSERT_EQ(core.r().demo_running, kFalse);
    const auto sent = core.sent_since(from);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), kPedalUp), 1);
}

} // namespace
} // namespace varkelon::test
