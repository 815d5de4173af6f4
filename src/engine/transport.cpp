// SPDX-License-Identifier: GPL-3.0-or-later
// When the rhythm plays and when the accompaniment sounds: "Старт"/"Стоп",
// "Синхростарт", "Аккомпанемент", and the hook of the chord keys.

#include "app/layout.h"
#include "app/main_window.h"

namespace varkelon {

// "Старт" shows whether the rhythm runs, and the timer follows it.
void Form1::set_rhythm_running(bool on) {
    r.rhythm_running = on ? kTrue : kFalse;
    Command2.back_color = on ? colors::kRunningGreen : colors::kButtonFace;
    Command2.caption = on ? "Стоп" : "Старт";
    timer1.set_enabled(on);
}

// "Синхростарт" is red while the start is armed.
void Form1::set_sync_armed(bool on) {
    r.sync_armed = on ? kTrue : kFalse;
    Command3.back_color = on ? colors::kArmedRed : colors::kButtonFace;
}

void Form1::Command2_Click() {
    if (r.rhythm_running != kFalse) {
        r.rhythm_running = kFalse;
    } else {
        r.rhythm_running = kTrue;
        rewind_stream();
        r.tick_in_bar = 0;
    }
    apply_transport_state();
}

void Form1::apply_transport_state() {
    set_rhythm_running(r.rhythm_running != kFalse);
    if (r.rhythm_running != kFalse) {
        set_sync_armed(false);
        r.tick_in_bar = 0;
        return;
    }
    Command15.back_color = colors::kButtonFace;
    for (int i = 0; i < kPadCount; ++i) {
        pad(i).back_color = colors::kWhite;
    }
    if (r.demo_running != kFalse) {
        end_demo();
    }
    if (r.accomp_mode != kFalse) {
        // Clears the mark of the chord that was in force.
        paint_chord_keys();
        paint_black_keys();
    }
    r.accomp_active = kFalse;
    all_notes_off();
    Picture4.picture = pictures::kLampsDark;
    Picture5.picture = pictures::kLampsDark;
}

void Form1::Command3_Click() {
    if (r.sync_armed != kFalse) {
        set_sync_armed(false);
        return;
    }
    // Arming stops a running rhythm at once; the next chord key starts it.
    set_sync_armed(true);
    set_rhythm_running(false);
    all_notes_off();
    r.tick_in_bar = 0;
}

void Form1::Command7_Click() {
    r.accomp_mode = r.accomp_mode != kFalse ? kFalse : kTrue;
    apply_accomp_mode();
    r.saved_accomp_mode = r.accomp_mode;
}

void Form1::apply_accomp_mode() {
    if (r.accomp_mode != kFalse) {
        Command7.back_color = colors::kAccompBlue;
        paint_chord_keys();
        set_sync_armed(true);
        return;
    }
    r.accomp_active = kFalse;
    Command7.back_color = colors::kButtonFace;
    for (int k = 0; k < kChordKeyCount; ++k) {
        if (!is_black_key(k)) {
            key(k).back_color = colors::kWhite;
        }
    }
    paint_black_keys();
    set_sync_armed(false);
    all_notes_off();
}

void Form1::on_chord_key() {
    if (r.accomp_mode != kFalse) {
        r.accomp_active = kTrue;
    }
    if (r.rhythm_running != kFalse) {
        // The live chord just struck stops too: while the rhythm plays the
        // chord is heard through the accompaniment, re-voiced at once. A
        // fingered chord leaves the melody the player holds above it.
        if (chord_from_midi_) {
            silence_accompaniment();
        } else {
            all_notes_off();
        }
        replay_chord_notes();
    } else if (r.sync_armed != kFalse) {
        set_sync_armed(false);
        set_rhythm_running(true);
        rewind_stream();
        r.tick_in_bar = 0;
    }
}

// The silence timer: half a second after an octave change all sound stops.
void Form1::timer2_tick() {
    timer2.set_enabled(false);
    all_notes_off();
}

// The copies that the end of the demonstration restores.
void Form1::save_settings() {
    r.sttil1 = r.sttil;
    r.saved_accomp_mode = r.accomp_mode;
    r.saved_program = r.solo_program;
    r.saved_octave = r.octave;
}

} // namespace varkelon
