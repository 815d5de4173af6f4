// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboard/drum_pads.h"

#include "app/main_window.h"
#include "midi/midi_facts.h"

namespace varkelon {

void Form1::strike_pad() {
    const auto i = static_cast<std::size_t>(r.pad_index);
    pad(r.pad_index).back_color = colors::kPadLit;
    // Percussion notes end by themselves: no note-off is ever sent.
    send_short_message(status_byte(kNoteOn, kDrumChannel), kPadNotes[i], r.master_volume);
}

void Form1::Command17_MouseDown(int index, int /*button*/, int /*mask*/) {
    pad(index).back_color = colors::kPadLit;
    r.pad_index = static_cast<std::int16_t>(index);
    strike_pad();
}

void Form1::Command17_MouseUp(int index, int /*button*/, int /*mask*/) {
    pad(index).back_color = colors::kWhite;
}

} // namespace varkelon
