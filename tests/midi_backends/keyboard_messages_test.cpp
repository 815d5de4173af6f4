// SPDX-License-Identifier: GPL-3.0-or-later
// What the input port passes on from a MIDI keyboard, from an ALSA sequencer
// event or from the bytes of a JACK MIDI event. No sequencer is needed: the
// events are built here as the sequencer would deliver them.

#include "midi/backends/midi_keyboard_messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace varkelon {
namespace {

snd_seq_event_t note(snd_seq_event_type_t type, int channel, int key, int velocity) {
    snd_seq_event_t ev{};
    ev.type = type;
    ev.data.note.channel = static_cast<unsigned char>(channel);
    ev.data.note.note = static_cast<unsigned char>(key);
    ev.data.note.velocity = static_cast<unsigned char>(velocity);
    return ev;
}

snd_seq_event_t control(snd_seq_event_type_t type, int channel, unsigned param, int value) {
    snd_seq_event_t ev{};
    ev.type = type;
    ev.data.control.channel = static_cast<unsigned char>(channel);
    ev.data.control.param = param;
    ev.data.control.value = value;
    return ev;
}

struct AlsaCase {
    const char* name;
    snd_seq_event_t event;
    std::optional<KeyboardMessage> message;
};

void PrintTo(const AlsaCase& c, std::ostream* os) {
    *os << c.name;
}

const AlsaCase kAlsaCases[] = {
    {"note_on", note(SND_SEQ_EVENT_NOTEON, 0, 60, 100), KeyboardMessage{0x90, 60, 100}},
    {"note_on_velocity_0_stays_one", note(SND_SEQ_EVENT_NOTEON, 3, 21, 0),
     KeyboardMessage{0x93, 21, 0}},
    {"note_off_keeps_its_velocity", note(SND_SEQ_EVENT_NOTEOFF, 15, 108, 64),
     KeyboardMessage{0x8F, 108, 64}},
    {"sustain_pedal", control(SND_SEQ_EVENT_CONTROLLER, 0, 64, 127),
     KeyboardMessage{0xB0, 64, 127}},
    {"modulation_on_channel_5", control(SND_SEQ_EVENT_CONTROLLER, 4, 1, 90),
     KeyboardMessage{0xB4, 1, 90}},
    {"controller_value_out_of_range", control(SND_SEQ_EVENT_CONTROLLER, 0, 67, 300),
     KeyboardMessage{0xB0, 67, 127}},
    {"controller_number_out_of_range", control(SND_SEQ_EVENT_CONTROLLER, 0, 1000, 5),
     KeyboardMessage{0xB0, 127, 5}},
    // The sequencer centres the wheel on 0; MIDI on 0x2000, LSB first.
    {"bend_centre", control(SND_SEQ_EVENT_PITCHBEND, 0, 0, 0), KeyboardMessage{0xE0, 0, 64}},
    {"bend_down_fully", control(SND_SEQ_EVENT_PITCHBEND, 0, 0, -8192), KeyboardMessage{0xE0, 0, 0}},
    {"bend_up_fully", control(SND_SEQ_EVENT_PITCHBEND, 2, 0, 8191),
     KeyboardMessage{0xE2, 127, 127}},
    {"bend_a_little", control(SND_SEQ_EVENT_PITCHBEND, 0, 0, 100), KeyboardMessage{0xE0, 100, 64}},
    {"bend_beyond_the_range", control(SND_SEQ_EVENT_PITCHBEND, 0, 0, 20000),
     KeyboardMessage{0xE0, 127, 127}},
    {"channel_pressure", control(SND_SEQ_EVENT_CHANPRESS, 15, 0, 70), KeyboardMessage{0xDF, 70, 0}},
    {"program_change_stays", control(SND_SEQ_EVENT_PGMCHANGE, 0, 0, 5), std::nullopt},
    {"key_pressure_stays", note(SND_SEQ_EVENT_KEYPRESS, 0, 60, 30), std::nullopt},
    {"clock_stays", control(SND_SEQ_EVENT_CLOCK, 0, 0, 0), std::nullopt},
    {"port_start_stays", control(SND_SEQ_EVENT_PORT_START, 0, 0, 0), std::nullopt},
};

class AlsaEvent : public ::testing::TestWithParam<AlsaCase> {};

TEST_P(AlsaEvent, BecomesItsShortMessage) {
    EXPECT_EQ(keyboard_message(GetParam().event), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Events, AlsaEvent, ::testing::ValuesIn(kAlsaCases),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

struct JackCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::optional<KeyboardMessage> message;
};

void PrintTo(const JackCase& c, std::ostream* os) {
    *os << c.name;
}

const JackCase kJackCases[] = {
    {"note_on", {0x91, 48, 100}, KeyboardMessage{0x91, 48, 100}},
    {"note_off", {0x80, 48, 0}, KeyboardMessage{0x80, 48, 0}},
    {"controller", {0xB0, 64, 127}, KeyboardMessage{0xB0, 64, 127}},
    {"pitch_bend", {0xEF, 0, 96}, KeyboardMessage{0xEF, 0, 96}},
    {"channel_pressure_two_bytes", {0xD0, 70}, KeyboardMessage{0xD0, 70, 0}},
    {"note_cut_short", {0x90, 48}, std::nullopt},
    {"status_alone", {0x90}, std::nullopt},
    {"data_byte_with_top_bit", {0x90, 48, 0x80}, std::nullopt},
    {"program_change", {0xC0, 5}, std::nullopt},
    {"key_pressure", {0xA0, 60, 30}, std::nullopt},
    {"system_exclusive", {0xF0, 0x7E, 0x7F, 0xF7}, std::nullopt},
    {"clock", {0xF8}, std::nullopt},
};

class JackEvent : public ::testing::TestWithParam<JackCase> {};

TEST_P(JackEvent, BecomesItsShortMessage) {
    const auto& bytes = GetParam().bytes;
    EXPECT_EQ(keyboard_message(bytes.data(), bytes.size()), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Events, JackEvent, ::testing::ValuesIn(kJackCases),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

} // namespace
} // namespace varkelon
