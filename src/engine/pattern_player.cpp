// The rhythm timer's tick: one sixteenth of the bar.

#include "app/layout.h"
#include "app/main_window.h"

namespace varkelon {

void Form1::timer1_tick() {
    // A pad lit by a hit or held by the user stays lit for at most one tick.
    for (int i = 0; i < kPadCount; ++i) {
        pad(i).back_color = colors::kWhite;
    }
    r.replay_count = 0;
}

} // namespace varkelon
