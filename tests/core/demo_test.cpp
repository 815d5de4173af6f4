// SPDX-License-Identifier: GPL-3.0-or-later
// The demonstration with the shipped styles: what chosen steps send, the end
// that gives everything back, a stop or a restart at any step.

#include "app/layout.h"
#include "core_fixture.h"
#include "keyboard/demo_score.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace varkelon::test {
namespace {

// Notes still sounding after a stream of messages: note-on with velocity >0
// starts one, its note-off or velocity-0 note-on ends it, all-notes-off ends
// every note of its channel. Percussion on channel 10 ends by itself.
std::set<std::pair<int, int>> sounding(const std::vector<std::uint32_t>& sent) {
    std::set<std::pair<int, int>> on;
    for (const std::uint32_t m : sent) {
        const int status = static_cast<int>(m & 0xFF);
        const int channel = status & 0x0F;
        const int data1 = static_cast<int>((m >> 8) & 0xFF);
        const int data2 = static_cast<int>((m >> 16) & 0xFF);
        if ((status & 0xF0) == 0x90 && data2 > 0 && channel != 9) {
            on.insert({channel, data1});
        } else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90) {
            on.erase({channel, data1});
        } else if ((status & 0xF0) == 0xB0 && data1 == 123) {
            std::erase_if(on, [&](const auto& n) { return n.first == channel; });
        }
    }
    return on;
}

class Demo : public ::testing::Test {
protected:
    void SetUp() override {
        core.start();
        core.form().timer_tick(TimerId::Timer2); // start-up's silence
    }

    // Ticks until demo_step reaches `step`; what that last tick sent.
    std::vector<std::uint32_t> tick_to(int step) {
        std::size_t from = core.mark();
        while (core.r().demo_step < step && core.r().demo_running != kFalse) {
            from = core.mark();
            core.form().timer_tick(TimerId::Timer1);
        }
        return core.sent_since(from);
    }

    static bool contains(const std::vector<std::uint32_t>& sent,
                         const std::vector<std::uint32_t>& run) {
        return std::search(sent.begin(), sent.end(), run.begin(), run.end()) != sent.end();
    }

    Core core;
};

TEST_F(Demo, ChosenStepsSendWhatTheScoreSays) {
    core.click(Ctl::Command15);
    EXPECT_TRUE(contains(tick_to(3), {0x004E449FU}));

    std::vector<std::uint32_t> step9 = {pack_short_message(0x9D, 37, 62), note_on(15, 61, 34),
                                        note_on(15, 64, 34), note_on(15, 68, 34)};
    const auto all_off = all_notes_off_messages();
    step9.insert(step9.end(), all_off.begin(), all_off.end());
    EXPECT_TRUE(contains(tick_to(9), step9));

    // Step 169 sounds key 23 an octave low; step 181 ends that very note.
    EXPECT_TRUE(contains(tick_to(169), {note_on(16, 59, 78)}));
    EXPECT_TRUE(contains(tick_to(181), {note_off(16, 59)}));

    EXPECT_TRUE(contains(tick_to(269), {note_on(10, 57, 50)}));
    EXPECT_TRUE(contains(tick_to(279), {note_on(10, 50, 100)}));
}

TEST_F(Demo, TheEndGivesEverythingBackAndLeavesNothingSounding) {
    core.scroll(Ctl::HScroll1, 6);
    core.form().timer_tick(TimerId::Timer2);
    core.click(Ctl::Command7);
    const int style = core.r().sttil;
    const auto from = core.mark();
    core.click(Ctl::Command15);
    tick_to(kDemoLastStep);
    const auto sent = core.sent_since(from);

    EXPECT_EQ(core.r().demo_running, kFalse);
    EXPECT_EQ(core.r().rhythm_running, kFalse);
    EXPECT_EQ(core.r().sttil, style);
    EXPECT_EQ(core.r().octave, 6);
    EXPECT_EQ(core.r().accomp_mode, kTrue);
    EXPECT_EQ(core.r().sync_armed, kTrue);
    EXPECT_TRUE(core.control(Ctl::Command7).enabled);
    EXPECT_TRUE(core.control(Ctl::Command3).enabled);
    for (int k = 0; k < kKeyCount; ++k) {
        EXPECT_EQ(core.control(Ctl::key, k).value, 0) << k;
    }
    EXPECT_TRUE(sounding(sent).empty());
}

constexpr int kStopSteps[] = {1, 9, 100, 169, 298};

TEST_F(Demo, AStopAtAnyStepEndsItAtOnceWithNothingLeftSounding) {
    for (const int step : kStopSteps) {
        const auto from = core.mark();
        core.click(Ctl::Command15);
        tick_to(step);
        core.click(Ctl::Command2); // "Стоп"
        EXPECT_EQ(core.r().demo_running, kFalse) << step;
        EXPECT_EQ(core.r().sttil, 1) << step;
        EXPECT_EQ(core.r().octave, 4) << step;
        EXPECT_EQ(core.r().accomp_mode, kFalse) << step;
        EXPECT_EQ(core.control(Ctl::Command15).back_color, colors::kButtonFace) << step;
        EXPECT_TRUE(sounding(core.sent_since(from)).empty()) << step;
    }
}

TEST_F(Demo, AClickWhileItRunsStartsOverAndKeepsWhatTheEndRestores) {
    core.mouse_down(Ctl::Command1, 1); // the user's style 2
    core.click(Ctl::Command15);
    tick_to(50);
    const auto before_scroll = core.mark();
    core.scroll(Ctl::HScroll1, 2);
    EXPECT_TRUE(core.sent_since(before_scroll).empty()) << "no preview while it plays";
    core.click(Ctl::Command15);
    EXPECT_EQ(core.r().demo_step, 0);
    EXPECT_EQ(core.r().sttil, 4);
    EXPECT_EQ(core.r().sttil1, 2);
    const auto from = core.mark();
    tick_to(3);
    EXPECT_TRUE(contains(core.sent_since(from), {0x004E449FU}));
    core.click(Ctl::Command2);
    EXPECT_EQ(core.r().sttil, 2);
    EXPECT_EQ(core.r().octave, 2) << "the user's move during the piece is theirs";
}

} // namespace
} // namespace varkelon::test
