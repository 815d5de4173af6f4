// SPDX-License-Identifier: GPL-3.0-or-later
// The "Инструмент" panel: the solo instrument's number and name, the arrows,
// "В начало", and the entry of a number by hand.

#include "app/main_window.h"
#include "instruments/catalogue.h"
#include "instruments/leading_number.h"
#include "midi/midi_facts.h"

#include <cmath>

namespace varkelon {

namespace {

constexpr const char* kPanelCaption = "Инструмент";
constexpr const char* kEntryCaption = "Введите инструмент вручную";
constexpr const char* kEntryTitle = "Ввод номера инструмента";
constexpr const char* kEntryRejected = "Неправильный ввод. Попробуйте ещё раз.";

} // namespace

void Form1::fill_instrument_names() {
    for (std::size_t i = 0; i < kInstrumentNames.size(); ++i) {
        r.instrument_names[i] = std::string(kInstrumentNames[i]);
    }
}

void Form1::show_instrument() {
    Label4.caption = " " + r.instrument_names[r.solo_program & 127];
    show_number(Picture3, r.solo_program);
}

void Form1::octave_for_program() {
    r.octave = is_bass_program(r.solo_program) ? 2 : 4;
    show_octave();
}

void Form1::update_instrument_arrows() {
    Command4(0).enabled = r.solo_program > 0;
    Command4(1).enabled = r.solo_program < 127;
}

// The release of every button of the panel ends the preview, whether one sounded or not.
void Form1::preview_note_off() {
    send_short_message(status_byte(kNoteOff, kSoloChannel), r.octave * 12 + 12, 0);
}

void Form1::choose_instrument() {
    show_instrument();
    send_solo_program();
    preview_instrument();
}

void Form1::Command4_MouseDown(int index, int /*button*/, int /*mask*/) {
    const int next = r.solo_program + (index == 0 ? -1 : 1);
    if (next < 0 || next > 127) {
        return; // the arrow at either end is disabled
    }
    r.solo_program = static_cast<std::uint8_t>(next);
    r.saved_program = r.solo_program;
    octave_for_program();
    choose_instrument();
    refresh_key_tooltips();
}

void Form1::Command4_MouseUp(int /*index*/, int /*button*/, int /*mask*/) {
    update_instrument_arrows();
    preview_note_off();
}

void Form1::Command10_MouseDown(int /*index*/, int /*button*/, int /*mask*/) {
    r.solo_program = 0;
    octave_for_program();
    update_instrument_arrows();
    choose_instrument();
}

void Form1::Command10_MouseUp(int /*index*/, int /*button*/, int /*mask*/) {
    preview_note_off();
}

void Form1::show_number_entry(bool on) {
    Frame1.caption = on ? kEntryCaption : kPanelCaption;
    for (int i = 0; i < Picture3.size(); ++i) {
        Picture3(i).visible = !on;
    }
    Command4(0).visible = !on;
    Command4(1).visible = !on;
    Command10.visible = !on;
    Command27.visible = on;
    Text1.visible = on;
    Label4.fore_color = on ? colors::kNameEntryRed : colors::kNameBlue;
}

void Form1::Picture3_DblClick() {
    show_number_entry(true);
    Command9.visible = true;
    Text1.back_color = colors::kEntryBoxRed;
}

void Form1::Command9_MouseDown(int /*index*/, int /*button*/, int /*mask*/) {
    const double v = leading_number(Text1.text);
    if (v == 0) {
        dialogs_.message_box(MessageIcon::Exclamation, kEntryTitle, kEntryRejected);
        Text1.text.clear();
        return;
    }
    // Halves go to the even neighbour; beyond either end, the end.
    r.solo_program = v > 127 ? 127 : v < 0 ? 0 : static_cast<std::uint8_t>(std::nearbyint(v));
    Frame1.caption = kPanelCaption;
    octave_for_program();
    show_number_entry(false);
    update_instrument_arrows();
    choose_instrument();
}

void Form1::Command9_MouseUp(int /*index*/, int /*button*/, int /*mask*/) {
    preview_note_off();
    if (!Text1.text.empty()) {
        Command9.visible = false;
    }
}

void Form1::Command27_MouseDown(int /*index*/, int /*button*/, int /*mask*/) {
    Frame1.caption = kPanelCaption;
    octave_for_program();
    show_number_entry(false);
    Command9.visible = false;
    choose_instrument();
}

void Form1::Command27_MouseUp(int /*index*/, int /*button*/, int /*mask*/) {
    preview_note_off();
}

} // namespace varkelon
