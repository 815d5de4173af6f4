// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/style_format.h"
#include "support/style_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace varkelon {
namespace {

using namespace test_support;

TEST(StyleFileOriginal, AcceptsOnlyTheExactLengthAndSum) {
    const StyleBytes good = plain_file().bytes;
    ASSERT_EQ(good.size(), kStyleFileSize);
    ASSERT_EQ(style_file_byte_sum(good), kStyleFileByteSum);
    EXPECT_TRUE(style_file_is_original(good));

    StyleBytes shorter = good;
    shorter.pop_back();
    EXPECT_FALSE(style_file_is_original(shorter));
    StyleBytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(style_file_is_original(longer));
    StyleBytes changed = good;
    changed[700] = static_cast<std::uint8_t>(changed[700] + 1);
    EXPECT_FALSE(style_file_is_original(changed));
    EXPECT_FALSE(style_file_is_original({}));
}

TEST(StyleTable, EntriesAreLittleEndian) {
    StyleBytes bytes(kStyleTableSize, 0);
    bytes[0] = 0x0E;
    bytes[12] = 0x34;
    bytes[13] = 0x12;
    EXPECT_EQ(style_block_offset(bytes, 1), 14u);
    EXPECT_EQ(style_block_offset(bytes, 7), 0x1234u);
    EXPECT_EQ(style_block_offset(bytes, 0), std::nullopt);
    EXPECT_EQ(style_block_offset(bytes, 8), std::nullopt);
    bytes.resize(13);
    EXPECT_EQ(style_block_offset(bytes, 7), std::nullopt);
}

TEST(ReadStyleBlock, WalksEventsAndTickMarksAndStopsAtTheSixteenth) {
    // Two events at tick 0, one at tick 15, then bytes the player never reads.
    std::vector<std::uint8_t> stream = {0x99, 36, 100, 0xC0, 5, 0};
    stream.push_back(kTickMark);
    for (int t = 1; t < 15; ++t) {
        stream.push_back(kTickMark);
    }
    stream.insert(stream.end(), {0x90, 0x92, 80, kTickMark, 0x99, 38, 100});
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    streams[0] = stream;
    const Built built = build(streams);

    const std::optional<StyleBlock> block = read_style_block(built.bytes, 1);
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->complete());
    EXPECT_EQ(block->offset, 14u);
    EXPECT_EQ(block->instrument, 0);
    EXPECT_EQ(block->tempo, 130);
    ASSERT_EQ(block->events.size(), 3u);
    EXPECT_EQ(block->events[0].offset, 16u);
    EXPECT_EQ(block->events[0].tick, 0);
    EXPECT_EQ(block->events[1].status, 0xC0);
    EXPECT_EQ(block->events[2].tick, 15);
    EXPECT_EQ(block->events[2].data1, 0x92);
    EXPECT_EQ(block->tick_marks.front(), 22u);
    // The 16th tick mark is the last byte read; the trailing event is not.
    EXPECT_EQ(block->end, block->tick_marks.back() + 1);
    EXPECT_EQ(block->end, built.offsets[1] - 3);
}

TEST(ProgramsUsedByStyles, DefaultInstrumentsAndStreamProgramChangesButNoDrumKit) {
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    // Style 1: channel 1 gets 48, channel 10 a kit (left out); style 3: channel 2 gets 33
    // twice and channel 5 a program byte above 127, which a synth reads as 7 bits.
    streams[0] = bar_with(0, {0xC0, 48, 0, 0xC9, 25, 0});
    streams[2] = bar_with(3, {0xC1, 33, 0, 0xC1, 33, 0, 0xC4, 0x85, 0});
    const Built built = build(streams);
    // build() gives every style default instrument 0.
    EXPECT_EQ(programs_used_by_styles(built.bytes), (std::vector<int>{0, 5, 33, 48}));
}

TEST(ScaleCode, PacksDegreeAndOctave) {
    EXPECT_EQ(scale_code(2, 2), 0x92);
    EXPECT_EQ(scale_code_degree(0x92), 2);
    EXPECT_EQ(scale_code_octave(0x92), 2);
    EXPECT_TRUE(is_scale_coded(0x90, 0x92));
    EXPECT_TRUE(is_scale_coded(0x8F, 0x80));
    EXPECT_FALSE(is_scale_coded(0xB0, 0x92)); // only note messages carry scale steps
    EXPECT_FALSE(is_scale_coded(0x90, 0x7F));
}

TEST(RecordedNoteOn, ChannelSixCountsOnlyInStyleSeven) {
    EXPECT_TRUE(is_recorded_note_on(0x90, 1));
    EXPECT_TRUE(is_recorded_note_on(0x91, 1));
    EXPECT_TRUE(is_recorded_note_on(0x94, 1));
    EXPECT_FALSE(is_recorded_note_on(0x92, 1));
    EXPECT_FALSE(is_recorded_note_on(0x80, 1));
    EXPECT_FALSE(is_recorded_note_on(0x99, 1));
    EXPECT_FALSE(is_recorded_note_on(0x95, 6));
    EXPECT_TRUE(is_recorded_note_on(0x95, 7));
}

TEST(ValidateStyleFile, AHandBuiltFileIsClean) {
    EXPECT_TRUE(validate_style_file(plain_file().bytes).empty());
}

std::vector<std::uint8_t> note_ons(std::uint8_t status, int count) {
    std::vector<std::uint8_t> events;
    for (int i = 0; i < count; ++i) {
        events.insert(events.end(), {status, static_cast<std::uint8_t>(48 + i), 90});
    }
    return events;
}

// One breach each: the style, tick and offset it must be reported at.
struct BreachCase {
    std::string name;
    std::function<StyleBytes()> make;
    int style;
    int tick;
    std::function<std::size_t(const StyleBytes&)> offset;
    std::string message_part;
};

std::size_t block_of(const StyleBytes& bytes, int style) {
    return *style_block_offset(bytes, style);
}

// File whose style `style` has `events` in tick `tick`; the other styles are empty.
StyleBytes with_events(int style, int tick, const std::vector<std::uint8_t>& events) {
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    streams[static_cast<std::size_t>(style - 1)] = bar_with(tick, events);
    return build(streams).bytes;
}

StyleBytes patched(std::size_t offset_in_block, int style, std::uint8_t value) {
    StyleBytes bytes = plain_file().bytes;
    set_keeping_sum(bytes, block_of(bytes, style) + offset_in_block, value);
    return bytes;
}

// Offset of the status byte of event `index` (0-based) in tick `tick`, for
// files made by with_events.
std::function<std::size_t(const StyleBytes&)> event_at(int style, int tick, std::size_t index,
                                                       std::size_t byte = 0) {
    return [=](const StyleBytes& bytes) {
        return block_of(bytes, style) + kStyleHeaderSize + static_cast<std::size_t>(tick) +
               kEventSize * index + byte;
    };
}

void PrintTo(const BreachCase& c, std::ostream* os) {
    *os << c.name;
}

class ValidateBreach : public testing::TestWithParam<BreachCase> {};

TEST_P(ValidateBreach, IsNamedWithStyleTickAndOffset) {
    const BreachCase& c = GetParam();
    const StyleBytes bytes = c.make();
    const std::vector<StyleBreach> breaches = validate_style_file(bytes);
    std::string all;
    for (const StyleBreach& breach : breaches) {
        all += describe_breach(breach) + "\n";
    }
    ASSERT_EQ(breaches.size(), 1u) << all;
    EXPECT_EQ(breaches[0].style, c.style);
    EXPECT_EQ(breaches[0].tick, c.tick);
    EXPECT_EQ(breaches[0].offset, c.offset(bytes));
    EXPECT_NE(breaches[0].message.find(c.message_part), std::string::npos) << breaches[0].message;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ValidateBreach,
    testing::Values(
        BreachCase{"ShortFile",
                   [] {
                       std::array<std::vector<std::uint8_t>, kStyleCount> streams;
                       streams.fill(empty_bar());
                       return build(streams, kStyleFileSize - 1).bytes;
                   },
                   0, -1, [](const StyleBytes&) { return kStyleFileSize - 1; }, "1615 bytes"},
        BreachCase{"ByteSum",
                   [] {
                       StyleBytes b = plain_file().bytes;
                       b.back() = static_cast<std::uint8_t>(b.back() - 1);
                       return b;
                   },
                   0, -1, [](const StyleBytes&) { return std::size_t{0}; }, "157102"},
        BreachCase{"TableHighByte",
                   [] {
                       StyleBytes b = plain_file().bytes;
                       set_keeping_sum(b, 3, 0x80);
                       return b;
                   },
                   2, -1, [](const StyleBytes&) { return std::size_t{3}; }, "0x80"},
        BreachCase{"Instrument", [] { return patched(0, 4, 128); }, 4, -1,
                   [](const StyleBytes& b) { return block_of(b, 4); }, "instrument is 128"},
        BreachCase{"Tempo", [] { return patched(1, 5, 255); }, 5, -1,
                   [](const StyleBytes& b) { return block_of(b, 5) + 1; }, "tempo is 255"},
        BreachCase{"NoteVelocity",
                   [] {
                       return with_events(3, 5, {0x99, 36, 128});
                   },
                   3, 5, event_at(3, 5, 0, 2), "data 2 is 128"},
        BreachCase{"ControllerNumber",
                   [] {
                       return with_events(2, 0, {0xB0, 0x87, 10});
                   },
                   2, 0, event_at(2, 0, 0, 1), "data 1 is 135"},
        BreachCase{"SoloChannel",
                   [] {
                       return with_events(1, 9, {0x9F, 60, 90});
                   },
                   1, 9, event_at(1, 9, 0), "solo voice"},
        BreachCase{"LiveChordChannel",
                   [] {
                       return with_events(1, 2, {0xCD, 3, 0});
                   },
                   1, 2, event_at(1, 2, 0), "live chord"},
        BreachCase{"NotAChannelStatus",
                   [] {
                       return with_events(6, 3, {0x7F, 1, 1});
                   },
                   6, 3, event_at(6, 3, 0), "not a channel message"},
        BreachCase{"SystemStatus",
                   [] {
                       return with_events(6, 3, {0xFF, 0, 0});
                   },
                   6, 3, event_at(6, 3, 0), "not a channel message"},
        BreachCase{"BassNoteTooHigh",
                   [] {
                       return with_events(1, 1, {0x91, 120, 90});
                   },
                   1, 1, event_at(1, 1, 0, 1), "128"},
        BreachCase{"ChannelFiveNoteTooLow",
                   [] {
                       return with_events(1, 1, {0x94, 3, 90});
                   },
                   1, 1, event_at(1, 1, 0, 1), "-7"},
        BreachCase{"ChannelOneTopOctave",
                   [] {
                       return with_events(1, 1, {0x80, 121, 0});
                   },
                   1, 1, event_at(1, 1, 0, 1), "131"},
        BreachCase{"SixteenRecordedNoteOns",
                   [] {
                       std::vector<std::uint8_t> events = note_ons(0x90, 8);
                       const auto more = note_ons(0x94, 8);
                       events.insert(events.end(), more.begin(), more.end());
                       return with_events(2, 7, events);
                   },
                   2, 7, event_at(2, 7, 15), "more than 15 recorded note-ons"},
        BreachCase{"SixteenWithChannelSixInStyleSeven",
                   [] {
                       std::vector<std::uint8_t> events = note_ons(0x91, 10);
                       const auto more = note_ons(0x95, 6);
                       events.insert(events.end(), more.begin(), more.end());
                       return with_events(7, 15, events);
                   },
                   7, 15, event_at(7, 15, 15), "0x95"},
        BreachCase{"MiddleStyleMissesATickMark",
                   [] {
                       std::array<std::vector<std::uint8_t>, kStyleCount> streams;
                       streams.fill(empty_bar());
                       streams[2].pop_back();
                       return build(streams).bytes;
                   },
                   3, 15, [](const StyleBytes& b) { return block_of(b, 4); },
                   "runs into the block of style 4"}),
    [](const testing::TestParamInfo<BreachCase>& param) { return param.param.name; });

TEST(ValidateStyleFile, FifteenRecordedNoteOnsAndUnrecordedChannelsPass) {
    // 15 is the limit; channel 3 and 4 note-ons and channel-6 ones outside
    // style 7 take no replay slot.
    std::vector<std::uint8_t> events = note_ons(0x90, 15);
    for (const int status : {0x92, 0x93, 0x95}) {
        const auto more = note_ons(static_cast<std::uint8_t>(status), 4);
        events.insert(events.end(), more.begin(), more.end());
    }
    EXPECT_TRUE(validate_style_file(with_events(6, 4, events)).empty());
}

TEST(ValidateStyleFile, ScaleCodedNotesAreNotDataBytes) {
    // Bit 7 in data 1 of a note is a scale step, not a range breach.
    EXPECT_TRUE(validate_style_file(with_events(1, 0, {0x90, scale_code(2, 5), 80})).empty());
    // Octave 0 can decode below note 0 for a minor chord.
    const auto breaches = validate_style_file(with_events(1, 0, {0x90, scale_code(2, 0), 80}));
    ASSERT_EQ(breaches.size(), 1u);
    EXPECT_EQ(breaches[0].tick, 0);
}

TEST(ValidateStyleFile, LastStyleShortOfATickMarkRunsToTheEndOfTheFile) {
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    streams[6].pop_back();
    // The reader takes the filled tail for events (themselves breaches) up to the end.
    const std::vector<StyleBreach> breaches = validate_style_file(build(streams).bytes);
    ASSERT_FALSE(breaches.empty());
    const StyleBreach& last = breaches.back();
    EXPECT_EQ(last.style, 7);
    EXPECT_EQ(last.tick, 15);
    EXPECT_EQ(last.offset, kStyleFileSize);
    EXPECT_NE(last.message.find("15 of 16 tick marks before the end of the file"),
              std::string::npos)
        << last.message;
}

TEST(ValidateStyleFile, BlocksBeyondTheReachableLimitAreBreaches) {
    // A block whose stream crosses offset 32766 in a (long) file.
    StyleBytes bytes = plain_file().bytes;
    bytes.resize(kMaxReachableOffset + 100, 0);
    const std::size_t offset = kMaxReachableOffset - 10;
    bytes[12] = static_cast<std::uint8_t>(offset & 0xFF);
    bytes[13] = static_cast<std::uint8_t>(offset >> 8);
    bytes[offset + 2] = 0x99; // three events then tick marks, past the limit
    const std::vector<StyleBreach> breaches = validate_style_file(bytes);
    const auto it = std::find_if(breaches.begin(), breaches.end(),
                                 [](const StyleBreach& b) { return b.style == 7; });
    ASSERT_NE(it, breaches.end());
    EXPECT_EQ(it->offset, kMaxReachableOffset + 1);
    EXPECT_NE(it->message.find("32766"), std::string::npos) << it->message;
}

TEST(ValidateStyleFile, TruncatedTableNamesEachMissingEntry) {
    const StyleBytes bytes = {14, 0, 14, 0, 14};
    const std::vector<StyleBreach> breaches = validate_style_file(bytes);
    std::vector<int> missing;
    for (const StyleBreach& breach : breaches) {
        if (breach.message.find("table entry") != std::string::npos) {
            missing.push_back(breach.style);
        }
    }
    EXPECT_EQ(missing, (std::vector<int>{3, 4, 5, 6, 7}));
}

TEST(DescribeBreach, NamesStyleTickAndOffset) {
    EXPECT_EQ(describe_breach({3, 5, 242, "data 2 is 200; at most 127"}),
              "style 3, tick 5, offset 242 (0x00F2): data 2 is 200; at most 127");
    EXPECT_EQ(describe_breach({0, -1, 0, "byte sum"}), "offset 0 (0x0000): byte sum");
}

} // namespace
} // namespace varkelon
