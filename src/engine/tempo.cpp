// SPDX-License-Identifier: GPL-3.0-or-later
// The tempo display and the rhythm timer's interval.

#include "app/main_window.h"
#include "engine/style_format.h"

namespace varkelon {

void Form1::show_tempo() {
    show_number(Picture2, r.tempo);
    // A running rhythm goes on at once at the new interval; the host keeps
    // its grid anchored at the last tick, so the bar position is kept.
    timer1.set_interval(kTempoIntervalBase - r.tempo);
}

void Form1::Command5_Click(int index) {
    const int next = r.tempo + (index == 0 ? -10 : 10);
    // 255 would make the interval 0; a step past either end changes nothing.
    if (next < 0 || next > kMaxTempo) {
        return;
    }
    r.tempo = static_cast<std::uint8_t>(next);
    show_tempo();
}

} // namespace varkelon
