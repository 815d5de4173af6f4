// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The style data file: its fixed facts and pure functions over its bytes.
// The program reads the file through these; the style compiler writes and
// checks it with them. No I/O here: callers hand in the whole file as bytes.

#include "engine/note_rules.h"
#include "midi/midi_facts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkelon {

using StyleBytes = std::vector<std::uint8_t>;

inline constexpr std::string_view kStyleFileName = "brelmonddat1.dat";
// The program starts only with a file of exactly this length and byte sum.
inline constexpr std::size_t kStyleFileSize = 1616;
inline constexpr std::uint32_t kStyleFileByteSum = 157103;

inline constexpr int kStyleCount = 7;
inline constexpr std::array<std::string_view, kStyleCount> kStyleNames = {
    "Поп", "Диско", "Кантри", "Техно", "Полька", "Хардрок", "Хеви метал"};

// Table of block offsets: one little-endian 16-bit entry per style.
inline constexpr std::size_t kStyleTableEntrySize = 2;
inline constexpr std::size_t kStyleTableSize = kStyleCount * kStyleTableEntrySize;
// A table high byte above this would make the reader's signed 16-bit position negative.
inline constexpr std::uint8_t kMaxTableHighByte = 127;

// Block header: default instrument, default tempo; the stream follows.
inline constexpr std::size_t kStyleHeaderSize = 2;
inline constexpr std::uint8_t kMaxInstrument = 127;
// Tick interval is 255 - tempo ms, so 255 would stop the timer.
inline constexpr std::uint8_t kMaxTempo = 254;
inline constexpr int kTempoIntervalBase = 255;

// One bar of sixteenths; a 0 byte ends a tick, every other status starts a
// three-byte event.
inline constexpr int kTicksPerBar = 16;
inline constexpr std::uint8_t kTickMark = 0;
inline constexpr std::size_t kEventSize = 3;

// The reader keeps one-based positions in signed 16-bit integers, so position
// 32767 (offset 32766) is the last byte it can reach.
inline constexpr std::size_t kMaxReachableOffset = 32766;

// The replay buffer has 16 slots and its replay stops at the first empty one,
// so one tick may record at most 15 note-ons.
inline constexpr int kReplaySlots = 16;
inline constexpr int kMaxRecordedNoteOnsPerTick = kReplaySlots - 1;

std::uint32_t style_file_byte_sum(const StyleBytes& bytes);
// The start-up verification: length and byte sum.
bool style_file_is_original(const StyleBytes& bytes);

// Block offset of style 1..kStyleCount from the table, if the table entry is in the file.
std::optional<std::size_t> style_block_offset(const StyleBytes& bytes, int style);

struct StyleEvent {
    std::size_t offset = 0; // of the status byte
    int tick = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

// One style block as the player reads it, from the header to the 16th tick mark.
struct StyleBlock {
    int style = 0;
    std::size_t offset = 0;
    std::optional<std::uint8_t> instrument;
    std::optional<std::uint8_t> tempo;
    std::vector<StyleEvent> events;
    std::vector<std::size_t> tick_marks; // offsets, in order
    // One past the last byte read. For a complete block this follows the 16th
    // tick mark; otherwise it is where reading had to stop.
    std::size_t end = 0;
    bool complete() const { return tick_marks.size() == static_cast<std::size_t>(kTicksPerBar); }
};

// Reads the block of a style the way the player walks it, stopping at the
// 16th tick mark, at the end of the bytes or past the last reachable offset.
// Empty if the table entry itself is missing.
std::optional<StyleBlock> read_style_block(const StyleBytes& bytes, int style);

// The General MIDI programs (melodic bank) that selecting and playing the
// styles can ask of a synthesizer: every style's default instrument and every
// program change its stream carries, rising, without repeats. Percussion
// channel 10 is left out: its program selects a drum kit, not a melodic voice.
std::vector<int> programs_used_by_styles(const StyleBytes& bytes);

struct StyleBreach {
    int style = 0; // 1..kStyleCount; 0 for the file as a whole
    int tick = -1; // 0..15; -1 where no tick applies
    std::size_t offset = 0;
    std::string message;
};

// Every way in which the bytes fail to be a style data file that the program
// may load and play safely; empty for a good file. Ordered by style, then offset.
std::vector<StyleBreach> validate_style_file(const StyleBytes& bytes);

// "style 3, tick 5, offset 242 (0x00F2): message"
std::string describe_breach(const StyleBreach& breach);

} // namespace varkelon
