// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"
#include "midi/midi_facts.h"

#include <algorithm>

namespace varkelon {

namespace {

bool receives_input(const Control* c) {
    return c != nullptr && c->enabled && c->visible;
}

} // namespace

void Form1::key_down(int key_code, int mask) {
    if (loaded_) {
        Form_KeyDown(key_code, mask & kModifierBits);
    }
}

void Form1::key_up(int key_code, int mask) {
    if (loaded_) {
        Form_KeyUp(key_code, mask & kModifierBits);
    }
}

Form1::MouseHandlers Form1::mouse_handlers(Ctl c) {
    switch (c) {
    case Ctl::key:
        return {&Form1::key_MouseDown, &Form1::key_MouseUp};
    case Ctl::Command17:
        return {&Form1::Command17_MouseDown, &Form1::Command17_MouseUp};
    case Ctl::Command1:
        return {&Form1::Command1_MouseDown, nullptr};
    case Ctl::Command4:
        return {&Form1::Command4_MouseDown, &Form1::Command4_MouseUp};
    case Ctl::Command10:
        return {&Form1::Command10_MouseDown, &Form1::Command10_MouseUp};
    case Ctl::Command9:
        return {&Form1::Command9_MouseDown, &Form1::Command9_MouseUp};
    case Ctl::Command27:
        return {&Form1::Command27_MouseDown, &Form1::Command27_MouseUp};
    default:
        return {};
    }
}

bool Form1::reacts_to_mouse(ControlId id) const {
    return mouse_handlers(id.ctl).down != nullptr;
}

void Form1::mouse_down(ControlId id, int button, int mask) {
    // A new press of a button ends whatever its last press began: only an
    // accepted press has a release to come.
    mouse_presses_.erase(button);
    if (!loaded_ || !receives_input(controls.find(id))) {
        return;
    }
    const MouseHandlers h = mouse_handlers(id.ctl);
    if (h.down == nullptr) {
        return;
    }
    mouse_presses_[button] = id;
    (this->*(h.down))(id.index, button, mask & kModifierBits);
}

void Form1::mouse_up(int button, int mask) {
    // The release goes to the control where the accepted press began, even if
    // that control has been disabled or hidden in the meantime.
    const auto it = mouse_presses_.find(button);
    if (it == mouse_presses_.end()) {
        return;
    }
    const ControlId id = it->second;
    mouse_presses_.erase(it);
    if (!loaded_) {
        return;
    }
    if (const MouseHandlers h = mouse_handlers(id.ctl); h.up != nullptr) {
        (this->*(h.up))(id.index, button, mask & kModifierBits);
    }
}

void Form1::click(ControlId id) {
    Control* c = controls.find(id);
    if (!loaded_ || !receives_input(c)) {
        return;
    }
    switch (id.ctl) {
    case Ctl::Command2:
        Command2_Click();
        break;
    case Ctl::Command3:
        Command3_Click();
        break;
    case Ctl::Command7:
        Command7_Click();
        break;
    case Ctl::Command15:
        Command15_Click();
        break;
    case Ctl::Command5:
        Command5_Click(id.index);
        break;
    case Ctl::device:
        device_Click(id.index);
        break;
    case Ctl::chan:
        c->checked = !c->checked;
        break;
    case Ctl::touch:
        touch_Click();
        break;
    case Ctl::base:
        frame_.show_help();
        break;
    case Ctl::oprog:
        frame_.show_about();
        break;
    case Ctl::vyhod:
        frame_.exit_program();
        break;
    default:
        break;
    }
}

void Form1::dbl_click(ControlId id) {
    if (!loaded_ || !receives_input(controls.find(id))) {
        return;
    }
    if (id.ctl == Ctl::Picture3) {
        Picture3_DblClick();
    }
}

void Form1::scroll(ControlId id, int value) {
    Control* c = controls.find(id);
    if (!loaded_ || !receives_input(c) || c->kind != ControlKind::HScrollBar) {
        return;
    }
    set_scroll_value(*c, std::clamp(value, c->min, c->max));
}

void Form1::set_scroll_value(Control& slider, int value) {
    if (slider.value == value) {
        return;
    }
    slider.value = value;
    if (!loaded_) {
        return;
    }
    if (&slider == &HScroll1) {
        octave_changed();
    } else {
        scroll_changed(slider);
    }
}

void Form1::type_text(ControlId id, const std::string& text) {
    Control* c = controls.find(id);
    if (loaded_ && c != nullptr && c->kind == ControlKind::TextBox) {
        c->text = text;
    }
}

void Form1::midi_in(int status, int data1, int data2, int mask) {
    if (!loaded_) {
        return;
    }
    const auto status_value = static_cast<std::uint8_t>(status);
    if (is_note_status(status_value)) {
        midi_note(status, data1, data2, mask & kModifierBits);
    } else {
        midi_control(status, data_value(static_cast<std::uint8_t>(data1)),
                     data_value(static_cast<std::uint8_t>(data2)));
    }
}

void Form1::midi_keyboard_gone() {
    if (loaded_) {
        release_midi_keys();
    }
}

void Form1::focus_lost() {
    if (loaded_) {
        release_midi_pedal();
    }
}

void Form1::timer_tick(TimerId which) {
    if (!loaded_) {
        return;
    }
    if (which == TimerId::Timer1 && timer1.enabled) {
        timer1_tick();
    } else if (which == TimerId::Timer2 && timer2.enabled) {
        timer2_tick();
    } else if (which == TimerId::ChordTimer && chord_timer.enabled) {
        chord_timer_tick();
    }
}

} // namespace varkelon
