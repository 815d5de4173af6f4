// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/midi_port.h"

#include "app/layout.h"
#include "app/main_window.h"
#include "midi/midi_facts.h"

#include <algorithm>

namespace varkelon {

void Form1::fill_device_menu() {
    Control& mapper = device_item(0);
    mapper.caption = "MIDI Mapper";
    mapper.visible = true;
    mapper.enabled = true;

    const auto names = midi_.output_names();
    r.midi_device_count = static_cast<std::int32_t>(names.size());
    // The menu has room for ten ports; later ones are not offered.
    const int shown = std::min<int>(static_cast<int>(names.size()), kDeviceItems - 1);
    for (int d = 0; d < shown; ++d) {
        Control& item = device_item(d + 1);
        item.caption = names[static_cast<std::size_t>(d)];
        item.visible = true;
        item.enabled = true;
    }
}

void Form1::select_midi_device(int index) {
    const int previous = r.midi_device_id + 1;
    if (previous >= 0 && previous < kDeviceItems) {
        device_item(previous).checked = false;
    }
    device_item(index).checked = true;
    r.midi_device_id = index - 1;

    close_midi_port();
    const int rc = midi_.open(r.midi_device_id);
    r.midi_out_handle = rc == 0 ? 1 : 0;
    if (rc != 0) {
        dialogs_.message_box(MessageIcon::None, kProgramTitle,
                             "Couldn't open midi out, rc = " + std::to_string(rc));
    }
}

void Form1::device_Click(int index) {
    select_midi_device(index);
    if (r.midi_out_handle != 0) {
        // A new port plays its own default sounds until told ours: the live
        // chord's bass and chord notes, and the solo voice.
        send_short_message(status_byte(kProgramChange, kLiveChordBassChannel),
                           kLiveChordBassProgram, 0);
        send_short_message(status_byte(kProgramChange, kLiveChordChannel), kLiveChordProgram, 0);
        send_solo_program();
    }
}

void Form1::close_midi_port() {
    if (r.midi_out_handle != 0) {
        // A port that closes with notes on would leave them hanging on an
        // external synthesizer: silence every channel first.
        all_notes_off();
    }
    midi_.close();
    r.midi_out_handle = 0;
    midi_pedal_down_ = false; // the next port starts with the pedal up
}

void Form1::send_short_message(int status, int data1, int data2) {
    midi_.send(pack_short_message(status, data1, data2));
}

} // namespace varkelon
