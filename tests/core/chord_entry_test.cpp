// SPDX-License-Identifier: GPL-3.0-or-later
// The live chord of the twelve left keys in accompaniment mode.

#include "core_fixture.h"

namespace varkelon::test {
namespace {

struct ChordCase {
    const char* name;
    int code;
    int mask;
    int key;
    int bass;
    std::array<int, 3> notes;
};

const ChordCase kChords[] = {
    {"C", kKeyZ, 0, 0, 36, {60, 64, 67}},
    {"Cm", kKeyZ, kShift, 0, 36, {60, 63, 67}},
    {"Am", kKeyN, kShift, 9, 45, {69, 72, 76}},
    {"C_ctrl", kKeyZ, kCtrl, 0, 36, {60, 62, 67}},
    {"C_shift_ctrl", kKeyZ, kShift | kCtrl, 0, 36, {60, 61, 67}},
    {"Gm", kKeyB, kShift, 7, 43, {67, 70, 74}},
    {"B", 77, 0, 11, 47, {71, 75, 78}},
    {"Cs", 83, 0, 1, 37, {61, 65, 68}},
    // Of a mask only Shift, Ctrl and Alt count: 190 is Ctrl + Alt, -1 all
    // three; the third never leaves the note range.
    {"C_mask8", kKeyZ, 8, 0, 36, {60, 64, 67}},
    {"C_mask190", kKeyZ, 190, 0, 36, {60, 58, 67}},
    {"C_mask_all_bits", kKeyZ, -1, 0, 36, {60, 57, 67}},
};

void PrintTo(const ChordCase& c, std::ostream* os) {
    *os << c.name;
}

class Chord : public ::testing::TestWithParam<ChordCase> {
protected:
    void SetUp() override {
        core.start();
        core.accompaniment_on();
    }
    Core core;
};

TEST_P(Chord, SoundsBassThenThreeNotesAndRecordsTheChord) {
    const auto& c = GetParam();
    const auto from = core.mark();
    core.form().key_down(c.code, c.mask);

    EXPECT_EQ(
        core.sent_since(from),
        (std::vector<std::uint32_t>{note_on(14, c.bass, 62), note_on(15, c.notes[0], 34),
                                    note_on(15, c.notes[1], 34), note_on(15, c.notes[2], 34)}));
    EXPECT_EQ(core.r().chord_root, c.key);
    EXPECT_EQ(core.r().chord_minor, c.mask & kModifierBits);
    EXPECT_EQ(core.r().accomp_active, kTrue);
    EXPECT_EQ(core.control(Ctl::key, c.key).value, 1);
}

TEST_P(Chord, ReleaseSendsTheBassOffCutsTheChordAndTheSoloNote) {
    const auto& c = GetParam();
    core.form().key_down(c.code, c.mask);
    const auto from = core.mark();
    core.form().key_up(c.code, 0);
    EXPECT_EQ(core.sent_since(from), (std::vector<std::uint32_t>{note_off(14, c.bass), 0x00007BBEU,
                                                                 note_off(16, 48 + c.key)}));
    EXPECT_EQ(core.control(Ctl::key, c.key).value, 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, Chord, ::testing::ValuesIn(kChords),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

class ChordEntry : public ::testing::Test {
protected:
    void SetUp() override {
        core.start();
        core.accompaniment_on();
    }
    Core core;
};

TEST_F(ChordEntry, ModePaintsTheLeftWhiteKeysYellowOnly) {
    for (int k = 0; k < 37; ++k) {
        const bool left_white =
            k < 12 && (k == 0 || k == 2 || k == 4 || k == 5 || k == 7 || k == 9 || k == 11);
        const bool black = k % 12 == 1 || k % 12 == 3 || k % 12 == 6 || k % 12 == 8 || k % 12 == 10;
        EXPECT_EQ(core.back_color(Ctl::key, k),
                  left_white ? colors::kYellow : (black ? colors::kBlack : colors::kWhite))
            << k;
    }
}

TEST_F(ChordEntry, ChordDoesNotFollowTheOctave) {
    core.scroll(Ctl::HScroll1, 0);
    const auto from = core.mark();
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_on(14, 36, 62), note_on(15, 60, 34),
                                          note_on(15, 64, 34), note_on(15, 67, 34)}));
}

TEST_F(ChordEntry, SecondChordKeyRepaintsTheFirstAndItsReleaseSendsItsOwnBass) {
    core.form().key_down(kKeyZ, 0);
    core.form().key_down(kKeyB, 0);
    EXPECT_EQ(core.back_color(Ctl::key, 0), colors::kYellow);
    EXPECT_EQ(core.back_color(Ctl::key, 7), colors::kOrange);
    EXPECT_EQ(core.r().chord_root, 7);

    const auto from = core.mark();
    core.form().key_up(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 36), 0x00007BBEU, note_off(16, 48)}));
    EXPECT_EQ(core.back_color(Ctl::key, 0), colors::kYellow);
    EXPECT_EQ(core.back_color(Ctl::key, 7), colors::kOrange);
}

TEST_F(ChordEntry, ChordPressClearsTheMarkOfABlackChordKey) {
    core.form().key_down(83, 0); // key 1
    ASSERT_EQ(core.back_color(Ctl::key, 1), colors::kDarkRed);
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(core.back_color(Ctl::key, 1), colors::kBlack);
    EXPECT_EQ(core.back_color(Ctl::key, 0), colors::kOrange);
}

TEST_F(ChordEntry, RightHandKeysStillPlaySolo) {
    const auto from = core.mark();
    core.form().key_down(kKeyT, kShift);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 72, 78)});
    EXPECT_EQ(core.r().chord_root, 0);
    EXPECT_EQ(core.r().accomp_active, kFalse);
}

TEST_F(ChordEntry, RepeatedChordKeyResendsTheChord) {
    const auto from = core.mark();
    core.form().key_down(kKeyZ, 0);
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from).size(), 8U);
    EXPECT_EQ(core.back_color(Ctl::key, 0), colors::kOrange);
}

} // namespace
} // namespace varkelon::test
