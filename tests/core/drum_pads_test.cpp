// SPDX-License-Identifier: GPL-3.0-or-later
// The eight drum pads: mouse and function keys, the note of each pad, and the
// colour that shows a strike.

#include "app/layout.h"
#include "core_fixture.h"

namespace varkelon::test {
namespace {

struct Pad {
    int index;
    const char* caption;
    int note;
};

const Pad kPads[] = {
    {0, "Бочка", 36},   {1, "Переход-1", 41},   {2, "Переход-2", 45},    {3, "Переход-3", 48},
    {4, "Рабочий", 38}, {5, "Длинный хет", 46}, {6, "Короткий хет", 42}, {7, "Тарелка", 57},
};

void PrintTo(const Pad& p, std::ostream* os) {
    *os << "pad " << p.index;
}

class DrumPad : public ::testing::TestWithParam<Pad> {
protected:
    void SetUp() override { core.start(); }
    Core core;
};

TEST_P(DrumPad, CaptionNamesTheSound) {
    EXPECT_EQ(core.control(Ctl::Command17, GetParam().index).caption, GetParam().caption);
}

TEST_P(DrumPad, MouseDownLightsItAndSendsItsNoteAtTheMasterLevel) {
    const auto& p = GetParam();
    core.scroll(Ctl::HScroll2, 10); // neither the solo nor
    core.scroll(Ctl::HScroll3, 20); // the accompaniment level applies
    core.scroll(Ctl::HScroll4, 90);

    auto from = core.mark();
    core.mouse_down(Ctl::Command17, p.index, kRightButton, kShift);
    EXPECT_EQ(core.back_color(Ctl::Command17, p.index), Color::rgb(187, 255, 119));
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(10, p.note, 90)});
    EXPECT_EQ(core.r().pad_index, p.index);

    from = core.mark();
    core.mouse_up(Ctl::Command17, p.index, kRightButton, kShift);
    EXPECT_EQ(core.back_color(Ctl::Command17, p.index), colors::kWhite);
    EXPECT_EQ(core.mark(), from) << "a pad never sends a note-off";
}

TEST_P(DrumPad, FunctionKeyStrikesTheSamePad) {
    const auto& p = GetParam();
    const auto from = core.mark();
    core.form().key_down(kF1 + p.index, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(10, p.note, 100)});
    EXPECT_EQ(core.back_color(Ctl::Command17, p.index), colors::kPadLit);
    for (int other = 0; other < kPadCount; ++other) {
        if (other != p.index) {
            EXPECT_EQ(core.back_color(Ctl::Command17, other), colors::kWhite) << other;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllPads, DrumPad, ::testing::ValuesIn(kPads));

class DrumPads : public ::testing::Test {
protected:
    void SetUp() override { core.start(); }
    Core core;
};

TEST_F(DrumPads, F5AtMaster100IsTheSnare) {
    const auto from = core.mark();
    core.form().key_down(kF1 + 4, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{0x00642699U});
}

TEST_F(DrumPads, MasterZeroStrikesSilently) {
    core.scroll(Ctl::HScroll4, 0);
    const auto from = core.mark();
    core.mouse_down(Ctl::Command17, 7);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(10, 57, 0)});
}

TEST_F(DrumPads, HeldFunctionKeyStrikesAgain) {
    const auto from = core.mark();
    core.form().key_down(kF1, 0);
    core.form().key_down(kF1, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>(2, note_on(10, 36, 100)));
}

TEST_F(DrumPads, StrikingWorksInEveryMode) {
    core.accompaniment_on();
    core.r().rhythm_running = kTrue;
    const auto from = core.mark();
    core.mouse_down(Ctl::Command17, 1);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(10, 41, 100)});
}

TEST_F(DrumPads, RhythmTickWhitensEveryPad) {
    core.mouse_down(Ctl::Command17, 2);
    core.form().key_down(kF1 + 3, 0);
    core.click(Ctl::Command2); // "Старт"
    core.form().timer_tick(TimerId::Timer1);
    // The first tick of style 1 hits the kick and the closed hat: only their pads stay lit.
    for (int i = 0; i < kPadCount; ++i) {
        EXPECT_EQ(core.back_color(Ctl::Command17, i),
                  i == 0 || i == 6 ? colors::kPadLit : colors::kWhite)
            << i;
    }
}

} // namespace
} // namespace varkelon::test
