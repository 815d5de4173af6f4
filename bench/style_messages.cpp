// SPDX-License-Identifier: GPL-3.0-or-later
// The message stream of a session that plays a bar of every style and makes
// every style change, with the accompaniment on, written the way
// varkelon-sim prints what it sends ("midi 0x%08X" a line), for send_replay.
//
// It stands in for the arranger until that plays in varkelon-sim: each tick
// of a style's bar sends that tick's events from the style data file, scale
// coded notes placed in C major, velocities scaled as at volume 100; each
// style change first sends the solo channel's new program (the style's
// default instrument), as selecting a style does. A line "tick"
// ends every tick; send_replay waits one tick interval at each.
//
// The order of the styles is a circuit through every ordered pair, so each of
// the 42 possible changes happens once: 1 2 1 3 1 4 ... as built below.
//
// Usage: style_messages STYLE_FILE > messages.txt

#include "engine/note_rules.h"
#include "engine/style_format.h"
#include "midi/midi_facts.h"
#include "midi/midi_port.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace {

using varkelon::StyleBytes;

void print_message(std::uint32_t message) {
    std::printf("midi 0x%08X\n", message);
}

// Volume 100 on the accompaniment and master levels, as the core scales
// every style event's second data byte.
int scaled(int value) {
    return (value * 100 / 128) * 100 / 128;
}

// An Euler circuit of the complete directed graph on the styles: every
// ordered pair (a, b), a != b, appears once as consecutive entries.
std::vector<int> every_style_change() {
    constexpr int n = varkelon::kStyleCount;
    std::array<std::array<bool, n + 1>, n + 1> used{};
    std::vector<int> stack{1};
    std::vector<int> circuit;
    while (!stack.empty()) {
        const int at = stack.back();
        int next = 0;
        for (int to = 1; to <= n; ++to) {
            if (to != at && !used[at][to]) {
                next = to;
                break;
            }
        }
        if (next == 0) {
            circuit.push_back(at);
            stack.pop_back();
        } else {
            used[at][next] = true;
            stack.push_back(next);
        }
    }
    return {circuit.rbegin(), circuit.rend()};
}

void play_bar(const varkelon::StyleBlock& block, std::array<int, 16>& last_note) {
    std::size_t next_event = 0;
    for (int tick = 0; tick < varkelon::kTicksPerBar; ++tick) {
        for (; next_event < block.events.size() && block.events[next_event].tick == tick;
             ++next_event) {
            const varkelon::StyleEvent& e = block.events[next_event];
            int data1 = e.data1;
            if (varkelon::is_scale_coded(e.status, e.data1)) {
                const int channel = varkelon::channel_index(varkelon::status_channel(e.status));
                const int degree = varkelon::scale_code_degree(e.data1);
                if (degree != varkelon::kScaleDegreeKeepLast) {
                    last_note[channel] =
                        12 * (varkelon::scale_code_octave(e.data1) + 2) +
                        varkelon::kMajorScaleSemitones[static_cast<std::size_t>(degree)];
                }
                data1 = last_note[channel];
            }
            const bool one_data_byte = varkelon::data_byte_count(e.status) == 1;
            print_message(varkelon::pack_short_message(
                e.status, varkelon::data_value(static_cast<std::uint8_t>(data1)),
                one_data_byte ? 0
                              : varkelon::data_value(static_cast<std::uint8_t>(scaled(e.data2)))));
        }
        std::printf("tick\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s STYLE_FILE\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const StyleBytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<varkelon::StyleBlock> blocks;
    for (int style = 1; style <= varkelon::kStyleCount; ++style) {
        std::optional<varkelon::StyleBlock> block = varkelon::read_style_block(bytes, style);
        if (!block) {
            std::fprintf(stderr, "%s: style %d is missing\n", argv[1], style);
            return 1;
        }
        blocks.push_back(std::move(*block));
    }

    // Start-up: the live chord's programs.
    using varkelon::kProgramChange;
    print_message(varkelon::pack_short_message(
        varkelon::status_byte(kProgramChange, varkelon::kLiveChordBassChannel),
        varkelon::kLiveChordBassProgram, 0));
    print_message(varkelon::pack_short_message(
        varkelon::status_byte(kProgramChange, varkelon::kLiveChordChannel),
        varkelon::kLiveChordProgram, 0));
    std::array<int, 16> last_note{};
    last_note.fill(60);
    for (const int style : every_style_change()) {
        const varkelon::StyleBlock& block = blocks[static_cast<std::size_t>(style - 1)];
        print_message(varkelon::pack_short_message(0xCF, block.instrument.value_or(0), 0));
        play_bar(block, last_note);
    }
    return 0;
}
