// When the rhythm plays and when the accompaniment sounds.

#include "app/main_window.h"

namespace varkelon {

void Form1::on_chord_key() {
    if (r.accomp_mode != kFalse) {
        r.accomp_active = kTrue;
    }
}

// The silence timer: half a second after an octave change all sound stops.
void Form1::timer2_tick() {
    timer2.set_enabled(false);
    all_notes_off();
}

} // namespace varkelon
