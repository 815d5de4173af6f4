// SPDX-License-Identifier: GPL-3.0-or-later
#include "style_source.h"

#include "engine/note_rules.h"
#include "midi/midi_facts.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>

namespace varkelon::stylec {

namespace {

constexpr std::array<std::string_view, kStyleCount> kFileSlugs = {
    "pop", "disco", "country", "techno", "polka", "hard-rock", "heavy-metal"};

// General MIDI percussion names accepted for notes; the pad sounds first.
struct DrumName {
    std::string_view name;
    std::uint8_t note;
};
constexpr std::array<DrumName, 16> kDrumNames = {{
    {"kick", 36},
    {"snare", 38},
    {"hat", 42},
    {"open-hat", 46},
    {"tom-floor", 41},
    {"tom-low", 45},
    {"tom-mid", 48},
    {"crash", 57},
    {"kick2", 35},
    {"rim", 37},
    {"clap", 39},
    {"pedal-hat", 44},
    {"crash1", 49},
    {"ride", 51},
    {"tambourine", 54},
    {"cowbell", 56},
}};

constexpr std::array<std::string_view, 12> kPitchNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                          "F#", "G",  "G#", "A",  "A#", "B"};

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<long> parse_integer(std::string_view token) {
    int base = 10;
    bool negative = false;
    if (!token.empty() && token.front() == '-') {
        negative = true;
        token.remove_prefix(1);
    }
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        base = 16;
        token.remove_prefix(2);
    }
    long value = 0;
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, value, base);
    if (token.empty() || ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

// Note names count octaves from note 0, so C5 is note 60 and octave numbers
// match those of scale-coded notes ("deg 0 oct 5" is C5 too).
std::optional<int> parse_note_name(std::string_view token) {
    if (token.size() < 2) {
        return std::nullopt;
    }
    static constexpr std::array<int, 7> kLetterSemitone = {9, 11, 0, 2, 4, 5, 7}; // A..G
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])));
    if (letter < 'A' || letter > 'G') {
        return std::nullopt;
    }
    int semitone = kLetterSemitone[static_cast<std::size_t>(letter - 'A')];
    token.remove_prefix(1);
    if (token.front() == '#') {
        ++semitone;
        token.remove_prefix(1);
    } else if (token.front() == 'b' && token.size() > 1) {
        --semitone;
        token.remove_prefix(1);
    }
    const std::optional<long> octave = parse_integer(token);
    if (!octave || *octave < 0 || *octave > 10) {
        return std::nullopt;
    }
    return 12 * static_cast<int>(*octave) + semitone;
}

std::string note_name(int note) {
    return std::string(kPitchNames[static_cast<std::size_t>(note % 12)]) +
           std::to_string(note / 12);
}

std::vector<std::string> tokenize(std::string_view line, std::string& error) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break; // a comment starts a token; "F#5" is a note
        } else if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "unterminated quoted text";
                return {};
            }
            tokens.emplace_back(line.substr(i, close + 1 - i));
            i = close + 1;
        } else {
            std::size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') {
                ++j;
            }
            tokens.emplace_back(line.substr(i, j - i));
            i = j;
        }
    }
    return tokens;
}

class LineParser {
public:
    explicit LineParser(std::vector<std::string> tokens) : tokens_(std::move(tokens)) {}

    bool done() const { return next_ == tokens_.size(); }
    const std::string& peek() const { return tokens_[next_]; }

    std::string word(std::string_view what) {
        if (done()) {
            fail("missing " + std::string(what));
        }
        return tokens_[next_++];
    }

    int number(std::string_view what, long low, long high) {
        const std::string token = word(what);
        const std::optional<long> value = parse_integer(token);
        if (!value) {
            fail("expected " + std::string(what) + ", found \"" + token + "\"");
        }
        if (*value < low || *value > high) {
            fail(std::string(what) + " " + token + " is outside " + std::to_string(low) + ".." +
                 std::to_string(high));
        }
        return static_cast<int>(*value);
    }

    int channel() {
        const std::string token = lower(word("channel"));
        const std::optional<long> value =
            token.rfind("ch", 0) == 0 ? parse_integer(token.substr(2)) : std::nullopt;
        if (!value || *value < 1 || *value > kChannelCount) {
            fail("expected a channel ch1..ch16, found \"" + token + "\"");
        }
        return static_cast<int>(*value);
    }

    // A note number, a note name (C5 = 60), a drum name, or "deg D oct O".
    std::uint8_t note() {
        const std::string token = word("note");
        if (lower(token) == "deg") {
            const int degree = number("degree", 0, 7);
            if (done() || lower(word("oct")) != "oct") {
                fail("expected \"oct\" after the degree");
            }
            const int octave = number("octave", 0, 7);
            return scale_code(degree, octave);
        }
        if (const std::optional<long> value = parse_integer(token)) {
            if (*value < 0 || *value > 127) {
                fail("note " + token + " is outside 0..127");
            }
            return static_cast<std::uint8_t>(*value);
        }
        for (const DrumName& drum : kDrumNames) {
            if (lower(token) == drum.name) {
                return drum.note;
            }
        }
        const std::optional<int> named = parse_note_name(token);
        if (!named || *named < 0 || *named > 127) {
            fail("\"" + token + "\" is not a note (60, C5, F#4, Bb3, kick, deg 2 oct 5)");
        }
        return static_cast<std::uint8_t>(*named);
    }

    void finish() {
        if (!done()) {
            fail("unexpected \"" + peek() + "\"");
        }
    }

    [[noreturn]] void fail(const std::string& message) const { throw LineError{message}; }

    struct LineError {
        std::string message;
    };

private:
    std::vector<std::string> tokens_;
    std::size_t next_ = 0;
};

// Parses one event line into its three bytes.
std::array<std::uint8_t, kEventSize> parse_event(const std::string& keyword, LineParser& line) {
    std::array<std::uint8_t, kEventSize> bytes{};
    if (keyword == "note-on") {
        const int channel = line.channel();
        bytes = {status_byte(kNoteOn, channel), line.note(),
                 static_cast<std::uint8_t>(line.number("velocity", 0, 127))};
    } else if (keyword == "note-off") {
        const int channel = line.channel();
        const std::uint8_t note = line.note();
        const int velocity = line.done() ? 0 : line.number("velocity", 0, 127);
        bytes = {status_byte(kNoteOff, channel), note, static_cast<std::uint8_t>(velocity)};
    } else if (keyword == "control") {
        const int channel = line.channel();
        const int controller = line.number("controller", 0, 127);
        bytes = {status_byte(kControlChange, channel), static_cast<std::uint8_t>(controller),
                 static_cast<std::uint8_t>(line.number("value", 0, 127))};
    } else if (keyword == "program") {
        const int channel = line.channel();
        bytes = {status_byte(kProgramChange, channel),
                 static_cast<std::uint8_t>(line.number("program", 0, 127)), 0};
    } else {
        // Raw: any three bytes; a 0 status would be a tick mark, not an event.
        const int status = line.number("status", 1, 255);
        const int data1 = line.number("data 1", 0, 255);
        bytes = {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1),
                 static_cast<std::uint8_t>(line.number("data 2", 0, 255))};
    }
    line.finish();
    return bytes;
}

bool is_event_keyword(const std::string& keyword) {
    return keyword == "note-on" || keyword == "note-off" || keyword == "control" ||
           keyword == "program" || keyword == "ev";
}

void write_padding(std::ostringstream& out, std::string_view keyword,
                   const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    // Runs become "value*count"; at most 16 items a line.
    constexpr std::size_t kPerLine = 16;
    constexpr std::size_t kShortestRun = 4;
    std::size_t items = 0;
    for (std::size_t i = from; i < to;) {
        std::size_t run = 1;
        while (i + run < to && bytes[i + run] == bytes[i]) {
            ++run;
        }
        if (items % kPerLine == 0) {
            out << (items == 0 ? "" : "\n") << keyword;
        }
        out << ' ' << static_cast<int>(bytes[i]);
        if (run >= kShortestRun) {
            out << '*' << run;
        } else {
            run = 1;
        }
        i += run;
        ++items;
    }
    if (items > 0) {
        out << '\n';
    }
}

std::string hex_status(std::uint8_t status) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", status);
    return text;
}

std::string format_note(std::uint8_t status, std::uint8_t data1) {
    if (is_scale_coded(status, data1)) {
        return "deg " + std::to_string(scale_code_degree(data1)) + " oct " +
               std::to_string(scale_code_octave(data1));
    }
    if (status_channel(status) == kDrumChannel) {
        for (const DrumName& drum : kDrumNames) {
            if (drum.note == data1) {
                return std::string(drum.name);
            }
        }
        return std::to_string(data1);
    }
    return note_name(data1);
}

// The readable form of an event, or the raw one where the readable form
// cannot carry every bit of it.
std::string format_event(const StyleEvent& event) {
    const std::uint8_t status = event.status;
    const std::string channel = "ch" + std::to_string(status_channel(status));
    const std::uint8_t kind = status_kind(status);
    // The player ignores bit 6 of a scale step, so "deg D oct O" cannot keep it.
    const bool canonical_note =
        (event.data1 & kScaleCodedFlag) == 0 ||
        scale_code(scale_code_degree(event.data1), scale_code_octave(event.data1)) == event.data1;
    if (is_note_status(status) && canonical_note && event.data2 <= kMaxDataValue) {
        std::string text = (kind == kNoteOn ? "note-on " : "note-off ") + channel + " " +
                           format_note(status, event.data1);
        if (kind == kNoteOn || event.data2 != 0) {
            text += " " + std::to_string(event.data2);
        }
        return text;
    }
    if (kind == kControlChange && event.data1 <= kMaxDataValue && event.data2 <= kMaxDataValue) {
        return "control " + channel + " " + std::to_string(event.data1) + " " +
               std::to_string(event.data2);
    }
    if (kind == kProgramChange && event.data1 <= kMaxDataValue && event.data2 == 0) {
        return "program " + channel + " " + std::to_string(event.data1);
    }
    return "ev " + hex_status(status) + " " + std::to_string(event.data1) + " " +
           std::to_string(event.data2);
}

constexpr std::string_view kSourceLegend =
    "# Source of one style of the style data file; stylec compiles it.\n"
    "# Notes: a number 0..127, a name with C5 = 60 (C5 D#4 Bb3), a drum name\n"
    "# (kick snare hat open-hat tom-floor tom-low tom-mid crash ...), or a\n"
    "# scale step \"deg D oct O\" that follows the chord's major or minor mode.\n"
    "# Events: note-on CH NOTE VEL | note-off CH NOTE [VEL] | control CH NUM VAL\n"
    "#         program CH NUM | ev STATUS DATA1 DATA2 (raw bytes)\n"
    "# at: the block's offset. pad-before, pad-after: bytes the player never reads,\n"
    "# placed right before the block and right after its 16th tick mark (159*40 is\n"
    "# forty bytes of 159).\n";

} // namespace

std::string format_error(const SourceLocation& where, std::string_view message) {
    std::string text = where.file;
    if (where.line > 0) {
        text += ":" + std::to_string(where.line);
    }
    return text + ": " + std::string(message);
}

void parse_style_source(std::string_view file_name, std::string_view text,
                        std::vector<StyleSource>& styles, std::vector<std::string>& errors) {
    StyleSource* style = nullptr;
    int tick = -1;
    int line_number = 0;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view raw = text.substr(begin, end - begin);
        begin = end + 1;
        ++line_number;
        const SourceLocation where{std::string(file_name), line_number};
        std::string token_error;
        std::vector<std::string> tokens = tokenize(raw, token_error);
        if (!token_error.empty()) {
            errors.push_back(format_error(where, token_error));
            continue;
        }
        if (tokens.empty()) {
            continue;
        }
        const std::string keyword = lower(tokens.front());
        LineParser line(std::vector<std::string>(tokens.begin() + 1, tokens.end()));
        try {
            if (keyword == "style") {
                StyleSource next;
                next.number = line.number("style number", 1, kStyleCount);
                std::string name = line.word("style name");
                if (name.size() < 2 || name.front() != '"' || name.back() != '"') {
                    line.fail("the style name goes in double quotes");
                }
                next.name = name.substr(1, name.size() - 2);
                line.finish();
                next.where = where;
                styles.push_back(std::move(next));
                style = &styles.back();
                tick = -1;
                continue;
            }
            if (style == nullptr) {
                line.fail("\"" + tokens.front() + R"(" before the first "style" line)");
            }
            if (keyword == "at") {
                style->at = static_cast<std::size_t>(
                    line.number("block offset", 0, static_cast<long>(kMaxReachableOffset)));
                style->at_where = where;
            } else if (keyword == "instrument") {
                style->instrument =
                    static_cast<std::uint8_t>(line.number("instrument", 0, kMaxInstrument));
                style->instrument_where = where;
            } else if (keyword == "tempo") {
                style->tempo = static_cast<std::uint8_t>(line.number("tempo", 0, kMaxTempo));
                style->tempo_where = where;
            } else if (keyword == "tick") {
                const int next = line.number("tick", 0, kTicksPerBar - 1);
                if (next <= tick) {
                    line.fail("tick " + std::to_string(next) + " after tick " +
                              std::to_string(tick) + "; ticks go up from 0 to 15");
                }
                tick = next;
            } else if (keyword == "pad-before" || keyword == "pad-after") {
                SourcePadding& pad = keyword == "pad-before" ? style->pad_before : style->pad_after;
                if (line.done()) {
                    line.fail("no bytes after \"" + keyword + "\"");
                }
                while (!line.done()) {
                    // "159*40" is forty bytes of 159.
                    const std::string token = line.word("byte");
                    const std::size_t star = token.find('*');
                    LineParser parts({token.substr(0, star), star == std::string::npos
                                                                 ? std::string("1")
                                                                 : token.substr(star + 1)});
                    const int value = parts.number("byte", 0, 255);
                    const int count =
                        parts.number("repeat count", 1, static_cast<long>(kStyleFileSize));
                    pad.bytes.insert(pad.bytes.end(), static_cast<std::size_t>(count),
                                     static_cast<std::uint8_t>(value));
                    pad.where.insert(pad.where.end(), static_cast<std::size_t>(count), where);
                }
            } else if (is_event_keyword(keyword)) {
                if (tick < 0) {
                    line.fail("event before the first \"tick\" line");
                }
                SourceEvent event;
                event.bytes = parse_event(keyword, line);
                event.where = where;
                style->ticks[static_cast<std::size_t>(tick)].push_back(event);
            } else {
                line.fail("unknown word \"" + tokens.front() + "\"");
            }
            line.finish();
        } catch (const LineParser::LineError& error) {
            errors.push_back(format_error(where, error.message));
        }
    }
}

CompileResult compile_styles(const std::vector<StyleSource>& styles, std::string_view origin) {
    CompileResult result;
    const SourceLocation whole{std::string(origin), 0};
    std::array<const StyleSource*, kStyleCount> by_number{};
    for (const StyleSource& style : styles) {
        const auto index = static_cast<std::size_t>(style.number - 1);
        if (by_number[index] != nullptr) {
            result.errors.push_back(format_error(
                style.where, "style " + std::to_string(style.number) +
                                 " is given again (first at " + by_number[index]->where.file + ":" +
                                 std::to_string(by_number[index]->where.line) + ")"));
            continue;
        }
        by_number[index] = &style;
        if (style.name != kStyleNames[index]) {
            result.errors.push_back(
                format_error(style.where, "style " + std::to_string(style.number) + " is named \"" +
                                              std::string(kStyleNames[index]) + "\", not \"" +
                                              style.name + "\""));
        }
        if (!style.instrument) {
            result.errors.push_back(format_error(style.where, "no \"instrument\" line"));
        }
        if (!style.tempo) {
            result.errors.push_back(format_error(style.where, "no \"tempo\" line"));
        }
    }
    for (int number = 1; number <= kStyleCount; ++number) {
        if (by_number[static_cast<std::size_t>(number - 1)] == nullptr) {
            result.errors.push_back(format_error(
                whole, "no style " + std::to_string(number) + " (\"" +
                           std::string(kStyleNames[static_cast<std::size_t>(number - 1)]) + "\")"));
        }
    }
    if (!result.ok()) {
        return result;
    }

    // Lay the regions out: [padding before][block][padding after].
    std::vector<std::uint8_t> image;
    std::vector<bool> placed;
    std::vector<SourceLocation> origin_of; // which source line put each byte
    auto put = [&](std::size_t offset, std::uint8_t byte, const SourceLocation& where) {
        if (offset >= image.size()) {
            image.resize(offset + 1, 0);
            placed.resize(offset + 1, false);
            origin_of.resize(offset + 1);
        }
        image[offset] = byte;
        placed[offset] = true;
        origin_of[offset] = where;
    };
    for (std::size_t i = 0; i < kStyleTableSize; ++i) {
        put(i, 0, whole);
    }
    std::size_t cursor = kStyleTableSize;
    for (const StyleSource* style : by_number) {
        PlacedStyle layout;
        layout.number = style->number;
        const std::size_t before = style->pad_before.bytes.size();
        if (style->at) {
            if (*style->at < kStyleTableSize + before) {
                result.errors.push_back(format_error(
                    style->at_where, "block offset " + std::to_string(*style->at) +
                                         " leaves no room for the table and " +
                                         std::to_string(before) + " padding bytes before it"));
                return result;
            }
            layout.block_offset = *style->at;
        } else {
            layout.block_offset = cursor + before;
        }
        layout.region_begin = layout.block_offset - before;

        // Bytes of the region with the line each came from.
        std::vector<std::pair<std::uint8_t, SourceLocation>> region;
        for (std::size_t i = 0; i < before; ++i) {
            region.emplace_back(style->pad_before.bytes[i], style->pad_before.where[i]);
        }
        region.emplace_back(*style->instrument, style->instrument_where);
        region.emplace_back(*style->tempo, style->tempo_where);
        for (const std::vector<SourceEvent>& tick : style->ticks) {
            for (const SourceEvent& event : tick) {
                for (const std::uint8_t byte : event.bytes) {
                    region.emplace_back(byte, event.where);
                }
            }
            region.emplace_back(kTickMark, style->where);
        }
        layout.block_end = layout.region_begin + region.size();
        for (std::size_t i = 0; i < style->pad_after.bytes.size(); ++i) {
            region.emplace_back(style->pad_after.bytes[i], style->pad_after.where[i]);
        }
        layout.region_end = layout.region_begin + region.size();

        for (std::size_t i = 0; i < region.size(); ++i) {
            const std::size_t offset = layout.region_begin + i;
            if (offset < placed.size() && placed[offset]) {
                const SourceLocation& owner = origin_of[offset];
                const std::string other = offset < kStyleTableSize
                                              ? "the style table"
                                              : owner.file + ":" + std::to_string(owner.line);
                result.errors.push_back(
                    format_error(style->where, "style " + std::to_string(style->number) +
                                                   " at offset " + std::to_string(offset) +
                                                   " overlaps bytes placed by " + other));
                return result;
            }
            put(offset, region[i].first, region[i].second);
        }
        const std::size_t entry =
            kStyleTableEntrySize * static_cast<std::size_t>(style->number - 1);
        image[entry] = static_cast<std::uint8_t>(layout.block_offset & 0xFF);
        image[entry + 1] = static_cast<std::uint8_t>(layout.block_offset >> 8);
        cursor = layout.region_end;
        result.layout.push_back(layout);
    }

    if (image.size() > kStyleFileSize) {
        result.errors.push_back(format_error(
            whole, "the styles take " + std::to_string(image.size()) + " bytes, " +
                       std::to_string(image.size() - kStyleFileSize) + " more than the " +
                       std::to_string(kStyleFileSize) + " of the file"));
        return result;
    }
    image.resize(kStyleFileSize, 0);
    placed.resize(kStyleFileSize, false);
    origin_of.resize(kStyleFileSize);

    // Fill the bytes that nothing placed, evenly, so the sum comes out exact.
    const std::uint32_t fixed_sum = style_file_byte_sum(image);
    const auto free_count =
        static_cast<std::size_t>(std::count(placed.begin(), placed.end(), false));
    result.free_bytes = free_count;
    const std::uint64_t room = 255u * static_cast<std::uint64_t>(free_count);
    if (fixed_sum > kStyleFileByteSum || kStyleFileByteSum - fixed_sum > room) {
        const long needed = static_cast<long>(kStyleFileByteSum) - static_cast<long>(fixed_sum);
        result.errors.push_back(format_error(
            whole, "the placed bytes sum to " + std::to_string(fixed_sum) +
                       " and the sum must be " + std::to_string(kStyleFileByteSum) + ": the " +
                       std::to_string(free_count) + " free bytes would have to add " +
                       std::to_string(needed) + ", but can add 0 to " + std::to_string(room)));
        return result;
    }
    if (free_count > 0) {
        const std::uint32_t needed = kStyleFileByteSum - fixed_sum;
        const std::uint32_t each = needed / static_cast<std::uint32_t>(free_count);
        std::uint32_t extra = needed % static_cast<std::uint32_t>(free_count);
        for (std::size_t offset = 0; offset < kStyleFileSize; ++offset) {
            if (!placed[offset]) {
                image[offset] = static_cast<std::uint8_t>(each + (extra > 0 ? 1 : 0));
                extra -= extra > 0 ? 1 : 0;
            }
        }
    }

    for (const StyleBreach& breach : validate_style_file(image)) {
        const SourceLocation& where =
            breach.offset < origin_of.size() ? origin_of[breach.offset] : whole;
        result.errors.push_back(format_error(where, describe_breach(breach)));
    }
    if (result.ok()) {
        result.bytes = std::move(image);
    }
    return result;
}

DumpResult dump_style_file(const StyleBytes& bytes) {
    DumpResult result;
    std::vector<StyleBlock> blocks;
    for (int number = 1; number <= kStyleCount; ++number) {
        std::optional<StyleBlock> block = read_style_block(bytes, number);
        if (!block || !block->complete() || block->offset < kStyleTableSize) {
            result.errors.push_back("style " + std::to_string(number) +
                                    ": its block cannot be read to the 16th tick mark after the "
                                    "table; stylec --check names the fault");
            continue;
        }
        blocks.push_back(*block);
    }
    if (!result.ok()) {
        return result;
    }
    std::vector<const StyleBlock*> in_file_order;
    in_file_order.reserve(blocks.size());
    for (const StyleBlock& block : blocks) {
        in_file_order.push_back(&block);
    }
    std::sort(in_file_order.begin(), in_file_order.end(),
              [](const StyleBlock* a, const StyleBlock* b) { return a->offset < b->offset; });
    for (std::size_t i = 1; i < in_file_order.size(); ++i) {
        if (in_file_order[i]->offset < in_file_order[i - 1]->end) {
            result.errors.push_back("styles " + std::to_string(in_file_order[i - 1]->style) +
                                    " and " + std::to_string(in_file_order[i]->style) +
                                    " share bytes; the source gives each style its own block");
        }
    }
    if (!result.ok()) {
        return result;
    }

    // Bytes between the table and the first block precede that block; every
    // other gap follows the block before it.
    std::map<int, std::pair<std::size_t, std::size_t>> before;
    std::map<int, std::pair<std::size_t, std::size_t>> after;
    before[in_file_order.front()->style] = {kStyleTableSize, in_file_order.front()->offset};
    for (std::size_t i = 0; i < in_file_order.size(); ++i) {
        const std::size_t gap_end =
            i + 1 < in_file_order.size() ? in_file_order[i + 1]->offset : bytes.size();
        after[in_file_order[i]->style] = {in_file_order[i]->end, gap_end};
    }

    for (const StyleBlock& block : blocks) {
        std::ostringstream out;
        out << kSourceLegend << '\n';
        out << "style " << block.style << " \""
            << kStyleNames[static_cast<std::size_t>(block.style - 1)] << "\"\n";
        out << "at " << block.offset << '\n';
        out << "instrument " << static_cast<int>(*block.instrument) << '\n';
        out << "tempo " << static_cast<int>(*block.tempo) << "  # "
            << kTempoIntervalBase - *block.tempo << " ms a tick\n";
        if (const auto gap = before.find(block.style); gap != before.end()) {
            write_padding(out, "pad-before", bytes, gap->second.first, gap->second.second);
        }
        std::size_t next_event = 0;
        for (int tick = 0; tick < kTicksPerBar; ++tick) {
            out << "tick " << tick << '\n';
            while (next_event < block.events.size() && block.events[next_event].tick == tick) {
                out << "    " << format_event(block.events[next_event]) << '\n';
                ++next_event;
            }
        }
        const auto gap = after.at(block.style);
        write_padding(out, "pad-after", bytes, gap.first, gap.second);
        result.files.push_back({style_source_file_name(block.style), out.str()});
    }
    return result;
}

std::string style_source_file_name(int style) {
    return std::to_string(style) + "-" +
           std::string(kFileSlugs[static_cast<std::size_t>(style - 1)]) + ".txt";
}

} // namespace varkelon::stylec
