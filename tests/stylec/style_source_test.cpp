// SPDX-License-Identifier: GPL-3.0-or-later
#include "style_source.h"

#include <gtest/gtest.h>

#include <map>

namespace varkelon::stylec {
namespace {

// Seven styles with empty bars; `extra` lines go into the style of its key.
std::string seven_styles(const std::map<int, std::string>& extra = {}) {
    std::string text;
    for (int n = 1; n <= kStyleCount; ++n) {
        text += "style " + std::to_string(n) + " \"" +
                std::string(kStyleNames[static_cast<std::size_t>(n - 1)]) + "\"\n";
        text += "instrument " + std::to_string(n) + "\ntempo 130\n";
        if (const auto it = extra.find(n); it != extra.end()) {
            text += it->second;
        }
    }
    return text;
}

struct Compiled {
    std::vector<std::string> parse_errors;
    CompileResult result;
};

Compiled compile_text(const std::string& text) {
    Compiled compiled;
    std::vector<StyleSource> styles;
    parse_style_source("src.txt", text, styles, compiled.parse_errors);
    if (compiled.parse_errors.empty()) {
        compiled.result = compile_styles(styles, "src");
    }
    return compiled;
}

std::string all_errors(const Compiled& c) {
    std::string text;
    for (const auto& e : c.parse_errors) {
        text += e + "\n";
    }
    for (const auto& e : c.result.errors) {
        text += e + "\n";
    }
    return text;
}

TEST(CompileStyles, EmptyBarsMakeAnOriginalCleanFile) {
    const Compiled c = compile_text(seven_styles());
    ASSERT_TRUE(c.parse_errors.empty() && c.result.ok()) << all_errors(c);
    const StyleBytes& bytes = c.result.bytes;
    EXPECT_TRUE(style_file_is_original(bytes));
    EXPECT_TRUE(validate_style_file(bytes).empty());
    // Blocks of 18 bytes follow the table in style order.
    for (int n = 1; n <= kStyleCount; ++n) {
        const std::size_t offset = kStyleTableSize + 18 * static_cast<std::size_t>(n - 1);
        EXPECT_EQ(style_block_offset(bytes, n), offset);
        EXPECT_EQ(bytes[offset], n);
        EXPECT_EQ(bytes[offset + 1], 130);
    }
    EXPECT_EQ(c.result.free_bytes, kStyleFileSize - kStyleTableSize - 7 * 18);
}

struct EventCase {
    std::string line;
    std::array<std::uint8_t, 3> bytes;
};

void PrintTo(const EventCase& c, std::ostream* os) {
    *os << c.line;
}

class EventSyntax : public testing::TestWithParam<EventCase> {};

TEST_P(EventSyntax, CompilesToItsThreeBytes) {
    const Compiled c = compile_text(seven_styles({{2, "tick 3\n    " + GetParam().line + "\n"}}));
    ASSERT_TRUE(c.parse_errors.empty() && c.result.ok()) << all_errors(c);
    const std::size_t at = *style_block_offset(c.result.bytes, 2) + kStyleHeaderSize + 3;
    const std::array<std::uint8_t, 3> got = {c.result.bytes[at], c.result.bytes[at + 1],
                                             c.result.bytes[at + 2]};
    EXPECT_EQ(got, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Lines, EventSyntax,
                         testing::Values(EventCase{"note-on ch10 kick 100", {0x99, 36, 100}},
                                         EventCase{"note-on ch10 crash 64", {0x99, 57, 64}},
                                         EventCase{"note-on ch1 C5 90", {0x90, 60, 90}},
                                         EventCase{"note-on ch2 F#3 90", {0x91, 42, 90}},
                                         EventCase{"note-on ch3 Bb2 90", {0x92, 34, 90}},
                                         EventCase{"note-on ch1 0x3C 0", {0x90, 60, 0}},
                                         EventCase{"note-on ch5 deg 2 oct 5 80", {0x94, 0xAA, 80}},
                                         EventCase{"NOTE-OFF CH1 deg 7 oct 4", {0x80, 0xA7, 0}},
                                         EventCase{"note-off ch2 C3", {0x81, 36, 0}},
                                         EventCase{"note-off ch2 C3 64", {0x81, 36, 64}},
                                         EventCase{"control ch1 7 100", {0xB0, 7, 100}},
                                         EventCase{"program ch6 30", {0xC5, 30, 0}},
                                         EventCase{"ev 0xE0 0 64   # pitch bend", {0xE0, 0, 64}}));

struct ErrorCase {
    std::string name;
    std::string source;
    std::string where; // "src.txt:LINE"
    std::string message_part;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class SourceError : public testing::TestWithParam<ErrorCase> {};

TEST_P(SourceError, NamesFileLineAndFault) {
    const Compiled c = compile_text(GetParam().source);
    const std::string errors = all_errors(c);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.find(GetParam().where + ": "), std::string::npos) << errors;
    EXPECT_NE(errors.find(GetParam().message_part), std::string::npos) << errors;
    EXPECT_TRUE(c.result.bytes.empty()) << "no file from a faulty source";
}

// Line numbers: each style takes three lines, so style 1's extra lines start
// at line 4 and style 3's at line 10.
INSTANTIATE_TEST_SUITE_P(
    Faults, SourceError,
    testing::Values(
        ErrorCase{"UnknownWord", seven_styles({{1, "tick 0\n    note-of ch1 60\n"}}), "src.txt:5",
                  "unknown word \"note-of\""},
        ErrorCase{"NoteOutOfRange", seven_styles({{1, "tick 0\n    note-on ch1 128 9\n"}}),
                  "src.txt:5", "note 128 is outside 0..127"},
        ErrorCase{"BadNoteName", seven_styles({{1, "tick 0\n    note-on ch1 H5 9\n"}}), "src.txt:5",
                  "\"H5\" is not a note"},
        ErrorCase{"Channel17", seven_styles({{1, "tick 0\n    note-on ch17 60 9\n"}}), "src.txt:5",
                  "ch1..ch16"},
        ErrorCase{"Velocity128", seven_styles({{1, "tick 0\n    note-on ch1 60 128\n"}}),
                  "src.txt:5", "velocity 128 is outside 0..127"},
        ErrorCase{"MissingVelocity", seven_styles({{1, "tick 0\n    note-on ch1 60\n"}}),
                  "src.txt:5", "missing velocity"},
        ErrorCase{"TrailingWord", seven_styles({{1, "tick 0\n    program ch1 5 6\n"}}), "src.txt:5",
                  "unexpected \"6\""},
        ErrorCase{"Tick16", seven_styles({{1, "tick 16\n"}}), "src.txt:4", "outside 0..15"},
        ErrorCase{"TicksOutOfOrder", seven_styles({{1, "tick 4\ntick 2\n"}}), "src.txt:5",
                  "tick 2 after tick 4"},
        ErrorCase{"EventBeforeTick", seven_styles({{1, "note-on ch10 kick 9\n"}}), "src.txt:4",
                  "before the first \"tick\""},
        ErrorCase{"TempoOf255", seven_styles({{1, "tempo 255\n"}}), "src.txt:4",
                  "tempo 255 is outside 0..254"},
        ErrorCase{"RawTickMark", seven_styles({{1, "tick 0\n    ev 0 1 2\n"}}), "src.txt:5",
                  "status 0 is outside 1..255"},
        ErrorCase{"Unquoted", "style 1 Поп\n", "src.txt:1", "double quotes"},
        ErrorCase{"WrongName", "style 4 \"Поп\"\n", "src.txt:1", "named \"Техно\""},
        ErrorCase{"DuplicateStyle", seven_styles() + "style 2 \"Диско\"\ninstrument 0\ntempo 1\n",
                  "src.txt:22", "style 2 is given again"},
        ErrorCase{"MissingStyle", "style 1 \"Поп\"\ninstrument 0\ntempo 1\n", "src",
                  "no style 2 (\"Диско\")"},
        ErrorCase{"MissingTempo", "style 1 \"Поп\"\ninstrument 0\n", "src.txt:1",
                  "no \"tempo\" line"},
        // Breaches of the format found in the compiled bytes point at their line.
        ErrorCase{"SoloChannel", seven_styles({{3, "tick 1\n    note-on ch16 60 9\n"}}),
                  "src.txt:11", "style 3, tick 1"},
        ErrorCase{"RawDataOutOfRange", seven_styles({{1, "tick 2\n    ev 0xB0 7 200\n"}}),
                  "src.txt:5", "data 2 is 200"},
        ErrorCase{"SixteenNoteOns",
                  seven_styles({{1, "tick 0\n" +
                                        [] {
                                            std::string lines;
                                            for (int i = 0; i < 16; ++i) {
                                                lines += "note-on ch1 " + std::to_string(50 + i) +
                                                         " 9\n";
                                            }
                                            return lines;
                                        }()}}),
                  "src.txt:20", "more than 15 recorded note-ons"}),
    [](const testing::TestParamInfo<ErrorCase>& param) { return param.param.name; });

TEST(CompileStyles, TooMuchForTheFileSaysHowMuch) {
    std::string many = "tick 0\n";
    for (int i = 0; i < 70; ++i) {
        many += "control ch1 7 100\n";
    }
    std::map<int, std::string> extra;
    for (int n = 1; n <= kStyleCount; ++n) {
        extra[n] = many;
    }
    const Compiled c = compile_text(seven_styles(extra));
    // 14 + 7 * (18 + 210) = 1610: it fits, but 6 free bytes cannot reach the sum.
    EXPECT_NE(all_errors(c).find("the 6 free bytes would have to add"), std::string::npos)
        << all_errors(c);
    extra[1] += "control ch1 7 100\ncontrol ch1 7 100\ncontrol ch1 7 100\n";
    const Compiled bigger = compile_text(seven_styles(extra));
    EXPECT_NE(all_errors(bigger).find("take 1619 bytes, 3 more than the 1616"), std::string::npos)
        << all_errors(bigger);
}

TEST(CompileStyles, SumAboveWhatThePaddingAllowsIsRefused) {
    // Explicit padding of 255s everywhere leaves no free byte and overshoots.
    const Compiled c = compile_text(seven_styles({{7, "pad-after 255*1476\n"}}));
    EXPECT_NE(all_errors(c).find("0 free bytes would have to add -"), std::string::npos)
        << all_errors(c);
}

TEST(CompileStyles, PlacementWithAtLeavesFreeBytesBetween) {
    const Compiled c = compile_text(seven_styles({{2, "at 1000\n"}, {1, "pad-after 7*3\n"}}));
    ASSERT_TRUE(c.result.ok()) << all_errors(c);
    const StyleBytes& bytes = c.result.bytes;
    EXPECT_EQ(style_block_offset(bytes, 1), 14u);
    EXPECT_EQ(bytes[32], 7);
    EXPECT_EQ(bytes[34], 7);
    EXPECT_EQ(style_block_offset(bytes, 2), 1000u);
    // Style 3 follows style 2's region, not style 1's.
    EXPECT_EQ(style_block_offset(bytes, 3), 1018u);
    EXPECT_TRUE(style_file_is_original(bytes));
}

TEST(CompileStyles, OverlappingPlacementIsRefused) {
    const Compiled c = compile_text(seven_styles({{3, "at 20\n"}}));
    EXPECT_NE(all_errors(c).find("src.txt:7: style 3 at offset 20 overlaps bytes placed by "
                                 "src.txt:1"),
              std::string::npos)
        << all_errors(c);
}

TEST(Dump, CompilesBackToTheSameBytes) {
    // Blocks out of order with a gap before the first, a raw event, a scale
    // step with the ignored bit 6 set, and padding after a block.
    const std::string source = seven_styles(
        {{1, "at 900\ntick 0\n    note-on ch10 kick 100\n    ev 0x90 0xEA 80\n"
             "tick 15\n    note-off ch1 deg 2 oct 5 3\n    program ch2 40\n"},
         {2, "at 200\ntick 7\n    control ch3 10 64\n    ev 0xC0 1 2\n    note-on ch10 77 9\n"},
         {5, "pad-after 1 2 3 0 0\n"}});
    const Compiled c = compile_text(source);
    ASSERT_TRUE(c.result.ok()) << all_errors(c);

    const DumpResult dumped = dump_style_file(c.result.bytes);
    ASSERT_TRUE(dumped.ok());
    ASSERT_EQ(dumped.files.size(), 7u);
    EXPECT_EQ(dumped.files[3].name, "4-techno.txt");
    std::vector<StyleSource> styles;
    std::vector<std::string> errors;
    for (const DumpedFile& file : dumped.files) {
        parse_style_source(file.name, file.text, styles, errors);
    }
    ASSERT_TRUE(errors.empty()) << errors.front();
    const CompileResult again = compile_styles(styles, "dump");
    ASSERT_TRUE(again.ok()) << again.errors.front();
    EXPECT_EQ(again.free_bytes, 0u) << "the dump places every byte itself";
    EXPECT_EQ(again.bytes, c.result.bytes);
}

TEST(Dump, RefusesBlocksThatCannotBeReadWhole) {
    const Compiled c = compile_text(seven_styles());
    ASSERT_TRUE(c.result.ok());
    StyleBytes bytes = c.result.bytes;
    bytes[12] = 0x00; // style 7's entry now points into the table
    bytes[13] = 0x00;
    const DumpResult dumped = dump_style_file(bytes);
    ASSERT_FALSE(dumped.ok());
    EXPECT_NE(dumped.errors.front().find("style 7"), std::string::npos);

    bytes = c.result.bytes;
    bytes[12] = bytes[10]; // style 7 starts inside style 6's stream
    bytes[13] = bytes[11];
    bytes[12] = static_cast<std::uint8_t>(bytes[12] + 2);
    EXPECT_FALSE(dump_style_file(bytes).ok());
}

} // namespace
} // namespace varkelon::stylec
