// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Form1: the main window of the instrument as the core sees it. It holds the
// state register and the control model, and every operation of the system is
// one of its member functions. The definitions live with their subsystem:
//   app/         load, unload, event routing, the register
//   midi/        the port, levels, velocity rules
//   keyboard/    key map, notes and key colours, chord entry, drum pads
//   engine/      pattern player, transport
//   instruments/ octave and instrument display
// Operations take no arguments and work on the register, as the handlers of
// the window do; only the event entry points carry the event's data.

#include "app/controls.h"
#include "app/ports.h"
#include "midi/midi_port.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkelon {

inline constexpr std::int16_t kTrue = -1; // flags of the register are 16-bit 0 / -1
inline constexpr std::int16_t kFalse = 0;
inline constexpr std::int16_t kNoKey = 45;

// Modifier mask of key and mouse events.
inline constexpr int kShift = 1;
inline constexpr int kCtrl = 2;
inline constexpr int kAlt = 4;
// A key or mouse event carries these three and nothing else; the events
// take only these bits of the mask they are given.
inline constexpr int kModifierBits = kShift | kCtrl | kAlt;

// Mouse buttons.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

// The commands of the menu bar that reach beyond the main window.
class FrameCommands {
public:
    virtual ~FrameCommands() = default;
    virtual void show_help() = 0;    // "Помощь"
    virtual void show_about() = 0;   // "О программе"
    virtual void exit_program() = 0; // "Выход"
};

// The shared variables of the main window, with their types and start values.
struct Form1Register {
    std::int32_t midi_out_handle = 0; // 1 while a port is open, else 0
    std::int32_t midi_device_id = 0;
    std::int32_t midi_device_count = 0;
    std::int16_t solo_volume = 0;
    std::int16_t accomp_volume = 0;
    std::int16_t master_volume = 0;
    std::int16_t key_index = 0;
    std::int16_t shift_state = 0;
    std::int16_t pad_index = 0;
    std::array<std::string, 12> note_names{};
    std::int16_t chord_root = 0;
    std::int16_t chord_minor = 0;
    std::int16_t demo_running = kFalse;
    std::int16_t demo_step = 0;
    std::uint8_t sttil = 0;
    std::uint8_t sttil1 = 0;
    std::uint8_t style_count = 0;
    std::array<std::string, 8> style_names{};
    std::int16_t style_start = 0;
    std::uint8_t style_header_size = 0;
    std::int16_t stream_pos = 0;
    std::uint8_t tick_in_bar = 0;
    std::uint8_t event_status = 0;
    // Signed, with chord_note and degree_semitone: a third lowered by Shift+Ctrl+Alt
    // can decode below note 0 before the note rules bring it back into range.
    std::int16_t event_data1 = 0;
    std::uint8_t event_data2 = 0;
    std::array<std::array<std::int32_t, 3>, 16> replay_buffer{};
    std::uint8_t replay_count = 0;
    std::int16_t chord_note = 0;
    std::uint8_t scale_degree = 0;
    std::int16_t degree_semitone = 0;
    std::uint8_t degree_octave = 0;
    std::int32_t out_note = 0;
    std::int16_t rhythm_running = kFalse;
    std::int16_t sync_armed = kFalse;
    std::int16_t accomp_mode = kFalse;
    std::int16_t accomp_active = kFalse;
    std::int16_t saved_accomp_mode = 0;
    std::uint8_t tempo = 0;
    std::uint8_t solo_program = 0;
    std::array<std::string, 128> instrument_names{};
    std::uint8_t saved_program = 0;
    std::uint8_t octave = 0;
    std::int16_t solo_base_note = 0;
    std::uint8_t saved_octave = 0;

    // The one press that the demonstration sounds an octave lower: its key,
    // so that the key's release ends that note; kNoKey when none.
    std::int16_t lowered_key = kNoKey;
    // Set by the caller for the next solo_note_on only.
    bool lower_next_press = false;

    // The value of a variable by its name, as text ("-1", "48", "\"C\"");
    // empty when there is no such variable.
    std::optional<std::string> get(std::string_view name) const;
};

// Timer1 and Timer2 are the window's; ChordTimer gathers the notes of a chord
// struck on a MIDI keyboard.
enum class TimerId : std::uint8_t { Timer1, Timer2, ChordTimer };

// How long the notes of a chord struck together on a MIDI keyboard are
// gathered before the chord is read: longer than the spread of a chord
// struck together by hand, shorter than a delay a player hears.
inline constexpr int kChordGatherMs = 15;

class Form1 {
public:
    Form1(MidiSystem& midi, SettingsStore& settings, Dialogs& dialogs, FrameCommands& frame);

    Form1Register r;
    ControlModel controls;

    // Every control the operations touch, resolved once when the window is
    // built, by identifier: a misspelt control does not compile, and no
    // event or tick looks a name up.
    Control& Label1; // style name
    ControlArray<2> Command1;
    ControlArray<3> Picture1; // style number
    Control& Frame1;          // the instrument panel
    Control& Label4;          // instrument name
    ControlArray<2> Command4;
    ControlArray<3> Picture3; // instrument number
    Control& Text1;
    Control& Command9;
    Control& Command10;
    Control& Command27;
    ControlArray<2> Command5;
    ControlArray<3> Picture2; // tempo
    Control& Frame4;
    Control& HScroll1;
    Control& HScroll2;
    Control& HScroll3;
    Control& HScroll4;
    Control& Label3;
    Control& Label5;
    Control& Label9;
    Control& Command15; // "Демо"
    Control& Command7;  // "Аккомпанемент"
    Control& Command3;  // "Синхростарт"
    Control& Command2;  // "Старт"/"Стоп"
    Control& Picture4;  // bar indicators
    Control& Picture5;
    ControlArray<37> key;
    ControlArray<8> Command17; // drum pads
    ControlArray<11> device;
    ControlArray<2> chan;
    Control& touch; // MIDI notes keep their touch (kept in the settings)

    ModelTimer timer1;
    ModelTimer timer2;
    ModelTimer chord_timer{"ChordTimer", kChordGatherMs, false, 0};
    int left = 0; // window position in twips
    int top = 0;

    // --- lifecycle (app/lifecycle.cpp) ---
    // `style_file` holds the bytes of the style data file as start-up verified them.
    void load(std::vector<std::uint8_t> style_file);
    void unload();
    bool loaded() const { return loaded_; }

    // --- events from the view or varkelon-sim (app/events.cpp) ---
    // A disabled or hidden control receives nothing; events without a
    // handler have no effect. Of a mask only Shift, Ctrl and Alt count.
    void key_down(int key_code, int mask);
    void key_up(int key_code, int mask);
    // A press that the control accepts pairs with the next release of the
    // same mouse button: that release goes to the control whatever has become
    // of it since. A release without an accepted press does nothing.
    void mouse_down(ControlId id, int button, int mask);
    void mouse_up(int button, int mask);
    void click(ControlId id);
    void dbl_click(ControlId id);
    void scroll(ControlId id, int value); // the user sets a slider
    void type_text(ControlId id, const std::string& text);
    void timer_tick(TimerId which); // delivered only while the timer is enabled
    // A message from a MIDI keyboard, with the computer keyboard's modifiers
    // held at that moment: notes, the pedals, the wheels and pressure.
    void midi_in(int status, int data1, int data2, int mask);
    // The MIDI keyboard went away: the keys it holds will get no note-off.
    void midi_keyboard_gone();
    // The window lost the focus: what the view held has been released.
    void focus_lost();
    // True for controls whose handlers run on mouse press and release rather than on click.
    bool reacts_to_mouse(ControlId id) const;

    // Sets a slider's value; its change handler runs when the value changes,
    // whether the user or the code sets it.
    void set_scroll_value(Control& slider, int value);

    Control& pad(int i) { return Command17(i); }
    Control& device_item(int i) { return device(i); }

    // --- MIDI port (midi/midi_port.cpp) ---
    void fill_device_menu();
    void select_midi_device(int index);
    void device_Click(int index); // the user's choice in the device menu
    void send_short_message(int status, int data1, int data2);
    void close_midi_port(); // silences the open port first, so no note hangs there

    // --- levels (midi/levels.cpp) ---
    void scroll_changed(Control& slider); // HScroll2/3/4
    void show_level(Control& slider);
    int solo_velocity() const;
    int chord_bass_velocity() const;
    int chord_note_velocity() const;
    int style_event_velocity(int data2) const;
    int midi_touch_velocity(int velocity) const; // a MIDI keyboard's note, by its touch
    void all_notes_off();
    void silence_accompaniment(); // all notes off but on the solo channel
    void send_solo_program();

    // --- key map and input (keyboard/key_map.cpp) ---
    static std::int16_t map_key_code(int key_code);
    void Form_KeyDown(int key_code, int mask);
    void Form_KeyUp(int key_code, int mask);
    void key_MouseDown(int index, int button, int mask);
    void key_MouseUp(int index, int button, int mask);
    void refresh_key_tooltips();

    // --- notes and key colours (keyboard/note_playing.cpp) ---
    void press_key();
    void release_key();
    void solo_note_on();
    void release_notes();
    void paint_black_keys();
    void paint_chord_keys();

    // --- chord entry (keyboard/chord_entry.cpp) ---
    void sound_chord();

    // --- demonstration (keyboard/demo.cpp) ---
    void Command15_Click(); // "Демо"
    void start_demo();
    void demo_tick();
    void end_demo();

    // --- MIDI keyboard (keyboard/midi_keyboard.cpp) ---
    void midi_note(int status, int data1, int data2, int mask);
    void midi_control(int status, int data1, int data2); // pedals, wheels, pressure
    void release_midi_keys();
    void release_midi_pedal(); // lets go of the sustain pedal the MIDI keyboard holds
    void touch_Click();
    void load_touch_option();
    void chord_timer_tick(); // the notes gathered in the chord zone make their chord

    // --- drum pads (keyboard/drum_pads.cpp) ---
    void strike_pad();
    void Command17_MouseDown(int index, int button, int mask);
    void Command17_MouseUp(int index, int button, int mask);

    // The handlers of the controls that take mouse presses and releases:
    // one switch serves dispatch and reacts_to_mouse.
    using MouseHandler = void (Form1::*)(int index, int button, int mask);
    struct MouseHandlers {
        MouseHandler down = nullptr; // nullptr: the control takes clicks, not presses
        MouseHandler up = nullptr;
    };
    static MouseHandlers mouse_handlers(Ctl c);

    // --- style data and style selection (engine/style_selection.cpp) ---
    // The byte at a one-based position of the style data file; positions
    // outside the file, or past what a signed 16-bit position reaches, read
    // as tick marks.
    std::uint8_t read_style_byte(int position) const;
    void Нач_адрес_стиля();
    void Command1_MouseDown(int index, int button, int mask);

    // --- pattern player (engine/pattern_player.cpp) ---
    void timer1_tick();
    void play_pattern_tick();
    void send_pattern_event();
    void replay_chord_notes();

    // --- transport (engine/transport.cpp) ---
    void Command2_Click(); // "Старт" / "Стоп"
    void Command3_Click(); // "Синхростарт"
    void Command7_Click(); // "Аккомпанемент"
    void apply_transport_state();
    void apply_accomp_mode();
    void on_chord_key();
    void timer2_tick();
    void save_settings();
    // The first stream byte of the current style.
    void rewind_stream();
    void set_rhythm_running(bool on);
    void set_sync_armed(bool on);

    // --- tempo (engine/tempo.cpp) ---
    void show_tempo();
    void Command5_Click(int index);

    // --- instrument panel (instruments/instrument_panel.cpp) ---
    void fill_instrument_names();
    void show_instrument();
    void octave_for_program();
    void update_instrument_arrows();
    void preview_note_off();
    void Command4_MouseDown(int index, int button, int mask); // arrows
    void Command4_MouseUp(int index, int button, int mask);
    void Command10_MouseDown(int index, int button, int mask); // "В начало"
    void Command10_MouseUp(int index, int button, int mask);
    void Picture3_DblClick();                                 // manual entry
    void Command9_MouseDown(int index, int button, int mask); // "ОК"
    void Command9_MouseUp(int index, int button, int mask);
    void Command27_MouseDown(int index, int button, int mask); // "Назад"
    void Command27_MouseUp(int index, int button, int mask);

    // --- octave (instruments/octave.cpp) ---
    void show_octave();
    void octave_changed();
    void preview_instrument();

private:
    MidiSystem& midi_;
    SettingsStore& settings_;
    Dialogs& dialogs_;
    FrameCommands& frame_;

    bool loaded_ = false;
    bool demo_sets_octave_ = false; // the start of the demonstration moves the slider

    // What each note of the MIDI keyboard does while it is held.
    enum class MidiRole : std::uint8_t {
        None,
        Key,       // presses a virtual key (MidiHeld::key)
        Direct,    // sounds on the solo channel beyond the virtual keys
        ChordZone, // part of a fingered chord
    };
    struct MidiHeld {
        MidiRole role = MidiRole::None;
        std::int16_t key = -1;
    };
    std::array<MidiHeld, 128> midi_held_{};
    std::bitset<128> chord_zone_;   // chord-zone notes held
    std::bitset<128> chord_struck_; // chord-zone notes struck since the gathering began
    int chord_mask_ = 0;            // the modifiers held at the last chord-zone strike
    int midi_chord_key_ = -1;       // the chord key that the chord zone holds down
    std::int16_t midi_chord_third_ = 0;
    bool midi_pedal_down_ = false;          // the MIDI keyboard holds the sustain pedal
    bool chord_from_midi_ = false;          // the chord key being pressed is a fingered chord
    std::optional<int> touch_velocity_;     // the velocity of the solo note being pressed
    std::vector<std::uint8_t> style_bytes_; // the open style data file
    // Mouse button -> the control that accepted its press, until its release.
    std::map<int, ControlId> mouse_presses_;

    // The level sliders with their labels and the level each sets.
    struct LevelSlider {
        Control* slider;
        Control* label;
        const char* text;
        std::int16_t Form1Register::*level;
    };
    std::array<LevelSlider, 3> level_sliders_;
    const LevelSlider* level_of(const Control& slider) const;

    // The number display with its arrows, or the entry box with "Назад".
    void show_number_entry(bool on);
    // The display, program change and preview that follow every choice.
    void choose_instrument();
};

} // namespace varkelon
