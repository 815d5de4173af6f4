// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/layout.h"
#include "app/main_window.h"
#include "engine/style_format.h"

namespace varkelon {

Form1::Form1(MidiSystem& midi, SettingsStore& settings, Dialogs& dialogs, FrameCommands& frame)
    : controls(make_form1_controls()), Label1(controls.at(Ctl::Label1)),
      Command1(controls, Ctl::Command1), Picture1(controls, Ctl::Picture1),
      Frame1(controls.at(Ctl::Frame1)), Label4(controls.at(Ctl::Label4)),
      Command4(controls, Ctl::Command4), Picture3(controls, Ctl::Picture3),
      Text1(controls.at(Ctl::Text1)), Command9(controls.at(Ctl::Command9)),
      Command10(controls.at(Ctl::Command10)), Command27(controls.at(Ctl::Command27)),
      Command5(controls, Ctl::Command5), Picture2(controls, Ctl::Picture2),
      Frame4(controls.at(Ctl::Frame4)), HScroll1(controls.at(Ctl::HScroll1)),
      HScroll2(controls.at(Ctl::HScroll2)), HScroll3(controls.at(Ctl::HScroll3)),
      HScroll4(controls.at(Ctl::HScroll4)), Label3(controls.at(Ctl::Label3)),
      Label5(controls.at(Ctl::Label5)), Label9(controls.at(Ctl::Label9)),
      Command15(controls.at(Ctl::Command15)), Command7(controls.at(Ctl::Command7)),
      Command3(controls.at(Ctl::Command3)), Command2(controls.at(Ctl::Command2)),
      Picture4(controls.at(Ctl::Picture4)), Picture5(controls.at(Ctl::Picture5)),
      key(controls, Ctl::key), Command17(controls, Ctl::Command17), device(controls, Ctl::device),
      chan(controls, Ctl::chan), touch(controls.at(Ctl::touch)), timer1(make_timer1()),
      timer2(make_timer2()), midi_(midi), settings_(settings), dialogs_(dialogs),
      frame_(frame), level_sliders_{{
                         {&HScroll2, &Label3, "соло = ", &Form1Register::solo_volume},
                         {&HScroll3, &Label5, "аккомпанемент = ", &Form1Register::accomp_volume},
                         {&HScroll4, &Label9, "общая = ", &Form1Register::master_volume},
                     }} {}

// The start-up sequence: every panel gets its start state in one fixed order,
// and later steps depend on what earlier ones have (or have not yet) set.
void Form1::load(std::vector<std::uint8_t> style_file) {
    loaded_ = true;

    fill_device_menu();
    select_midi_device(0);
    chan(0).checked = true;
    timer1.set_enabled(false); // ticks only once the transport starts it
    r.sttil = 1;

    // Sounds of the live chord: bass on channel 14, chord notes on channel 15.
    send_short_message(status_byte(kProgramChange, kLiveChordBassChannel), kLiveChordBassProgram,
                       0);
    send_short_message(status_byte(kProgramChange, kLiveChordChannel), kLiveChordProgram, 0);

    fill_instrument_names();
    r.demo_step = 0;
    save_settings();
    r.demo_running = kFalse;

    // Moves the slider from its design value 0, so its change handling runs
    // here: the preview note goes out while the master level is still 0.
    r.octave = 4;
    show_octave();

    for (int i = 0; i < kPadCount; ++i) {
        pad(i).back_color = colors::kWhite;
    }

    r.solo_volume = 100;
    r.accomp_volume = 100;
    r.master_volume = 100;
    for (Control* slider : {&HScroll2, &HScroll3, &HScroll4}) {
        set_scroll_value(*slider, 100);
        show_level(*slider);
    }

    chan(1).checked = true;
    load_touch_option();
    r.note_names = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    refresh_key_tooltips();

    r.style_count = kStyleCount;
    for (std::size_t i = 0; i < kStyleNames.size(); ++i) {
        r.style_names[i] = std::string(kStyleNames[i]);
    }
    Picture4.picture = pictures::kLampsDark;
    Picture5.picture = pictures::kLampsDark;

    left = read_position(settings_, "left1", kForm1DefaultLeft);
    top = read_position(settings_, "top1", kForm1DefaultTop);

    style_bytes_ = std::move(style_file);

    r.solo_program = 0;
    // Style 1 gives the solo instrument and the tempo.
    Нач_адрес_стиля();

    r.style_header_size = kStyleHeaderSize;
    r.rhythm_running = kFalse;
    r.sync_armed = kFalse;
    for (Control* button : {&Command3, &Command2, &Command7}) {
        button->back_color = colors::kButtonFace;
    }
    r.accomp_mode = kFalse;
    r.accomp_active = kFalse;
    rewind_stream();
    r.tick_in_bar = 0;

    for (int k = 0; k < kKeyCount; ++k) {
        if (!is_black_key(k)) {
            key(k).back_color = colors::kWhite;
        }
    }
    paint_black_keys();
}

void Form1::unload() {
    if (!loaded_) {
        return;
    }
    close_midi_port();
    style_bytes_.clear();
    write_position(settings_, "left1", left);
    write_position(settings_, "top1", top);
    timer1.set_enabled(false);
    timer2.set_enabled(false);
    chord_timer.set_enabled(false);
    mouse_presses_.clear();
    loaded_ = false;
}

} // namespace varkelon
