// SPDX-License-Identifier: GPL-3.0-or-later
// Bad input, one table: each row is an input the program may meet and the
// reaction it must show. Damaged files (missing, 1615 or 1617 bytes, a byte
// changed) and a single style outside the file have their own tests in
// program_lifecycle_test.cpp and pattern_player_test.cpp; the rows here are
// files that pass the start-up checks yet hold nonsense, and stored window
// positions that are no sensible position.

#include "core_fixture.h"
#include "support/midi_stream_checker.h"
#include "support/style_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>

namespace varkelon::test {
namespace {

using namespace test_support;

// Brings the byte sum to the original's from the end of the file, keeping
// every byte within [low, 255].
void force_sum(StyleBytes& bytes, int low = 0) {
    long delta =
        static_cast<long>(kStyleFileByteSum) - static_cast<long>(style_file_byte_sum(bytes));
    for (auto it = bytes.rbegin(); it != bytes.rend() && delta != 0; ++it) {
        const long now = std::clamp<long>(*it + delta, low, 255);
        delta -= now - *it;
        *it = static_cast<std::uint8_t>(now);
    }
}

void set_entry(StyleBytes& bytes, int style, std::size_t offset) {
    bytes[2 * static_cast<std::size_t>(style - 1)] = static_cast<std::uint8_t>(offset & 0xFF);
    bytes[2 * static_cast<std::size_t>(style - 1) + 1] = static_cast<std::uint8_t>(offset >> 8);
}

StyleBytes every_entry_outside() {
    StyleBytes b = plain_file().bytes;
    const std::size_t entries[kStyleCount] = {1616, 1615, 0x7FFF, 0x8000, 0xFFFF, 0xD007, 0x4000};
    for (int s = 1; s <= kStyleCount; ++s) {
        set_entry(b, s, entries[s - 1]);
    }
    force_sum(b);
    return b;
}

// Each block starts inside the table, so the table's own bytes are read as
// instrument, tempo and events.
StyleBytes entries_into_the_table() {
    StyleBytes b = plain_file().bytes;
    for (int s = 1; s <= kStyleCount; ++s) {
        set_entry(b, s, static_cast<std::size_t>(s - 1));
    }
    force_sum(b);
    return b;
}

// Not one 0 byte after the table: no tick ever ends inside the file.
StyleBytes no_tick_marks() {
    std::mt19937 rng(7);
    StyleBytes b(kStyleFileSize);
    std::generate(b.begin(), b.end(), [&] { return static_cast<std::uint8_t>(1 + rng() % 255); });
    for (int s = 1; s <= kStyleCount; ++s) {
        set_entry(b, s, kStyleTableSize + 200 * static_cast<std::size_t>(s - 1));
    }
    force_sum(b, 1);
    return b;
}

// Style 1's first tick is sixty 0xFF bytes, twenty events of status 0xFF.
StyleBytes tick_of_ff() {
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    streams[0] = bar_with(0, std::vector<std::uint8_t>(60, 0xFF));
    return build(streams).bytes;
}

// Every kind of event, with data bytes beyond MIDI, on two ticks of every style.
StyleBytes data_above_127() {
    const std::vector<std::uint8_t> events = {
        0x99, 200,  255,                                     // drum
        0x90, 0xFF, 0xFF, 0x91, 0xC7, 0x80, 0x94, 130,  250, // recorded note-ons, scale-coded too
        0x95, 0xBF, 255,  0x80, 0xFF, 0xFF, 0x81, 0xC7, 200, // note-offs
        0xB3, 255,  255,  0xC2, 255,  255,  0xE0, 255,  255, 0xA1, 200, 200, 0xD4, 255, 128};
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    for (auto& s : streams) {
        for (int t = 0; t < kTicksPerBar; ++t) {
            if (t % 8 == 0) {
                s.insert(s.end(), events.begin(), events.end());
            }
            s.push_back(kTickMark);
        }
    }
    return build(streams).bytes;
}

StyleBytes random_bytes() {
    std::mt19937 rng(12);
    StyleBytes b(kStyleFileSize);
    std::generate(b.begin(), b.end(), [&] { return static_cast<std::uint8_t>(rng()); });
    force_sum(b);
    return b;
}

enum class Reaction : std::uint8_t {
    PlaysValidBytes, // starts, and every style and the demonstration play, sending only valid bytes
    Position,        // starts, and the window stands where the row says
};

struct BadInput {
    const char* name;
    std::function<void(Core&)> prepare;
    Reaction reaction;
    FormId form = FormId::Form1;
    int left = 0;
    int top = 0;
};

BadInput file(const char* name, StyleBytes (*bytes)()) {
    return {name,
            [bytes](Core& core) {
                core.style_file.file = {StyleFileSource::Status::Ok, bytes()};
            },
            Reaction::PlaysValidBytes};
}

BadInput setting(const char* name, const std::map<std::string, std::string>& values, FormId form,
                 int left, int top) {
    return {name,
            [values](Core& core) { core.settings.values = values; },
            Reaction::Position,
            form,
            left,
            top};
}

const BadInput kBadInputs[] = {
    file("EveryOffsetOutsideTheFile", every_entry_outside),
    file("OffsetsIntoTheTable", entries_into_the_table),
    file("NoTickMarks", no_tick_marks),
    file("ATickOfFFBytes", tick_of_ff),
    file("DataBytesAbove127", data_above_127),
    file("RandomBytes", random_bytes),
    // Negative positions are read as they are: keeping the window on screen
    // is the view's business.
    setting("NegativeMainPosition", {{"left1", "-4500"}, {"top1", "-15"}}, FormId::Form1, -4500,
            -15),
    setting("HugeMainPosition", {{"left1", "99999999999"}, {"top1", "1e400"}}, FormId::Form1, 3000,
            3000),
    setting("NotFiniteMainPosition", {{"left1", "nan"}, {"top1", "-inf"}}, FormId::Form1, 3000,
            3000),
    setting("BlanksAroundANumber", {{"left1", " 1215 "}, {"top1", "\t45"}}, FormId::Form1, 1215,
            45),
    setting("EmptyAndGarbageHelpPosition", {{"left2", ""}, {"top2", "зелёный"}}, FormId::Form2,
            4200, 1900),
    setting("NegativeAndHugeAboutPosition", {{"left4", "-1"}, {"top4", "12345678901234567890"}},
            FormId::Form4, -1, 4000),
};

void PrintTo(const BadInput& input, std::ostream* os) {
    *os << input.name;
}

// Every style for two bars in a chord that changes with each bar, levels and
// tempo at their ends, then the demonstration to its end.
void play_everything(Core& core, MidiStreamChecker& checker) {
    core.click(Ctl::Command7);
    for (int s = 0; s < kStyleCount; ++s) {
        for (int bar = 0; bar < 2; ++bar) {
            core.r().key_index = static_cast<std::int16_t>((5 * s + bar) % 12);
            core.r().shift_state = static_cast<std::int16_t>((s + bar) % 8);
            core.form().press_key();
            core.scroll(bar == 0 ? Ctl::HScroll3 : Ctl::HScroll4, bar == 0 ? 127 : 0);
            core.click(Ctl::Command5, bar);
            for (int t = 0; t < kTicksPerBar; ++t) {
                core.form().timer_tick(TimerId::Timer1);
            }
            core.form().release_key();
        }
        core.click(Ctl::Command2);
        checker.expect_silent("stop");
        core.mouse_down(Ctl::Command1, 1);
        core.mouse_up(Ctl::Command1, 1);
    }
    core.click(Ctl::Command15);
    for (int t = 0; t < 2000 && core.r().demo_running != kFalse; ++t) {
        core.form().timer_tick(TimerId::Timer1);
    }
    EXPECT_EQ(core.r().demo_running, kFalse) << "the demonstration ends by itself";
    checker.expect_silent("end of the demonstration");
}

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, MeetTheirReaction) {
    const BadInput& input = GetParam();
    Core core;
    MidiStreamChecker checker;
    checker.watch(core.midi);
    input.prepare(core);
    ASSERT_TRUE(core.program.start());
    EXPECT_TRUE(core.dialogs.shown.empty());

    switch (input.reaction) {
    case Reaction::PlaysValidBytes:
        play_everything(core, checker);
        core.program.exit_program();
        EXPECT_TRUE(checker.faults().empty()) << checker.report();
        EXPECT_GT(checker.message_count(), 0U);
        break;
    case Reaction::Position: {
        if (input.form == FormId::Form2) {
            core.click(Ctl::base);
        } else if (input.form == FormId::Form4) {
            core.click(Ctl::oprog);
        }
        const auto at = core.program.position(input.form);
        EXPECT_EQ(at.left, input.left);
        EXPECT_EQ(at.top, input.top);
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputs, ::testing::ValuesIn(kBadInputs),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace varkelon::test
