// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Module1: the program entry and the life of the three windows.

#include "app/main_window.h"

#include <cstdint>
#include <string>

namespace varkelon {

// The help window (Form2) or the about window (Form4): no state but whether it
// is open and where it stands.
struct SecondaryWindow {
    std::string left_key;
    std::string top_key;
    int default_left = 0;
    int default_top = 0;
    bool loaded = false;
    int left = 0;
    int top = 0;
    std::uint64_t raises = 0; // counts the times it was shown, so the view can raise it

    void show(SettingsStore& settings);   // loads it when not open, then brings it to the front
    void unload(SettingsStore& settings); // saves the position when open
};

enum class FormId : std::uint8_t { Form1, Form2, Form4 };

struct ProgramPorts {
    MidiSystem& midi;
    SettingsStore& settings;
    StyleFileSource& style_file;
    Dialogs& dialogs;
};

class Program final : public FrameCommands {
public:
    explicit Program(ProgramPorts ports);

    // Verifies the style data file and loads the main window. On failure the
    // message is shown, no window is loaded and the program has ended.
    bool start();

    Form1& form1() { return form1_; }
    SecondaryWindow& help() { return help_; }
    SecondaryWindow& about() { return about_; }

    void show_help() override;
    void show_about() override;
    void exit_program() override;

    // The close box, or "Закрыть" of the help and about windows.
    void close(FormId form);
    void move(FormId form, int left, int top);
    // Where a window stands, in twips (a window not open: where it last stood).
    struct Position {
        int left;
        int top;
    };
    Position position(FormId form) const;
    bool ended() const { return ended_; }

private:
    void end_if_no_window_left();

    ProgramPorts ports_;
    Form1 form1_;
    SecondaryWindow help_;
    SecondaryWindow about_;
    bool ended_ = false;
};

// The result of checking the style data file before anything else starts.
enum class StyleFileCheck : std::uint8_t { Ok, Missing, NotOriginal };
StyleFileCheck check_style_file(const StyleFileSource::Result& file);
StyleFileCheck check_style_file(StyleFileSource& source);

// The two start-up messages, exactly as shown.
std::string missing_file_message();
std::string not_original_message();

} // namespace varkelon
