// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/fakes.h"
#include "app/program.h"
#include "app/timer_grid.h"
#include "midi/recording_midi.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varkelon::sim {

struct Options {
    std::optional<std::filesystem::path> data;
    std::optional<std::filesystem::path> settings;
    std::vector<std::string> devices;
    int open_fail = 0;
    std::optional<std::filesystem::path> smf;
};

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits one script line into words and double-quoted strings (a backslash
// escapes a double quote or a backslash inside them); a hash sign outside
// quotes starts a comment. False on an unterminated string.
bool tokenize(const std::string& line, std::vector<Token>& out, std::string& error);

// Text in double quotes with \" and \\ escaped, as every quoted output is.
std::string quote(const std::string& text);

// Runs the core with a recording MIDI port, scripted dialogs, a settings store
// and a virtual clock, printing what the system does.
class Simulator {
public:
    Simulator(Options options, std::ostream& out, const std::filesystem::path& exe_dir);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Runs a whole script. Returns 0, or 2 after a malformed line, which is
    // reported on `err` with its number; nothing after it runs.
    int run(std::istream& in, std::ostream& err);

private:
    bool execute(const std::vector<Token>& t, std::string& error);
    bool get(const std::vector<Token>& t, std::string& error);
    void print_layout();
    bool get_property(const std::string& target, std::string& error);
    void deliver_tick(TimerId which);
    void sync_timers();
    void note_end();
    bool write_smf(std::string& error) const;

    Options options_;
    std::ostream& out_;
    RecordingMidiSystem midi_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<StyleFileSource> style_file_;
    std::unique_ptr<Program> program_;
    TimerGrid grid1_;
    TimerGrid grid2_;
    TimerGrid chord_grid_;
    std::int64_t now_ms_ = 0;
    bool ended_printed_ = false;
    std::vector<std::pair<std::int64_t, std::uint32_t>> sent_; // for --smf
};

} // namespace varkelon::sim
