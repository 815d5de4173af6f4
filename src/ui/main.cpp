// SPDX-License-Identifier: GPL-3.0-or-later
// The program entry: the real ports, the start of the program, the windows.

#include "adapters/disk_style_file.h"
#include "adapters/early_start_midi.h"
#include "adapters/startup_trace.h"
#include "app/program.h"
#include "midi/backends/midi_keyboard_input.h"
#include "midi/backends/system_midi.h"
#include "midi/tee_midi.h"
#include "ui/audio_wake.h"
#include "ui/command_line.h"
#include "ui/font_warmup.h"
#include "ui/fonts.h"
#include "ui/message_boxes.h"
#include "ui/midi_log.h"
#include "ui/program_view.h"
#include "ui/qt_settings_store.h"
#include "ui/quit_signals.h"
#include "ui/x11_auto_repeat.h"

#include <QApplication>
#include <QStyleFactory>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

int main(int argc, char* argv[]) {
    using namespace varkelon;

    // Answered before anything starts: no display, sound or style file needed.
    switch (const CommandLine line = parse_command_line(argc, argv); line.action) {
    case CommandLine::Action::Help:
        std::fputs(usage_text().c_str(), stdout);
        return EXIT_SUCCESS;
    case CommandLine::Action::Version:
        std::fputs(version_text().c_str(), stdout);
        return EXIT_SUCCESS;
    case CommandLine::Action::Error:
        std::fprintf(stderr, "varkelon: %s\n\n%s", line.error.c_str(), usage_text().c_str());
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    trace_startup("main");
    // First of all, since they take longest: the MIDI outputs list their
    // ports and the built-in synth opens, on threads of their own, while the
    // application and the window are made; fontconfig reads its files beside
    // them. The program's start then takes their answers, at its usual steps.
    // The synth must know the styles' programs when its SoundFont load
    // begins, so the style file is read here as well as by the start.
    DiskStyleFile style_file(locate_style_file(executable_dir()));
    // Sets the environment the audio libraries read: before any thread runs.
    std::unique_ptr<SystemMidi> system =
        make_system_midi(programs_to_keep_loaded(style_file.read().bytes));
    BuiltinSynth& synth = system->synth();
    // Qt takes DESKTOP_STARTUP_ID out of the environment as the application
    // starts, which shifts every entry after it while those threads read the
    // environment: placed last, taking it out moves nothing they read.
    if (const char* id = std::getenv("DESKTOP_STARTUP_ID"); id != nullptr) {
        const std::string startup_id = id;
        unsetenv("DESKTOP_STARTUP_ID");
        setenv("DESKTOP_STARTUP_ID", startup_id.c_str(), 1);
    }
    FontConfigWarmup fonts;
    std::unique_ptr<MidiSystem> midi = std::make_unique<EarlyStartMidi>(std::move(system));
    if (const char* log = std::getenv("VARKELON_MIDI_LOG"); log != nullptr && *log != '\0') {
        midi = std::make_unique<TeeMidiSystem>(std::move(midi), MidiLogFile(log));
    }

    QApplication app(argc, argv);
    // Ties the windows to the menu entry varkelon.desktop (its icon, its name).
    QGuiApplication::setDesktopFileName(QStringLiteral("varkelon"));
    // The program ends when the core says so, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")); fusion != nullptr) {
        QApplication::setStyle(fusion); // the same look on every desktop
    }
    QApplication::setFont(design_font(8.25, false));
    request_detectable_auto_repeat(); // held keys repeat their press alone
    trace_startup("application");
    AudioWakeFilter audio_wake([&synth] { synth.wake(); });
    app.installEventFilter(&audio_wake);

    QtSettingsStore settings;
    QtDialogs dialogs;
    QuitSignals quit_signals;
    Program program(ProgramPorts{*midi, settings, style_file, dialogs});
    fonts.join(); // before the first widget asks for a font
    // Built before the start (it needs only the controls' design) and shown
    // after it, so every message of the start still comes before the window.
    ProgramView view(program, midi.get());
    trace_startup("view-built");
    if (!program.start()) {
        return EXIT_FAILURE; // the message has been shown
    }
    trace_startup("program-started");
    QObject::connect(&view, &ProgramView::ended, &app, [] { QCoreApplication::exit(0); });
    view.show();
    trace_startup("window-shown");

    // After the window: a MIDI keyboard is not needed to see it. Its
    // messages come on a thread of the port's and are handed to this one.
    const auto keyboard_input = MidiKeyboardInput::start(
        {view.midi_message_from_port(), view.midi_keyboard_gone_from_port()});

    const int status = quit_signals.requested() ? 0 : QApplication::exec();
    if (!program.ended()) {
        // The event loop ended from outside (the session is closing): unload
        // as "Выход" would, so positions are saved and the port is closed.
        program.exit_program();
    }
    return status;
}
