// SPDX-License-Identifier: GPL-3.0-or-later
// The three volume sliders and the velocity rule of each kind of note.

#include "core_fixture.h"

namespace varkelon::test {
namespace {

class Levels : public ::testing::Test {
protected:
    void SetUp() override {
        core.start();
        core.form().timer_tick(TimerId::Timer2); // let the start-up silence pass
    }
    // The velocity of the note-on that `status` carries among the messages since `from`.
    int velocity_of(std::size_t from, int status) const {
        for (const auto m : core.sent_since(from)) {
            if (static_cast<int>(m & 0xFFU) == status) {
                return static_cast<int>(m >> 16);
            }
        }
        ADD_FAILURE() << "no message with status " << std::hex << status;
        return -1;
    }
    Core core;
};

struct SoloCase {
    int solo, master, velocity;
};

TEST_F(Levels, SoloNoteVelocity) {
    const SoloCase cases[] = {
        {100, 100, 78}, {127, 127, 127}, {64, 100, 50}, {0, 100, 0}, {100, 0, 0}, {1, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "solo " << c.solo << " master " << c.master);
        core.scroll(Ctl::HScroll2, c.solo);
        core.scroll(Ctl::HScroll4, c.master);
        const auto from = core.mark();
        core.form().key_down(kKeyT, 0);
        EXPECT_EQ(velocity_of(from, 0x9F), c.velocity);
        core.form().key_up(kKeyT, 0);
    }
}

TEST_F(Levels, SoloNoteIgnoresTheAccompanimentLevel) {
    core.scroll(Ctl::HScroll3, 0);
    const auto from = core.mark();
    core.form().key_down(kKeyT, 0);
    EXPECT_EQ(velocity_of(from, 0x9F), 78);
}

struct ChordCase {
    int accomp, master, bass, notes;
};

TEST_F(Levels, ChordVelocities) {
    const ChordCase cases[] = {
        {100, 100, 62, 34}, {127, 127, 100, 55}, {64, 127, 50, 27}, {0, 127, 0, 0}, {127, 0, 0, 0},
    };
    core.accompaniment_on();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "accomp " << c.accomp << " master " << c.master);
        core.scroll(Ctl::HScroll3, c.accomp);
        core.scroll(Ctl::HScroll4, c.master);
        const auto from = core.mark();
        core.form().key_down(kKeyZ, 0);
        EXPECT_EQ(velocity_of(from, 0x9D), c.bass);
        EXPECT_EQ(velocity_of(from, 0x9E), c.notes);
        core.form().key_up(kKeyZ, 0);
    }
}

TEST_F(Levels, ChordIgnoresTheSoloLevel) {
    core.accompaniment_on();
    core.scroll(Ctl::HScroll2, 0);
    const auto from = core.mark();
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(velocity_of(from, 0x9D), 62);
    EXPECT_EQ(velocity_of(from, 0x9E), 34);
}

struct StyleCase {
    int v, accomp, master, velocity;
};

TEST_F(Levels, StyleEventVelocity) {
    const StyleCase cases[] = {
        {100, 100, 100, 61}, // 7812.5 rounds to the even 7812
        {127, 127, 127, 125}, {127, 100, 100, 77}, {0, 127, 127, 0},
        {127, 127, 0, 0},     {127, 0, 127, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "v " << c.v << " accomp " << c.accomp << " master " << c.master);
        core.scroll(Ctl::HScroll3, c.accomp);
        core.scroll(Ctl::HScroll4, c.master);
        EXPECT_EQ(core.form().style_event_velocity(c.v), c.velocity);
    }
}

TEST_F(Levels, MasterZeroSilencesEveryNoteOnButStillSendsIt) {
    core.scroll(Ctl::HScroll4, 0);

    auto from = core.mark();
    core.form().key_down(kKeyT, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 72, 0)});

    from = core.mark();
    core.mouse_down(Ctl::Command17, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(10, 36, 0)});

    from = core.mark();
    core.scroll(Ctl::HScroll1, 5); // the octave preview
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 72, 0)});

    core.accompaniment_on();
    from = core.mark();
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_on(14, 36, 0), note_on(15, 60, 0),
                                          note_on(15, 64, 0), note_on(15, 67, 0)}));
}

struct SliderCase {
    Ctl slider;
    Ctl label;
    const char* text;
    std::int16_t Form1Register::*level;
};

TEST_F(Levels, SliderStoresAndShowsItsLevelAndSendsNothing) {
    const SliderCase sliders[] = {
        {Ctl::HScroll2, Ctl::Label3, "соло = ", &Form1Register::solo_volume},
        {Ctl::HScroll3, Ctl::Label5, "аккомпанемент = ", &Form1Register::accomp_volume},
        {Ctl::HScroll4, Ctl::Label9, "общая = ", &Form1Register::master_volume},
    };
    for (const auto& s : sliders) {
        SCOPED_TRACE(s.slider);
        const auto from = core.mark();
        for (const int value : {0, 127, 64, 100}) {
            core.scroll(s.slider, value);
            EXPECT_EQ(core.r().*(s.level), value);
            EXPECT_EQ(core.control(s.label).caption, s.text + std::to_string(value) + " ");
        }
        EXPECT_EQ(core.mark(), from) << "a level acts only on the next note";
    }
}

TEST_F(Levels, AllNotesOffCoversTheSixteenChannelsInOrder) {
    const auto from = core.mark();
    core.form().all_notes_off();
    const auto sent = core.sent_since(from);
    EXPECT_EQ(sent, all_notes_off_messages());
    ASSERT_EQ(sent.size(), 16U);
    EXPECT_EQ(sent.front(), 0x00007BB0U);
    EXPECT_EQ(sent.back(), 0x00007BBFU);
}

TEST_F(Levels, SoloProgramGoesToChannel16) {
    core.r().solo_program = 34;
    const auto from = core.mark();
    core.form().send_solo_program();
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{0x000022CFU});
}

} // namespace
} // namespace varkelon::test
