// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the style data file, and applying the style the user chose.

#include "app/main_window.h"
#include "engine/style_format.h"

#include <algorithm>

namespace varkelon {

std::uint8_t Form1::read_style_byte(int position) const {
    // One-based positions kept in signed 16 bits: 1..32767 reach offsets 0..32766.
    if (position < 1 || position > static_cast<int>(kMaxReachableOffset) + 1 ||
        static_cast<std::size_t>(position) > style_bytes_.size()) {
        return kTickMark;
    }
    return style_bytes_[static_cast<std::size_t>(position - 1)];
}

void Form1::Нач_адрес_стиля() {
    Command1(0).enabled = r.sttil != 1;
    Command1(1).enabled = r.sttil != r.style_count;

    // Seven styles: only the units digit ever changes.
    Picture1(0).picture = digit_picture(r.sttil);
    Picture1(1).picture = digit_picture(0);
    Picture1(2).picture = digit_picture(0);

    const int high = read_style_byte(2 * r.sttil);
    const int low = read_style_byte(2 * r.sttil - 1);
    // A high byte of 128 or more makes the offset negative, as the 16-bit
    // position does; such a block, like one past the end, cannot be read.
    r.style_start = static_cast<std::int16_t>(high * 256 + low);
    // A block whose header lies outside the file gives no instrument or
    // tempo: they stay as they are, and its stream reads as silence.
    const bool header_in_file =
        r.style_start >= 0 &&
        static_cast<std::size_t>(r.style_start) + kStyleHeaderSize <= style_bytes_.size();

    const bool sets_instrument = header_in_file && chan(1).checked;
    if (sets_instrument) {
        r.solo_program = std::min(read_style_byte(r.style_start + 1), kMaxInstrument);
    }
    if (header_in_file && r.rhythm_running == kFalse) {
        r.tempo = std::min(read_style_byte(r.style_start + 2), kMaxTempo);
        show_tempo();
    }
    Label1.caption = r.style_names[static_cast<std::size_t>((r.sttil - 1) & 7)] + " ";
    show_instrument();
    send_solo_program();
    if (sets_instrument) {
        update_instrument_arrows();
    }
}

// The style arrows step on the press of any mouse button; the disabled
// arrow at either end keeps the number within 1..style_count.
void Form1::Command1_MouseDown(int index, int /*button*/, int /*mask*/) {
    const int next = r.sttil + (index == 0 ? -1 : 1);
    if (next < 1 || next > r.style_count) {
        return;
    }
    r.sttil = static_cast<std::uint8_t>(next);
    r.sttil1 = r.sttil;
    Нач_адрес_стиля();
}

} // namespace varkelon
