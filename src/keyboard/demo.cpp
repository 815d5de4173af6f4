// SPDX-License-Identifier: GPL-3.0-or-later
// "Демо": the piece plays itself through the keys, one step per rhythm tick,
// and gives the user's style, instrument, octave and mode back at the end.

#include "app/layout.h"
#include "app/main_window.h"
#include "keyboard/demo_score.h"
#include "midi/midi_facts.h"

#include <algorithm>

namespace varkelon {

namespace {

constexpr int kDemoStyle = 4;   // "Техно"
constexpr int kDemoProgram = 2; // "Электрический Рояль"
constexpr int kDemoOctave = 4;

} // namespace

void Form1::Command15_Click() {
    start_demo();
}

void Form1::start_demo() {
    Command15.back_color = colors::kDemoMagenta;
    Command7.enabled = false;
    Command3.enabled = false;
    r.demo_running = kTrue;
    r.sttil = kDemoStyle;
    Нач_адрес_стиля();
    rewind_stream();
    r.tick_in_bar = 0;
    r.demo_step = 0;
    r.accomp_mode = kTrue;
    apply_accomp_mode();
    r.rhythm_running = kTrue;
    apply_transport_state();

    r.solo_program = kDemoProgram;
    r.octave = kDemoOctave;
    show_instrument();
    send_solo_program();
    // The piece's octave is not the user's: the end gives theirs back.
    demo_sets_octave_ = true;
    show_octave();
    demo_sets_octave_ = false;
    update_instrument_arrows();
}

void Form1::demo_tick() {
    ++r.demo_step;
    const auto score = demo_score();
    const auto first =
        std::lower_bound(score.begin(), score.end(), r.demo_step,
                         [](const DemoAction& a, std::int16_t step) { return a.step < step; });
    for (auto it = first; it != score.end() && it->step == r.demo_step; ++it) {
        switch (it->op) {
        case DemoOp::Chord:
            r.shift_state = it->mask;
            [[fallthrough]];
        case DemoOp::Press:
        case DemoOp::PressLowered:
            r.key_index = it->value;
            r.lower_next_press = it->op == DemoOp::PressLowered;
            press_key();
            r.lower_next_press = false;
            break;
        case DemoOp::Release:
            r.key_index = it->value;
            release_key();
            break;
        case DemoOp::RestartPattern:
            rewind_stream();
            r.tick_in_bar = 0;
            break;
        case DemoOp::Percussion:
            send_short_message(status_byte(kNoteOn, kDrumChannel), it->value, r.master_volume);
            break;
        case DemoOp::HalfPercussion:
            send_short_message(status_byte(kNoteOn, kDrumChannel), it->value, r.master_volume / 2);
            break;
        case DemoOp::Stop:
            r.rhythm_running = kFalse;
            apply_transport_state(); // ends the piece
            return;
        }
    }
}

void Form1::end_demo() {
    r.solo_program = r.saved_program;
    show_instrument();
    send_solo_program();
    update_instrument_arrows();
    Command7.enabled = true;
    Command3.enabled = true;
    r.sttil = r.sttil1;
    Нач_адрес_стиля();
    r.accomp_mode = r.saved_accomp_mode != 0 ? kTrue : kFalse;
    apply_accomp_mode();
    r.octave = r.saved_octave;
    show_octave();
    if (r.accomp_mode != kFalse) {
        paint_chord_keys();
        paint_black_keys();
    }
    // The rhythm has stopped: every key gets its idle colour, is drawn raised
    // and sends its release, so nothing the piece held keeps sounding.
    for (int k = 0; k < kKeyCount; ++k) {
        r.key_index = static_cast<std::int16_t>(k);
        release_key();
    }
    r.demo_running = kFalse;
    Picture4.picture = pictures::kLampsDark;
    Picture5.picture = pictures::kLampsDark;
}

} // namespace varkelon
