// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The readable source of the style data file: parsing, compiling into the
// binary file, and dumping a binary file back into source.

#include "engine/style_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkelon::stylec {

struct SourceLocation {
    std::string file;
    int line = 0;
};

// "file:line: message", or "file: message" when no line applies.
std::string format_error(const SourceLocation& where, std::string_view message);

struct SourceEvent {
    std::array<std::uint8_t, kEventSize> bytes{};
    SourceLocation where;
};

// Bytes that the player never reads, placed as the source says.
struct SourcePadding {
    std::vector<std::uint8_t> bytes;
    std::vector<SourceLocation> where; // one per byte
};

struct StyleSource {
    int number = 0;
    std::string name;
    SourceLocation where;
    std::optional<std::size_t> at; // block offset, when given
    SourceLocation at_where;
    std::optional<std::uint8_t> instrument;
    SourceLocation instrument_where;
    std::optional<std::uint8_t> tempo;
    SourceLocation tempo_where;
    SourcePadding pad_before; // immediately before the block
    SourcePadding pad_after;  // immediately after the 16th tick mark
    std::array<std::vector<SourceEvent>, kTicksPerBar> ticks;
};

// Parses one source text, which may hold one or more styles. Errors are
// appended (each naming file and line); parsing goes on after an error so
// that one run reports them all.
void parse_style_source(std::string_view file_name, std::string_view text,
                        std::vector<StyleSource>& styles, std::vector<std::string>& errors);

// Where a style ended up in the compiled file.
struct PlacedStyle {
    int number = 0;
    std::size_t region_begin = 0; // first padding-before byte, or the block
    std::size_t block_offset = 0;
    std::size_t block_end = 0; // one past the 16th tick mark
    std::size_t region_end = 0;
};

struct CompileResult {
    StyleBytes bytes;
    std::vector<PlacedStyle> layout; // by style number
    std::size_t free_bytes = 0;      // filled by the compiler to reach the byte sum
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};

// Builds the style data file from the seven styles. Blocks without "at" follow
// the previous style's region (the first right after the table); every byte
// that no style places is filled so that the file has the required length and
// byte sum. `origin` names the source in errors that concern all styles.
CompileResult compile_styles(const std::vector<StyleSource>& styles, std::string_view origin);

struct DumpedFile {
    std::string name; // e.g. "1-pop.txt"
    std::string text;
};

struct DumpResult {
    std::vector<DumpedFile> files; // one per style, by number
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};

// Writes a file back as source that compiles to the same bytes, padding
// included. Fails for a file whose blocks cannot each be read to their 16th
// tick mark, or that overlap the table or each other.
DumpResult dump_style_file(const StyleBytes& bytes);

std::string style_source_file_name(int style);

} // namespace varkelon::stylec
