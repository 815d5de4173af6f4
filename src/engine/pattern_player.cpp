// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern player: one tick of the current style's bar on every tick of
// the rhythm timer, its accompaniment moved to the chord the user holds.

#include "app/layout.h"
#include "app/main_window.h"
#include "engine/note_rules.h"
#include "engine/style_format.h"
#include "keyboard/drum_pads.h"

#include <algorithm>

namespace varkelon {

namespace {

constexpr int kMaxPosition = 32767; // stream positions are signed 16-bit

// Positions move on in 16 bits; one carried past 32767 reads as silence
// until the bar wraps, instead of running on into bytes no block owns.
std::int16_t advance(std::int16_t pos, int by) {
    const int next = pos + by;
    return static_cast<std::int16_t>(next > kMaxPosition ? -1 : next);
}

} // namespace

void Form1::rewind_stream() {
    r.stream_pos = advance(r.style_start, 1 + r.style_header_size);
}

void Form1::timer1_tick() {
    // A pad lit by a hit or held by the user stays lit for at most one tick.
    for (int i = 0; i < kPadCount; ++i) {
        pad(i).back_color = colors::kWhite;
    }
    r.replay_count = 0;
    play_pattern_tick();
    if (r.demo_running != kFalse) {
        demo_tick();
    }
}

void Form1::play_pattern_tick() {
    for (;;) {
        r.event_status = read_style_byte(r.stream_pos);
        if (r.event_status != kTickMark) {
            r.event_data1 = read_style_byte(advance(r.stream_pos, 1));
            r.event_data2 = read_style_byte(advance(r.stream_pos, 2));
            // Slots hold the bytes as read, so a replay decodes them again in
            // the chord of that moment. A tick beyond the 16 slots records
            // its first 16 note-ons and sends them all.
            if (is_recorded_note_on(r.event_status, r.sttil) && r.replay_count < kReplaySlots) {
                r.replay_buffer[r.replay_count] = {r.event_status, r.event_data1, r.event_data2};
                ++r.replay_count;
            }
            r.stream_pos = advance(r.stream_pos, static_cast<int>(kEventSize));
            send_pattern_event();
            continue;
        }

        r.stream_pos = advance(r.stream_pos, 1);
        ++r.tick_in_bar;
        if (r.tick_in_bar == kTicksPerBar) {
            // style_start is read here, so a style chosen during the bar
            // takes over at the bar line.
            rewind_stream();
            r.tick_in_bar = 0;
        }
        if (r.tick_in_bar % 4 == 0) {
            const int lamps = pictures::kLampBeat1 + r.tick_in_bar / 4;
            Picture4.picture = lamps;
            Picture5.picture = lamps;
        }
        return;
    }
}

void Form1::send_pattern_event() {
    const std::uint8_t status = r.event_status;
    int note = r.event_data1;

    if (is_note_status(status) && (note & kScaleCodedFlag) != 0) {
        note &= kDataMask;
        r.scale_degree =
            static_cast<std::uint8_t>(scale_code_degree(static_cast<std::uint8_t>(note)));
        r.degree_semitone = static_cast<std::int16_t>(
            degree_semitone(r.scale_degree, r.chord_minor, r.degree_semitone));
        r.degree_octave =
            static_cast<std::uint8_t>(scale_code_octave(static_cast<std::uint8_t>(note)));
        note = 12 * r.degree_octave + r.degree_semitone;
        r.event_data1 = static_cast<std::int16_t>(note);
    }

    if (status == status_byte(kNoteOn, kDrumChannel)) {
        if (const int p = pad_for_note(note); p >= 0) {
            pad(p).back_color = colors::kPadLit;
        }
    } else {
        if (r.accomp_active == kFalse) {
            return; // the rhythm alone plays only the drums
        }
        if (status < kNoteOff) {
            // No MIDI status: a receiver would take it for data of the
            // message before it.
            return;
        }
        r.chord_note = static_cast<std::int16_t>(chord_note(note, r.chord_root));
    }

    int out = note;
    if (is_note_status(status)) {
        out = into_range(transposed_note(status_channel(status), note, r.chord_root, r.chord_minor,
                                         r.chord_note));
    } else {
        // Not a note: a controller or program number above 127 is no MIDI data byte.
        out = std::clamp(out, 0, kMaxDataValue);
    }
    r.out_note = out;
    send_short_message(status, out, style_event_velocity(r.event_data2));
}

void Form1::replay_chord_notes() {
    r.replay_count = 0;
    while (r.replay_count < kReplaySlots && r.replay_buffer[r.replay_count][0] != 0) {
        const auto& slot = r.replay_buffer[r.replay_count];
        r.event_status = static_cast<std::uint8_t>(slot[0]);
        r.event_data1 = static_cast<std::int16_t>(slot[1]);
        r.event_data2 = static_cast<std::uint8_t>(slot[2]);
        ++r.replay_count;
        send_pattern_event();
    }
}

} // namespace varkelon
