// SPDX-License-Identifier: GPL-3.0-or-later
// The seven shipped styles played through the whole program in every chord
// the chord keys can make (12 roots, modifier masks 0 to 7): what reaches the
// MIDI port must be playable on any General MIDI synthesizer, and the
// accompaniment must follow the chord's root and mode.

#include "core_fixture.h"
#include "engine/style_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace varkelon::test {
namespace {

// Every style writes its bass on channel 3: the player does not remember that
// channel's note-ons, so a chord change mid-bar re-voices only the chord.
constexpr int kBassChannel = 3;
constexpr int kDrumChannel = 10;
constexpr int kFirstLiveChannel = 14; // 14 and 15 the live chord, 16 the solo voice

struct NoteRange {
    int low;
    int high;
};
constexpr NoteRange kBassRange{28, 60};
constexpr NoteRange kChordRange{48, 84};

constexpr int kMaxRecordedPerTick = 15; // the player's replay buffer holds 16
constexpr int kStatusAllNotesOff = 123;

const char* const kStyleIds[kStyleCount] = {"Pop",   "Disco",    "Country",   "Techno",
                                            "Polka", "HardRock", "HeavyMetal"};

struct Message {
    int status;
    int data1;
    int data2;
    int top;

    explicit Message(std::uint32_t m)
        : status(static_cast<int>(m & 0xFFU)), data1(static_cast<int>((m >> 8) & 0xFFU)),
          data2(static_cast<int>((m >> 16) & 0xFFU)), top(static_cast<int>(m >> 24)) {}
    int kind() const { return status & 0xF0; }
    int channel() const { return (status & 0x0F) + 1; }
    bool note_on() const { return kind() == 0x90 && data2 > 0; }
    bool note_end() const { return kind() == 0x80 || (kind() == 0x90 && data2 == 0); }
    bool accompaniment_note() const {
        return (kind() == 0x80 || kind() == 0x90) && channel() != kDrumChannel &&
               channel() < kFirstLiveChannel;
    }
};

std::string hex(std::uint32_t m) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", m);
    return text;
}

int pitch_class(int note) {
    return ((note % 12) + 12) % 12;
}

// The whole program with one style chosen by its arrows and accompaniment
// mode on; everything sent is kept per rhythm tick, and what a chord key
// sends between ticks counts towards the tick that follows.
class StylePlay {
public:
    StylePlay(int style, int root, int mask) : bar_style_(style) {
        core_.start();
        for (int i = 1; i < style; ++i) {
            core_.mouse_down(Ctl::Command1, 1);
            core_.mouse_up(Ctl::Command1, 1);
        }
        EXPECT_EQ(core_.r().sttil, style);
        core_.click(Ctl::Command7);
        chord(root, mask); // the armed start: the rhythm runs from tick 0
        EXPECT_EQ(core_.r().rhythm_running, kTrue);
    }

    void chord(int root, int mask) {
        const auto from = core_.mark();
        core_.r().key_index = static_cast<std::int16_t>(root);
        core_.r().shift_state = static_cast<std::int16_t>(mask);
        core_.form().press_key();
        core_.form().release_key();
        pending_ = core_.sent_since(from);
    }

    // The arrows step the style; it takes over at the next bar line.
    void choose_style(int style) {
        while (core_.r().sttil != style) {
            core_.mouse_down(Ctl::Command1, core_.r().sttil < style ? 1 : 0);
            core_.mouse_up(Ctl::Command1, core_.r().sttil < style ? 1 : 0);
        }
    }

    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            const auto from = core_.mark();
            styles_.push_back(bar_style_);
            core_.form().timer_tick(TimerId::Timer1);
            if (core_.r().tick_in_bar == 0) {
                bar_style_ = core_.r().sttil;
            }
            between_.push_back(std::move(pending_));
            pending_.clear();
            played_.push_back(core_.sent_since(from));
        }
    }

    // played()[t]: what tick t sent; between()[t]: what chord keys sent
    // before it; styles()[t]: whose bar it was.
    const std::vector<std::vector<std::uint32_t>>& played() const { return played_; }
    const std::vector<std::vector<std::uint32_t>>& between() const { return between_; }
    const std::vector<int>& styles() const { return styles_; }

private:
    Core core_;
    int bar_style_;
    std::vector<int> styles_;
    std::vector<std::uint32_t> pending_;
    std::vector<std::vector<std::uint32_t>> played_;
    std::vector<std::vector<std::uint32_t>> between_;
};

// Checks that hold for every message of a play, chord changes included; the
// problems are collected so that one failing case reports them together.
class PlayCheck {
public:
    explicit PlayCheck(const StylePlay& play) {
        for (std::size_t t = 0; t < play.played().size(); ++t) {
            tick_ = static_cast<int>(t);
            style_ = play.styles()[t];
            for (const auto m : play.between()[t]) {
                message(m);
            }
            int recorded = 0;
            for (const auto m : play.played()[t]) {
                message(m);
                recorded += remembered(Message(m).status) ? 1 : 0;
            }
            if (recorded > kMaxRecordedPerTick) {
                problem("tick " + std::to_string(t) + ": " + std::to_string(recorded) +
                        " recorded note-ons");
            }
            for (auto it = sounding_.begin(); it != sounding_.end();) {
                const auto [key, since] = *it;
                if (tick_ - since < kTicksPerBar) {
                    ++it;
                } else {
                    it = sounding_.erase(it); // reported once
                    problem("channel " + std::to_string(key.first) + " note " +
                            std::to_string(key.second) + " sounds from tick " +
                            std::to_string(since) + " past tick " + std::to_string(tick_));
                }
            }
        }
    }

    const std::vector<std::string>& problems() const { return problems_; }

private:
    // The note-ons the player keeps for a chord change: channels 1, 2 and 5,
    // in style 7 also 6.
    bool remembered(int status) const {
        return status == 0x90 || status == 0x91 || status == 0x94 ||
               (style_ == 7 && status == 0x95);
    }

    void problem(std::string text) {
        if (problems_.size() < 12) {
            problems_.push_back(std::move(text));
        }
    }

    void message(std::uint32_t packed) {
        const Message m(packed);
        const std::string where = "tick " + std::to_string(tick_) + ", " + hex(packed) + ": ";
        if (m.data1 > 127 || m.data2 > 127 || m.top != 0) {
            problem(where + "not a MIDI short message");
        }
        if (m.kind() == 0xC0) {
            programmed_.insert(m.channel());
        }
        if (m.kind() == 0xB0 && m.data1 == kStatusAllNotesOff) {
            std::erase_if(sounding_, [&](const auto& s) { return s.first.first == m.channel(); });
        }
        if (m.note_end()) {
            sounding_.erase({m.channel(), m.data1});
        }
        if (!m.note_on()) {
            return;
        }
        if (m.channel() != kDrumChannel) { // percussion ends by itself
            sounding_.try_emplace({m.channel(), m.data1}, tick_);
        }
        if (!m.accompaniment_note()) {
            return;
        }
        if (programmed_.count(m.channel()) == 0) {
            problem(where + "a note on a channel the style gives no program");
        }
        const NoteRange range = m.channel() == kBassChannel ? kBassRange : kChordRange;
        if (m.data1 < range.low || m.data1 > range.high) {
            problem(where + "note outside " + std::to_string(range.low) + ".." +
                    std::to_string(range.high));
        }
    }

    int style_ = 0;
    int tick_ = 0;
    std::set<int> programmed_;
    std::map<std::pair<int, int>, int> sounding_; // (channel, note) -> tick of its note-on
    std::vector<std::string> problems_;
};

const std::vector<std::string> kNoProblems;

constexpr int kBars = 3;

// The bars in C major: the notes as the style writes them.
const StylePlay& written(int style) {
    static std::map<int, StylePlay> plays;
    auto it = plays.find(style);
    if (it == plays.end()) {
        it = plays.try_emplace(style, style, 0, 0).first;
        it->second.ticks(kBars * kTicksPerBar);
    }
    return it->second;
}

using ChordCase = std::tuple<int, int, int>; // style, root, modifier mask

class ShippedStyle : public ::testing::TestWithParam<ChordCase> {
protected:
    int style() const { return std::get<0>(GetParam()); }
    int root() const { return std::get<1>(GetParam()); }
    int mask() const { return std::get<2>(GetParam()); }
};

TEST_P(ShippedStyle, PlaysItsBarsInTheChordCleanly) {
    StylePlay play(style(), root(), mask());
    play.ticks(kBars * kTicksPerBar);
    EXPECT_EQ(PlayCheck(play).problems(), kNoProblems);

    // The chord moves each note by its root, and a lowered third or scale
    // step by at most the mask: no note lands an octave away from where the
    // style writes it.
    const StylePlay& c_major = written(style());
    ASSERT_EQ(play.played().size(), c_major.played().size());
    std::set<int> pitch_classes;
    std::optional<int> first_bass;
    for (std::size_t t = 0; t < play.played().size(); ++t) {
        const auto& now = play.played()[t];
        const auto& as_written = c_major.played()[t];
        ASSERT_EQ(now.size(), as_written.size()) << "tick " << t;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const Message m(now[i]);
            if (!m.accompaniment_note()) {
                continue;
            }
            const int moved = m.data1 - Message(as_written[i]).data1;
            EXPECT_TRUE(moved > -12 - mask() && moved < 12)
                << "tick " << t << ": " << hex(now[i]) << " moved by " << moved;
            if (m.note_on()) {
                pitch_classes.insert(pitch_class(m.data1));
                if (!first_bass && m.channel() == kBassChannel) {
                    first_bass = m.data1;
                }
            }
        }
    }

    ASSERT_TRUE(first_bass.has_value()) << "no bass";
    EXPECT_EQ(pitch_class(*first_bass), root()) << "the bass starts on the chord's root";
    const int major_third = pitch_class(root() + 4);
    const int minor_third = pitch_class(root() + 3);
    if (mask() == 0) {
        EXPECT_TRUE(pitch_classes.count(major_third)) << "the major chord has its third";
        EXPECT_FALSE(pitch_classes.count(minor_third)) << "and no minor third";
    } else if (mask() == 1) {
        EXPECT_TRUE(pitch_classes.count(minor_third)) << "Shift makes the chord minor";
        EXPECT_FALSE(pitch_classes.count(major_third)) << "and drops the major third";
    }
}

// A chord key while the style plays cuts all notes and sounds the remembered
// note-ons again in the new chord: with a change at every tick of the bar in
// turn, nothing may be left sounding and the re-voiced notes stay in range.
TEST_P(ShippedStyle, ChordChangesAtEveryTickOfTheBarLeaveNothingSounding) {
    StylePlay play(style(), root(), mask());
    const int other_root = (root() + 5) % 12;
    const int other_mask = (mask() + 3) % 8;
    play.ticks(kTicksPerBar);
    for (int change = 0; change < kTicksPerBar; ++change) {
        if (change % 2 == 0) {
            play.chord(other_root, other_mask);
        } else {
            play.chord(root(), mask());
        }
        play.ticks(kTicksPerBar + 1); // the next change falls one tick later in the bar
    }
    play.ticks(2 * kTicksPerBar);
    EXPECT_EQ(PlayCheck(play).problems(), kNoProblems);
}

// The replay buffer outlives a style: whatever style played before, a chord
// change must sound again only notes that the new style will end.
class StyleSwitch : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(StyleSwitch, ChordChangesAfterIt) {
    const auto [from, to] = GetParam();
    StylePlay play(from, 9, 1);
    play.ticks(kTicksPerBar + 5);
    play.choose_style(to);
    play.ticks(kTicksPerBar - 5); // the bar line: the new style begins
    for (int change = 0; change < kTicksPerBar; ++change) {
        play.chord(change % 12, change % 8);
        play.ticks(kTicksPerBar + 1);
    }
    play.ticks(2 * kTicksPerBar);
    EXPECT_EQ(PlayCheck(play).problems(), kNoProblems);
}

INSTANTIATE_TEST_SUITE_P(EveryPair, StyleSwitch,
                         ::testing::Combine(::testing::Range(1, kStyleCount + 1),
                                            ::testing::Range(1, kStyleCount + 1)),
                         [](const ::testing::TestParamInfo<std::tuple<int, int>>& p) {
                             return std::string(kStyleIds[std::get<0>(p.param) - 1]) + "_To_" +
                                    kStyleIds[std::get<1>(p.param) - 1];
                         });

INSTANTIATE_TEST_SUITE_P(AllChords, ShippedStyle,
                         ::testing::Combine(::testing::Range(1, kStyleCount + 1),
                                            ::testing::Range(0, 12), ::testing::Range(0, 8)),
                         [](const ::testing::TestParamInfo<ChordCase>& p) {
                             return std::string(kStyleIds[std::get<0>(p.param) - 1]) + "_Root" +
                                    std::to_string(std::get<1>(p.param)) + "_Mask" +
                                    std::to_string(std::get<2>(p.param));
                         });

} // namespace
} // namespace varkelon::test
