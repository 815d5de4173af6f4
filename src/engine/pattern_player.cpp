// The pattern player: one tick of the current style's bar on every tick of
// the rhythm timer, its accompaniment moved to the chord the user holds.

#include "app/layout.h"
#include "app/main_window.h"
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

// The pitch-class arithmetic of the note rules, for notes that a lowered
// third can take below 0.
int floor_div12(int n) {
    return n >= 0 ? n / 12 : -((-n + 11) / 12);
}

// A note the rules move out of MIDI's range comes back by whole octaves.
int into_range(int note) {
    while (note < 0) {
        note += 12;
    }
    while (note > 127) {
        note -= 12;
    }
    return note;
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
        note &= 0x7F;
        r.scale_degree =
            static_cast<std::uint8_t>(scale_code_degree(static_cast<std::uint8_t>(note)));
        switch (r.scale_degree) {
        case 2:
        case 5:
        case 6:
            r.degree_semitone =
                static_cast<std::int16_t>(kMajorScaleSemitones[r.scale_degree] - r.chord_minor);
            break;
        case kScaleDegreeKeepLast:
            break; // the semitone decoded last stays in force
        default:
            r.degree_semitone = static_cast<std::int16_t>(kMajorScaleSemitones[r.scale_degree]);
            break;
        }
        r.degree_octave =
            static_cast<std::uint8_t>(scale_code_octave(static_cast<std::uint8_t>(note)));
        note = 12 * r.degree_octave + r.degree_semitone;
        r.event_data1 = static_cast<std::int16_t>(note);
    }

    if (status == 0x99) {
        if (const int p = pad_for_note(note); p >= 0) {
            pad(p).back_color = colors::kPadLit;
        }
    } else {
        if (r.accomp_active == kFalse) {
            return; // the rhythm alone plays only the drums
        }
        if (status < 0x80) {
            // No MIDI status: a receiver would take it for data of the
            // message before it.
            return;
        }
        r.chord_note = static_cast<std::int16_t>(
            (note + r.chord_root) - 12 * floor_div12(note + r.chord_root) + 12 * floor_div12(note));
    }

    int out = note;
    if (is_note_status(status)) {
        switch (status | 0x10) {
        case 0x90:
        case 0x93:
            out = r.chord_note;
            break;
        case 0x91:
        case 0x95:
            out = note + r.chord_root - 12 * ((r.chord_root + 3) / 12);
            break;
        case 0x92:
            out = note + r.chord_root - 12 * ((r.chord_root + 5) / 12);
            break;
        case 0x94:
            out = r.chord_note - r.chord_minor;
            break;
        default:
            break;
        }
        out = into_range(out);
    } else {
        // Not a note: a controller or program number above 127 is no MIDI data byte.
        out = std::clamp(out, 0, 127);
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
