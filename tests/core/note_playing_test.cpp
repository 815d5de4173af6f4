// SPDX-License-Identifier: GPL-3.0-or-later
// A press and a release of one virtual key: the solo note, the messages of the
// release, and the key colours that the release reads back.

#include "core_fixture.h"

namespace varkelon::test {
namespace {

class Notes : public ::testing::Test {
protected:
    void SetUp() override {
        core.start();
        core.form().timer_tick(TimerId::Timer2);
    }
    void press(int k, int mask = 0, int button = kLeftButton) {
        core.mouse_down(Ctl::key, k, button, mask);
    }
    void release(int k, int button = kLeftButton) { core.mouse_up(Ctl::key, k, button); }
    Core core;
};

TEST_F(Notes, KeyZeroAtOctaveFourSendsNoteOnThenTheThreeReleaseMessages) {
    auto from = core.mark();
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{0x004E309FU});

    from = core.mark();
    core.form().key_up(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{0x0000248DU, 0x00007BBEU, 0x0000308FU}));
}

TEST_F(Notes, ReleaseOfARightHandKeyAlsoCutsTheChordChannel) {
    press(30);
    const auto from = core.mark();
    release(30);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 66), 0x00007BBEU, note_off(16, 78)}));
}

TEST_F(Notes, NoKeySendsNothing) {
    const auto from = core.mark();
    core.r().key_index = kNoKey;
    core.form().press_key();
    core.form().release_key();
    core.form().solo_note_on();
    core.form().release_notes();
    core.accompaniment_on();
    core.form().press_key();
    core.form().release_key();
    EXPECT_EQ(core.mark(), from);
}

struct RangeCase {
    int octave;
    int key;
    int note;
};

TEST_F(Notes, SoloNoteIsTheOctaveBasePlusTheKey) {
    const RangeCase cases[] = {{0, 0, 0}, {0, 36, 36}, {7, 0, 84}, {7, 36, 120}, {2, 13, 37}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "octave " << c.octave << " key " << c.key);
        core.scroll(Ctl::HScroll1, c.octave);
        auto from = core.mark();
        press(c.key);
        EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, c.note, 78)});
        from = core.mark();
        release(c.key);
        EXPECT_EQ(core.sent_since(from).back(), note_off(16, c.note));
    }
}

TEST_F(Notes, LeftKeyOutsideAccompanimentPlaysSoloAndStillSetsTheChord) {
    const auto from = core.mark();
    core.form().key_down(kKeyB, kShift);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 55, 78)});
    EXPECT_EQ(core.r().chord_root, 7);
    EXPECT_EQ(core.r().chord_minor, 1);
    EXPECT_EQ(core.r().accomp_active, kFalse);
}

TEST_F(Notes, RightKeyLeavesTheChordAlone) {
    press(4, kCtrl);
    press(20, kShift);
    EXPECT_EQ(core.r().chord_root, 4);
    EXPECT_EQ(core.r().chord_minor, 2);
}

struct ColourCase {
    int key;
    bool accompaniment;
    bool rhythm;
    Color held;
    Color released;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << "key " << c.key << (c.accompaniment ? " accompaniment" : "")
        << (c.rhythm ? " rhythm" : "");
}

class KeyColours : public ::testing::TestWithParam<ColourCase> {};

TEST_P(KeyColours, HeldAndReleasedColourReadBack) {
    const auto& c = GetParam();
    Core core;
    core.start();
    if (c.accompaniment) {
        core.accompaniment_on();
    }
    if (c.rhythm) {
        core.r().rhythm_running = kTrue;
    }

    core.mouse_down(Ctl::key, c.key);
    EXPECT_EQ(core.back_color(Ctl::key, c.key), c.held);
    EXPECT_EQ(core.control(Ctl::key, c.key).value, 1);

    core.mouse_up(Ctl::key, c.key);
    EXPECT_EQ(core.back_color(Ctl::key, c.key), c.released);
    EXPECT_EQ(core.control(Ctl::key, c.key).value, 0);
}

using namespace colors;
const ColourCase kColourCases[] = {
    // key, accompaniment, rhythm, held, released
    {0, false, false, kLightBlue, kWhite},
    {1, false, false, kDarkBlue, kBlack},
    {11, false, false, kLightBlue, kWhite},
    {12, false, false, kLightBlue, kWhite},
    {13, false, false, kDarkBlue, kBlack},
    {36, false, false, kLightBlue, kWhite},
    {0, false, true, kLightBlue, kWhite},
    {3, false, true, kDarkBlue, kBlack},
    {0, true, false, kOrange, kYellow},
    {1, true, false, kDarkRed, kBlack},
    {10, true, false, kDarkRed, kBlack},
    {11, true, false, kOrange, kYellow},
    {12, true, false, kLightBlue, kWhite},
    {13, true, false, kDarkBlue, kBlack},
    // While the rhythm plays a chord key keeps marking the chord in force.
    {0, true, true, kOrange, kOrange},
    {6, true, true, kDarkRed, kDarkRed},
    {24, true, true, kLightBlue, kWhite},
    {25, true, true, kDarkBlue, kBlack},
};

INSTANTIATE_TEST_SUITE_P(Table, KeyColours, ::testing::ValuesIn(kColourCases),
                         [](const auto& test_case) {
                             const ColourCase& c = test_case.param;
                             return "key" + std::to_string(c.key) +
                                    (c.accompaniment ? "_accompaniment" : "_solo") +
                                    (c.rhythm ? "_rhythm" : "_stopped");
                         });

TEST_F(Notes, RepeatedSoloPressKeepsItsColour) {
    press(13);
    press(13);
    EXPECT_EQ(core.back_color(Ctl::key, 13), colors::kDarkBlue);
    release(13);
    EXPECT_EQ(core.back_color(Ctl::key, 13), colors::kBlack);
}

TEST_F(Notes, ChordPressRepaintsAHeldRightHandBlackKey) {
    press(25);
    ASSERT_EQ(core.back_color(Ctl::key, 25), colors::kDarkBlue);
    core.accompaniment_on();
    // The chord comes from another mouse button: the left one still holds key 25.
    core.mouse_down(Ctl::key, 0, kRightButton);
    EXPECT_EQ(core.back_color(Ctl::key, 25), colors::kBlack);

    const auto from = core.mark();
    release(25);
    EXPECT_EQ(core.back_color(Ctl::key, 25), colors::kBlack);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 61), 0x00007BBEU, note_off(16, 73)}));
}

TEST_F(Notes, LoweredPressSoundsAnOctaveLowerAndItsReleaseEndsThatNote) {
    core.r().lower_next_press = true;
    auto from = core.mark();
    press(7);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 43, 78)});

    from = core.mark();
    release(7);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 43), 0x00007BBEU, note_off(16, 43)}));

    // Only that one press is lowered.
    from = core.mark();
    press(7);
    release(7);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_on(16, 55, 78), note_off(14, 43), 0x00007BBEU,
                                          note_off(16, 55)}));
}

TEST_F(Notes, LoweredNoteEndsEvenWhenAnotherKeyIsReleasedFirst) {
    core.r().lower_next_press = true;
    press(24);
    press(26, 0, kRightButton); // the left button still holds key 24
    auto from = core.mark();
    release(26, kRightButton);
    EXPECT_EQ(core.sent_since(from).back(), note_off(16, 74));
    from = core.mark();
    release(24);
    EXPECT_EQ(core.sent_since(from).back(), note_off(16, 60));
}

} // namespace
} // namespace varkelon::test
